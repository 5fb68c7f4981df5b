// Back and Forward through the trees of a session (see tree_history.h).
#include "ui/tree_history.h"

void TreeHistory::Push(const TreeVisit &visit) {
  visits_.resize((size_t)(at_ + 1));
  visits_.push_back(visit);
  if ((int)visits_.size() > kMaxVisits) visits_.erase(visits_.begin());
  at_ = (int)visits_.size() - 1;
}

void TreeHistory::Clear() {
  visits_.clear();
  at_ = -1;
}

TreeVisit *TreeHistory::Current() {
  return at_ >= 0 ? &visits_[(size_t)at_] : nullptr;
}

const TreeVisit *TreeHistory::Peek(int step) const {
  int i = at_ + step;
  return at_ >= 0 && i >= 0 && i < (int)visits_.size() ? &visits_[(size_t)i] : nullptr;
}

bool TreeHistory::Move(int step) {
  if (!Peek(step)) return false;
  at_ += step;
  return true;
}
