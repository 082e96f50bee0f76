#include "notes/text/UndoEngine.h"

#include <algorithm>
#include <cstdlib>

#include "base/Wipe.h"

namespace NoteText {

TUndoEngine::~TUndoEngine() {
  WipeAll(undo_);
  WipeAll(redo_);
  WipeString(baseText_);
  WipeString(lastText_);
}

void TUndoEngine::Wipe(TEntry& e) { WipeString(e.text); }

void TUndoEngine::WipeAll(std::deque<TEntry>& stack) {
  for (auto& e : stack) Wipe(e);
  stack.clear();
}

void TUndoEngine::Reset(const std::string& text) {
  WipeAll(undo_);
  WipeAll(redo_);
  WipeString(lastText_);
  lastText_ = text;
  WipeString(baseText_);
  baseText_ = text;
  baseCaret_ = 0;
  pending_ = 0;
  forceBoundary_ = false;
}

void TUndoEngine::SetUndoDepth(int depth) {
  depth_ = std::max(depth, 1);
  TrimUndo();
}

void TUndoEngine::TrimUndo() {
  while (static_cast<int>(undo_.size()) > depth_) {
    Wipe(undo_.front());
    undo_.pop_front();
  }
}

void TUndoEngine::PushGroup() {
  undo_.push_back({std::move(baseText_), baseCaret_});
  baseText_.clear();
  TrimUndo();
  WipeAll(redo_);
  pending_ = 0;
}

bool TUndoEngine::NoteChange(const std::string& text, int selStart) {
  if (text == lastText_) return false;
  if (!inUndoRedo_) {
    const long long d = std::llabs(static_cast<long long>(text.size()) -
                                   static_cast<long long>(lastText_.size()));
    const bool boundary = forceBoundary_ || d > kBoundaryDelta;
    if (pending_ == 0) {
      WipeString(baseText_);
      baseText_ = lastText_;
      baseCaret_ = selStart;
    }
    ++pending_;
    if (boundary || pending_ >= kGroupChanges) PushGroup();
    forceBoundary_ = false;
  }
  WipeString(lastText_);
  lastText_ = text;
  return true;
}

void TUndoEngine::Snapshot() {
  if (inUndoRedo_) return;
  if (pending_ > 0) PushGroup();
  forceBoundary_ = true;
}

bool TUndoEngine::CanUndo() const { return !undo_.empty() || (pending_ > 0 && !inUndoRedo_); }

bool TUndoEngine::CanRedo() const { return !redo_.empty() && pending_ == 0; }

bool TUndoEngine::Apply(std::deque<TEntry>& from, const TApplyFn& apply) {
  TEntry target = std::move(from.back());
  from.pop_back();
  const int caret = std::clamp(target.caret, 0, static_cast<int>(target.text.size()));
  struct TGuard {
    bool& flag;
    ~TGuard() { flag = false; }
  } guard{inUndoRedo_};
  inUndoRedo_ = true;
  std::string now = apply ? apply(target.text, caret) : target.text;
  Wipe(target);
  WipeString(lastText_);
  lastText_ = std::move(now);
  pending_ = 0;
  forceBoundary_ = false;
  return true;
}

bool TUndoEngine::Undo(const std::string& currentText, int currentCaret, const TApplyFn& apply) {
  if (inUndoRedo_) return false;
  if (pending_ > 0) PushGroup();
  if (undo_.empty()) return false;
  redo_.push_back({currentText, currentCaret});
  return Apply(undo_, apply);
}

bool TUndoEngine::Redo(const std::string& currentText, int currentCaret, const TApplyFn& apply) {
  if (inUndoRedo_) return false;
  // An edit since the last Undo ends the redo history: its group is pushed.
  if (pending_ > 0) PushGroup();
  if (redo_.empty()) return false;
  undo_.push_back({currentText, currentCaret});
  TrimUndo();
  return Apply(redo_, apply);
}

}  // namespace NoteText
