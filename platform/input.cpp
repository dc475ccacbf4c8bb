#include "platform/input.h"

#include <cerrno>
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

namespace {

constexpr int kPieceLimit = kInputLineSize - 2;  // fgets with 1023: 1022 characters
constexpr int kBufferSize = 1 << 16;

struct InputBuffer {
  int fd = 0;
  char data[kBufferSize];
  int length = 0;      // bytes in data
  int kept = 0;        // bytes at the front: lines looked at and kept for later
  int lookedAt = 0;    // length of the line handed out by nextWaitingLine, 0 for none
  bool pendingReturn = false;  // a '\r' read last, not yet known to end a line
  bool ended = false;
};

InputBuffer input;

// Length of the complete piece at from; 0 when it is not complete yet.
int pieceLength(int from) {
  const int available = input.length - from;
  const int scan = available < kPieceLimit ? available : kPieceLimit;
  const void* newline = memchr(input.data + from, '\n', size_t(scan));
  if (newline) return int(static_cast<const char*>(newline) - (input.data + from)) + 1;
  if (available >= kPieceLimit) return kPieceLimit;
  return input.ended ? available : 0;
}

// Appends raw bytes with each "\r\n" turned into "\n"; room was checked.
void appendConverted(const char* raw, int count) {
  for (int i = 0; i < count; ++i) {
    if (input.pendingReturn) {
      input.pendingReturn = false;
      if (raw[i] != '\n') input.data[input.length++] = '\r';
    }
    if (raw[i] == '\r')
      input.pendingReturn = true;
    else
      input.data[input.length++] = raw[i];
  }
}

void markEnded() {
  input.ended = true;
  if (input.pendingReturn) {
    input.pendingReturn = false;
    input.data[input.length++] = '\r';
  }
}

// One read into the free room (which always holds at least one byte more
// than a read may bring, for a pending '\r'). Blocks when nothing waits.
void fillOnce() {
  char raw[4096];
  int room = kBufferSize - input.length - 1;
  if (room <= 0) return;
  if (room > int(sizeof raw)) room = int(sizeof raw);
#if defined(__EMSCRIPTEN__)
  int n = pageInputRead(raw, room, 1);
  errno = 0;
#elif defined(_WIN32)
  int n = _read(input.fd, raw, unsigned(room));
#else
  int n = int(read(input.fd, raw, size_t(room)));
#endif
  if (n > 0)
    appendConverted(raw, n);
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

void removeBytes(int from, int count) {
  memmove(input.data + from, input.data + from + count, size_t(input.length - from - count));
  input.length -= count;
}

}  // namespace

bool readInputLine(char line[kInputLineSize]) {
  input.lookedAt = 0;
  for (;;) {
    if (terminationRequested()) return false;
    const int n = pieceLength(0);
    if (n > 0) {
      memcpy(line, input.data, size_t(n));
      line[n] = '\0';
      removeBytes(0, n);
      input.kept = input.kept > n ? input.kept - n : 0;
      return true;
    }
    if (input.ended) return false;
    fillOnce();
  }
}

bool inputLineWaiting() {
  if (pieceLength(input.kept) > 0 || input.ended) return true;
  if (input.length + 1 >= kBufferSize || !readable()) return false;
  fillOnce();
  return pieceLength(input.kept) > 0 || input.ended;
}

bool nextWaitingLine(char line[kInputLineSize]) {
  const int n = pieceLength(input.kept);
  input.lookedAt = n;
  if (n == 0) return false;
  memcpy(line, input.data + input.kept, size_t(n));
  line[n] = '\0';
  return true;
}

void dropWaitingLine() {
  removeBytes(input.kept, input.lookedAt);
  input.lookedAt = 0;
}

void keepWaitingLine() {
  input.kept += input.lookedAt;
  input.lookedAt = 0;
}

bool waitForNextLine(char line[kInputLineSize]) {
  for (;;) {
    if (terminationRequested()) return false;
    if (nextWaitingLine(line)) return true;
    // A buffer full of kept lines cannot take more: counted as the end.
    if (input.ended || input.length + 1 >= kBufferSize) return false;
    fillOnce();
  }
}

bool inputEnded() { return input.ended; }

bool linesKept() { return input.kept > 0; }

void resetInput(int fd) {
  input.fd = fd;
  input.length = input.kept = input.lookedAt = 0;
  input.pendingReturn = input.ended = false;
}
