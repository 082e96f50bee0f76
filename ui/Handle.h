// RAII for Win32 handles: one small move-only template and the aliases we use.
#pragma once

#include <windows.h>

#include <utility>

template <typename T, auto Close, T Invalid>
class TUniqueHandle {
 public:
  TUniqueHandle() = default;
  explicit TUniqueHandle(T h) : h_(h) {}
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  TUniqueHandle(TUniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Invalid)) {}
  TUniqueHandle& operator=(TUniqueHandle&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, Invalid));
    return *this;
  }
  ~TUniqueHandle() { reset(); }

  T get() const { return h_; }
  explicit operator bool() const { return h_ != Invalid; }
  T release() { return std::exchange(h_, Invalid); }
  void reset(T h = Invalid) {
    if (h_ != Invalid) Close(h_);
    h_ = h;
  }

 private:
  T h_ = Invalid;
};

namespace vl_detail {
inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void DeleteGdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void DeleteMemoryDC(HDC h) { ::DeleteDC(h); }
inline void DestroyIconHandle(HICON h) { ::DestroyIcon(h); }
}  // namespace vl_detail

using TKernelHandle = TUniqueHandle<HANDLE, vl_detail::CloseKernelHandle, nullptr>;
using TGdiObject = TUniqueHandle<HGDIOBJ, vl_detail::DeleteGdiObject, nullptr>;
using TMemoryDC = TUniqueHandle<HDC, vl_detail::DeleteMemoryDC, nullptr>;
using TIconHandle = TUniqueHandle<HICON, vl_detail::DestroyIconHandle, nullptr>;

// A file handle whose invalid value is INVALID_HANDLE_VALUE.
class TFileHandle {
 public:
  TFileHandle() = default;
  explicit TFileHandle(HANDLE h) : h_(h) {}
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  TFileHandle(TFileHandle&& o) noexcept : h_(std::exchange(o.h_, INVALID_HANDLE_VALUE)) {}
  ~TFileHandle() { reset(); }
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }
  void reset(HANDLE h = INVALID_HANDLE_VALUE) {
    if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

// A window DC released when it goes out of scope.
class TWindowDC {
 public:
  explicit TWindowDC(HWND wnd) : wnd_(wnd), dc_(::GetDC(wnd)) {}
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  ~TWindowDC() {
    if (dc_) ::ReleaseDC(wnd_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND wnd_;
  HDC dc_;
};

// BeginPaint / EndPaint.
class TPaintDC {
 public:
  explicit TPaintDC(HWND wnd) : wnd_(wnd) { dc_ = ::BeginPaint(wnd, &ps_); }
  TPaintDC(const TPaintDC&) = delete;
  TPaintDC& operator=(const TPaintDC&) = delete;
  ~TPaintDC() { ::EndPaint(wnd_, &ps_); }
  HDC get() const { return dc_; }
  const PAINTSTRUCT& ps() const { return ps_; }

 private:
  HWND wnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// Selects a GDI object into a DC and restores the previous one on exit.
class TSelectGuard {
 public:
  TSelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
  TSelectGuard(const TSelectGuard&) = delete;
  TSelectGuard& operator=(const TSelectGuard&) = delete;
  ~TSelectGuard() {
    if (old_) ::SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};
