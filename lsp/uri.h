// file: URIs and the native paths of the sources: the only URIs the server
// understands. A path is kept as the bytes the file system uses; a URI
// percent-encodes every byte but the unreserved ones and '/'.
#pragma once

#include <string>

// The native path of a file: URI (percent escapes decoded, "file://" or
// "file://localhost" before an absolute path). false for any other URI, a
// relative path, an escape that is not two hex digits or a NUL byte.
bool UriToPath(const std::string &uri, std::string *path);
// The file: URI of an absolute native path.
std::string PathToUri(const std::string &path);
// path without trailing '/' (but "/" itself) and with "//" runs made one.
std::string TidyPath(const std::string &path);
// true when path is folder or lies below it (both tidy).
bool PathIsBelow(const std::string &path, const std::string &folder);
