// Single-instance marker: a system-wide lock that the first running instance
// holds until it ends. A crashed instance releases it with its process, so a
// stale marker never makes later instances second ones.
#pragma once

// Lock file path: $MORVEK_INSTANCE_LOCK if set and not empty, else
// $XDG_RUNTIME_DIR/morvek.lock, else /tmp/morvek-<uid>.lock.
void instanceLockPath(char* path, int size);

// Takes the marker for this process. Returns true when another instance
// already holds it. A lock file that cannot be opened counts as no other
// instance, like a marker whose creation failed.
bool createInstanceMarker();
