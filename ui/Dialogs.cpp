#include "ui/Dialogs.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

TMessageBoxHook MessageBoxHook;

int UiMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
  if (MessageBoxHook) {
    auto hook = MessageBoxHook;  // the hook may replace itself
    return hook(TMessageBoxCall{owner, text, caption, flags});
  }
  return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

std::function<bool(TOpenDialog& dialog)> TOpenDialog::ExecuteHook;

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner) {}

std::string FilterToSystem(const std::string& filter) {
  std::string s = filter;
  for (char& c : s)
    if (c == '|') c = '\0';
  s.push_back('\0');
  s.push_back('\0');
  return s;
}

bool TOpenDialog::Execute(HWND owner) {
  if (ExecuteHook) {
    auto hook = ExecuteHook;
    return hook(*this);
  }
  std::vector<char> buffer(32768, '\0');
  fileName_.copy(buffer.data(), std::min(fileName_.size(), buffer.size() - 1));
  const std::string filter = FilterToSystem(filter_);
  const std::string ext = defaultExt_.size() > 0 && defaultExt_[0] == '.' ? defaultExt_.substr(1) : defaultExt_;
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter_.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(filterIndex_);
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = initialDir_.empty() ? nullptr : initialDir_.c_str();
  ofn.lpstrTitle = title_.empty() ? nullptr : title_.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  if (options_ & ofOverwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
  if (options_ & ofFileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (options_ & ofPathMustExist) ofn.Flags |= OFN_PATHMUSTEXIST;
  if (options_ & ofHideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
  const BOOL ok = save_ ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  if (!ok) return false;
  fileName_ = buffer.data();
  filterIndex_ = static_cast<int>(ofn.nFilterIndex);
  return true;
}
