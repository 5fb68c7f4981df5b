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
    INSERT_ROW,   // list, row, col = cells in text, text = the cells, each ended by a NUL
    SET_CELL,     // list, row, col, text
    DELETE_ROWS,  // list
    TREE_INSERT,  // list = tree view, parent, id, text
    TREE_IMAGE,   // list = tree view, id, col = picture
    TREE_CLEAR,   // list = tree view
    TREE_FUNC,    // list = tree view, id, row = sid, col = fid
    APPEND,       // text
    CALL,         // fn
    INSERT_ROWS,  // list, row = the first row, col = rows; text = each row as a 4-byte cell
                  // count followed by its cells, each ended by a NUL
    SET_CELLS,    // list, row = the first row, col, id = rows; text = the cell of each row
                  // from row on, each ended by a NUL
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
  // Inserts a row with its first cell (any thread). On the GUI thread it is
  // an INSERT_ROW posted at once. From the worker, rows inserted one after
  // another gather with the cells set right after each (PostCell) in one
  // INSERT_ROWS block on the worker's side, without a lock or an allocation
  // per row; the block is queued when it is full or before any other
  // operation, so the order is the same. One thread at a time posts (the
  // analysis worker).
  void PostRow(int list, int row, const char *text);
  // Queues a SET_CELL (any thread). When it is the next cell of the row
  // inserted last, the cell joins that row instead, so a row filled cell by
  // cell right after its insertion travels as one operation; from the worker,
  // cells set down one column row after row gather in one SET_CELLS block the
  // same way. The order of operations is the same either way.
  void PostCell(int list, int row, int col, const char *text);
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
  // The block of rows or cells the worker is filling, queued before the
  // next operation; only the posting thread touches them (Push runs on it
  // too).
  PortOp open_;               // INSERT_ROWS or SET_CELLS
  bool has_open_ = false;     // open_ holds rows
  size_t open_count_at_ = 0;  // INSERT_ROWS: offset of the last row's cell count in open_.text
  int open_cells_ = 0;        // INSERT_ROWS: cells of that row so far
};
