// A UCI engine's answers: scored "info" lines as fields, the output cut into one record per "go".
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

struct UciInfo {
  long long depth = -1, seldepth = -1, multipv = 0, hashfull = -1, score = 0, time = -1, nodes = -1, nps = -1;
  std::string scoreKind;  // "cp" or "mate"
  int wdl[3] = {-1, -1, -1};
  std::vector<std::string> pv;
  std::string scoreText() const { return scoreKind + " " + std::to_string(score); }
};

inline UciInfo parseInfo(const std::string& line) {
  UciInfo info;
  const std::pair<const char*, long long*> fields[] = {{"depth", &info.depth}, {"seldepth", &info.seldepth},
      {"multipv", &info.multipv}, {"hashfull", &info.hashfull}, {"time", &info.time}, {"nodes", &info.nodes}, {"nps", &info.nps}};
  std::istringstream words(line);
  for (std::string word; words >> word;) {
    if (word == "score") words >> info.scoreKind >> info.score;
    if (word == "wdl") words >> info.wdl[0] >> info.wdl[1] >> info.wdl[2];
    if (word == "pv") for (std::string move; words >> move;) info.pv.push_back(move);
    for (const auto& [name, field] : fields) if (word == name) words >> *field;
  }
  return info;
}

inline const UciInfo kNoInfo{};

// What one "go" answered: its scored info lines, every line in order, its bestmove.
struct UciGo {
  std::vector<UciInfo> infos;
  std::vector<std::string> lines;
  std::string best;
  const UciInfo& last() const { return infos.empty() ? kNoInfo : infos.back(); }  // the end of the search
  size_t count(const std::string& start) const {
    return size_t(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
  }
};

// The output (after "uciok" when there) cut into one UciGo per bestmove; what follows the last is dropped.
inline std::vector<UciGo> uciGoes(const std::string& out) {
  const size_t identity = out.find("uciok\n");
  std::vector<UciGo> result(1);
  std::istringstream lines(identity == std::string::npos ? out : out.substr(identity + 6));
  for (std::string line; std::getline(lines, line);) {
    result.back().lines.push_back(line);
    if (line.rfind("info ", 0) == 0 && line.find(" score ") != std::string::npos) result.back().infos.push_back(parseInfo(line));
    if (line.rfind("bestmove ", 0) == 0) result.back().best = line.substr(9, line.find(' ', 9) - 9), result.emplace_back();
  }
  result.pop_back();
  return result;
}
