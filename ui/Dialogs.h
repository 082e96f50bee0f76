// Message boxes and the file-open and file-save dialogs. Each has a test
// hook: when it is set, the hook answers instead of a window, so commands
// that ask the user run end to end without a person.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/Component.h"

// ---- Message boxes ----------------------------------------------------------

struct TMessageBoxCall {
  HWND Owner = nullptr;
  std::string Text;
  std::string Caption;
  UINT Flags = 0;
};

// Answers a message box with a button id (IDOK, IDYES, …). While set, no
// message box window is shown.
using TMessageBoxHook = std::function<int(const TMessageBoxCall& call)>;
extern TMessageBoxHook MessageBoxHook;

// The one place where the program shows a message box: MessageBoxA, or the
// hook when one is set. Returns the button id (0 when the box failed).
int UiMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags);

// ---- File dialogs -----------------------------------------------------------

enum TOpenOption : unsigned {
  ofOverwritePrompt = 1,
  ofFileMustExist = 2,
  ofPathMustExist = 4,
  ofHideReadOnly = 8,
};

class TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(TComponent* owner = nullptr);

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  // Pairs of description and pattern joined by "|": "Text (*.txt)|*.txt".
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& filter) { filter_ = filter; }
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int index) { filterIndex_ = index; }
  const std::string& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const std::string& ext) { defaultExt_ = ext; }
  const std::string& InitialDir() const { return initialDir_; }
  void SetInitialDir(const std::string& dir) { initialDir_ = dir; }
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& name) { fileName_ = name; }
  unsigned Options() const { return options_; }
  void SetOptions(unsigned options) { options_ = options; }

  // Shows the dialog; true when the user picked a file (FileName holds it).
  bool Execute(HWND owner = nullptr);
  bool IsSaveDialog() const { return save_; }

  // Test hook: picks the file instead of a window. It may read the dialog's
  // settings and SetFileName; true means a file was picked.
  static std::function<bool(TOpenDialog& dialog)> ExecuteHook;

 protected:
  bool save_ = false;

 private:
  std::string title_, filter_, defaultExt_, initialDir_, fileName_;
  int filterIndex_ = 1;
  unsigned options_ = ofHideReadOnly;
};

class TSaveDialog : public TOpenDialog {
 public:
  explicit TSaveDialog(TComponent* owner = nullptr) : TOpenDialog(owner) { save_ = true; }
};

// The filter text as the system wants it: every "|" a zero byte, two zero
// bytes at the end.
std::string FilterToSystem(const std::string& filter);
