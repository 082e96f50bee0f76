// TPageControl: a tab control whose tabs each show one page (TTabSheet).
// The pages are children of the tab control, laid over its display area;
// only the active page is visible.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/ExtCtrls.h"
#include "ui/StdCtrls.h"

class TPageControl;

// One page: a plain container for the page's controls.
class TTabSheet : public TPanel {
 public:
  TTabSheet(TComponent* owner, TPageControl* pageControl, const std::string& caption);
  std::string Caption() const { return caption_; }
  TPageControl* PageControl() const { return pageControl_; }

 private:
  TPageControl* pageControl_;
  std::string caption_;
};

class TPageControl : public TStdControl {
 public:
  explicit TPageControl(TComponent* owner);

  // A new page with its tab, after the others, hidden until it is made the
  // active page (fill it first). The page control must have its parent and
  // bounds.
  TTabSheet* AddPage(const std::string& name, const std::string& caption);
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Page(int index) const { return pages_.at(static_cast<std::size_t>(index)); }
  TTabSheet* ActivePage() const { return activeIndex_ < 0 ? nullptr : pages_[static_cast<std::size_t>(activeIndex_)]; }
  int ActivePageIndex() const { return activeIndex_; }
  // Selects the tab and shows its page; other pages are hidden.
  void SetActivePageIndex(int index);
  void SetActivePage(TTabSheet* page);

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void PlacePages();
  void ShowActive();
  std::vector<TTabSheet*> pages_;
  int activeIndex_ = -1;
};
