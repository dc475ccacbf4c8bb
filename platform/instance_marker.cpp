#include "platform/instance_marker.h"

#ifdef _WIN32

#include <windows.h>

namespace {

// The bytes of "dummy" with its terminating zero read as 16-bit units, then
// a real terminator so the name ends where it should.
const wchar_t kMarkerName[] = {wchar_t(0x7564), wchar_t(0x6D6D), wchar_t(0x0079), 0};
constexpr DWORD kMarkerBytes = 1024;

// Never closed: the object lives as long as any instance holds it.
HANDLE instanceMarker = nullptr;

}  // namespace

bool createInstanceMarker() {
  instanceMarker = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      kMarkerBytes, kMarkerName);
  return GetLastError() == ERROR_ALREADY_EXISTS;
}

#else

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

void instanceLockPath(char* path, int size) {
  const char* custom = getenv("MORVEK_INSTANCE_LOCK");
  if (custom != nullptr && custom[0] != '\0') {
    snprintf(path, size_t(size), "%s", custom);
    return;
  }
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] != '\0') {
    snprintf(path, size_t(size), "%s/morvek.lock", runtime);
    return;
  }
  snprintf(path, size_t(size), "/tmp/morvek-%u.lock", unsigned(getuid()));
}

namespace {

// One byte of the lock file carries the lock.
bool lockByte(int fd, short type, bool wait) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 1;
  int result;
  do {
    result = fcntl(fd, wait ? F_SETLKW : F_SETLK, &lock);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

}  // namespace

bool createInstanceMarker() {
  char path[4096];
  instanceLockPath(path, sizeof path);
  // Kept open until exit; O_CLOEXEC so that no child process inherits it.
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  // Every instance holds a shared lock while it runs, so the exclusive one
  // is free only when no other instance runs. The winner turns its lock into
  // a shared one in one step (fcntl replaces a lock atomically); a loser
  // waits at most for that step before it holds its own shared lock.
  if (lockByte(fd, F_WRLCK, false)) {
    lockByte(fd, F_RDLCK, false);
    return false;
  }
  bool heldElsewhere = errno == EAGAIN || errno == EACCES;
  if (!heldElsewhere) {
    close(fd);
    return false;  // no locking here: as if no other instance ran
  }
  lockByte(fd, F_RDLCK, true);
  return true;
}

#endif
