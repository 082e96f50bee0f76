// TQEdit: a single-line edit that completes the typed text from a list of
// candidates as the user types, unless the text is the beginning of an
// excluded entry. The typed part stays unselected and the completed rest is
// selected, so that typing on replaces it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/StringList.h"
#include "ui/StdCtrls.h"

// Called before a completion is applied; may change the text and where the
// selection starts.
using TQEditSelectEvent = std::function<void(TObject* sender, std::string& SelText, int& SelPos)>;

namespace QEditCompletion {

// Keys whose release never completes: backspace, clear, enter, shift, caps
// lock, escape, space, the navigation and editing block (33 to 46), the
// Windows and application keys and F1 to F12.
bool IgnoredKey(WORD key);
// Lower case by the system's ANSI code page.
std::string AnsiLower(const std::string& text);
// The first candidate that text begins, as the completion rule has it; false
// when the text is excluded, nothing matches, or (onlyIfUnequivocal) more
// than one candidate matches.
bool FindCandidate(const std::string& text, const TStringList& data, const TStringList& exclusion,
                   bool caseSensitiveData, bool caseSensitiveExclusion, bool onlyIfUnequivocal,
                   std::string& candidate);

}  // namespace QEditCompletion

class TQEdit : public TEdit {
 public:
  explicit TQEdit(TComponent* owner);
  ~TQEdit() override;

  // False keeps the focus in the edit when it would leave.
  bool ExitAfterTab() const { return exitAfterTab_; }
  void SetExitAfterTab(bool value) { exitAfterTab_ = value; }
  // Complete only when exactly one candidate matches.
  bool OnlyIfUnequivocal() const { return onlyIfUnequivocal_; }
  void SetOnlyIfUnequivocal(bool value) { onlyIfUnequivocal_ = value; }
  // The candidates; the setter copies the lines.
  TStringList& DataList() { return dataList_; }
  void SetDataList(const TStringList& list) { dataList_.Items() = list.Items(); }
  // Texts whose beginnings get no completion; the setter copies the lines.
  TStringList& ExclusionList() { return exclusionList_; }
  void SetExclusionList(const TStringList& list) { exclusionList_.Items() = list.Items(); }
  bool CaseSensitiveExlusion() const { return caseSensitiveExclusion_; }
  void SetCaseSensitiveExlusion(bool value) { caseSensitiveExclusion_ = value; }
  bool CaseSensitiveData() const { return caseSensitiveData_; }
  void SetCaseSensitiveData(bool value) { caseSensitiveData_ = value; }

  TQEditSelectEvent OnSelect;

  // Runs OnSelect on copies of the text and the selection start, writes the
  // start back and returns the text.
  virtual std::string Select(const std::string& text, int* selStart);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // The completion; OnKeyUp is not called.
  void KeyUp(WORD& key, TShiftState shift) override;
  void DoExit() override;

 private:
  bool exitAfterTab_ = true;
  bool onlyIfUnequivocal_ = false;
  TStringList dataList_;
  TStringList exclusionList_;
  bool caseSensitiveExclusion_ = true;
  bool caseSensitiveData_ = false;
};
