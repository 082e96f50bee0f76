// TObject and TComponent: the root of our class library. A component may be
// owned by another; the owner destroys what it owns, newest first.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<std::size_t>(index)); }
  TComponent* FindComponent(const std::string& name) const;

  // Moves this component to another owner (or to none).
  void SetOwner(TComponent* owner);

 private:
  void Insert(TComponent* c);
  void Remove(TComponent* c);

  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  bool destroying_ = false;
};
