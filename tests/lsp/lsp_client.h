// A small JSON-RPC client of the test suite: starts velmora-lsp with pipes
// for its standard streams, writes framed messages, reads the server's
// messages one at a time and answers the server's own requests (progress
// tokens, registrations) as an editor would. Reads block: the test's time
// limit is what ends a server that never answers.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

extern char **environ;

namespace velmora_test {

using Json = nlohmann::json;

class LspClient {
 public:
  // Starts the server (args after the program name) with env added to the
  // environment ("NAME=value").
  // Its standard error goes to stderr_path when one is given; program names
  // another server program than the build's.
  explicit LspClient(const std::vector<std::string> &args = {},
                     const std::vector<std::string> &env = {}, const std::string &stderr_path = "",
                     const std::string &program = "") {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    if (!stderr_path.empty())
      posix_spawn_file_actions_addopen(&fa, 2, stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0600);
#ifdef VELMORA_BINARY_DIR
    std::vector<std::string> argv_s = {program.empty() ? VELMORA_BINARY_DIR "/velmora-lsp"
                                                       : program};
#else
    std::vector<std::string> argv_s = {program};
#endif
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : argv_s) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    std::vector<std::string> env_s;
    for (char **e = environ; *e; e++) env_s.push_back(*e);
    env_s.insert(env_s.end(), env.begin(), env.end());
    std::vector<char *> envp;
    for (std::string &e : env_s) envp.push_back(&e[0]);
    envp.push_back(nullptr);
    signal(SIGPIPE, SIG_IGN);
    if (posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
  }
  ~LspClient() {
    CloseInput();
    if (from_ >= 0) close(from_);
    if (pid_ > 0) Wait();
  }
  bool Started() const {
    return pid_ > 0;
  }

  // Raw bytes to the server's standard input.
  void SendBytes(const std::string &bytes) {
    size_t done = 0;
    while (to_ >= 0 && done < bytes.size()) {
      ssize_t n = write(to_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += (size_t)n;
    }
  }
  void Send(const Json &msg) {
    std::string body = msg.dump();
    SendBytes("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  }
  void Notify(const std::string &method, const Json &params) {
    Send(Json{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
  }
  // Sends a request and returns its id.
  int Ask(const std::string &method, const Json &params) {
    int id = ++last_id_;
    Send(Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
    return id;
  }
  // The response to id (the whole message), reading everything before it
  // into notes(); a null Json when the stream ends first.
  Json Response(const Json &id) {
    for (;;) {
      Json m = Next();
      if (m.is_null()) return m;
      if (m.contains("id") && m["id"] == id && !m.contains("method")) return m;
    }
  }
  Json Request(const std::string &method, const Json &params) {
    return Response(Ask(method, params));
  }
  Json Result(const std::string &method, const Json &params) {
    Json r = Request(method, params);
    return r.contains("result") ? r["result"] : Json("no result: " + r.dump());
  }
  // The next message of the server (answering its requests); null at the end.
  Json Next() {
    std::string headers;
    char c;
    while (headers.size() < 4 || headers.compare(headers.size() - 4, 4, "\r\n\r\n") != 0) {
      if (read(from_, &c, 1) != 1) return Json();
      headers += c;
    }
    size_t n = std::stoul(headers.substr(headers.find(':') + 1));
    std::string body(n, '\0');
    size_t got = 0;
    while (got < n) {
      ssize_t k = read(from_, &body[got], n - got);
      if (k <= 0) return Json();
      got += (size_t)k;
    }
    Json m = Json::parse(body, nullptr, false);
    if (m.contains("method")) {
      notes_.push_back(m);
      if (m.contains("id")) Send(Json{{"jsonrpc", "2.0"}, {"id", m["id"]}, {"result", nullptr}});
    }
    return m;
  }
  // Reads until a $/progress end (the first analysis is done).
  bool WaitAnalysed() {
    for (;;) {
      Json m = Next();
      if (m.is_null()) return false;
      if (m.value("method", "") == "$/progress" && m["params"]["value"]["kind"] == "end")
        return true;
    }
  }
  const std::vector<Json> &notes() const {
    return notes_;
  }
  void CloseInput() {
    if (to_ >= 0) close(to_);
    to_ = -1;
  }
  // Waits for the server to end; its exit status (-1: killed or not started).
  int Wait() {
    if (pid_ <= 0) return status_;
    int st = 0;
    if (waitpid(pid_, &st, 0) == pid_) status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    pid_ = -1;
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  int last_id_ = 0;
  int status_ = -1;
  std::vector<Json> notes_;
};

}  // namespace velmora_test
