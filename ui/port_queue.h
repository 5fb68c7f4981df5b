// The one way from the worker thread to the GUI thread. A synchronous window
// message between worker and window becomes either a queued operation (when the
// caller needs no answer) or a blocking call (when it does). Both travel
// through one FIFO, and a blocking call first applies everything queued before
// it, so the GUI sees the operations in exactly the order they were made.
// Queued operations are applied in batches, so filling a list with many
// thousands of rows costs a handful of GUI turns instead of one round trip
// per cell.
#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// One queued operation: a fill operation of the views, or a closure.
struct PortOp {
  enum Kind : int16_t {
    DELETE_ROWS,    // list
    TREE_INSERT,    // list = tree view, parent, id, text
    TREE_IMAGE,     // list = tree view, id, col = picture
    TREE_CLEAR,     // list = tree view
    TREE_FUNC,      // list = tree view, id, row = sid, col = fid
    APPEND,         // text
    CALL,           // fn
    FUNCTION_ROWS,  // id = rows; text = that many FunctionRow, byte for byte
    CALL_ROWS,      // id = rows; text = that many CallRow, byte for byte
    SET_CALLED,     // row = the first function row, id = rows; text = that many ints
  };
  Kind kind = CALL;
  int list = 0;
  int row = 0;
  int col = 0;
  uintptr_t id = 0;
  uintptr_t parent = 0;
  std::string text;
  std::function<void()> fn;
};

// Applies batches of fill operations on the GUI thread.
struct PortApplier {
  virtual ~PortApplier() {}
  // May hold back what only the eye would see (rows not yet shown) until
  // Settle or a short while later.
  virtual void ApplyOps(std::vector<PortOp> &ops) = 0;
  // Makes everything applied so far visible at once.
  virtual void Settle() {}
};

class PortQueue : public QObject {
  Q_OBJECT
 public:
  explicit PortQueue(QObject *parent = nullptr);
  ~PortQueue() override;

  void SetApplier(PortApplier *applier) { applier_ = applier; }
  // True when called on the thread this queue lives in (the GUI thread).
  bool OnGuiThread() const;
  // Queues op (any thread). On the GUI thread everything queued is applied
  // first and op right after, so the caller sees its effect at once. A worker
  // that runs far ahead of the GUI waits here until the backlog shrinks.
  void Post(PortOp &&op);
  // Queues n typed rows of one kind (FUNCTION_ROWS or CALL_ROWS), each of
  // size bytes at rows (any thread). From the worker, rows that follow rows
  // of the same kind join them in one block on the worker's side, without a
  // lock or an allocation per call; the block is queued when it is full or
  // before any other operation, so the order is the same.
  void PostRows(PortOp::Kind kind, const void *rows, size_t size, size_t n);
  // Runs fn on the GUI thread after everything queued before it and returns
  // when it has run (at once on the GUI thread). After Abandon it returns
  // without running fn.
  void Run(const std::function<void()> &fn);
  // GUI thread: applies everything queued so far, in order, and settles it.
  void Drain();
  // Operations waiting (tests, measurements).
  size_t Pending();
  // The GUI thread will serve no more calls: waiting callers are released and
  // later calls from other threads do nothing.
  void Abandon();

 private:
  void OnPosted();
  void Apply(std::vector<PortOp> &batch);
  // With mu_ held: waits while the backlog is too large; false once abandoned.
  bool WaitForRoom(std::unique_lock<std::mutex> &lock);
  // GUI thread: the next batch, taken from local_ (refilled from ops_ when
  // empty). false when nothing is queued.
  bool TakeBatch(std::vector<PortOp> *batch);
  // With mu_ held: appends the open rows (if any), then op, and makes sure
  // a drain event is on its way.
  void Push(PortOp &&op);
  // With mu_ held: appends the open rows, if any (posting thread).
  void QueueOpen();
  // With mu_ held: makes sure a drain event is on its way.
  void Wake();

  PortApplier *applier_ = nullptr;  // the views, or none
  std::mutex mu_;                   // guards everything below
  std::condition_variable cv_;      // backlog shrank, or a blocking call ran
  std::deque<PortOp> ops_;          // FIFO of queued operations
  // Operations the GUI thread has taken over and not yet applied; they come
  // before everything in ops_. Only the GUI thread touches local_.
  std::deque<PortOp> local_;
  std::atomic<size_t> local_count_{0};  // local_.size(), for the backlog test
  bool posted_ = false;                 // a drain event is on its way
  bool abandoned_ = false;              // no GUI thread to serve calls any more
  // The block of rows the worker is filling, queued before the next
  // operation; only the posting thread touches them (Push runs on it too).
  PortOp open_;            // FUNCTION_ROWS or CALL_ROWS
  bool has_open_ = false;  // open_ holds rows
};
