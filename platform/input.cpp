#include "platform/input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/console.h"
#include "platform/page_input.h"

#if defined(__EMSCRIPTEN__)
// No descriptors: the page's lines come through platform/page_input.
#elif defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

RefusedLineListener refusedLineListener = nullptr;

namespace {

constexpr size_t kReadSize = size_t(1) << 16;
// An over-long line is dropped as it arrives and leaves this much in its
// place: a zero byte, 0xFF and its length in digits.
constexpr size_t kMarkerRoom = 32;
// Lines kept during a search, one longest line behind them and one read.
constexpr size_t kBufferSize = 2 * kMaxLineLength + 2 * kReadSize;

struct InputBuffer {
  int fd = 0;
  char data[kBufferSize];
  size_t start = 0;     // the first byte not handed out
  size_t end = 0;       // one past the last byte read
  size_t kept = 0;      // bytes from start: lines looked at and kept for later
  size_t lookedAt = 0;  // length of the line handed out by nextWaitingLine, 0 for none
  bool pendingReturn = false;  // a '\r' read last, not yet known to end a line
  bool ended = false;
  bool skipping = false;  // inside an over-long line: dropped up to its newline
  uint64_t skipped = 0;   // that line's length so far
};

InputBuffer input;
char commandLine[kMaxLineLength + 2];  // readInputLine's
char waitingLine[kMaxLineLength + 2];  // nextWaitingLine's

void appendMarker() {
  input.data[input.end++] = '\0';
  input.data[input.end++] = '\xFF';
  input.end += size_t(snprintf(input.data + input.end, kMarkerRoom - 2, "%llu",
                               static_cast<unsigned long long>(input.skipped)));
}

void emit(char c) {
  if (!input.skipping) {
    input.data[input.end++] = c;
  } else if (c == '\n') {
    input.skipping = false;
    appendMarker();
    input.data[input.end++] = '\n';
  } else {
    ++input.skipped;
  }
}

// Appends raw bytes with each "\r\n" turned into "\n"; room was checked.
void appendConverted(const char* raw, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (input.pendingReturn) {
      input.pendingReturn = false;
      if (raw[i] != '\n') emit('\r');
    }
    if (raw[i] == '\r')
      input.pendingReturn = true;
    else
      emit(raw[i]);
  }
}

void markEnded() {
  input.ended = true;
  if (input.pendingReturn) {
    input.pendingReturn = false;
    emit('\r');
  }
  if (input.skipping) {
    input.skipping = false;
    appendMarker();
  }
}

// Length of the complete line at from, its newline included; 0 when it is
// not complete yet. A line found too long is dropped from here on and its
// remaining bytes as they come.
size_t completeLine(size_t from) {
  const size_t available = input.end - from;
  const size_t scan = available < kMaxLineLength + 1 ? available : kMaxLineLength + 1;
  const void* newline = memchr(input.data + from, '\n', scan);
  if (newline) return size_t(static_cast<const char*>(newline) - (input.data + from)) + 1;
  if (available <= kMaxLineLength) return input.ended ? available : 0;
  // Too long: a marker takes its place, now if its end is here already,
  // else once its newline comes.
  const char* rest = static_cast<const char*>(memchr(input.data + from + scan, '\n', available - scan));
  const size_t length = rest ? size_t(rest - (input.data + from)) : available;
  const size_t tail = available - length;
  input.end = from;
  input.skipping = true;
  input.skipped = length;
  if (rest) {
    input.skipping = false;
    appendMarker();
    memmove(input.data + input.end, input.data + from + length, tail);
    input.end += tail;
  } else if (input.ended) {
    input.skipping = false;
    appendMarker();
  }
  return completeLine(from);
}

bool hasRoom() { return kBufferSize - (input.end - input.start) > kReadSize + kMarkerRoom + 1; }

// One read into the free room, at most kReadSize bytes (one more byte stays
// free for a pending '\r', and room for a marker). Blocks when nothing waits.
void fillOnce() {
  static char raw[kReadSize];
  if (!hasRoom()) return;
  if (input.end + kReadSize + kMarkerRoom + 1 > kBufferSize) {
    memmove(input.data, input.data + input.start, input.end - input.start);
    input.end -= input.start;
    input.start = 0;
  }
#if defined(__EMSCRIPTEN__)
  int n = pageInputRead(raw, int(kReadSize), 1);
  errno = 0;
#elif defined(_WIN32)
  int n = _read(input.fd, raw, unsigned(kReadSize));
#else
  int n = int(read(input.fd, raw, kReadSize));
#endif
  if (n > 0)
    appendConverted(raw, size_t(n));
  else if (n == 0 || errno != EINTR)
    markEnded();
}

// True when a read would not block.
bool readable() {
#if defined(__EMSCRIPTEN__)
  return pageInputReady();
#elif defined(_WIN32)
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(input.fd));
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    // A console read returns whole lines: wait for a pressed Enter key.
    INPUT_RECORD records[64];
    DWORD count = 0;
    if (!PeekConsoleInputA(handle, records, 64, &count)) return false;
    for (DWORD i = 0; i < count; ++i)
      if (records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown &&
          records[i].Event.KeyEvent.wVirtualKeyCode == VK_RETURN)
        return true;
    return false;
  }
  if (GetFileType(handle) == FILE_TYPE_PIPE) {
    DWORD available = 0;
    if (PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) return available > 0;
    // A broken pipe reads as the end at once. A pipe that cannot be peeked
    // (wine's stand-in for a Unix pipe) never says a line waits: the search
    // must not block, and the line is read when the search is over.
    return GetLastError() == ERROR_BROKEN_PIPE;
  }
  return true;  // a file never blocks
