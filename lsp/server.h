// The language server's state machine on its main thread: every message from
// the client, checked and answered (or answered later, when it needs an
// analysis that is still running), and every report of the worker. Nothing
// here blocks on the analysis: a request that needs it waits in a list, and
// $/cancelRequest takes it out again.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "lsp/event_queue.h"
#include "lsp/outbox.h"
#include "lsp/session.h"
#include "lsp/workspace.h"

class Server : public WorkspaceEvents {
 public:
  // out receives the messages; events is the main thread's queue, where the
  // worker's reports are posted; ini names a settings file ("" the usual one);
  // index 0: without the project's index unless the client asks for it.
  Server(Outbox *out, EventQueue *events, const std::string &ini, int index = 1);
  ~Server() override;

  // One message body from the client (main thread).
  void OnBody(const std::string &body);
  // The client's stream has ended: cleanly between messages, or broken (why).
  void OnStreamEnd(bool broken, const std::string &why);
  // true once the server is to end (exit, or the end of the stream), with
  // the process's status.
  bool Done() const { return done_; }
  // true while initialized and not shut down; false before and after.
  bool Running() const { return phase_ == Phase::kRunning && !done_; }
  // true while a job of ours runs on the worker (its end is still to come).
  bool Busy() const { return work_ != Work::kNone; }
  int ExitStatus() const { return status_; }
  // Stops a job that still runs and releases the project (before the end).
  void Stop();

  // WorkspaceEvents: on the worker thread; each posts to the main thread.
  void Parsed(std::vector<ParsedSymbol> symbols, int done, int total) override;
  void Linking() override;
  void JobEnded() override;
  void Warning(std::string text) override;
  void Note(std::string text) override;

 private:
  enum class Phase { kNew, kRunning, kShutDown };
  enum class Work { kNone, kFirst, kUpdate, kAgain };  // what the worker does for us
  // A request that waits for the analysis, with the edits it must see.
  struct Waiting {
    Json id;
    std::string method;
    Json params;
    long long edits;
  };
  // A source the next update analyses again.
  enum class Change { kBuffer, kFile, kRemoved };

  void OnMessage(const Json &msg);
  void OnRequest(const Json &id, const std::string &method, const Json &params);
  void OnNotification(const std::string &method, const Json &params);
  void Initialize(const Json &id, const Json &params);
  void Initialized();
  // Answers one request that needs the project now.
  void Answer(const Json &id, const std::string &method, const Json &params);
  void AnswerWaiting();
  void Cancel(const Json &params);

  // Edits (edits.cpp).
  void DidOpen(const Json &params);
  void DidChange(const Json &params);
  void DidClose(const Json &params);
  void DidChangeWatchedFiles(const Json &params);
  void MarkChanged(const std::string &path, Change how);
  bool BufferDiffersFromFile(const std::string &path, const std::string &text);
  void StartUpdate();

  void OnParsed(std::vector<ParsedSymbol> &symbols, int done, int total);
  void OnJobEnded();

  void Respond(const Json &id, const Json &result);
  void RespondError(const Json &id, int code, const std::string &message);
  void Notify(const std::string &method, const Json &params);
  void Log(int type, const std::string &text);
  void Progress(const Json &value);

  Outbox *out_;
  EventQueue *events_;
  std::string ini_;
  int index_;  // the project's index unless initializationOptions say otherwise
  Session s_;
  Phase phase_ = Phase::kNew;
  Work work_ = Work::kNone;
  bool started_ = false;  // the workspace's shell was started
  bool done_ = false;
  int status_ = 1;
  std::vector<Waiting> waiting_;
  long long edits_ = 0;                    // edits received
  long long applied_ = 0;                  // edits the analysis holds
  long long in_job_ = 0;                   // edits the running job applies
  std::map<std::string, Change> changed_;  // sources to analyse again
  // Client abilities and the progress of the first analysis.
  bool work_done_progress_ = false;
  bool watch_files_ = false;
  bool progress_open_ = false;
  int progress_percent_ = -1;
  int next_request_ = 1;  // ids of our own requests
};
