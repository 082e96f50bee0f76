#include "base/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->Insert(this);
}

namespace {
void Unlink(std::vector<TComponent*>& list, TComponent* c) {
  auto it = std::find(list.begin(), list.end(), c);
  if (it != list.end()) list.erase(it);
}
}  // namespace

TComponent::~TComponent() {
  destroying_ = true;
  // Tell the linked components first, one at a time: a handler may destroy
  // another linked component, which then unlinks itself from this list.
  while (!freeNotifies_.empty()) {
    TComponent* c = freeNotifies_.back();
    freeNotifies_.pop_back();
    Unlink(c->freeNotifies_, this);
    c->Notification(this, opRemove);
  }
  // Destroy owned components newest first; each one unlinks itself.
  while (!components_.empty()) {
    TComponent* c = components_.back();
    components_.pop_back();
    c->owner_ = nullptr;
    delete c;
  }
  if (owner_) owner_->Remove(this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* c : components_)
    if (c->name_ == name) return c;
  return nullptr;
}

void TComponent::SetOwner(TComponent* owner) {
  if (owner == owner_) return;
  if (owner_) owner_->Remove(this);
  if (owner) owner->Insert(this);
}

void TComponent::Insert(TComponent* c) {
  components_.push_back(c);
  c->owner_ = this;
}

void TComponent::Remove(TComponent* c) {
  c->owner_ = nullptr;
  if (destroying_) return;
  auto it = std::find(components_.begin(), components_.end(), c);
  if (it != components_.end()) components_.erase(it);
}

void TComponent::FreeNotification(TComponent* c) {
  if (!c || c == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), c) != freeNotifies_.end()) return;
  freeNotifies_.push_back(c);
  c->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* c) {
  if (!c) return;
  Unlink(freeNotifies_, c);
  Unlink(c->freeNotifies_, this);
}

void TComponent::Notification(TComponent*, TOperation) {}
