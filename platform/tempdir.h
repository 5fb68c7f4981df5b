// The private temporary folder of the user, ${TMPDIR:-/tmp}/velmora-<uid>, and
// writing files in it without following links. A shared temporary folder lets
// any other user plant a link under a predictable name; this folder is ours
// alone (mode 0700) and is refused when someone else owns it.
#pragma once

#include <cstddef>
#include <string>

// Creates the folder when missing and checks it: a real folder (not a link),
// owned by the calling user, mode tightened to 0700. When someone else holds
// that name, a fresh folder of this process (mkdtemp, same base) stands in
// for it until ReleasePrivateTempDir. 1 with its path in buf (cap bytes); 0
// when neither can be made (buf empty).
int PrivateTempDir(char *buf, size_t cap);
// Removes the stand-in folder of PrivateTempDir when one was made and is
// empty by now; otherwise nothing. Shutdown.
void ReleasePrivateTempDir(void);

// Creates a new file of this process in the private folder, named
// <prefix>XXXXXX<suffix> with a unique middle, mode 0600. Returns the open
// descriptor (the caller closes it with CloseFd) with the path in *path, or
// -1 (*path empty).
int CreatePrivateTemp(const char *prefix, const char *suffix, std::string *path);

// Creates or empties path (never following a link at its last part, mode
// 0600 when created) and writes the bytes of a, then of b (either may be
// nullptr with length 0). 1 when everything was written, 0 otherwise.
int WriteFileNoFollow(const char *path, const void *a, size_t alen, const void *b, size_t blen);
