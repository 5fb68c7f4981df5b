// The ordered way from the worker thread to the GUI thread (see port_queue.h).
#include "ui/port_queue.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <cstring>
#include <memory>

namespace {
// Operations applied per GUI turn: large enough that a list of a hundred
// thousand rows fills in a few dozen turns, small enough that the window
// still repaints and answers in between.
const size_t kBatch = 8192;
// A worker that gets this far ahead waits until the GUI has caught up to
// kLowWater, so a huge analysis cannot pile up unbounded memory.
const size_t kHighWater = 200000;
const size_t kLowWater = 50000;
// Operations from the worker are gathered this long before the GUI takes
// them: a worker that fills the views without pause would otherwise wake the
// GUI thread for every few operations. Blocking calls do not wait for it.
const int kGatherMs = 15;
// Bytes of rows the worker gathers in one block before it is queued.
const size_t kBlockBytes = 256 * 1024;
}  // namespace

PortQueue::PortQueue(QObject *parent) : QObject(parent) {}

PortQueue::~PortQueue() {
  Abandon();
}

bool PortQueue::OnGuiThread() const {
  return QThread::currentThread() == thread();
}

void PortQueue::Post(PortOp &&op) {
  if (OnGuiThread()) {
    Drain();
    std::vector<PortOp> one;
    one.push_back(std::move(op));
    Apply(one);
    if (applier_) applier_->Settle();
    return;
  }
  std::unique_lock<std::mutex> lock(mu_);
  if (!WaitForRoom(lock)) return;
  Push(std::move(op));
}

bool PortQueue::WaitForRoom(std::unique_lock<std::mutex> &lock) {
  if (abandoned_) return false;
  auto backlog = [this] { return ops_.size() + local_count_.load(std::memory_order_relaxed); };
  if (backlog() >= kHighWater) cv_.wait(lock, [&] { return abandoned_ || backlog() <= kLowWater; });
  return !abandoned_;
}

void PortQueue::Push(PortOp &&op) {
  QueueOpen();  // the rows being filled come first
  ops_.push_back(std::move(op));
  Wake();
}

void PortQueue::QueueOpen() {
  if (!has_open_) return;
  has_open_ = false;
  ops_.push_back(std::move(open_));
  Wake();
}

void PortQueue::Wake() {
  if (!posted_) {
    posted_ = true;
    QMetaObject::invokeMethod(
        this, [this] { QTimer::singleShot(kGatherMs, this, [this] { OnPosted(); }); },
        Qt::QueuedConnection);
  }
}

void PortQueue::PostRows(PortOp::Kind kind, const void *rows, size_t size, size_t n) {
  if (!rows || n == 0) return;
  if (OnGuiThread()) {
    PortOp op;
    op.kind = kind;
    op.id = n;
    op.text.assign((const char *)rows, size * n);
    Post(std::move(op));
    return;
  }
  if (has_open_ && (open_.kind != kind || open_.text.size() >= kBlockBytes)) {
    std::unique_lock<std::mutex> lock(mu_);
    if (!WaitForRoom(lock)) return;
    QueueOpen();
  }
  if (!has_open_) {
    open_ = PortOp();
    open_.kind = kind;
    open_.text.reserve(kBlockBytes + size * n);
    has_open_ = true;
  }
  open_.text.append((const char *)rows, size * n);
  open_.id += n;
}

void PortQueue::Run(const std::function<void()> &fn) {
  if (OnGuiThread()) {
    Drain();
    fn();
    return;
  }
  // The flag is shared so that an abandoned call cannot leave the GUI side
  // writing into a stack frame that has gone.
  auto done = std::make_shared<bool>(false);
  PortOp op;
  op.kind = PortOp::CALL;
  op.fn = [this, fn, done] {
    fn();
    std::lock_guard<std::mutex> lock(mu_);
    *done = true;
    cv_.notify_all();
  };
  std::unique_lock<std::mutex> lock(mu_);
  if (abandoned_) return;
  Push(std::move(op));
  QMetaObject::invokeMethod(
      this, [this] { OnPosted(); }, Qt::QueuedConnection);  // the caller waits: now
  cv_.wait(lock, [this, done] { return *done || abandoned_; });
}

bool PortQueue::TakeBatch(std::vector<PortOp> *batch) {
  if (local_.empty()) {
    std::lock_guard<std::mutex> lock(mu_);
    // The whole queue changes hands at once, so the worker never waits long
    // for the lock while the GUI takes its share.
    local_.swap(ops_);
    local_count_.store(local_.size(), std::memory_order_relaxed);
  }
  if (local_.empty()) return false;
  size_t n = local_.size() < kBatch ? local_.size() : kBatch;
  batch->clear();
  batch->reserve(n);
  for (size_t i = 0; i < n; i++) {
    batch->push_back(std::move(local_.front()));
    local_.pop_front();
  }
  local_count_.store(local_.size(), std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(mu_);
  cv_.notify_all();  // a worker may wait for the backlog to shrink
  return true;
}

void PortQueue::Drain() {
  std::vector<PortOp> batch;
  while (TakeBatch(&batch)) Apply(batch);
  if (applier_) applier_->Settle();
}

size_t PortQueue::Pending() {
  std::lock_guard<std::mutex> lock(mu_);
  return ops_.size() + local_count_.load(std::memory_order_relaxed);
}

void PortQueue::Abandon() {
  std::lock_guard<std::mutex> lock(mu_);
  abandoned_ = true;
  ops_.clear();
  if (OnGuiThread()) {
    local_.clear();
    local_count_.store(0, std::memory_order_relaxed);
  }
  cv_.notify_all();
}

void PortQueue::OnPosted() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    posted_ = false;
  }
  std::vector<PortOp> batch;
  if (!TakeBatch(&batch)) return;
  // What is left gets its own turn, after the window had a chance to paint.
  if (!local_.empty()) {
    QMetaObject::invokeMethod(
        this, [this] { OnPosted(); }, Qt::QueuedConnection);
  }
  Apply(batch);
}

void PortQueue::Apply(std::vector<PortOp> &batch) {
  if (batch.empty()) return;
  if (applier_) {
    applier_->ApplyOps(batch);
    return;
  }
  // Without views only the closures mean something.
  for (PortOp &op : batch)
    if (op.kind == PortOp::CALL && op.fn) op.fn();
}
