#include "notes/IconPicker.h"

#include <ole2.h>
#include <exdisp.h>
#include <exdispid.h>
#include <oleidl.h>
#include <shellapi.h>

#include <memory>
#include <vector>

#include "notes/text/IconPickerText.h"
#include "ui/Application.h"
#include "ui/MessageWindow.h"

std::function<bool(const std::string& verb, const std::string& url)> TQMemoIconPicker::ShellOpenHook;

namespace {

TQMemoIconPicker* openPicker = nullptr;
std::string serviceHost = "https://icons.quorvane.com";

// Pickers wait here to be deleted after the browser event that closed them
// has returned; a message posted to a hidden window deletes them.
const UINT kReleaseMessage = WM_APP + 0x2E1;
std::vector<TQMemoIconPicker*> pendingRelease;

TMessageWindow& ReleaseWindow() {
  static TMessageWindow* window = [] {
    auto* w = new TMessageWindow(nullptr, "TQMemoIconPickerRelease", true);
    w->OnMessage = [](UINT msg, WPARAM, LPARAM, LRESULT& result) {
      if (msg != kReleaseMessage) return false;
      std::vector<TQMemoIconPicker*> doomed;
      doomed.swap(pendingRelease);
      for (TQMemoIconPicker* p : doomed) delete p;
      result = 0;
      return true;
    };
    return w;
  }();
  return *window;
}

bool OleReady() {
  static const bool ready = SUCCEEDED(OleInitialize(nullptr));
  return ready;
}

// The browser's address as 8-bit text. Characters outside ASCII cannot be
// part of a pick; they become DEL, which no piece of a pick may hold.
std::string NarrowUrl(const wchar_t* url) {
  std::string s;
  if (!url) return s;
  for (const wchar_t* p = url; *p; ++p) s.push_back(*p < 0x80 ? static_cast<char>(*p) : '\x7F');
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// The in-place site the browser control lives in: client site, in-place
// site and frame, and the receiver of the browser's events. COM interfaces
// have no virtual destructors; the object deletes itself in Release, as the
// most derived class.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TQMemoBrowserSite : public IOleClientSite,
                          public IOleInPlaceSite,
                          public IOleInPlaceFrame,
                          public IDispatch {
 public:
  explicit TQMemoBrowserSite(TQMemoIconPicker* picker) : picker_(picker) {}
  virtual ~TQMemoBrowserSite() = default;
  void Detach() { picker_ = nullptr; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite)) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame)) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, DIID_DWebBrowserEvents2)) {
      *out = static_cast<IDispatch*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override {
    if (mk) *mk = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** c) override {
    if (c) *c = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (of the in-place site and of the frame)
  STDMETHODIMP GetWindow(HWND* wnd) override {
    if (!wnd) return E_POINTER;
    *wnd = picker_ && picker_->HandleAllocated() ? picker_->Handle() : nullptr;
    return *wnd ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
    if (frame) {
      *frame = static_cast<IOleInPlaceFrame*>(this);
      AddRef();
    }
    if (doc) *doc = nullptr;
    RECT r{0, 0, 0, 0};
    if (picker_ && picker_->HandleAllocated()) GetClientRect(picker_->Handle(), &r);
    if (pos) *pos = r;
    if (clip) *clip = r;
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = picker_ && picker_->HandleAllocated() ? picker_->Handle() : nullptr;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: no tool space, no menus.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDispatch: the browser's events.
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ti) override {
    if (ti) *ti = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    if (id != DISPID_BEFORENAVIGATE2 || !params || params->cArgs != 7 || !picker_) return S_OK;
    // Arguments come last first: Cancel is 0, the URL 5.
    VARIANT& urlArg = params->rgvarg[5];
    VARIANT& cancelArg = params->rgvarg[0];
    const wchar_t* url = nullptr;
    if (urlArg.vt == (VT_BYREF | VT_VARIANT) && urlArg.pvarVal && urlArg.pvarVal->vt == VT_BSTR) {
      url = urlArg.pvarVal->bstrVal;
    } else if (urlArg.vt == VT_BSTR) {
      url = urlArg.bstrVal;
    }
    bool cancel = false;
    picker_->BeforeNavigate2(NarrowUrl(url), cancel);
    if (cancel && cancelArg.vt == (VT_BYREF | VT_BOOL) && cancelArg.pboolVal) *cancelArg.pboolVal = VARIANT_TRUE;
    return S_OK;
  }

 private:
  TQMemoIconPicker* picker_;
  LONG refs_ = 1;
};
#pragma GCC diagnostic pop

// ---------------------------------------------------------------------------

TQMemoIconPicker::TQMemoIconPicker(const void* client, TPickEvent onPick)
    : TForm(Application, "TQMemoIconPicker"), client_(client), onPick_(std::move(onPick)) {
  SetCaption("Icon Picker");
  SetBounds(0, 0, 400, 300);
  OnClose = [this](TObject*, TCloseAction& action) {
    action = caNone;  // released below, once the message that closed it has returned
    Release();
  };
}

TQMemoIconPicker::~TQMemoIconPicker() {
  if (openPicker == this) openPicker = nullptr;
  for (auto& p : pendingRelease)
    if (p == this) p = nullptr;
  std::erase(pendingRelease, nullptr);
  DestroyBrowser();
  OnClose = nullptr;
}

void TQMemoIconPicker::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  // A sizeable tool window that stays on top.
  params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
  params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;
}

