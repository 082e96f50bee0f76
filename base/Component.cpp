#include "base/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->Insert(this);
}

TComponent::~TComponent() {
  destroying_ = true;
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
