#include "platform/memory.h"

#ifdef _WIN32

#include <windows.h>

uint64_t availableMemory() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? uint64_t(status.ullAvailPhys) : UINT64_MAX;
}

#else

#include <unistd.h>

#include <cstdio>

uint64_t availableMemory() {
  // Free memory and what the system can reclaim (caches) without swapping.
  if (FILE* file = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    unsigned long long kilobytes = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, file))
      found = std::sscanf(line, "MemAvailable: %llu kB", &kilobytes) == 1;
    std::fclose(file);
    if (found) return uint64_t(kilobytes) * 1024;
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES), size = sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? uint64_t(pages) * uint64_t(size) : UINT64_MAX;
}

#endif