void TQMemoIconPicker::CreateWnd() {
  TForm::CreateWnd();
  CreateBrowser();
}

TQMemoIconPicker* TQMemoIconPicker::ShowIconPickerWindow(const void* client, TPickEvent onPick) {
  ReleaseWindow().HandleNeeded();
  TQMemoIconPicker* picker = openPicker;
  if (picker) {
    picker->client_ = client;
    picker->onPick_ = std::move(onPick);
  } else {
    picker = new TQMemoIconPicker(client, std::move(onPick));
    openPicker = picker;
    picker->HandleNeeded();
    picker->CenterOnScreen();
  }
  picker->Show();
  picker->BringToFront();
  picker->Navigate(PageUrl());
  return picker;
}

TQMemoIconPicker* TQMemoIconPicker::IconPickerForm() { return openPicker; }

void TQMemoIconPicker::CloseIconPickerFor(const void* client) {
  if (openPicker && openPicker->client_ == client) {
    openPicker->onPick_ = nullptr;
    openPicker->Release();
  }
}

std::string TQMemoIconPicker::IconServiceHost() { return serviceHost; }
void TQMemoIconPicker::SetIconServiceHost(const std::string& host) { serviceHost = host; }
std::string TQMemoIconPicker::PageUrl() { return serviceHost + "/icon/?style=bcb5"; }
std::string TQMemoIconPicker::OverviewUrl() { return serviceHost + "/icon/"; }

bool TQMemoIconPicker::OpenIconServiceOverview() {
  const std::string url = OverviewUrl();
  if (ShellOpenHook) return ShellOpenHook("open", url);
  return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

bool TQMemoIconPicker::CreateBrowser() {
  if (browser_ || !OleReady()) return browser_ != nullptr;
  site_ = new TQMemoBrowserSite(this);
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              reinterpret_cast<void**>(&oleObject_))) ||
      !oleObject_) {
    DestroyBrowser();
    return false;
  }
  oleObject_->SetClientSite(static_cast<IOleClientSite*>(site_));
  OleSetContainedObject(oleObject_, TRUE);
  RECT r;
  GetClientRect(Handle(), &r);
  if (FAILED(oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0,
                                Handle(), &r)) ||
      FAILED(oleObject_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_))) || !browser_) {
    DestroyBrowser();
    return false;
  }
  browser_->put_Silent(VARIANT_TRUE);  // no script error dialogs
  IConnectionPointContainer* container = nullptr;
  if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) &&
      container) {
    if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &events_)) && events_) {
      if (FAILED(events_->Advise(static_cast<IDispatch*>(site_), &eventsCookie_))) {
        events_->Release();
        events_ = nullptr;
      }
    }
    container->Release();
  }
  if (!events_) {
    // Without its events the picker could never deliver a pick.
    DestroyBrowser();
    return false;
  }
  ResizeBrowser();
  return true;
}

void TQMemoIconPicker::DestroyBrowser() {
  if (events_) {
    events_->Unadvise(eventsCookie_);
    events_->Release();
    events_ = nullptr;
  }
  if (browser_) {
    // A navigation still pending would run on after the window is gone
    // (Wine then fails on the vanished window and ends the process).
    browser_->Stop();
    browser_->Release();
    browser_ = nullptr;
  }
  if (oleObject_) {
    oleObject_->Close(OLECLOSE_NOSAVE);
    oleObject_->SetClientSite(nullptr);
    oleObject_->Release();
    oleObject_ = nullptr;
  }
  if (site_) {
    site_->Detach();
    site_->Release();
    site_ = nullptr;
  }
}

void TQMemoIconPicker::ResizeBrowser() {
  if (!oleObject_ || !HandleAllocated()) return;
  RECT r;
  GetClientRect(Handle(), &r);
  IOleInPlaceObject* inPlace = nullptr;
  if (SUCCEEDED(oleObject_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))) && inPlace) {
    inPlace->SetObjectRects(&r, &r);
    inPlace->Release();
  }
}

LRESULT TQMemoIconPicker::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  const LRESULT r = TForm::WndProc(msg, wParam, lParam);
  if (msg == WM_SIZE) ResizeBrowser();
  return r;
}

bool TQMemoIconPicker::Navigate(const std::string& url) {
  if (!browser_) return false;
  std::wstring wide(url.begin(), url.end());
  BSTR address = SysAllocString(wide.c_str());
  if (!address) return false;
  VARIANT empty;
  VariantInit(&empty);
  const HRESULT hr = browser_->Navigate(address, &empty, &empty, &empty, &empty);
  SysFreeString(address);
  return SUCCEEDED(hr);
}

void TQMemoIconPicker::BeforeNavigate2(const std::string& url, bool& cancel) {
  ++navigations_;
  lastUrl_ = url;
  std::string_view rest;
  if (!NoteText::IsIconPickerUrl(url, rest)) return;  // the page's own navigation
  cancel = true;
  if (releasing_) return;
  const std::string tokens = NoteText::PickerTextToTokens(rest);
  if (tokens.empty()) return;  // not a pick we accept: ignored, the picker stays
  // The callback may open or close pickers; keep what this pick needs.
  TPickEvent pick = onPick_;
  Release();
  if (pick) pick(tokens);
}

void TQMemoIconPicker::Release() {
  if (releasing_) return;
  releasing_ = true;
  if (openPicker == this) openPicker = nullptr;
  Hide();
  pendingRelease.push_back(this);
  PostMessageA(ReleaseWindow().Handle(), kReleaseMessage, 0, 0);
}
