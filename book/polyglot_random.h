// The Polyglot book key's random numbers: format data, the same for every
// program that reads these books.
#pragma once

#include <cstdint>

constexpr int kPolyglotRandomCount = 781;
constexpr int kPolyglotCastleOffset = 768;     // white short, white long, black short, black long
constexpr int kPolyglotEnPassantOffset = 772;  // by file, a..h
constexpr int kPolyglotTurnOffset = 780;       // white to move

extern const uint64_t kPolyglotRandom[kPolyglotRandomCount];
