// Start-up of graph output, the picture names, the renderer process and the
// picture viewer.
#include <cstring>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "foundation/settings.h"
#include "foundation/trace.h"
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

}  // namespace

bool ReadGraphText(std::string *text) {
  text->clear();
  FdInfo info;
  if (g_graph.graph_fd < 0 || !FdStat(g_graph.graph_fd, &info)) return false;
  text->resize((size_t)info.size);
  int64_t got = ReadFdFrom(g_graph.graph_fd, 0, &(*text)[0], info.size);
  if (got < 0) return false;
  text->resize((size_t)got);
  return true;
}

bool MakeRenderFiles(const std::string &ext, RenderFiles *r) {
  std::string text, fixed;
  if (!ReadGraphText(&text)) return false;
  DropEmptyStatements(text, &fixed);
  int fd = CreatePrivateTemp("render-", ".dot", &r->input);
  if (fd < 0) return false;
  int ok = WriteFd(fd, fixed.data(), fixed.size());
  CloseFd(fd);
  if (!ok) {
    RemoveFile(r->input.c_str());
    r->input.clear();
    return false;
  }
  // Only this process makes "render-<unique>.<anything>" names, each from a
  // unique .dot name, so the picture's name is free.
  r->output = r->input.substr(0, r->input.size() - 4) + "." + ext;
  return true;
}

