// Runs the built engine as a child process with scripted input, in a fresh
// temporary directory holding a copy of it (its data files and lock stay
// private to one test), or its command loop in this process. MORVEK_ENGINE_BINARY
// names another program; MORVEK_ENGINE_LAUNCHER a command (split at blanks) that
// runs it, e.g. "wine64 pipe_relay.exe", under which "\r\n" is read as "\n". A cross
// build runs the engine under MORVEK_ENGINE_EMULATOR (e.g. "qemu-aarch64 -L ...").
#pragma once

#include <signal.h>
#include <stdint.h>
#include <string>
#include <sys/types.h>
#include <vector>

#include "engine/session.h"

struct EngineDir {
  std::string path, binary, lockPath;
  EngineDir();  // copies the built engine into a new temporary directory
  ~EngineDir();
  bool has(const char* fileName) const;
};

struct EngineProcess {
  pid_t pid = -1;
  int input = -1, output = -1, error = -1;
  bool textMode = false;  // "\r\n" in the output becomes "\n"
};

struct EngineRun {
  std::string out, err;
  int exitCode = -1;  // -1 when killed by a signal or timed out
};

std::string engineLauncher();  // empty when the engine runs itself
EngineProcess launchEngine(const EngineDir& dir, const std::vector<std::string>& args = {});
bool sendInput(EngineProcess& engine, const std::string& text);
// Reads the output until text occurs in it at or after from; false on timeout or end.
bool waitForText(EngineProcess& engine, const std::string& text, std::string& seen, size_t from = 0,
                 int timeoutMs = 10000);
// Closes the input (unless keepInput), collects both streams to their end and
// reaps the child; kills it after timeoutMs.
EngineRun finishEngine(EngineProcess& engine, int timeoutMs = 30000, bool keepInput = false);
EngineRun runEngine(const EngineDir& dir, const std::string& input, int timeoutMs = 30000,
                    const std::vector<std::string>& args = {});

// The command loop run in this process on commands, with the clock read from
// ticks (milliseconds): all it writes to standard output, with exact budgets
// and no waiting. whilePondering comes only once a search without a budget
// (xboard's ponder) has read the clock pondered times; the input ends after it.
std::string runLoopHere(const std::string& commands, uint32_t (*ticks)(), const std::string& whilePondering = "",
                        int pondered = 1);
const Session& lastLoopSession();  // of the last runLoopHere
const std::string& lastLoopErrors();  // all it wrote to standard error
uint32_t secondPerReading();  // clocks for it: a second, or a millisecond, per reading
uint32_t millisecondPerReading();

inline const std::string kGreeting = "Morvek chess v1.0\nfeature setboard=1\nfeature done=1\n";

// Sends input, then waits for text in the output that follows.
inline bool step(EngineProcess& engine, std::string& seen, const std::string& input, const std::string& text) {
  return sendInput(engine, input) && waitForText(engine, text, seen, seen.empty() ? 0 : seen.size() - 1);
}

inline size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The answer to "uci", from "id name" to "uciok", with the strength options as given.
inline std::string uciIdentity(bool limited = false, int elo = 1900) {
  return "id name Morvek " MORVEK_VERSION "\nid author the Morvek developers\noption name OwnBook type check default true\n"
         "option name Ponder type check default false\noption name SaveLearning type check default true\n"
         "option name Hash type spin default 16 min 1 max 65536\noption name Threads type spin default 1 min 1 max 256\n"
         "option name Clear Hash type button\noption name MultiPV type spin default 1 min 1 max 256\n"
         "option name UCI_LimitStrength type check default " + std::string(limited ? "true" : "false") +
         "\noption name UCI_Elo type spin default " + std::to_string(elo) + " min 1000 max 1900\n"
         "option name BookFile type string default <empty>\noption name SyzygyPath type string default <empty>\n"
         "option name Move Overhead type spin default 0 min 0 max 5000\noption name UCI_Chess960 type check default false\n"
         "option name UCI_ShowWDL type check default false\n"
         "option name Learning type combo default on var on var read-only var off\n"
         "option name Learning File type string default <empty>\n"
         "option name Search type combo default exact var exact var strong\nuciok\n";
}
