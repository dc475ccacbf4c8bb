#include "tests/engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "engine/command_loop.h"
#include "platform/input.h"
#include "search/search_clock.h"
#include "tests/test_support.h"

extern char** environ;

namespace {

long long monotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Appends what is available on fd, in text mode without the '\r' of each
// "\r\n" (one still waiting for its '\n' stays until the next read); false at
// end of stream.
bool drain(int fd, std::string& into, bool textMode) {
  char buffer[4096];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n <= 0) return n < 0 && errno == EINTR;
  size_t kept = into.empty() ? 0 : into.size() - 1;
  into.append(buffer, size_t(n));
  for (size_t i = kept; textMode && i < into.size(); ++i)
    if (!(into[i] == '\r' && i + 1 < into.size() && into[i + 1] == '\n')) into[kept++] = into[i];
  if (textMode) into.resize(kept);
  return true;
}

}  // namespace

EngineDir::EngineDir() {
  char pattern[] = "/tmp/morvek-test-XXXXXX";
  path = mkdtemp(pattern) ? pattern : "";
  const char* const other = getenv("MORVEK_ENGINE_BINARY");
  const std::string source = other && *other ? other : MORVEK_BINARY;
  binary = path + "/" + std::filesystem::path(source).filename().string();  // a Windows program stays a ".exe"
  lockPath = path + "/instance.lock";
  std::filesystem::copy_file(source, binary);
  chmod(binary.c_str(), 0755);
}

EngineDir::~EngineDir() {
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

bool EngineDir::has(const char* fileName) const { return access((path + "/" + fileName).c_str(), F_OK) == 0; }

std::string engineLauncher() { return getenv("MORVEK_ENGINE_LAUNCHER") ? getenv("MORVEK_ENGINE_LAUNCHER") : ""; }

EngineProcess launchEngine(const EngineDir& dir, const std::vector<std::string>& args) {
  signal(SIGPIPE, SIG_IGN);  // an engine that ended early must not kill the tests
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return EngineProcess{};
  // Everything the child needs is built before the fork.
  std::string lockVariable = "MORVEK_INSTANCE_LOCK=" + dir.lockPath;
  std::vector<char*> env, argv;
  for (char** e = environ; *e; ++e)
    if (strncmp(*e, "MORVEK_INSTANCE_LOCK=", 21) != 0) env.push_back(*e);
  env.push_back(&lockVariable[0]);
  env.push_back(nullptr);
  std::vector<std::string> words;
  // A cross build's engine runs under the emulator that runs these tests.
  std::istringstream launcher(MORVEK_ENGINE_EMULATOR " " + engineLauncher());
  for (std::string word; launcher >> word;) words.push_back(word);
  words.push_back(dir.binary);
  words.insert(words.end(), args.begin(), args.end());
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0), dup2(out[1], 1), dup2(err[1], 2);
    chdir(dir.path.c_str());
    signal(SIGPIPE, SIG_DFL);  // as an interface starts it
    execvpe(argv[0], argv.data(), env.data());  // a launcher is looked up in PATH
    _exit(127);
  }
  close(in[0]), close(out[1]), close(err[1]);
  return EngineProcess{pid, in[1], out[0], err[0], !engineLauncher().empty()};
}

bool sendInput(EngineProcess& engine, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = write(engine.input, text.data() + done, text.size() - done);
    if (n > 0) done += size_t(n);
    else if (!(n < 0 && errno == EINTR)) return false;
  }
  return true;
}

bool waitForText(EngineProcess& engine, const std::string& text, std::string& seen, size_t from, int timeoutMs) {
  const long long deadline = monotonicMs() + timeoutMs;
  while (seen.find(text, from) == std::string::npos) {
    const long long left = deadline - monotonicMs();
    if (left <= 0) return false;
    pollfd fd = {engine.output, POLLIN, 0};
    if (poll(&fd, 1, int(left)) > 0 && !drain(engine.output, seen, engine.textMode)) return false;
  }
  return true;
}

