// Labels, edits with a password character or read-only state and their own
// colour, multi-line memos and editable combo boxes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/Graphics.h"
#include "ui/StdCtrls.h"

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// What an edit window's text buffer has held. The edit keeps its buffer
// when its text gets shorter and moves it only when it grows, so a wipe
// overwrites as many characters as the buffer ever held; a buffer made
// large at the start rarely moves and leaves no copy behind when it does.
class TEditBuffer {
 public:
  static constexpr int kReservedChars = 1024;
  // Makes the buffers of a new, empty edit large (the text's and the undo
  // copy's), holding blanks only.
  void Reserve(HWND edit);
  // Notes the edit's text length after a change.
  void Note(HWND edit);
  // Overwrites what the buffers held with blanks and empties the edit.
  // Change notifications sent meanwhile are for Wiping() to swallow.
  void Wipe(HWND edit);
  bool Wiping() const { return wiping_; }
  bool Dirty() const { return dirty_; }

 private:
  int held_ = 0;
  bool dirty_ = false;
  bool wiping_ = false;
};

// A line of static text in Font (with its colour) on Color.
class TLabel : public TStdControl {
 public:
  explicit TLabel(TComponent* owner);

  std::string Caption() { return Text(); }
  void SetCaption(const std::string& caption) { SetText(caption); }
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);  // before the window exists
  // The hand cursor over the label (for labels that open a web page).
  void SetHandCursor(bool value) { handCursor_ = value; }

  TNotifyEvent OnClick;

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  TColor color_ = clBtnFace;
  TAlignment alignment_ = taLeftJustify;
  bool handCursor_ = false;
  TBrush brush_;
};

// A single-line edit with a password character, a read-only state and a
// background colour of its own.
class TEditBox : public TEdit {
 public:
  explicit TEditBox(TComponent* owner);
  ~TEditBox() override;

  char PasswordChar() const { return passwordChar_; }
  // '\0' shows the text in clear.
  void SetPasswordChar(char c);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  // Shows text. The text shown before is overwritten in the edit's buffer
  // first, so that a shorter text leaves nothing of a longer one behind.
  void SetText(const std::string& text);
  // Empties the edit, overwriting every character its buffer has held and
  // the start of its undo buffer (a password must not stay in either).
  void ClearSecret();
  // A secret text that the control keeps itself and never puts into its
  // window, for a hidden edit that holds one (a vault's whole text): the
  // window's text passes through buffers of the system that are freed
  // without being wiped. Setting it wipes the text it replaces; ClearSecret
  // wipes it too.
  void SetSecretText(const std::string& text);
  const std::string& SecretText() const { return secret_; }

  TNotifyEvent OnDblClick;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  char passwordChar_ = '\0';
  bool readOnly_ = false;
  TEditBuffer buffer_;
  std::string secret_;
  TColor color_ = clWindow;
  TBrush brush_;
};

// A multi-line edit.
class TMemo : public TEditBox {
 public:
  explicit TMemo(TComponent* owner);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value) { wordWrap_ = value; }  // before the window exists

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  bool wordWrap_ = true;
};

// An editable drop-down combo box: a text with a list of suggestions.
class TComboBox : public TStdControl {
 public:
  explicit TComboBox(TComponent* owner);

  void AddItem(const std::string& item);
  void ClearItems();
  int ItemCount() const { return static_cast<int>(items_.size()); }
  const std::string& Item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
  int ItemIndex();
  void SetItemIndex(int index);  // -1: no item selected
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int count);
  TColor Color() const { return color_; }
  void SetColor(TColor color);

  // Shows text, the one before overwritten first (as TEditBox::SetText).
  void SetText(const std::string& text);
  // Empties the text, overwriting every character the edit's buffer has
  // held (as TEditBox::ClearSecret).
  void ClearSecret();

  // The text changed: typed, or an item picked from the list.
  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void ApplyHeight();
  LRESULT ColorMessage(HDC dc);
  HWND EditHandle();
  TEditBuffer buffer_;
  std::vector<std::string> items_;
  int dropDownCount_ = 8;
  int itemIndex_ = -1;
  TColor color_ = clWindow;
  TBrush brush_;
};
