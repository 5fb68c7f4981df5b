// The texts of the sources as a client sees them, for converting places: the
// buffer of an open document, else the file read once and kept (bounded; a
// file that changes is dropped when the client says so).
#pragma once

#include <map>
#include <memory>
#include <string>

#include "lsp/positions.h"

class TextCache {
 public:
  // The lines of the file at path (native): what an open document holds,
  // else the file's text as read now or earlier; an empty text when it
  // cannot be read. Never null.
  std::shared_ptr<const TextLines> Lines(const std::string &path);
  // An open document's text stands for its file from now on (utf8 null:
  // no longer; the file counts again).
  void SetBuffer(const std::string &path, const std::string *utf8);
  // The file at path may have changed on disk.
  void Forget(const std::string &path);
  // Drops every file read (not the buffers).
  void Clear();

 private:
  std::shared_ptr<const TextLines> Find(const std::string &path);

  std::map<std::string, std::shared_ptr<const TextLines>> buffers_;  // open documents
  std::map<std::string, std::shared_ptr<const TextLines>> files_;    // files read
  size_t bytes_ = 0;                                                 // kept for files_
  std::string last_path_;                                            // the path asked last
  std::shared_ptr<const TextLines> last_;                            // its lines, or null
};

// The bytes of the file at path (native); false when it cannot be read.
bool ReadWholeFile(const std::string &path, std::string *out);
