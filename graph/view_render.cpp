// The Graph tab's pictures: each tree's whole graph kept in the private
// folder ("render-<unique>.dot"), cut to a depth and drawn as SVG beside it
// ("render-<unique>-d<depth>.dot" and ".svg"; depth 0 is the whole graph),
// every file kept for Back and Forward until shutdown; and a picture of a
// shown graph in another format, for "Save picture as".
#include <string>
#include <vector>

#include "foundation/settings.h"
#include "graph/graph.h"
#include "graph/graph_internal.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/tempdir.h"

namespace {

std::string DotProgram() {
  std::string dot = SjisToUtf8(g_config.DOT_EXE);
  std::string found;
  return !dot.empty() && FindProgram(dot.c_str(), &found) ? dot : std::string();
}

bool Kept(const std::string &path) {
  for (const std::string &f : g_graph.view_files)
    if (f == path) return true;
  return false;
}

void Keep(const std::string &path) {
  if (!Kept(path)) g_graph.view_files.push_back(path);
}

// "render-X.dot" -> "render-X-d<depth>" (no extension).
std::string CutBase(const std::string &full, int depth) {
  return full.substr(0, full.size() - 4) + "-d" + std::to_string(depth < 0 ? 0 : depth);
}

bool ReadAll(const std::string &path, std::string *text) {
  int64_t size = FileSizeForRead(path.c_str());
  if (size < 0) return false;
  text->assign((size_t)size, '\0');
  int64_t got = ReadFileInto(path.c_str(), &(*text)[0], size);
  if (got < 0) return false;
  text->resize((size_t)got);
  return true;
}

}  // namespace

void StopSvgRenderer() {
  RenderFiles &r = g_graph.svg;
  if (r.pid <= 0) return;
  KillProcess(r.pid);
  RemoveFile(r.output.c_str());
  r = RenderFiles();
}

long StartGraphViewRender(const char *full, int callers, int depth, std::string *svg) {
  if (svg) svg->clear();
  std::string dot = DotProgram();
  if (!full || !Kept(full) || dot.empty()) return -1;
  std::string base = CutBase(full, depth);
  std::string out = base + ".svg";
  if (svg) *svg = out;
  if (FileSizeForRead(out.c_str()) > 0) return 0;  // drawn before
  std::string text;
  if (!ReadAll(full, &text)) return -1;
  std::string cut = CutGraphText(text, callers, depth, nullptr);
  std::string input = base + ".dot";
  // The names are this process's own (the unique part of the whole graph's).
  if (!WriteFileNoFollow(input.c_str(), cut.data(), cut.size(), nullptr, 0)) return -1;
  Keep(input);
  Keep(out);
  long pid = StartProcessArgs({dot, "-Tsvg", "-o", out, input}, 1);
  return pid > 0 ? pid : -1;
}

int GraphCutNodeCount(int callers, int depth) {
  GraphFlush();
  std::string text;
  if (!ReadGraphText(&text)) return GraphNodeCount();
  GraphShape shape;
  CutGraphText(text, callers, depth, &shape);
  return shape.shown;
}

int RunSvgRenderer(int callers, int depth) {
  StopSvgRenderer();  // one of a tree left without StopRenderer
  g_graph.svg_file.clear();
  if (!g_graph.piece || !g_graph.utf8 || !graph_enabled) return 0;
  GraphFlush();
  RenderFiles r;
  if (g_graph.graph_file.empty() || DotProgram().empty() || !MakeRenderFiles("svg", &r)) return 0;
  Keep(r.input);  // the whole graph, for other depths later
  long pid = StartGraphViewRender(r.input.c_str(), callers, depth, &r.output);
  if (pid < 0) return 0;
  r.pid = pid;
  g_graph.svg = std::move(r);
  return 1;
}

int PollSvgRenderer(void) {
  RenderFiles &r = g_graph.svg;
  if (r.output.empty()) return 1;
  if (r.pid > 0 && !PollProcess(r.pid)) return 0;
  // A renderer that failed leaves no file, or an empty one.
  if (FileSizeForRead(r.output.c_str()) > 0) g_graph.svg_file = r.output;
  r = RenderFiles();
  return 1;
}

const char *GraphSvgFile(void) {
  return g_graph.svg_file.c_str();
}

std::string GraphSvgSource(const char *svg) {
  std::string s = svg ? svg : "";
  size_t d = s.rfind("-d");
  if (!Kept(s) || d == std::string::npos || s.size() < 4 || s.compare(s.size() - 4, 4, ".svg"))
    return std::string();
  std::string full = s.substr(0, d) + ".dot";
  return Kept(full) ? full : std::string();
}

int GraphSvgShape(const char *svg, int callers, int depth, GraphShape *shape) {
  std::string text;
  std::string full = GraphSvgSource(svg);
  if (full.empty() || !ReadAll(full, &text)) return 0;
  CutGraphText(text, callers, depth, shape);
  return 1;
}

long StartPictureExport(const char *svg, const char *format, std::string *out) {
  if (out) out->clear();
  std::string s = svg ? svg : "";
  std::string dot = DotProgram();
  if (!Kept(s) || dot.empty() || !format || !*format) return -1;
  for (const char *p = format; *p; p++)
    if (!((*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9'))) return -1;
  std::string input = s.substr(0, s.size() - 4) + ".dot";  // what drew it
  if (!Kept(input)) return -1;
  std::string path;
  int fd = CreatePrivateTemp("export-", (std::string(".") + format).c_str(), &path);
  if (fd < 0) return -1;
  CloseFd(fd);
  long pid = StartProcessArgs({dot, std::string("-T") + format, "-o", path, input}, 1);
  if (pid <= 0) {
    RemoveFile(path.c_str());
    return -1;
  }
  if (out) *out = path;
  return pid;
}
