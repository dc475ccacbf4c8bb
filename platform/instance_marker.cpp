#include "platform/instance_marker.h"

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
