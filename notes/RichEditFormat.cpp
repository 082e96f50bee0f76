#include "notes/RichEditFormat.h"

#include <richedit.h>
#include <richole.h>
#include <tom.h>

#include <cmath>
#include <cstdint>

#include "notes/RichEditHelpers.h"

namespace RichEdit {

namespace {
// ITextDocument {8CC497C0-A1DF-11CE-8098-00AA0047BE5D}.
const GUID kIidTextDocument = {0x8CC497C0, 0xA1DF, 0x11CE, {0x80, 0x98, 0x00, 0xAA, 0x00, 0x47, 0xBE, 0x5D}};

// The attributes set per stretch of ranges, and the value a format wants for
// one of them (kLeftAlone: none).
enum class TAttribute { Color, Hidden, Bold, Italic };
constexpr TAttribute kStretchAttributes[] = {TAttribute::Color, TAttribute::Hidden, TAttribute::Bold,
                                             TAttribute::Italic};

constexpr std::int64_t kLeftAlone = -1;

std::int64_t Wanted(const TCharSpec& format, TAttribute a) {
  switch (a) {
    case TAttribute::Color:
      if (format.setColor) return format.color;
      break;
    case TAttribute::Hidden:
      if (format.setHidden) return format.hidden ? 1 : 0;
      break;
    case TAttribute::Bold:
      if (format.setBold) return format.bold ? 1 : 0;
      break;
    case TAttribute::Italic:
      if (format.setItalic) return format.italic ? 1 : 0;
      break;
  }
  return kLeftAlone;
}

// A format that sets only attribute a to value.
TCharSpec Only(TAttribute a, std::int64_t value) {
  TCharSpec format;
  switch (a) {
    case TAttribute::Color:
      format.setColor = true;
      format.color = static_cast<COLORREF>(value);
      break;
    case TAttribute::Hidden:
      format.setHidden = true;
      format.hidden = value != 0;
      break;
    case TAttribute::Bold:
      format.setBold = true;
      format.bold = value != 0;
      break;
    case TAttribute::Italic:
      format.setItalic = true;
      format.italic = value != 0;
      break;
  }
  return format;
}

bool SetsSizeOrFace(const TCharSpec& format) { return format.setSize || format.setFace; }
}  // namespace

TRangeFormatter::TRangeFormatter(HWND wnd) : wnd_(wnd) {
  IRichEditOle* ole = nullptr;
  if (!SendMessageW(wnd, EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&ole)) || !ole) return;
  void* doc = nullptr;
  if (SUCCEEDED(ole->QueryInterface(kIidTextDocument, &doc)) && doc) doc_ = static_cast<ITextDocument*>(doc);
  ole->Release();
  if (!doc_) return;
  if (FAILED(doc_->Range(0, 0, &range_)) || !range_) return;
  // The range's font object formats whatever the range covers when a
  // property is set.
  if (FAILED(range_->GetFont(&font_))) font_ = nullptr;
}

TRangeFormatter::~TRangeFormatter() {
  if (font_) font_->Release();
  if (range_) range_->Release();
  if (doc_) doc_->Release();
}

void TRangeFormatter::Apply(int start, int end, const TCharSpec& spec) {
  if (end <= start) return;
  if (!spec.setColor && !spec.setHidden && !spec.setBold && !spec.setItalic && !spec.setSize && !spec.setFace) return;
  // Size and face go by message: Wine's text objects take a size in points
  // for one in twips. So does a long range with several attributes: each
  // attribute set through the range lays the range out anew.
  const int attributes = int{spec.setColor} + int{spec.setHidden} + int{spec.setBold} + int{spec.setItalic};
  const bool byMessage = spec.setSize || spec.setFace || (attributes > 1 && end - start > 64);
  if (font_ && !byMessage && SUCCEEDED(range_->SetRange(start, end))) {
    if (spec.setColor) font_->SetForeColor(static_cast<long>(spec.color));
    if (spec.setHidden) font_->SetHidden(spec.hidden ? tomTrue : tomFalse);
    if (spec.setBold) font_->SetBold(spec.bold ? tomTrue : tomFalse);
    if (spec.setItalic) font_->SetItalic(spec.italic ? tomTrue : tomFalse);
    return;
  }
  CHARFORMAT2W cf = EmptyFormat();
  if (spec.setColor) {
    cf.dwMask |= CFM_COLOR;
    cf.crTextColor = spec.color;
  }
  if (spec.setHidden) {
    cf.dwMask |= CFM_HIDDEN;
    if (spec.hidden) cf.dwEffects |= CFE_HIDDEN;
  }
  if (spec.setBold) {
    cf.dwMask |= CFM_BOLD;
    if (spec.bold) cf.dwEffects |= CFE_BOLD;
  }
  if (spec.setItalic) {
    cf.dwMask |= CFM_ITALIC;
    if (spec.italic) cf.dwEffects |= CFE_ITALIC;
  }
  if (spec.setSize) {
    cf.dwMask |= CFM_SIZE;
    cf.yHeight = spec.points * 20;
  }
  if (spec.setFace) {
    cf.dwMask |= CFM_FACE;
    SetFace(cf, spec.face);
  }
  SendMessageW(wnd_, EM_SETSEL, static_cast<WPARAM>(start), end);
  SetFormat(wnd_, cf, SCF_SELECTION);
}

