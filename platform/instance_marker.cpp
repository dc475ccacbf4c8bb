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
#include <sys/file.h>
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

bool createInstanceMarker() {
  char path[1024];
  instanceLockPath(path, sizeof path);
  // Kept open until exit; O_CLOEXEC so that no child process inherits the lock.
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return false;
  bool heldElsewhere = errno == EWOULDBLOCK;
  close(fd);
  return heldElsewhere;
}

#endif
