// TCheckable: the one thing the settings store needs from a check box or a
// radio button, its checked state. The ui/ check box and radio button
// implement it; tests use plain fakes.
#pragma once

class TCheckable {
 public:
  virtual bool Checked() const = 0;
  // A radio button unchecks the other radio buttons of its parent itself
  // when it becomes checked; the store never touches a sibling.
  virtual void SetChecked(bool value) = 0;

 protected:
  TCheckable() = default;
  TCheckable(const TCheckable&) = default;
  TCheckable& operator=(const TCheckable&) = default;
  virtual ~TCheckable() = default;
};
