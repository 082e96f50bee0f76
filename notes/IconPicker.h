// The notes editor's icon picker: a small stay-on-top tool window that shows
// the icon service's page in the shell's web-browser control. Choosing a
// character makes the page navigate to "npicon:" followed by code points in
// hexadecimal; the picker cancels that navigation, turns the code points
// into tokens and hands them to the editor, then closes.
//
// The page comes from the network (the icon service is outside the
// program); without a connection the window stays blank, and nothing is
// reported. Whatever the page sends is checked: only 1 to 16 code points of
// 4 to 6 hex digits each are accepted, anything else is ignored.
//
// One picker at a time: opening it again while it is open brings the open
// one to the front and hands its picks to the new caller.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/Form.h"

class TQMemoBrowserSite;
struct IOleObject;
struct IWebBrowser2;
struct IConnectionPoint;

class TQMemoIconPicker : public TForm {
 public:
  // Receives the tokens of a pick ("[[U+1F44D]]…"); the editor inserts them
  // in place of its selection.
  using TPickEvent = std::function<void(const std::string& tokens)>;

  // Opens the picker for client (the editor) and starts loading the page;
  // returns the window. Picks go to onPick.
  static TQMemoIconPicker* ShowIconPickerWindow(const void* client, TPickEvent onPick);
  // The open picker, or null.
  static TQMemoIconPicker* IconPickerForm();
  // Closes the picker when it works for client: an editor calls this when it
  // goes, so that no pick can reach it afterwards.
  static void CloseIconPickerFor(const void* client);

  // The icon service: its address (configuration; "https://…" without a
  // trailing "/"), the picker's page and the overview page for Win+".".
  static std::string IconServiceHost();
  static void SetIconServiceHost(const std::string& host);
  static std::string PageUrl();      // host + "/icon/?style=bcb5"
  static std::string OverviewUrl();  // host + "/icon/"
  // Opens the overview page in the user's browser ("open", shown normal).
  static bool OpenIconServiceOverview();
  // Test seam: when set, it gets the verb and the address instead of the shell.
  static std::function<bool(const std::string& verb, const std::string& url)> ShellOpenHook;

  ~TQMemoIconPicker() override;

  // Whether the browser control was created and is in place.
  bool BrowserReady() const { return browser_ != nullptr; }
  // Navigates the browser to url (what the page does when a character is
  // chosen). False when the browser is missing or refuses.
  bool Navigate(const std::string& url);

  // The browser's before-navigate event: an "npicon:" address (exact case)
  // is cancelled and its pick delivered; any other address proceeds.
  void BeforeNavigate2(const std::string& url, bool& cancel);

  // The addresses the browser announced, for whoever watches the picker.
  int NavigationCount() const { return navigations_; }
  const std::string& LastNavigationUrl() const { return lastUrl_; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  TQMemoIconPicker(const void* client, TPickEvent onPick);
  bool CreateBrowser();
  void DestroyBrowser();
  void ResizeBrowser();
  // Hides the window, forgets it as the open picker and deletes it once the
  // browser's event that asked for it has returned.
  void Release();

  const void* client_;
  TPickEvent onPick_;
  TQMemoBrowserSite* site_ = nullptr;
  IOleObject* oleObject_ = nullptr;
  IWebBrowser2* browser_ = nullptr;
  IConnectionPoint* events_ = nullptr;
  DWORD eventsCookie_ = 0;
  bool releasing_ = false;
  int navigations_ = 0;
  std::string lastUrl_;
};
