// Start-up of graph output, the picture names, the renderer process and the
// picture viewer.
#include <cstring>
#include <string>

#include "foundation/memory.h"
#include "foundation/settings.h"
#include "graph/graph.h"
#include "graph/graph_internal.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/tempdir.h"
#include "platform/viewer_assoc.h"

namespace {

enum { PIECE_SIZE = 2048, MAX_PICTURES = 256 };

const char kDotCmd[] = "\"%s\"-T%s -o \"%s\" \"%s\"";
const char kViewerCmd[] = "\"%s\" \"%s\"";

std::string Native(const char *sjis) {
  return SjisToUtf8(sjis ? sjis : "");
}

void FreeBuffers() {
  if (g_graph.piece) MemFree(g_graph.piece);
  if (g_graph.utf8) MemFree(g_graph.utf8);
  g_graph.piece = nullptr;
  g_graph.utf8 = nullptr;
}

// "velmora.dot" in the folder of the running program.
std::string DefaultGraphFile() {
  char prog[VELMORA_PATH_MAX];
  if (!ProgramPath(prog, sizeof prog)) return std::string();
  std::string dir(prog);
  size_t slash = dir.rfind('/');
  dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
  return dir + "/velmora.dot";
}

// MIME type of the picture format; image/gif is asked for too, as a fallback.
std::string PictureMime(const std::string &ext) {
  if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
  if (ext == "svg") return "image/svg+xml";
  if (ext == "ps" || ext == "eps") return "application/postscript";
  if (ext == "pdf") return "application/pdf";
  return "image/" + ext;
}

// Drops every ';' that directly follows another ';' outside quoted strings:
// the node forms of missing functions and depth remarks end in ";;", an empty
// statement that the renderer rejects. Returns 1 when something was dropped.
int DropEmptyStatements(const std::string &in, std::string *out) {
  out->clear();
  out->reserve(in.size());
  bool quoted = false, afterSemicolon = false;
  int dropped = 0;
  for (size_t i = 0; i < in.size(); i++) {
    char c = in[i];
    if (quoted) {
      out->push_back(c);
      if (c == '\\' && i + 1 < in.size())
        out->push_back(in[++i]);
      else if (c == '"')
        quoted = false;
      continue;
    }
    if (c == ';' && afterSemicolon) {
      dropped = 1;
      continue;
    }
    out->push_back(c);
    if (c == '"') quoted = true;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') afterSemicolon = c == ';';
  }
  return dropped;
}

// The file a renderer reads: the graph file itself, or, when it holds empty
// statements, a repaired copy named copy_name in the private temporary
// folder (each renderer of a tree its own, since they run at once). The graph
// file keeps its bytes either way.
std::string RenderInput(const char *copy_name) {
  const std::string &file = g_graph.graph_file;
  int64_t size = FileSizeForRead(file.c_str());
  if (size <= 0) return file;
  std::string text((size_t)size, '\0');
  int64_t got = ReadFileInto(file.c_str(), &text[0], size);
  if (got < 0) return file;
  text.resize((size_t)got);
  std::string fixed;
  if (!DropEmptyStatements(text, &fixed)) return file;
  char dir[VELMORA_PATH_MAX];
  if (!PrivateTempDir(dir, sizeof dir)) return file;
  std::string copy = std::string(dir) + "/" + copy_name;
  if (!WriteFileNoFollow(copy.c_str(), fixed.data(), fixed.size(), nullptr, 0)) return file;
  return copy;
}

}  // namespace

void SetGraphFilePath(const char *path) {
  g_graph.graph_override = path ? path : "";
  g_graph.graph_file =
      !g_graph.graph_override.empty() ? g_graph.graph_override : DefaultGraphFile();
}

const char *GraphFilePath(void) {
  return g_graph.graph_file.c_str();
}
const char *GraphPictureFile(void) {
  return g_graph.picture_file.c_str();
}
const char *GraphViewerTemplate(void) {
  return g_graph.viewer_template.c_str();
}