EngineRun finishEngine(EngineProcess& engine, int timeoutMs, bool keepInput) {
  EngineRun run;
  if (engine.pid <= 0) return run;
  if (!keepInput) close(engine.input);
  const long long deadline = monotonicMs() + timeoutMs;
  bool outOpen = engine.output >= 0, errOpen = engine.error >= 0, timedOut = false;  // a test may close one first
  while (outOpen || errOpen) {
    const long long left = deadline - monotonicMs();
    if ((timedOut = left <= 0)) {
      kill(engine.pid, SIGKILL);
      break;
    }
    pollfd fds[2] = {{outOpen ? engine.output : -1, POLLIN, 0}, {errOpen ? engine.error : -1, POLLIN, 0}};
    if (poll(fds, 2, int(left)) <= 0) continue;
    if (fds[0].revents && !drain(engine.output, run.out, engine.textMode)) outOpen = false;
    if (fds[1].revents && !drain(engine.error, run.err, engine.textMode)) errOpen = false;
  }
  close(engine.output), close(engine.error);
  if (keepInput) close(engine.input);
  int status = 0;
  while (waitpid(engine.pid, &status, 0) < 0 && errno == EINTR) continue;
  if (!timedOut && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  engine.pid = -1;
  return run;
}

EngineRun runEngine(const EngineDir& dir, const std::string& input, int timeoutMs, const std::vector<std::string>& args) {
  EngineProcess engine = launchEngine(dir, args);
  sendInput(engine, input);
  return finishEngine(engine, timeoutMs);
}

namespace {
uint32_t fakeTicks = 0;
Session hereSession;
std::string hereErrors;

// The lines held back for a ponder search, the pipe they go into, and the
// ponder search's clock readings before they come.
uint32_t (*heldTicks)() = nullptr;
std::string heldLines;
int heldInput = -1, heldReadings = 0;

uint32_t ticksFeedingThePonder() {
  constexpr int64_t kNoBudget = int64_t(1) << 40;  // the front ends' search until stopped
  if (heldInput >= 0 && searchClock.budget >= kNoBudget && --heldReadings <= 0) {
    if (write(heldInput, heldLines.data(), heldLines.size()) != ssize_t(heldLines.size())) heldLines.clear();
    close(heldInput);
    heldInput = -1;
  }
  return heldTicks();
}

int temporaryFile() { return memfd_create("morvek-loop", 0); }  // gone when closed

// A stream of this process sent to a new file, and back.
struct Redirect {
  int stream, saved, file;
  explicit Redirect(int stream) : stream(stream), saved(dup(stream)), file(temporaryFile()) { dup2(file, stream); }
  std::string finish() {
    dup2(saved, stream);
    close(saved);
    std::string text(size_t(lseek(file, 0, SEEK_END)), '\0');
    if (pread(file, &text[0], text.size(), 0) != ssize_t(text.size())) text.clear();
    close(file);
    return text;
  }
};
}  // namespace

uint32_t secondPerReading() { return fakeTicks += 1000; }
uint32_t millisecondPerReading() { return fakeTicks += 1; }
const Session& lastLoopSession() { return hereSession; }
const std::string& lastLoopErrors() { return hereErrors; }

std::string runLoopHere(const std::string& commands, uint32_t (*ticks)(), const std::string& whilePondering, int pondered) {
  initEngineOnce();
  int in = -1, ends[2];
  if (whilePondering.empty()) {
    in = temporaryFile();
  } else if (pipe(ends) == 0) {  // a pipe, so that the input ends only once the held lines were written
    in = ends[0], heldInput = ends[1];
    heldLines = whilePondering, heldReadings = pondered, heldTicks = ticks;
    ticks = ticksFeedingThePonder;
  }
  const int commandsTo = heldInput >= 0 ? heldInput : in;
  if (in < 0 || write(commandsTo, commands.data(), commands.size()) != ssize_t(commands.size())) return "";
  if (heldInput < 0) lseek(in, 0, SEEK_SET);
  fflush(stdout), fflush(stderr);
  Redirect out(STDOUT_FILENO), errors(STDERR_FILENO);
  resetInput(in);
  setTickSource(ticks);
  hereSession = Session{};
  runCommandLoop(hereSession);
  setTickSource(nullptr);
  heldInput = -1;  // closed by then: without a ponder search the loop waits for the input's end
  fflush(stdout), fflush(stderr);
  hereErrors = errors.finish();
  resetInput(STDIN_FILENO);
  close(in);
  return out.finish();
}