#else
  pollfd descriptor = {input.fd, POLLIN, 0};
  return poll(&descriptor, 1, 0) > 0;
#endif
}

// Well-formed UTF-8: no stray continuation byte, no over-long form, no
// surrogate, nothing beyond U+10FFFF.
bool isUtf8(const unsigned char* text, size_t length) {
  size_t i = 0;
  while (i < length) {
    const unsigned c = text[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t extra;
    unsigned least;
    if (c >= 0xC2 && c <= 0xDF)
      extra = 1, least = 0x80;
    else if (c >= 0xE0 && c <= 0xEF)
      extra = 2, least = 0x800;
    else if (c >= 0xF0 && c <= 0xF4)
      extra = 3, least = 0x10000;
    else
      return false;
    if (length - i <= extra) return false;
    unsigned code = c & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
      if ((text[i + k] & 0xC0) != 0x80) return false;
      code = code << 6 | (text[i + k] & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

// True when the line of length n at from is one to refuse; says why.
bool refused(size_t from, size_t n, LineFault* fault, uint64_t* length) {
  const char* text = input.data + from;
  const size_t textLength = n > 0 && text[n - 1] == '\n' ? n - 1 : n;
  *length = textLength;
  if (memchr(text, '\0', textLength) == nullptr) {
    if (isUtf8(reinterpret_cast<const unsigned char*>(text), textLength)) return false;
    *fault = LineFault::kNotUtf8;
    return true;
  }
  // A line that really held these bytes is refused all the same.
  if (textLength >= 3 && text[0] == '\0' && text[1] == '\xFF') {
    *fault = LineFault::kTooLong;
    *length = 0;
    for (size_t i = 2; i < textLength && text[i] >= '0' && text[i] <= '9'; ++i)
      *length = *length * 10 + uint64_t(text[i] - '0');
    return true;
  }
  *fault = LineFault::kZeroByte;
  return true;
}

void report(LineFault fault, uint64_t length) {
  if (refusedLineListener) refusedLineListener(fault, length);
}

// Removes the looked-at line behind the kept ones.
void removeLookedAt() {
  memmove(input.data + input.start + input.lookedAt, input.data + input.start, input.kept);
  input.start += input.lookedAt;
  input.lookedAt = 0;
}

}  // namespace

const char* lineFaultText(LineFault fault) {
  switch (fault) {
    case LineFault::kTooLong: return "longer than 1048576 characters";
    case LineFault::kZeroByte: return "holds a zero byte";
    case LineFault::kNotUtf8: return "is not UTF-8";
  }
  return "";
}

char* readInputLine() {
  input.lookedAt = 0;
  for (;;) {
    if (terminationRequested()) return nullptr;
    const size_t n = completeLine(input.start);
    if (n > 0) {
      LineFault fault;
      uint64_t length;
      const bool bad = refused(input.start, n, &fault, &length);
      if (!bad) {
        memcpy(commandLine, input.data + input.start, n);
        commandLine[n] = '\0';
      }
      input.start += n;
      input.kept = input.kept > n ? input.kept - n : 0;
      if (!bad) return commandLine;
      report(fault, length);
      continue;
    }
    if (input.ended) return nullptr;
    fillOnce();
  }
}

bool inputLineWaiting() {
  if (completeLine(input.start + input.kept) > 0 || input.ended) return true;
  if (!hasRoom() || !readable()) return false;
  fillOnce();
  return completeLine(input.start + input.kept) > 0 || input.ended;
}

char* nextWaitingLine() {
  for (;;) {
    const size_t from = input.start + input.kept;
    const size_t n = completeLine(from);
    input.lookedAt = n;
    if (n == 0) return nullptr;
    LineFault fault;
    uint64_t length;
    if (!refused(from, n, &fault, &length)) {
      memcpy(waitingLine, input.data + from, n);
      waitingLine[n] = '\0';
      return waitingLine;
    }
    // Behind kept lines it is said in its turn, by readInputLine.
    if (input.kept > 0) {
      keepWaitingLine();
      continue;
    }
    removeLookedAt();
    report(fault, length);
  }
}

void dropWaitingLine() { removeLookedAt(); }

void keepWaitingLine() {
  input.kept += input.lookedAt;
  input.lookedAt = 0;
}

char* waitForNextLine() {
  for (;;) {
    if (terminationRequested()) return nullptr;
    if (char* line = nextWaitingLine()) return line;
    // A buffer full of kept lines cannot take more: counted as the end.
    if (input.ended || !hasRoom()) return nullptr;
    fillOnce();
  }
}

bool inputEnded() { return input.ended; }

bool linesKept() { return input.kept > 0; }

void resetInput(int fd) {
  input.fd = fd;
  input.start = input.end = input.kept = input.lookedAt = 0;
  input.pendingReturn = input.ended = input.skipping = false;
  input.skipped = 0;
}
