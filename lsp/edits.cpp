// Keeping up with edits (see server.h): open documents and their buffers,
// full-text changes, closing (back to the file on disk) and the client's
// file watchers (new, changed and deleted files). Each change marks a source
// to analyse again; the update runs on the worker as soon as no job runs,
// and the requests that came after an edit wait until it is analysed.
#include <algorithm>
#include <cstdio>

#include "engine/encoding.h"

#include "lsp/server.h"
#include "lsp/uri.h"
#include "platform/codepage.h"

namespace {

// The document's path and the text of a params.textDocument; false when
// the URI names no file.
bool DocumentPath(const Json &params, std::string *uri, std::string *path) {
  const Json *doc = GetObject(params, "textDocument");
  return doc && GetString(*doc, "uri", uri) && UriToPath(*uri, path);
}

enum { kCreated = 1, kChanged = 2, kDeleted = 3 };

}  // namespace

bool Server::BufferDiffersFromFile(const std::string &path, const std::string &text) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes)) return true;
  if (bytes == text) return false;
  // The file as the editor shows it: its encoding read as the analysis reads
  // it, brought to UTF-8 without a mark.
  std::string shown;
  unsigned char b0 = bytes.size() > 1 ? (unsigned char)bytes[0] : 0;
  SourceEncoding enc =
      DetectSourceEncoding(bytes.data(), (int)std::min<size_t>(bytes.size(), 0x7FFFFFFF));
  if (enc == SourceEncoding::kUtf16) {
    std::string utf8(bytes.size() * 2 + 16, '\0');
    long n = ConvertText(b0 == 0xFE ? "UTF-16BE" : "UTF-16LE", "UTF-8", bytes.data() + 2,
                         (bytes.size() - 2) & ~(size_t)1, &utf8[0], utf8.size());
    shown = n >= 0 ? utf8.substr(0, (size_t)n) : std::string();
  } else if (enc == SourceEncoding::kUtf8) {
    shown = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
  } else {
    shown = SjisToUtf8(bytes);
  }
  return shown != text;
}

void Server::MarkChanged(const std::string &path, Change how) {
  changed_[path] = how;
  edits_++;
  if (work_ == Work::kNone) StartUpdate();
}

void Server::StartUpdate() {
  std::vector<SourceChange> changes;
  for (const auto &c : changed_) {
    SourceChange one{c.first.c_str(), nullptr, 0, c.second == Change::kRemoved};
    auto doc = s_.docs.find(c.first);
    if (c.second == Change::kBuffer && doc != s_.docs.end()) {
      one.text = doc->second.text.data();
      one.len = doc->second.text.size();
      doc->second.analysed = true;
    }
    changes.push_back(one);
  }
  in_job_ = edits_;
  work_ = Work::kUpdate;
  if (WorkspaceUpdate(changes)) {
    changed_.clear();
    return;
  }
  // No project to update (nothing was collected, or every function went):
  // the workspace is analysed anew, and the buffers go in after it.
  work_ = Work::kAgain;
  changed_.clear();
  if (!WorkspaceAnalyse(s_.roots)) {
    work_ = Work::kNone;
    applied_ = edits_;
  }
}

void Server::DidOpen(const Json &params) {
  std::string uri, path, text;
  const Json *doc = GetObject(params, "textDocument");
  if (!DocumentPath(params, &uri, &path) || !GetString(*doc, "text", &text)) return;
  long long version = 0;
  GetInt(*doc, "version", &version);
  s_.docs[path] = OpenDocument{uri, version, text, false};
  s_.texts.SetBuffer(path, &text);
  if (!WorkspaceTakes(s_.roots, path)) return;
  if (BufferDiffersFromFile(path, text)) MarkChanged(path, Change::kBuffer);
}

void Server::DidChange(const Json &params) {
  std::string uri, path;
  if (!DocumentPath(params, &uri, &path)) return;
  auto doc = s_.docs.find(path);
  const Json *changes = GetArray(params, "contentChanges");
  if (doc == s_.docs.end() || !changes || changes->empty()) return;
  // Full sync: the last change holds the whole text.
  const Json &last = changes->back();
  std::string text;
  if (Member(last, "range") || !GetString(last, "text", &text)) {
    Log(2, "velmora-lsp: a change without the whole text is ignored (full sync only)");
    return;
  }
  long long version = doc->second.version;
  if (const Json *d = GetObject(params, "textDocument")) GetInt(*d, "version", &version);
  doc->second.version = version;
  doc->second.text = text;
  s_.texts.SetBuffer(path, &text);
  if (WorkspaceTakes(s_.roots, path)) MarkChanged(path, Change::kBuffer);
}

void Server::DidClose(const Json &params) {
  std::string uri, path;
  if (!DocumentPath(params, &uri, &path)) return;
  auto doc = s_.docs.find(path);
  if (doc == s_.docs.end()) return;
  bool analysed = doc->second.analysed;
  s_.docs.erase(doc);
  s_.texts.SetBuffer(path, nullptr);
  s_.texts.Forget(path);
  // The analysis goes back to the file on disk.
  if (analysed || changed_.count(path)) MarkChanged(path, Change::kFile);
}

void Server::DidChangeWatchedFiles(const Json &params) {
  const Json *changes = GetArray(params, "changes");
  if (!changes) return;
  for (const Json &c : *changes) {
    std::string uri, path;
    long long type = 0;
    if (!GetString(c, "uri", &uri) || !UriToPath(uri, &path) || !GetInt(c, "type", &type)) continue;
    if (type < kCreated || type > kDeleted || !WorkspaceTakes(s_.roots, path)) continue;
    s_.texts.Forget(path);
    if (s_.docs.count(path)) continue;  // the open buffer stands for it
    MarkChanged(path, type == kDeleted ? Change::kRemoved : Change::kFile);
  }
}
