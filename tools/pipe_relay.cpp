// Test helper for the Windows program under wine: runs the program named by
// its arguments with a native pipe as standard input and copies its own
// standard input into that pipe. Windows interfaces start engines with such
// pipes (CreatePipe), which the engine can peek while it searches; wine
// gives a program started from Linux a stand-in for the Unix pipe instead,
// which cannot be peeked. Output and error go straight through.
//
//   wine pipe_relay.exe PROGRAM [ARGUMENTS...]
#ifdef _WIN32

#include <windows.h>

#include <string>

namespace {

HANDLE pipeInput = nullptr;

DWORD WINAPI copyInput(void*) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  char buffer[4096];
  DWORD got = 0, put = 0;
  while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0)
    if (!WriteFile(pipeInput, buffer, got, &put, nullptr)) break;
  CloseHandle(pipeInput);  // the program sees the end of its input
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  SetConsoleCtrlHandler(nullptr, TRUE);  // interrupts are the program's business
  std::string command;
  for (int i = 1; i < argc; ++i) command += std::string(i > 1 ? " \"" : "\"") + argv[i] + "\"";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE childInput = nullptr;
  if (!CreatePipe(&childInput, &pipeInput, &inherit, 0)) return 2;
  SetHandleInformation(pipeInput, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process))
    return 2;
  CloseHandle(childInput);
  // Killed, the relay takes the program with it, as a killed engine ends.
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job) {
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    AssignProcessToJobObject(job, process.hProcess);
  }
  CreateThread(nullptr, 0, copyInput, nullptr, 0, nullptr);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 2;
  GetExitCodeProcess(process.hProcess, &code);
  return int(code);
}

#else

#include <cstdio>

int main() {
  std::fputs("pipe_relay: a Windows test helper, run under wine\n", stderr);
  return 2;
}

#endif
