// The user's own folders under the freedesktop base-directory rules (config
// and state), and the two file operations an installed program needs there:
// making its folder private and placing a first copy of a file without ever
// replacing one the user already has.
#pragma once

#include <cstddef>

enum class UserDir {
  kConfig,  // $XDG_CONFIG_HOME, else ~/.config: settings the user edits
  kState,   // $XDG_STATE_HOME, else ~/.local/state: files the program rewrites
  kCache,   // $XDG_CACHE_HOME, else ~/.cache: files that can be made again
};

// The home folder: $HOME, else the password database's entry. 1 with the
// path in buf; 0 when there is none or it does not fit (buf empty).
int UserHomeDir(char *buf, size_t cap);

// The base folder of that kind: the variable when it holds an absolute path
// (a relative one is ignored, as the rules say), else the default below the
// home folder ($HOME, else the password database). 1 with the path in buf;
// 0 when there is no home or it does not fit (buf empty). Creates nothing.
int UserBaseDir(UserDir which, char *buf, size_t cap);

// A path as a user writes it in the settings: a leading "~" is the home
// folder, "$NAME" and "${NAME}" the environment's values, where an unset
// XDG_CONFIG_HOME or XDG_STATE_HOME stands for its default (above) and any
// other unset name makes the path unusable. 1 with the path in buf; 0 when
// it cannot be made or does not fit (buf empty).
int ExpandUserPath(const char *path, char *buf, size_t cap);

// Creates the folder path with its missing parents, each new one with mode
// 0700 (the base-directory rules), and checks that path is a folder owned by
// the calling user. A folder that already exists keeps its mode. 1 when it
// is usable afterwards; 0 otherwise (parents made so far stay).
int MakeUserDir(const char *path);

// Copies the regular file from to the new file to, unless something already
// exists at to. The bytes go to a temporary name beside to, which then moves
// in place with a rename that never replaces, so the user's file is never
// overwritten and never seen half written. 1 copied; 0 not copied (to
// exists, from unreadable or larger than 16 MiB, a write failed), and then
// nothing of the attempt is left behind.
int CopyFileNoReplace(const char *from, const char *to);