void InitGraphTools(void) {
  InstallTreeGraph();
  GraphFlush();
  FreeBuffers();
  // With the Graph tab as the viewer, the renderer alone decides.
  graph_enabled = g_config.DISPLAY_GRAPH || g_config.GRAPH_IN_WINDOW ? 1 : 0;
  g_graph.piece = static_cast<char *>(MemAlloc(PIECE_SIZE));
  g_graph.utf8 = static_cast<char *>(MemAlloc(PIECE_SIZE));
  if (!g_graph.piece || !g_graph.utf8) {
    FreeBuffers();
    graph_enabled = 0;
    return;
  }
  g_graph.desktop_dir.clear();
  g_graph.picture_file.clear();
  g_graph.viewer_template.clear();
  g_graph.graph_file =
      !g_graph.graph_override.empty() ? g_graph.graph_override : DefaultGraphFile();

  char desk[VELMORA_PATH_MAX];
  if (DesktopFolder(desk, sizeof desk)) g_graph.desktop_dir = desk;

  std::string ext = Native(g_config.GRAPH_EXT);
  std::string tmpl;
  if (!DefaultAppCommand(PictureMime(ext).c_str(), &tmpl)) DefaultAppCommand("image/gif", &tmpl);
  if (CheckedTemplate(tmpl.c_str(), "", "s")[0]) g_graph.viewer_template = tmpl;

  // Without an associated viewer the picture could never be shown, unless a
  // viewer is named in the settings or the Graph tab shows it.
  std::string found;
  if (!g_config.GRAPH_IN_WINDOW && g_graph.viewer_template.empty() &&
      !FindProgram(Native(g_config.GRAPH_VIEWER).c_str(), &found))
    graph_enabled = 0;
  if (!FindProgram(Native(g_config.DOT_EXE).c_str(), &found)) graph_enabled = 0;
}

void FreeGraphTools(void) {
  GraphFlush();
  FreeBuffers();
  if (g_graph.dot_pid > 0) ForgetProcess(g_graph.dot_pid);
  g_graph.dot_pid = 0;
  if (g_graph.svg_pid > 0) KillProcess(g_graph.svg_pid);
  g_graph.svg_pid = 0;
  for (const std::string &f : g_graph.svg_files) RemoveFile(f.c_str());
  g_graph.svg_files.clear();
  g_graph.svg_pending.clear();
  g_graph.svg_file.clear();
}

int NextGraphPicture(void) {
  if (!graph_enabled) return 1;
  if (g_graph.desktop_dir.empty()) return 0;
  std::string ext = Native(g_config.GRAPH_EXT);
  for (int n = 1; n <= MAX_PICTURES; n++) {
    std::string name = g_graph.desktop_dir + "/FuncGraph[" + std::to_string(n) + "]." + ext;
    if (!FileExists(name.c_str())) {
      g_graph.picture_file = name;
      return 1;
    }
  }
  return 0;
}

int RunRenderer(void) {
  if (!g_graph.piece || !g_graph.utf8) {
    graph_enabled = 0;
    return 1;
  }
  if (!graph_enabled) return 1;
  GraphFlush();
  std::string dot = Native(g_config.DOT_EXE);
  std::string found;
  if (dot.empty() || g_graph.graph_file.empty() || !FindProgram(dot.c_str(), &found) ||
      !FileExists(g_graph.graph_file.c_str()) || g_graph.picture_file.empty())
    return 0;
  std::string tmpl = Native(g_config.DOT_CMD);
  std::string input = RenderInput("velmora-render.dot");
  std::string cmd =
      FormatString(CheckedTemplate(tmpl.c_str(), kDotCmd, "ssss"), dot.c_str(),
                   Native(g_config.GRAPH_EXT).c_str(), g_graph.picture_file.c_str(), input.c_str());
  RunProgram(2, 0, cmd.c_str());
  return 1;
}

int PollRenderer(void) {
  if (g_graph.dot_pid <= 0) return 1;
  if (!PollProcess(g_graph.dot_pid)) return 0;
  g_graph.dot_pid = 0;
  return 1;
}

