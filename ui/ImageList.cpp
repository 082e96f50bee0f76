#include "ui/ImageList.h"

#include <algorithm>

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

TImageList::~TImageList() {
  if (list_) ImageList_Destroy(list_);
}

void TImageList::SetSize(int width, int height) {
  if (width < 1) width = 1;
  if (height < 1) height = 1;
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  if (list_) {
    ImageList_Destroy(list_);
    list_ = nullptr;
  }
}

HIMAGELIST TImageList::Handle() {
  // 24-bit colour with a mask: our DIBs carry no alpha, so the mask decides.
  if (!list_) list_ = ImageList_Create(width_, height_, ILC_COLOR24 | ILC_MASK, 0, 4);
  return list_;
}

int TImageList::Count() const { return list_ ? ImageList_GetImageCount(list_) : 0; }

int TImageList::AddMasked(TBitmap& strip, TColor maskColor) {
  if (strip.Empty() || strip.Width() < width_ || !Handle()) return -1;
  const int images = strip.Width() / width_;
  // The image list blackens the masked pixels of the bitmap it is given and
  // takes whole images only: it gets a copy cut to whole images, which no DC
  // holds.
  TBitmap copy;
  if (!copy.SetSize(images * width_, height_)) return -1;
  copy.Canvas().Brush().SetColor(maskColor);
  const RECT all{0, 0, copy.Width(), copy.Height()};
  copy.Canvas().FillRect(all);
  const RECT src{0, 0, images * width_, std::min(strip.Height(), height_)};
  copy.Canvas().CopyRect(src, strip.Canvas(), src);
  copy.ReleaseCanvas();
  return ImageList_AddMasked(list_, copy.Handle(), static_cast<COLORREF>(ColorToRGB(maskColor)));
}

int TImageList::AddMaskedFromResource(HINSTANCE instance, const char* name, TColor maskColor) {
  TBitmap strip;
  if (!strip.LoadFromResourceName(instance, name)) return -1;
  return AddMasked(strip, maskColor);
}

bool TImageList::Draw(TCanvas& canvas, int x, int y, int index) {
  if (!list_ || index < 0 || index >= Count() || !canvas.Handle()) return false;
  return ImageList_Draw(list_, index, canvas.Handle(), x, y, ILD_NORMAL) != FALSE;
}

void TImageList::Delete(int index) {
  if (list_ && index >= 0 && index < Count()) ImageList_Remove(list_, index);
}

void TImageList::Clear() {
  if (list_) ImageList_Remove(list_, -1);
}
