// Files and folders: existence, sizes, whole-file reads, appends, the
// no-replace rename, folder walks and the desktop folder. Paths are native
// (UTF-8 bytes); nothing here ever truncates a path silently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum { VELMORA_PATH_MAX = 4096 };  // room for a native path and its NUL

int FileExists(const char *path);     // 1 if anything exists at path
int IsDirectory(const char *path);    // 1 for a folder (links followed)
int IsRegularFile(const char *path);  // 1 for a regular file (links followed)
// Size of a regular file that can be opened for reading, or -1. Anything but
// a regular file (a pipe, device or socket) is refused without being opened.
int64_t FileSizeForRead(const char *path);
// Reads up to cap bytes of the regular file into buf (as FileSizeForRead, no
// other kind of file is opened); returns bytes read or -1.
int64_t ReadFileInto(const char *path, void *buf, int64_t cap);
// What a file is at one moment: its size and modification time.
struct FileStamp {
  int64_t size;      // bytes
  int64_t mtime_ns;  // modification time, nanoseconds since the epoch
};
// Reads up to cap bytes of the regular file into buf, as ReadFileInto does,
// and stamps the open file before and after the read, so a file that
// changed while it was read can be told (after differs from before).
// Returns bytes read or -1 (the stamps are then zero).
int64_t ReadFileStamped(const char *path, void *buf, int64_t cap, FileStamp *before,
                        FileStamp *after);
// The stamp of the regular file at path (links followed); 1 found.
int StampFile(const char *path, FileStamp *out);
// Appends bytes (creating the file); 1 written, 0 lost.
int AppendFile(const char *path, const void *bytes, size_t len);
// Renames from to to only when to does not exist; 1 done, 0 not.
int RenameNoReplace(const char *from, const char *to);
// Removes a file (a link itself, never its target); 1 removed.
int RemoveFile(const char *path);
// Reads up to cap bytes at offset of an open file into buf; bytes read or -1.
int64_t ReadFdFrom(int fd, int64_t offset, void *buf, int64_t cap);
// Cuts a file to length 0 (creating it); 1 done.
int TruncateFile(const char *path);
// Creates a folder and its parents; 1 when it exists afterwards.
int MakeDirs(const char *path);

// The desktop folder: $XDG_DESKTOP_DIR, else DESKTOP of user-dirs.dirs, else
// $HOME/Desktop; created when missing. 1 with the path in buf, 0 when it cannot
// be made (buf empty).
int DesktopFolder(char *buf, size_t cap);
// Where the logs and pictures go: the folder SetOutputFolder named, made
// (private, as MakeUserDir makes it) when missing, else the desktop folder.
// 1 with the path in buf, 0 when it cannot be made (buf empty). Main thread.
int OutputFolder(char *buf, size_t cap);
// Names that folder (an absolute native path); nullptr or "" is the desktop
// folder again. Main thread, before the logs and graph output are opened.
void SetOutputFolder(const char *path);

// One entry of a folder walk.
struct DirEntryInfo {
  const char *name;   // entry name (native bytes)
  int is_dir;         // folder (after following a link)
  int is_file;        // regular file (after following a link)
  int is_link;        // the entry itself is a symbolic link
  uint64_t dev, ino;  // identity of what it refers to
  int is_special;     // a device, pipe or socket (after following a link)
};
// The same, owning its name.
struct DirEntry {
  std::string name;   // entry name (native bytes)
  int is_dir;         // folder (after following a link)
  int is_file;        // regular file (after following a link)
  int is_link;        // the entry itself is a symbolic link
  uint64_t dev, ino;  // identity of what it refers to
  int is_special;     // a device, pipe or socket (after following a link)
};
// Reads every entry of dir except "." and "..", in name order, into *out and
// closes the folder before it returns, so a walk that descends afterwards
// holds no folder open. 1, or 0 if dir cannot be read (*out empty).
int ReadDirEntries(const char *dir, std::vector<DirEntry> *out);
// Calls fn for every entry of dir except "." and "..", in name order (read
// as ReadDirEntries does); fn returning 0 stops the walk. Returns 1, or 0 if
// dir cannot be read.
int ForEachDirEntry(const char *dir, int (*fn)(const DirEntryInfo *e, void *ctx), void *ctx);
// Identity of an existing path (links followed); 1 found.
int PathIdentity(const char *path, uint64_t *dev, uint64_t *ino);

// The working folder of the process; 1 with the path in buf, 0 when it
// cannot be had or does not fit (buf empty).
int WorkingFolder(char *buf, size_t cap);
// Real path of the running executable ("" on failure); 1 found, 0 not (also
// when it does not fit in cap).
int ProgramPath(char *buf, size_t cap);

// A file kept open for appending by a writer that must not lose lines and must
// notice when the file is moved away or deleted under it (the log channels).
// Opens (creating) path for appending; returns the descriptor, or -1.
int OpenAppendFd(const char *path);
// Writes all len bytes at the end of the file; 1 written, 0 lost.
int WriteFd(int fd, const void *bytes, size_t len);
struct FdInfo {
  uint64_t dev, ino;  // identity of the open file
  int64_t size;       // its current size
  uint64_t nlink;     // 0 once the file was deleted
};
// State of an open descriptor; 1 done.
int FdStat(int fd, FdInfo *info);
// Closes a descriptor from OpenAppendFd (-1 is ignored).
void CloseFd(int fd);
