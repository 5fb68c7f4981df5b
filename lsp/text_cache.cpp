// Texts of sources for converting places (see text_cache.h).
#include "lsp/text_cache.h"

#include <algorithm>

#include "platform/files.h"

namespace {

// Files read are kept up to this many bytes of line tables and texts; past
// it the cache starts again empty (a query over the whole tree reads each
// file once per round).
constexpr size_t kMaxBytes = (size_t)96 << 20;
// Files larger than the analysis takes are not read either.
constexpr int64_t kMaxFile = 0x7FFFFFFF - 64;

}  // namespace

bool ReadWholeFile(const std::string &path, std::string *out) {
  int64_t size = FileSizeForRead(path.c_str());
  if (size < 0 || size > kMaxFile) return false;
  out->assign((size_t)size, '\0');
  int64_t got = size > 0 ? ReadFileInto(path.c_str(), &(*out)[0], size) : 0;
  if (got < 0) return false;
  out->resize((size_t)got);
  return true;
}

std::shared_ptr<const TextLines> TextCache::Lines(const std::string &path) {
  // Places come in runs of one file: the last answer is asked first.
  if (last_ && path == last_path_) return last_;
  last_ = Find(path);
  last_path_ = path;
  return last_;
}

std::shared_ptr<const TextLines> TextCache::Find(const std::string &path) {
  auto b = buffers_.find(path);
  if (b != buffers_.end()) return b->second;
  auto f = files_.find(path);
  if (f != files_.end()) return f->second;
  std::string bytes;
  auto lines = std::make_shared<TextLines>(
      ReadWholeFile(path, &bytes) ? TextLines::FromFileBytes(bytes) : TextLines());
  if (bytes_ + lines->Bytes() > kMaxBytes) Clear();
  bytes_ += lines->Bytes();
  files_[path] = lines;
  return lines;
}

void TextCache::SetBuffer(const std::string &path, const std::string *utf8) {
  last_.reset();
  if (utf8)
    buffers_[path] = std::make_shared<TextLines>(TextLines::FromEditorText(*utf8));
  else
    buffers_.erase(path);
}

void TextCache::Forget(const std::string &path) {
  last_.reset();
  auto f = files_.find(path);
  if (f == files_.end()) return;
  bytes_ -= std::min(bytes_, f->second->Bytes());
  files_.erase(f);
}

void TextCache::Clear() {
  last_.reset();
  files_.clear();
  bytes_ = 0;
}
