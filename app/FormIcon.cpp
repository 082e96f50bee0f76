#include "app/FormIcon.h"

#include "app/DialogParts.h"
#include "app/FormMain.h"
#include "app/Helpers.h"
#include "app/model/DialogRules.h"
#include "base/SysUtils.h"

TFormIcon* FormIcon = nullptr;

namespace {
TImageList* Icons() { return FormMain ? FormMain->ImageListIcons : nullptr; }

// The list's column width: the one the list control lays its items out with
// by itself, so that its scrolling and its drawing agree and the last
// columns can be scrolled into view.
constexpr int kIconColumnWidth = 128;
}  // namespace

TFormIcon::TFormIcon(TComponent* owner) : TForm(owner, "TFormIcon") {
  SetName("FormIcon");
  FormIcon = this;
  HandleNeeded();
  SetClientSize(512, 308);
  CenterOnScreen();

  Image1 = new TImage(this);
  Image1->SetName("Image1");
  Image1->SetParent(this);
  Image1->Show();
  Label1 = new TLabel(this);
  Label1->SetName("Label1");
  Label1->SetParent(this);
  Label1->SetCaption("Group Name: ");
  Label1->SetBounds(9, 12, 78, 16);
  Label1->Show();
  Edit1 = new TEditBox(this);
  Edit1->SetName("Edit1");
  Edit1->SetParent(this);
  Edit1->SetBounds(90, 9, 413, 22);
  Edit1->Show();
  ListView1 = new TListView(this);
  ListView1->SetName("ListView1");
  ListView1->SetParent(this);
  ListView1->SetViewStyle(vsList);
  ListView1->SetReadOnly(true);
  ListView1->SetHideSelection(false);
  ListView1->SetBounds(9, 40, 494, 217);
  ListView1->Show();
  ButtonOK = DialogButton(this, "ButtonOK", "&Apply");
  ButtonCancel = DialogButton(this, "ButtonCancel", "&Cancel");
  CreateControlWindows(*this);
  Image1->SendToBack();  // the footer picture lies under the buttons
  TimerStart = new TTimer(this);
  TimerStart->SetName("TimerStart");
  TimerStart->SetEnabled(false);
  TimerStart->SetInterval(200);

  OnShow = [this](TObject* s) { FormShow(s); };
  ListView1->OnSelectItem = [this](TObject* s, TListItem* item, bool selected) { ListView1SelectItem(s, item, selected); };
  ListView1->OnDblClick = [this](TObject* s) { ButtonOKClick(s); };
  TimerStart->OnTimer = [this](TObject* s) { TimerStartTimer(s); };
  ButtonOK->OnClick = [this](TObject* s) { ButtonOKClick(s); };
  ButtonCancel->OnClick = [this](TObject* s) { ButtonCancelClick(s); };
}

TFormIcon::~TFormIcon() {
  if (FormIcon == this) FormIcon = nullptr;
}

void TFormIcon::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  SetDialogParams(params);
}

void TFormIcon::FormShow(TObject*) {
  Cancelled = true;
  ListView1->SetSmallImages(Icons());
  ListView1->BeginUpdate();
  ListView1->Clear();
  const int count = Icons() ? Icons()->Count() : 0;
  for (int i = 0; i < count; ++i) {
    TListItem* item = ListView1->Add();
    item->SetCaption(std::to_string(i) + ".");
    item->SetImageIndex(i);
  }
  ListView1->EndUpdate();
  ListView1->SetColumnWidth(kIconColumnWidth);
  ListView1->Scroll(-100000, 0);
  // The height is the window's, caption and frame included.
  const int frame = Height() - ClientHeight();
  if (GroupMode) {
    ListView1->SetBounds(9, 40, 494, 217);
    SetBounds(Left(), Top(), Width(), 339);
    TimerStart->SetEnabled(false);
    TimerStart->SetEnabled(true);
  } else {
    ListView1->SetBounds(9, 16, 494, 217);
    SetBounds(Left(), Top(), Width(), 321);
    TimerStart->SetEnabled(false);
  }
  Label1->SetVisible(GroupMode);
  Edit1->SetVisible(GroupMode);
  const int clientHeight = Height() - frame;
  const int top = PlaceDialogFooter(*Image1, 512, clientHeight);
  ButtonOK->SetBounds(330, top + 7, 84, 26);
  ButtonCancel->SetBounds(420, top + 7, 84, 26);
  IconIndex = ClampIconIndex(IconIndex, ListView1->Count());
  const int chosen = IconIndex;
  ListView1->ClearSelection();
  if (TListItem* f = ListView1->ItemFocused()) f->SetFocused(false);
  if (chosen < ListView1->Count()) {
    TListItem* item = ListView1->Item(chosen);
    item->SetSelected(true);
    item->SetFocused(true);
    item->MakeVisible(false);
  }
  IconIndex = chosen;
  ShowIconAsWindowIcon(IconIndex);
  ListView1->Repaint();
}

void TFormIcon::ShowIconAsWindowIcon(int i) {
  TImageList* icons = Icons();
  if (!icons || !icons->Handle() || icons->Count() == 0) return;
  if (i < 0 || i >= icons->Count()) i = 0;
  HICON icon = ImageList_GetIcon(icons->Handle(), i, ILD_NORMAL);
  if (!icon) return;
  SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  icon_.reset(icon);  // the window no longer uses the previous one
}

int TFormIcon::SelectedIconIndex() const {
  TListItem* item = ListView1->Selected();
  if (!item) return 0;
  const int index = item->ImageIndex() >= 0 ? item->ImageIndex() : item->Index();
  return index < 0 ? 0 : index;
}

void TFormIcon::ListView1SelectItem(TObject*, TListItem* item, bool selected) {
  if (!item || !selected) return;
  IconIndex = item->ImageIndex();
  ShowIconAsWindowIcon(IconIndex);
}

void TFormIcon::TimerStartTimer(TObject*) {
  TimerStart->SetEnabled(false);
  if (GroupMode) {
    Edit1->SelectAll();
    Edit1->SetFocus();
  }
}

void TFormIcon::ButtonOKClick(TObject*) {
  if (GroupMode) {
    const TGroupNameCheck check = CheckGroupName(Edit1->Text());
    if (!check.Ok) {
      ShowMessageBox(check.Text, check.Caption, MB_ICONINFORMATION);
      Edit1->SetFocus();
      return;
    }
    Edit1->SetText(check.Name);
  }
  if (TListItem* item = ListView1->Selected()) IconIndex = item->ImageIndex();
  Cancelled = false;
  SetModalResult(mrOk);
}

void TFormIcon::ButtonCancelClick(TObject*) {
  Cancelled = true;
  SetModalResult(mrCancel);
}

bool TFormIcon::DialogKey(WORD key, unsigned) {
  return DialogKeyToButtons(key, [this] { ButtonOKClick(this); }, [this] { ButtonCancelClick(this); });
}
