// What the protocol tests share: a server started on a copy of a project in
// a private folder (home, desktop and trace file of its own), initialized
// and analysed, and helpers that build the params of the requests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "lsp/uri.h"
#include "lsp_client.h"
#include "support/testenv.h"

namespace velmora_test {

class LspTest : public ::testing::Test {
 protected:
  // Copies the folder src (or nothing, for "") into the private folder's
  // project/, starts the server there and initializes it with the
  // capabilities and options given; waits for the first analysis.
  void Start(const std::string &src, Json capabilities = Json::object(),
             Json options = Json::object()) {
    root_ = dir_.path + "/project";
    std::string cmd = "mkdir -p '" + root_ + "' '" + dir_.path + "/desk' '" + dir_.path + "/home'";
    if (!src.empty()) cmd += " && cp -R '" + src + "/.' '" + root_ + "'";
    ASSERT_EQ(0, system(cmd.c_str()));
    Launch(capabilities, options);
  }
  // Starts the server on the project as it is (again, after Finish).
  void Launch(Json capabilities = Json::object(), Json options = Json::object()) {
    client_.reset(new LspClient(
        {"--ini", dir_.path + "/none.ini"},
        {"HOME=" + dir_.path + "/home", "XDG_DESKTOP_DIR=" + dir_.path + "/desk",
         "XDG_CONFIG_HOME=" + dir_.path + "/home", "XDG_CACHE_HOME=" + dir_.path + "/home/.cache",
         "VELMORA_TRACE=" + dir_.path + "/trace.txt"}));
    ASSERT_TRUE(client_->Started());
    capabilities["window"]["workDoneProgress"] = true;
    Json init = client_->Result("initialize", Json{{"processId", nullptr},
                                                   {"rootUri", PathToUri(root_)},
                                                   {"capabilities", capabilities},
                                                   {"initializationOptions", options}});
    ASSERT_TRUE(init.contains("capabilities")) << init.dump();
    client_->Notify("initialized", Json::object());
    ASSERT_TRUE(client_->WaitAnalysed());
  }
  // shutdown and exit: the server ends with 0 and a clean leak report.
  void Finish() {
    EXPECT_TRUE(client_->Result("shutdown", nullptr).is_null());
    client_->Notify("exit", nullptr);
    EXPECT_EQ(0, client_->Wait());
    std::string trace = ReadFile(dir_.path + "/trace.txt");
    EXPECT_NE(std::string::npos, trace.find("_MEMCHECK: Unfreed Allocations Chack :OK")) << trace;
  }
  std::string Uri(const std::string &rel) { return PathToUri(root_ + "/" + rel); }
  Json At(const std::string &rel, int line, int character) {
    return Json{{"textDocument", {{"uri", Uri(rel)}}},
                {"position", {{"line", line}, {"character", character}}}};
  }
  Json Doc(const std::string &rel) { return Json{{"textDocument", {{"uri", Uri(rel)}}}}; }
  // The item prepareCallHierarchy gives at a place (null when none).
  Json ItemAt(const std::string &rel, int line, int character) {
    Json r = client_->Result("textDocument/prepareCallHierarchy", At(rel, line, character));
    return r.is_array() && !r.empty() ? r[0] : Json();
  }
  // "name@line:character" of a range's start, for comparing answers.
  static std::string Place(const Json &range) {
    return std::to_string(range["start"]["line"].get<int>()) + ":" +
           std::to_string(range["start"]["character"].get<int>()) + "-" +
           std::to_string(range["end"]["character"].get<int>());
  }

  ScratchDir dir_{"velmora-lsp"};
  std::string root_;
  std::unique_ptr<LspClient> client_;
};

}  // namespace velmora_test
