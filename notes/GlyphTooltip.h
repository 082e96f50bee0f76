// The small window that shows the glyph of a code-point token while Ctrl is
// held over it in the notes editor. It never takes activation or the
// keyboard focus: the editor keeps both, so Ctrl's key-up still reaches it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/WinControl.h"

class TGlyphTooltip : public TWinControl {
 public:
  TGlyphTooltip();
  ~TGlyphTooltip() override;

  // Shows the glyph of codePoint with the window's top-left corner at the
  // screen point (x, y), sized to the glyph.
  void ShowAt(std::uint32_t codePoint, int x, int y);
  void HideTip();
  bool Shown() const { return shown_; }
  std::uint32_t CodePoint() const { return codePoint_; }

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  HFONT Font();
  void Paint(HDC dc);

  HFONT font_ = nullptr;
  bool shown_ = false;
  std::uint32_t codePoint_ = 0;
  std::u16string glyph_;
};
