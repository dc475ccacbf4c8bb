// Reading what a UCI engine answers: its scored "info" lines as fields, and
// its output cut into one record per "go", parsed the same way by every test.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

// One scored "info" line.
struct UciInfo {
  int depth = -1, seldepth = -1, multipv = 0, hashfull = -1, score = 0;
  std::string scoreKind;  // "cp" or "mate"
  int wdl[3] = {-1, -1, -1};
  long long time = -1, nodes = -1, nps = -1;
  std::vector<std::string> pv;

  std::string scoreText() const { return scoreKind + " " + std::to_string(score); }
};

inline UciInfo parseInfo(const std::string& line) {
  UciInfo info;
  std::istringstream words(line);
  for (std::string word; words >> word;) {
    if (word == "depth") words >> info.depth;
    else if (word == "seldepth") words >> info.seldepth;
    else if (word == "multipv") words >> info.multipv;
    else if (word == "hashfull") words >> info.hashfull;
    else if (word == "time") words >> info.time;
    else if (word == "nodes") words >> info.nodes;
    else if (word == "nps") words >> info.nps;
    else if (word == "score") words >> info.scoreKind >> info.score;
    else if (word == "wdl") words >> info.wdl[0] >> info.wdl[1] >> info.wdl[2];
    else if (word == "pv")
      for (std::string move; words >> move;) info.pv.push_back(move);
  }
  return info;
}

// What one "go" answered: its scored info lines, every line in order, its bestmove.
struct UciGo {
  std::vector<UciInfo> infos;
  std::vector<std::string> lines;
  std::string best;

  int depth() const {
    int most = -1;
    for (const UciInfo& info : infos) most = std::max(most, info.depth);
    return most;
  }
  // The line said last before bestmove: the end of the search.
  const UciInfo& last() const { return infos.empty() ? none : infos.back(); }
  size_t count(const std::string& start) const {
    return size_t(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
  }
  static inline const UciInfo none{};
};

// The output cut into one UciGo per bestmove (after "uciok" when the
// identity is there); lines after the last bestmove are dropped.
inline std::vector<UciGo> uciGoes(const std::string& out) {
  const size_t identity = out.find("uciok\n");
  std::vector<UciGo> result(1);
  std::istringstream lines(identity == std::string::npos ? out : out.substr(identity + 6));
  for (std::string line; std::getline(lines, line);) {
    result.back().lines.push_back(line);
    if (line.rfind("info ", 0) == 0 && line.find(" score ") != std::string::npos)
      result.back().infos.push_back(parseInfo(line));
    if (line.rfind("bestmove ", 0) == 0) {
      result.back().best = line.substr(9, line.find(' ', 9) - 9);
      result.emplace_back();
    }
  }
  result.pop_back();
  return result;
}

// The lines of the output that start with prefix.
inline std::vector<std::string> linesStarting(const std::string& out, const std::string& prefix) {
  std::vector<std::string> found;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
  return found;
}
