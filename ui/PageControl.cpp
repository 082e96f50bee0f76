#include "ui/PageControl.h"

#include <commctrl.h>

TTabSheet::TTabSheet(TComponent* owner, TPageControl* pageControl, const std::string& caption)
    : TPanel(owner), pageControl_(pageControl), caption_(caption) {
  SetBevelOuter(bcNone);
  SetColor(clBtnFace);
}

TPageControl::TPageControl(TComponent* owner) : TStdControl(owner) {}

void TPageControl::CreateParams(TCreateParams& params) {
  params.WinClassName = WC_TABCONTROLA;
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP;
  params.ExStyle = WS_EX_CONTROLPARENT;
}

TTabSheet* TPageControl::AddPage(const std::string& name, const std::string& caption) {
  auto* page = new TTabSheet(Owner(), this, caption);
  page->SetName(name);
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  std::string text = caption;
  item.pszText = text.data();
  const int index = static_cast<int>(pages_.size());
  SendMessageA(Handle(), TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  pages_.push_back(page);
  page->SetParent(this);
  PlacePages();
  page->Hide();
  return page;
}

void TPageControl::PlacePages() {
  if (!HandleAllocated()) return;
  RECT r;
  GetClientRect(Handle(), &r);
  SendMessageA(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  for (TTabSheet* page : pages_) page->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TPageControl::SetActivePageIndex(int index) {
  if (index < 0 || index >= PageCount()) return;
  if (static_cast<int>(SendMessageA(Handle(), TCM_GETCURSEL, 0, 0)) != index)
    SendMessageA(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  if (index == activeIndex_) return;
  activeIndex_ = index;
  ShowActive();
}

void TPageControl::SetActivePage(TTabSheet* page) {
  for (int i = 0; i < PageCount(); ++i)
    if (pages_[static_cast<std::size_t>(i)] == page) SetActivePageIndex(i);
}

void TPageControl::ShowActive() {
  for (int i = 0; i < PageCount(); ++i) pages_[static_cast<std::size_t>(i)]->SetVisible(i == activeIndex_);
}

LRESULT TPageControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = TStdControl::WndProc(msg, wParam, lParam);
  if (msg == WM_SIZE) PlacePages();
  return result;
}

bool TPageControl::ReflectedMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
  if (msg != WM_NOTIFY) return false;
  const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
  if (hdr->code != static_cast<UINT>(TCN_SELCHANGE)) return false;
  const int index = static_cast<int>(SendMessageA(Handle(), TCM_GETCURSEL, 0, 0));
  if (index >= 0 && index != activeIndex_) {
    activeIndex_ = index;
    ShowActive();
    if (OnChange) OnChange(this);
  }
  result = 0;
  return true;
}