namespace {

// Puts a render's picture at its claimed name (or gives the name up when the
// renderer wrote none) and removes its private files.
void FinishRender(RenderFiles *r) {
  FillClaimedFile(&r->claim, g_graph.output_dir.c_str(), r->name.c_str(), r->output.c_str());
  if (!r->input.empty()) RemoveFile(r->input.c_str());
  *r = RenderFiles();
}

// A render nobody waits for any more: its renderer is not stopped, and the
// reaper puts its picture in place (and removes its copy) when it ends.
void HandOver(RenderFiles *r) {
  ChildOutput out;
  out.claim = r->claim;
  out.dir = g_graph.output_dir;
  out.name = r->name;
  out.from = r->output;
  out.extra = r->input;
  ForgetProcessWithOutput(r->pid, &out);
  *r = RenderFiles();
}

// Gives up the picture name of a tree that no renderer took.
void ReleaseClaim() {
  ReleaseClaimedFile(&g_graph.claim, g_graph.output_dir.c_str(), g_graph.claim_name.c_str());
  g_graph.claim_name.clear();
}

// pid becomes the renderer (0: none). One still running is not stopped: it
// is handed over with its files, or only reaped when it has none.
void TakeRenderer(long pid) {
  long old = g_graph.dot_pid;
  if (old > 0) {
    if (g_graph.render.pid == old)
      HandOver(&g_graph.render);
    else
      ForgetProcess(old);
  }
  g_graph.dot_pid = pid > 0 ? pid : 0;
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
  GraphFlush();
  CloseGraphFile();
  ReleaseClaim();
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
  g_graph.output_dir.clear();
  g_graph.picture_file.clear();
  g_graph.viewer_template.clear();
  g_graph.no_free_name = 0;
  g_graph.graph_file =
      !g_graph.graph_override.empty() ? g_graph.graph_override : DefaultGraphFile();

  char desk[VELMORA_PATH_MAX];
  if (OutputFolder(desk, sizeof desk)) g_graph.output_dir = desk;

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
  ForgetLaunches();
  GraphFlush();
  CloseGraphFile();
  FreeBuffers();
  TakeRenderer(0);
  ReleaseClaim();
  StopSvgRenderer();
  for (const std::string &f : g_graph.view_files) RemoveFile(f.c_str());
  g_graph.view_files.clear();
  g_graph.svg_file.clear();
  ReleasePrivateTempDir();
}

void SetGraphPictures(int on) {
  g_graph.pictures_on = on ? 1 : 0;
}

int NextGraphPicture(void) {
  if (!graph_enabled) return 1;
  ReleaseClaim();
  g_graph.picture_file.clear();
  g_graph.no_free_name = 0;
  if (!g_graph.pictures_on) return 1;
  std::string ext = Native(g_config.GRAPH_EXT);
  const std::string &desk = g_graph.output_dir;
  if (desk.empty() || ext.find('/') != std::string::npos) return 0;
  // Each name is claimed by creating it, so no other instance can choose it
  // too and no link planted there is followed; the renderer's picture is
  // moved onto it when it is done.
  for (int n = 1; n <= MAX_PICTURES; n++) {
    std::string name = "FuncGraph[" + std::to_string(n) + "]." + ext;
    ClaimResult r = ClaimNewFile(desk.c_str(), name.c_str(), &g_graph.claim);
    if (r == ClaimResult::kTaken) continue;
    if (r == ClaimResult::kFailed) {
      DebugPrint("NextGraphPicture :Cannot create picture! \"%s\"\r\n",
                 Utf8ToSjis(desk + "/" + name).c_str());
      return 0;
    }
    g_graph.claim_name = name;
    g_graph.picture_file = desk + "/" + name;
    return 1;
  }
  DebugPrint(
      "NextGraphPicture :No free picture name! \"%s\"\r\n",
      Utf8ToSjis(desk + "/FuncGraph[1.." + std::to_string(MAX_PICTURES) + "]." + ext).c_str());
  g_graph.no_free_name = 1;
  return 0;
}

int GraphNoFreePicture(void) {
  return g_graph.no_free_name;
}

int RunRenderer(void) {
  if (!g_graph.piece || !g_graph.utf8) {
    graph_enabled = 0;
    return 1;
  }
  if (!graph_enabled) return 1;
  GraphFlush();
  std::string dot = Native(g_config.DOT_EXE);
  std::string ext = Native(g_config.GRAPH_EXT);
  std::string found;
  RenderFiles r;
  if (dot.empty() || g_graph.graph_file.empty() || !FindProgram(dot.c_str(), &found) ||
      !FileExists(g_graph.graph_file.c_str()) || g_graph.claim.fd < 0 ||
      !MakeRenderFiles(ext, &r)) {
    ReleaseClaim();
    return 0;
  }
  std::string tmpl = Native(g_config.DOT_CMD);
  std::vector<std::string> args = TemplateArguments(
      tmpl.c_str(), kDotCmd, "ssss", true,
      {{dot.c_str(), 0}, {ext.c_str(), 0}, {r.output.c_str(), 0}, {r.input.c_str(), 0}});
  long pid = args.empty() ? -1 : StartProcessArgs(args, 1);
  r.claim = g_graph.claim;
  r.name = g_graph.claim_name;
  g_graph.claim = ClaimedFile();
  g_graph.claim_name.clear();
  TakeRenderer(pid);
  if (pid <= 0) {
    FinishRender(&r);  // nothing was written: the name is given up
    return 1;
  }
  r.pid = pid;
  g_graph.render = std::move(r);
  return 1;
}

int PollRenderer(void) {
  if (g_graph.dot_pid <= 0) return 1;
  if (!PollProcess(g_graph.dot_pid)) return 0;
  if (g_graph.render.pid == g_graph.dot_pid) FinishRender(&g_graph.render);
  g_graph.dot_pid = 0;
  return 1;
}

int ShowGraphPicture(void) {
  if (!graph_enabled) return 1;
  const std::string &pic = g_graph.picture_file;
  if (pic.empty() || !FileExists(pic.c_str())) return 0;
  std::string viewer = Native(g_config.GRAPH_VIEWER);
  std::string found;
  std::vector<std::string> args;
  if (FindProgram(viewer.c_str(), &found)) {
    std::string tmpl = Native(g_config.GRAPH_VIEWER_CMD);
    args = TemplateArguments(tmpl.c_str(), kViewerCmd, "ss", true,
                             {{viewer.c_str(), 0}, {pic.c_str(), 0}});
  } else if (!g_graph.viewer_template.empty()) {
    args = TemplateArguments(g_graph.viewer_template.c_str(), "", "s", true, {{pic.c_str(), 0}});
  }
  RunProgramArgs(0, 1, args);
  return 1;
}

int RunProgram(int mode, int show, const char *commandLine) {
  if (!commandLine || !*commandLine) return 0;
  return RunProgramArgs(mode, show, SplitCommandLine(commandLine));
}

int RunProgramArgs(int mode, int show, const std::vector<std::string> &args) {
  if (args.empty() || args[0].empty()) return 0;
  long pid = StartProcessArgs(args, show ? 0 : 1);
  if (mode == 2)
    TakeRenderer(pid);
  else
    ForgetProcess(pid);
  return 1;
}

// ---------------------------------------------------------------------------
// Stopping a render (the Graph tab's SVG is in view_render.cpp)

int RendererRunning(void) {
  return g_graph.dot_pid > 0 || g_graph.svg.pid > 0 ? 1 : 0;
}

void ForgoGraphPicture(void) {
  ReleaseClaim();
  g_graph.picture_file.clear();
}

void StopRenderer(void) {
  long pid = g_graph.dot_pid;
  if (pid > 0) {
    KillProcess(pid);
    // What it wrote goes, and its picture name is given back.
    RenderFiles &r = g_graph.render;
    if (r.pid == pid) {
      ReleaseClaimedFile(&r.claim, g_graph.output_dir.c_str(), r.name.c_str());
      RemoveFile(r.output.c_str());
      RemoveFile(r.input.c_str());
      r = RenderFiles();
    }
  }
  g_graph.dot_pid = 0;
  StopSvgRenderer();
}