int ShowGraphPicture(void) {
  if (!graph_enabled) return 1;
  const std::string &pic = g_graph.picture_file;
  if (pic.empty() || !FileExists(pic.c_str())) return 0;
  std::string viewer = Native(g_config.GRAPH_VIEWER);
  std::string found, cmd;
  if (FindProgram(viewer.c_str(), &found)) {
    std::string tmpl = Native(g_config.GRAPH_VIEWER_CMD);
    cmd =
        FormatString(CheckedTemplate(tmpl.c_str(), kViewerCmd, "ss"), viewer.c_str(), pic.c_str());
  } else if (!g_graph.viewer_template.empty()) {
    // A placeholder already inside quotes takes the path as it is; a bare one
    // gets it quoted, so blanks in the desktop path do not split it.
    const std::string &t = g_graph.viewer_template;
    size_t at = t.find("%s");
    bool quoted = at != std::string::npos && at > 0 && t[at - 1] == '"';
    std::string arg = quoted ? pic : QuoteArgument(pic.c_str());
    cmd = FormatString(t.c_str(), arg.c_str());
  }
  RunProgram(0, 1, cmd.c_str());
  return 1;
}

int RunProgram(int mode, int show, const char *commandLine) {
  if (!commandLine || !*commandLine) return 0;
  long pid = StartProcess(commandLine, show ? 0 : 1);
  if (mode == 2) {
    // A renderer still running from an abandoned wait is reaped later.
    if (g_graph.dot_pid > 0) ForgetProcess(g_graph.dot_pid);
    g_graph.dot_pid = pid > 0 ? pid : 0;
  } else {
    ForgetProcess(pid);
  }
  return 1;
}

// ---------------------------------------------------------------------------
// The window's picture (SVG) and stopping a render

int RunSvgRenderer(void) {
  if (!g_graph.piece || !g_graph.utf8 || !graph_enabled) return 0;
  if (g_graph.svg_pid > 0) KillProcess(g_graph.svg_pid);  // a tree abandoned without StopRenderer
  g_graph.svg_pid = 0;
  g_graph.svg_pending.clear();
  g_graph.svg_file.clear();
  GraphFlush();
  std::string dot = Native(g_config.DOT_EXE);
  std::string found;
  if (dot.empty() || g_graph.graph_file.empty() || !FindProgram(dot.c_str(), &found) ||
      !FileExists(g_graph.graph_file.c_str()))
    return 0;
  std::string svg;
  int fd = CreatePrivateTemp("graph-", ".svg", &svg);
  if (fd < 0) return 0;
  CloseFd(fd);
  g_graph.svg_files.push_back(svg);
  std::string input = RenderInput("velmora-render-svg.dot");
  // Our own command: every value quoted in its own argument.
  std::string cmd = QuoteArgument(dot.c_str()) + " -Tsvg -o " + QuoteArgument(svg.c_str()) + " " +
                    QuoteArgument(input.c_str());
  long pid = StartProcess(cmd.c_str(), 1);
  if (pid <= 0) return 0;
  g_graph.svg_pid = pid;
  g_graph.svg_pending = svg;
  return 1;
}

int PollSvgRenderer(void) {
  if (g_graph.svg_pid <= 0) return 1;
  if (!PollProcess(g_graph.svg_pid)) return 0;
  g_graph.svg_pid = 0;
  // A renderer that failed leaves the new file empty.
  if (FileSizeForRead(g_graph.svg_pending.c_str()) > 0) g_graph.svg_file = g_graph.svg_pending;
  g_graph.svg_pending.clear();
  return 1;
}

const char *GraphSvgFile(void) {
  return g_graph.svg_file.c_str();
}

int RendererRunning(void) {
  return g_graph.dot_pid > 0 || g_graph.svg_pid > 0 ? 1 : 0;
}

void StopRenderer(void) {
  // dot opens its output only after the layout, so a renderer killed during
  // the layout has written nothing on the desktop.
  if (g_graph.dot_pid > 0) KillProcess(g_graph.dot_pid);
  g_graph.dot_pid = 0;
  if (g_graph.svg_pid > 0) {
    KillProcess(g_graph.svg_pid);
    RemoveFile(g_graph.svg_pending.c_str());
  }
  g_graph.svg_pid = 0;
  g_graph.svg_pending.clear();
}
