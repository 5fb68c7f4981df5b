// What the worker's tests share: ports that record every call as one line,
// and a fixture that runs jobs headless in a scratch folder and checks that
// each gives back every block it allocated.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "engine/ana.h"
#include "foundation/memory.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "graph/graph.h"
#include "platform/files.h"
#include "platform/codepage.h"
#include "platform/keys.h"
#include "shell/ext_hooks.h"
#include "shell/file_collect.h"
#include "shell/requests.h"
#include "shell/worker.h"
#include "platform/sys.h"
#include "support/null_views.h"
#include "support/testenv.h"
#include "xref/calltree.h"
#include "xref/xref.h"

namespace velmora_worker_test {

// Every port call as one line, in order.
struct PortRecorder : MainWindowPort, ProgressSink, WaitBox, velmora_test::NullViews {
  std::vector<std::string> calls;
  std::string result;
  int view = 0;
  int open_result = 1;
  // While hold is set, the worker waits inside SelectView(VIEW_TREE), so the
  // main thread meets a job that really runs.
  std::mutex gate;
  std::condition_variable gate_cv;
  bool hold = false;  // the next tree job stops in its first step
  bool held = false;  // the worker is waiting there

  static std::string Status(const char *text) {
    for (int k = 0; k < 5; k++) {
      if (std::string(text) == g_config.STAT_MESS[k]) return "#" + std::to_string(k);
    }
    return text;
  }
  void Add(const std::string &s) { calls.push_back(s); }

  void ShowWarning(const char *text) override { Add("ShowWarning(" + std::string(text) + ")"); }
  void SetStatusText(const char *text) override { Add("SetStatusText(" + Status(text) + ")"); }
  void SelectView(int v) override {
    view = v;
    Add("SelectView(" + std::to_string(v) + ")");
    std::unique_lock<std::mutex> lock(gate);
    if (v != VIEW_TREE || !hold) return;
    held = true;
    gate_cv.notify_all();
    gate_cv.wait(lock, [this] { return !hold; });
  }
  void Hold(bool on) {
    std::lock_guard<std::mutex> lock(gate);
    hold = on;
    gate_cv.notify_all();
  }
  void WaitUntilHeld() {
    std::unique_lock<std::mutex> lock(gate);
    gate_cv.wait(lock, [this] { return held; });
  }
  int CurrentView() override { return view; }
  void AcceptDrops(int on) override { Add("AcceptDrops(" + std::to_string(on) + ")"); }
  void Repaint() override { Add("Repaint()"); }
  void Close(int w) override { Add("Close(" + std::to_string(w) + ")"); }
  void Destroy(int w) override { Add("Destroy(" + std::to_string(w) + ")"); }
  int Open(int w, const char *text) override {
    Add("Open(" + std::to_string(w) + (text ? "," + std::string(text) : "") + ")");
    return open_result;
  }
  void SetFunctionProgress(int p) override {
    Add("SetFunctionProgress(" + std::to_string(p) + ")");
  }
  void SetSourceProgress(int p) override { Add("SetSourceProgress(" + std::to_string(p) + ")"); }
  void SetPass(int n) override { Add("SetPass(" + std::to_string(n) + ")"); }
  void SetDetail(const char *text) override { Add("SetDetail(" + std::string(text) + ")"); }
  void SetPhase(int k) override { Add("SetPhase(" + std::to_string(k) + ")"); }
  void SetWaitText(const char *text) override { Add("SetWaitText(" + std::string(text) + ")"); }
  void ShowGraph(const char *svg) override { Add("ShowGraph(" + std::string(svg) + ")"); }
  void TreeDone(int complete) override { Add("TreeDone(" + std::to_string(complete) + ")"); }
  void SourceLost(const char *path, const char *function, int line) override {
    Add("SourceLost(" + std::string(path) + ", " + function + ", " + std::to_string(line) + ")");
  }
  void SourceFellBack(const char *path, const char *text) override {
    Add("SourceFellBack(" + std::string(path) + ", " + text + ")");
  }

  TREEITEM TreeInsert(TREEITEM, const char *) override { return (TREEITEM)1; }
  void TreeClear() override { Add("TreeClear()"); }
  void AppendResult(const char *text) override { result += text; }
};

// The program's ports as a headless run has them: rec for every window.
inline ShellFront Front(PortRecorder *rec, int render, int view) {
  ShellFront f;
  f.main_window = rec;
  f.progress = rec;
  f.wait_box = rec;
  f.views = rec;
  f.render = render;
  f.view = view;
  return f;
}

inline std::string Sjis(const char *utf8) {
  return Utf8ToSjis(utf8);
}

struct WorkerTest : ::testing::Test {
  PortRecorder rec;
  std::string dir;
  unsigned live_before = 0;

  void SetUp() override {
    ResetConfiguration();
    live_before = MemLiveCount();
    ASSERT_EQ(CreateANA(), 1);
    g_worker_timing = kHeadlessTiming;
    g_front = Front(&rec, 0, 0);
    EscapeSetPoll(nullptr);
    while (EscapePressed()) {
    }
    dir = velmora_test::MakeTempDir("worker");
  }
  void TearDown() override {
    WorkerWait();
    EscapeSetPoll(nullptr);
    g_front = ShellFront{};
    g_worker_timing = kDesktopTiming;
    ReleaseCB(&ProjectFiles);
    ReleaseANA();
    EXPECT_EQ(MemLiveCount(), live_before);
    velmora_test::RemoveTree(dir);
  }

  void Write(const std::string &name, const std::string &text) {
    velmora_test::WriteFile(dir + "/" + name, text);
  }
  void Analyse() {
    const char *paths[] = {dir.c_str()};
    ASSERT_EQ(RequestAnalysis(paths, 1), 1);
    WorkerWait();
    EXPECT_EQ(JobState.load(), JobStep::Idle);
    EXPECT_EQ(WorkerBusy(), 0);
  }
  // The calls without the progress lines of collection and registering (they
  // depend on the clock) and with every run of parse slices as one "F*".
  std::vector<std::string> Steady() const {
    std::vector<std::string> out;
    bool parsing = false;
    for (size_t i = 0; i < rec.calls.size(); i++) {
      const std::string &c = rec.calls[i];
      if (c.rfind("SetDetail([", 0) == 0) {
        if (c.find('/') != std::string::npos && i + 1 < rec.calls.size() &&
            rec.calls[i + 1].rfind("SetFunctionProgress(", 0) == 0)
          i++;
        continue;
      }
      if (c == "SetPhase(1)") parsing = true;
      if (c == "SetPass(2)") parsing = false;
      if (parsing && c.rfind("SetFunctionProgress(", 0) == 0) {
        if (out.empty() || out.back() != "F*") out.push_back("F*");
        continue;
      }
      out.push_back(c);
    }
    return out;
  }
};

}  // namespace velmora_worker_test
