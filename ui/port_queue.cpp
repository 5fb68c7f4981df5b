// The ordered way from the worker thread to the GUI thread (see port_queue.h).
#include "ui/port_queue.h"

#include <QCoreApplication>
#include <QThread>

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
    return;
  }
  std::unique_lock<std::mutex> lock(mu_);
  if (abandoned_) return;
  if (ops_.size() >= kHighWater)
    cv_.wait(lock, [this] { return abandoned_ || ops_.size() <= kLowWater; });
  if (abandoned_) return;
  ops_.push_back(std::move(op));
  if (!posted_) {
    posted_ = true;
    QMetaObject::invokeMethod(
        this, [this] { OnPosted(); }, Qt::QueuedConnection);
  }
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
  ops_.push_back(std::move(op));
  if (!posted_) {
    posted_ = true;
    QMetaObject::invokeMethod(
        this, [this] { OnPosted(); }, Qt::QueuedConnection);
  }
  cv_.wait(lock, [this, done] { return *done || abandoned_; });
}

void PortQueue::Drain() {
  for (;;) {
    std::vector<PortOp> batch;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (ops_.empty()) return;
      size_t n = ops_.size() < kBatch ? ops_.size() : kBatch;
      batch.reserve(n);
      for (size_t i = 0; i < n; i++) {
        batch.push_back(std::move(ops_.front()));
        ops_.pop_front();
      }
      cv_.notify_all();
    }
    Apply(batch);
  }
}

size_t PortQueue::Pending() {
  std::lock_guard<std::mutex> lock(mu_);
  return ops_.size();
}

void PortQueue::Abandon() {
  std::lock_guard<std::mutex> lock(mu_);
  abandoned_ = true;
  ops_.clear();
  cv_.notify_all();
}

void PortQueue::OnPosted() {
  std::vector<PortOp> batch;
  {
    std::lock_guard<std::mutex> lock(mu_);
    posted_ = false;
    size_t n = ops_.size() < kBatch ? ops_.size() : kBatch;
    batch.reserve(n);
    for (size_t i = 0; i < n; i++) {
      batch.push_back(std::move(ops_.front()));
      ops_.pop_front();
    }
    // What is left gets its own turn, after the window had a chance to paint.
    if (!ops_.empty()) {
      posted_ = true;
      QMetaObject::invokeMethod(
          this, [this] { OnPosted(); }, Qt::QueuedConnection);
    }
    cv_.notify_all();
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
