// The server's main thread runs one event at a time from this queue: the
// messages the reading thread has parsed, and what the worker reports
// (parsed sources, progress, the end of a job). Any thread may post.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class EventQueue {
 public:
  // Adds fn at the end; any thread.
  void Post(std::function<void()> fn) {
    std::lock_guard<std::mutex> guard(lock_);
    events_.push_back(std::move(fn));
    ready_.notify_one();
  }
  // The first event, waiting for one.
  std::function<void()> Wait() {
    std::unique_lock<std::mutex> guard(lock_);
    ready_.wait(guard, [this] { return !events_.empty(); });
    std::function<void()> fn = std::move(events_.front());
    events_.pop_front();
    return fn;
  }
  // The first event if there is one (*fn empty otherwise), without waiting.
  bool TryTake(std::function<void()> *fn) {
    std::lock_guard<std::mutex> guard(lock_);
    if (events_.empty()) return false;
    *fn = std::move(events_.front());
    events_.pop_front();
    return true;
  }

 private:
  std::mutex lock_;  // guards events_
  std::condition_variable ready_;
  std::deque<std::function<void()>> events_;
};