void TRangeFormatter::DropPresent(int start, int end, TCharSpec& spec) {
  if (!font_ || end <= start || FAILED(range_->SetRange(start, end))) return;
  // Each getter gives tomUndefined where the characters differ: never equal
  // to a wanted value.
  using TGetter = HRESULT (STDMETHODCALLTYPE ITextFont::*)(long*);
  auto has = [this](TGetter get, bool wanted) {
    long value = tomUndefined;
    return SUCCEEDED((font_->*get)(&value)) && value == (wanted ? tomTrue : tomFalse);
  };
  long color = tomUndefined;
  if (spec.setColor && SUCCEEDED(font_->GetForeColor(&color)) && color != tomUndefined &&
      static_cast<COLORREF>(color) == spec.color) {
    spec.setColor = false;
  }
  if (spec.setHidden && has(&ITextFont::GetHidden, spec.hidden)) spec.setHidden = false;
  if (spec.setBold && has(&ITextFont::GetBold, spec.bold)) spec.setBold = false;
  if (spec.setItalic && has(&ITextFont::GetItalic, spec.italic)) spec.setItalic = false;
  if (spec.setSize) {
    float points = 0;
    if (SUCCEEDED(font_->GetSize(&points)) && points > 0 && std::lround(points) == spec.points &&
        std::fabs(points - static_cast<float>(spec.points)) < 0.01f) {
      spec.setSize = false;
    }
  }
  if (spec.setFace) {
    BSTR name = nullptr;
    if (SUCCEEDED(font_->GetName(&name)) && name) {
      const std::size_t n = SysStringLen(name);
      bool same = n == spec.face.size() && n > 0;
      for (std::size_t i = 0; same && i < n; ++i) {
        same = name[i] == static_cast<WCHAR>(static_cast<unsigned char>(spec.face[i]));
      }
      SysFreeString(name);
      if (same) spec.setFace = false;
    }
  }
}

void TRangeFormatter::ApplyRuns(const std::vector<TRangeSpec>& runs) {
  // A size or a face goes by message with everything else its range sets,
  // in one write.
  for (const TRangeSpec& run : runs) {
    if (!SetsSizeOrFace(run.format)) continue;
    TCharSpec format = run.format;
    DropPresent(run.start, run.end, format);
    Apply(run.start, run.end, format);
  }
  for (TAttribute a : kStretchAttributes) {
    int start = 0, end = 0;
    std::int64_t value = kLeftAlone;
    auto flush = [&] {
      if (value == kLeftAlone) return;
      TCharSpec format = Only(a, value);
      DropPresent(start, end, format);
      Apply(start, end, format);
      value = kLeftAlone;
    };
    for (const TRangeSpec& run : runs) {
      const std::int64_t wanted = SetsSizeOrFace(run.format) ? kLeftAlone : Wanted(run.format, a);
      if (value != kLeftAlone && wanted == value && run.start == end) {
        end = run.end;
        continue;
      }
      flush();
      if (wanted == kLeftAlone || run.end <= run.start) continue;
      value = wanted;
      start = run.start;
      end = run.end;
    }
    flush();
  }
}

}  // namespace RichEdit
