// Files the program writes where other people or programs may reach: the log
// files and pictures in the desktop folder, the graph file beside the
// programs. A name there may have been replaced by a link to some other file,
// a device or a folder while we were not looking, so nothing here follows a
// link at the last part of a path, writes into anything but a regular file
// with one link, or creates a file that someone else could have made first.
#pragma once

#include <cstddef>
#include <cstdint>

// Why a file at an output path was not opened.
enum class OutputRefusal {
  kNone,        // opened
  kFailed,      // the system refused (no folder, no permission, no space ...)
  kLink,        // a symbolic link stands at the path
  kNotRegular,  // a folder, device, pipe or socket stands at the path
  kManyLinks,   // a regular file that has other names as well
};

// A short English text for a refusal ("Link" ...), for trace lines.
const char *OutputRefusalText(OutputRefusal why);

// Opens path for appending: an existing file only when it is a regular file
// with one link, a missing one created exclusively (mode 0666 less the umask).
// Returns the descriptor (the caller closes it with CloseFd), or -1 with the
// reason in *why (may be null).
int OpenOutputAppend(const char *path, OutputRefusal *why);

// Appends len bytes to path, opened as OpenOutputAppend does. 1 written; 0
// when nothing or not everything was written (*why says why it was not
// opened; kNone when the write itself failed).
int AppendOutputFile(const char *path, const void *bytes, size_t len, OutputRefusal *why);

// Puts a new empty file at path: made under a fresh name in the same folder
// and renamed over path, so whatever stood there is replaced, never written
// through, and two writers never share one file. Refused when path is a link,
// not a regular file or a file with other links. Returns the descriptor of
// the new file, open for reading and writing (the caller closes it), or -1
// with *why.
int ReplaceWithNewFile(const char *path, OutputRefusal *why);

// A name claimed in a folder: the empty file created for it, still open, and
// its identity, so that only that very file is ever replaced or removed.
struct ClaimedFile {
  int fd = -1;                // open descriptor of the claimed file, -1 for none
  uint64_t dev = 0, ino = 0;  // its identity
};

enum class ClaimResult {
  kClaimed,  // the name is ours
  kTaken,    // something already has that name (a link included)
  kFailed,   // the folder cannot be opened or written
};

// Claims dir/name by creating it exclusively (never through a link), mode
// 0644 less the umask. On kClaimed *out holds the open file; otherwise *out is
// empty.
ClaimResult ClaimNewFile(const char *dir, const char *name, ClaimedFile *out);

// Moves the finished file `from` onto the claimed dir/name: renamed over it
// when the name still holds the claimed file and both sit on one file system,
// else copied into the claimed file through its descriptor. `from` is gone
// afterwards and the claim is closed either way. 1 when the bytes are at the
// claimed file, 0 otherwise (the claimed file is then removed as by
// ReleaseClaimedFile).
int FillClaimedFile(ClaimedFile *c, const char *dir, const char *name, const char *from);

// Gives a claim up: removes dir/name when it is still the claimed file and
// empty, and closes it. Nothing for an empty claim.
void ReleaseClaimedFile(ClaimedFile *c, const char *dir, const char *name);

// How a lock on a folder went.
enum class FolderLock {
  kHeld,    // ours until ReleaseFolderLock
  kBusy,    // another open file of the folder holds it (another instance)
  kFailed,  // the folder cannot be opened or locked (no folder, a file system without locks)
};

// Takes an exclusive advisory lock (flock) on the folder dir itself, without
// waiting; no file is made. On kHeld *fd is the open descriptor that holds
// it (close-on-exec, so no child keeps it); otherwise *fd is -1.
FolderLock LockFolder(const char *dir, int *fd);
// Gives a lock of LockFolder back (closes fd; nothing for -1).
void ReleaseFolderLock(int fd);
