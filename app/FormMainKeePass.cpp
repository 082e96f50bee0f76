// File > Import and File > Export: KeePass 1.x text files read into the
// open vault and the vault written as such a file. The format lives in
// app/model/KeePassText.h; this file asks the user, shows the results and
// keeps the tree and list in step.
//
// Both commands wait for the user (a question and a file dialog), during
// which a lock or another vault may arrive: they go on only with the same
// document, so nothing is imported into a locked vault and an export never
// writes the empty list of a locked one.
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/FormMain.h"
#include "app/Helpers.h"
#include "app/model/KeePassText.h"
#include "base/SysUtils.h"
#include "base/Wipe.h"

namespace {

void PrepareDialog(TOpenDialog& dialog, const std::string& title) {
  dialog.SetTitle(title);
  dialog.SetFilter(KeePassTexts::kFilter);
  dialog.SetFilterIndex(1);
  dialog.SetDefaultExt(KeePassTexts::kDefaultExt);
}

}  // namespace

void TFormMain::Import1Click(TObject*) {
  using namespace KeePassTexts;
  if (!RefuseIfReadOnly(true)) return;
  if (Locked) {
    ShowMessageBox(kUnlockBeforeImport, kImportCaption, MB_ICONINFORMATION);
    return;
  }
  if (SessionKey.empty()) {
    ShowMessageBox(kNoVaultOpen, kImportCaption, MB_ICONINFORMATION);
    return;
  }
  const std::uint64_t generation = DocumentGeneration;

  TOpenDialog dialog(nullptr);
  PrepareDialog(dialog, kImportDialogTitle);
  dialog.SetOptions(dialog.Options() | ofFileMustExist);
  if (!VaultPath.empty()) dialog.SetInitialDir(ExtractFileDir(VaultPath));
  const bool picked = dialog.Execute(Handle());
  if (!StillSameDocument(generation) || !picked) return;
  const int answer = ShowMessageBox(kImportConfirm, kImportCaption, MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING);
  if (!StillSameDocument(generation) || answer != IDYES) return;

  TKeePassSource source;
  std::string error;
  if (!ReadKeePassFile(dialog.FileName(), source, error)) {
    ShowMessageBox(kReadFailed + error, kImportCaption, MB_ICONERROR);
    return;
  }
  TVLKeePassTextEntries parsed;
  int generated = 0, skipped = 0;
  if (!ParseKeePassText(source, parsed, error, generated, skipped)) {
    ShowMessageBox(error, kImportCaption, MB_ICONERROR);
    return;
  }

  TKeePassImportResult result;
  TreeView1->BeginUpdate();
  result = ImportKeePassEntries(Vault, parsed, ImageListIcons->Count());
  // New groups are always last among their siblings, and parents come
  // before their children: each gets its node appended below its parent's.
  for (TVaultGroup* g : Vault.Groups.Nodes()) {
    if (NodeOfGroup(g)) continue;
    TTreeNode* node = TreeView1->AddChild(NodeOfGroup(g->Parent()), g->Caption());
    if (!node) continue;
    node->SetImageIndex(g->ImageIndex());
    node->SetData(g);
    groupNodes_[g] = node->ItemId();
  }
  for (TVaultGroup* g : result.ExpandedGroups)
    if (TTreeNode* node = NodeOfGroup(g)) node->Expand(false);
  TreeView1->EndUpdate();

  BuildVaultText();
  ClearSearchHistory();
  SearchActive = false;
  {
    TFlagScope guard(SearchEditGuard);
    QEdit1->SetText("");
  }
  TTreeNode* node = NodeOfGroup(result.LastGroup);
  if (node) {
    node->Expand(false);
    TFlagScope guard(listMovesTree_);  // the list is filled once, below
    TreeView1->SetSelected(node);
    node->MakeVisible();
  }
  CurrentGroup = node;
  CurrentEntry = result.LastEntry;
  FillEntryList();
  ShowEntry(result.LastEntry);

  bool warning = false;
  const std::string summary = KeePassImportSummary(result.Imported, generated, skipped, result.LossyTitles, warning);
  ShowMessageBox(summary, kImportCaption, warning ? MB_ICONWARNING : MB_ICONINFORMATION);
}

void TFormMain::Export1Click(TObject*) {
  using namespace KeePassTexts;
  if (Locked) {
    ShowMessageBox(kUnlockBeforeExport, kExportCaption, MB_ICONINFORMATION);
    return;
  }
  if (Vault.Entries.empty()) {
    ShowMessageBox(kNoEntriesToExport, kExportCaption, MB_ICONINFORMATION);
    return;
  }
  const std::uint64_t generation = DocumentGeneration;
  const int answer = ShowMessageBox(kExportConfirm, kExportCaption, MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING);
  if (!StillSameDocument(generation) || answer != IDYES) return;

  TSaveDialog dialog(nullptr);
  PrepareDialog(dialog, kExportDialogTitle);
  dialog.SetOptions(dialog.Options() | ofOverwritePrompt);
  if (!VaultPath.empty()) dialog.SetInitialDir(ExtractFileDir(VaultPath));
  dialog.SetFileName(KeePassExportFileName(VaultPath));
  const bool picked = dialog.Execute(Handle());
  // A lock during the dialog has emptied the vault: nothing is written.
  if (!StillSameDocument(generation) || !picked || Vault.Entries.empty()) return;

  std::string text = BuildKeePassText(Vault);
  std::string error;
  const bool written = WriteUtf8TextFile(dialog.FileName(), text, error);
  WipeString(text);
  if (!written) {
    ShowMessageBox(kWriteFailed + error, kExportCaption, MB_ICONERROR);
    return;
  }
  ShowMessageBox(kExportDone, kExportCaption, MB_ICONWARNING);
}
