// Single-instance marker: a system-wide object that exists while any
// instance runs. A crashed instance releases it with its process, so a stale
// marker never makes later instances second ones.
#pragma once

#ifndef _WIN32
// Lock file path: $MORVEK_INSTANCE_LOCK if set and not empty, else
// $XDG_RUNTIME_DIR/morvek.lock, else /tmp/morvek-<uid>.lock.
void instanceLockPath(char* path, int size);
#endif

// Takes the marker for this process and holds it until the process ends.
// Returns true when another instance already holds it. A marker that cannot
// be created counts as no other instance.
//   Windows: a named 1024-byte mapping of the paging file; the name already
//   existing (ERROR_ALREADY_EXISTS) means another instance.
//   Elsewhere: a lock on the lock file above that every instance holds
//   shared; another instance runs when the lock cannot be taken exclusively.
bool createInstanceMarker();
