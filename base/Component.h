// TObject and TComponent: the root of our class library. A component may be
// owned by another; the owner destroys what it owns, newest first. A
// component that keeps a pointer to one it does not own asks it for a free
// notification and is told, through Notification, when it goes away.
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

enum TOperation { opInsert, opRemove };

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

  // Links this component and c: whichever of the two is destroyed first
  // calls Notification(itself, opRemove) on the other. Linking twice is
  // one link.
  void FreeNotification(TComponent* c);
  // Undoes FreeNotification.
  void RemoveFreeNotification(TComponent* c);

 protected:
  // Called with opRemove when a linked component is being destroyed. It runs
  // from that component's TComponent destructor: compare the pointer, touch
  // nothing of it. The default does nothing.
  virtual void Notification(TComponent* component, TOperation operation);

  // Points field at value and moves this component's free notification
  // from the old component to the new one.
  template <class T>
  void SetReference(T*& field, T* value) {
    if (field == value) return;
    if (field) field->RemoveFreeNotification(this);
    field = value;
    if (field) field->FreeNotification(this);
  }
  // For Notification: clears field when it refers to the removed component;
  // true when it did.
  template <class T>
  static bool DropReference(T*& field, const TComponent* removed) {
    if (!field || static_cast<const TComponent*>(field) != removed) return false;
    field = nullptr;
    return true;
  }

 private:
  void Insert(TComponent* c);
  void Remove(TComponent* c);

  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  bool destroying_ = false;
};
