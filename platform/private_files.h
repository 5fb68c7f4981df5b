// Files a program keeps for its user alone (the index of a project): a
// folder only its owner may enter, files only its owner may read, created
// new and never reached through a link, and an advisory lock that tells two
// programs on one file apart. Paths are native.
#pragma once

#include <cstdint>

// Creates the folder with its missing parents (each new one 0700) and checks
// it without following a link at its last part: a real folder owned by the
// calling user, its mode tightened to 0700. 1 usable; 0 refused or not made.
int MakePrivateDir(const char *path);

enum class PrivateFile {
  kAbsent,   // nothing at the path
  kReady,    // a regular file of ours with one name (its mode is 0600 now)
  kRefused,  // a link, a folder, a device, another user's file, a file with other names
};
// What stands at path, looked at without following a link.
PrivateFile CheckPrivateFile(const char *path);
// Creates path as a new empty file of mode 0600 (never through a link, never
// over something that exists). 1 created.
int CreatePrivateFile(const char *path);
// The size of the file at path, without following a link; -1 when none.
int64_t PrivateFileSize(const char *path);

// An exclusive lock on the lock file at path (made 0600 when missing, never
// through a link), not waiting for it: the descriptor that holds it (>= 0),
// -2 when another process holds it, -1 when it cannot be had at all.
int LockPrivateFile(const char *path);
// Gives the lock back (nothing for a negative descriptor).
void UnlockPrivateFile(int fd);
