// TImageList: a common-controls image list of equally sized images, filled
// from bitmap strips (a TBitmap or a BITMAP resource) with a mask colour.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "base/Component.h"
#include "ui/Graphics.h"

class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner = nullptr);
  ~TImageList() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // A new size empties the list, as the images no longer fit.
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }

  int Count() const;
  // The list, made on first use; null when it cannot be made.
  HIMAGELIST Handle();

  // Cuts the strip into images of Width pixels (the last partial one is
  // dropped) and appends them; the pixels of maskColor become transparent.
  // Returns the index of the first new image, or -1.
  int AddMasked(TBitmap& strip, TColor maskColor);
  // The same from a BITMAP resource (name or MAKEINTRESOURCE id).
  int AddMaskedFromResource(HINSTANCE instance, const char* name, TColor maskColor);

  // Draws image index with its mask at (x, y); false for an index outside.
  bool Draw(TCanvas& canvas, int x, int y, int index);
  void Delete(int index);
  void Clear();

 private:
  HIMAGELIST list_ = nullptr;
  int width_ = 16, height_ = 16;
};
