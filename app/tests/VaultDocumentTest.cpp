// The vault document of the main window in this process under Wine: New,
// Open, Save, Save As, Close and Change Master Password through the real
// forms and the real engine, with the password dialog, the message boxes
// and the file dialogs answered by their test hooks, a second client's lock
// file written beside the vault, and failures injected into the file steps
// of a save.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <wtsapi32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppSeams.h"
#include "app/FormMain.h"
#include "app/FormPwd.h"
#include "app/FormSettings.h"
#include "app/Helpers.h"
#include "app/model/OsServices.h"
#include "app/model/ShellHelpers.h"
#include "app/model/VaultDocument.h"
#include "app/model/VaultLock.h"
#include "app/model/VaultText.h"
#include "app/model/tests/FakeHotKeys.h"
#include "app/tests/FormFixture.h"
#include "app/tests/Harness.h"
#include "base/SysUtils.h"
#include "base/Wipe.h"
#include "base/tests/TestUtil.h"
#include "engine/QEnc.h"
#include "settings/QDReg.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"

namespace {

// Test iterations: quick to derive, and the Defaults of these tests.
constexpr int kIterations = 5000;
constexpr char kStrong[] = "Correct-Horse-42x";  // good enough for a new master password
constexpr char kOther[] = "Other-Battery-7y!";
constexpr char kOtherClientId[] = "windows-client:far / away";

std::string KeyFor(const std::string& password, int iterations) {
  TQEnc e(nullptr);
  e.SetIterations(iterations);
  return e.DeriveSessionKey(password);
}

// A vault file written by another engine: the key derived at keyIterations,
// the container's header carrying headerIterations, the given cascade.
void WriteVault(const std::string& path, const std::string& password, const std::string& text,
                int keyIterations = kIterations, int headerIterations = kIterations,
                TQEncAlgorithm a1 = qeaTwofishCTR, TQEncAlgorithm a2 = qeaAES128CTR,
                TQEncAlgorithm a3 = qeaChaCha20) {
  TQEnc e(nullptr);
  e.SetCompatibilityMode(false);  // as the main form's engine
  e.SetFastMode(false);
  e.SetAlgorithm(a1);
  e.SetAlgorithm2(a2);
  e.SetAlgorithm3(a3);
  e.SetIterations(headerIterations);
  e.SetUseFileNameInKey(false);
  e.SetHeaderOnly(false);
  e.SetKey(KeyFor(password, keyIterations));
  ASSERT_TRUE(e.EncryptStringToFile(text, path, "")) << TQEnc::ErrorToString(e.LastError());
}

// The text of a vault file decrypted by another engine; "<error text>"
// when it cannot be decrypted.
std::string ReadVault(const std::string& path, const std::string& password, int keyIterations = kIterations) {
  TQEnc e(nullptr);
  e.SetCompatibilityMode(false);  // as the main form's engine
  e.SetKey(KeyFor(password, keyIterations));
  const std::string text = e.DecryptFileToString(path);
  return e.LastError() == ErrNone ? text : "<" + TQEnc::ErrorToString(e.LastError()) + ">";
}

std::string SampleText(const std::string& title) {
  TVaultModel m;
  TVaultGroup* mail = m.Groups.Add(nullptr, "Mail", 2);
  m.Groups.Add(mail, "Work", 3);
  auto e = std::make_unique<TVaultEntry>();
  e->id = 1;
  e->group = mail;
  e->title = title;
  e->username = "ann";
  e->password = " pass word";
  e->url = "https://bank.example";
  e->notes = "line one\r\nline two";
  m.Entries.push_back(std::move(e));
  return BuildVaultText(m);
}

// A live lock of another client beside the vault.
void WriteForeignLock(const std::string& vault) {
  WriteTestFile(LockFilePath(vault),
                FormatLockText(true, ExtractFileName(vault), kOtherClientId, "FAR / away", UtcNowMs()));
}

// What a lock without a question does to the window (discards changes,
// keeps only the path).
void LockWindow(TFormMain* m) {
  const std::string path = m->VaultPath;
  ProcessVaultLock().ReleaseHeldLock();
  m->MemoData->ClearSecret();
  m->FreeAllEntries();
  m->Vault.Clear();
  m->FillGroupTree();
  WipeString(m->SessionKey);
  m->QEnc1->ClearSessionKey();
  m->VaultPath = path;
  m->Modified = false;
  m->Locked = true;
  m->UpdateCaption();
}

struct TPwdAnswer {
  std::string text;
  bool cancel = false;
  bool bypassChecks = false;  // OK as the dialog ends it, whatever the text
};

struct VaultDocument : ::testing::Test {
  TApplication app;
  TFormMain* main = nullptr;
  TFormPwd* pwd = nullptr;
  TFormSettings* settings = nullptr;
  TempDir dir;
  std::vector<TMessageBoxCall> boxes;
  std::deque<std::pair<std::string, int>> boxAnswers;  // caption and button, in order
  std::deque<TPwdAnswer> passwords;
  std::vector<std::string> pwdCaptions;  // the password dialog's caption at each showing
  std::vector<bool> pwdVerify;
  std::function<void()> duringPassword;  // runs once inside the next password dialog
  std::function<void()> duringBox;       // runs once inside the next message box
  std::deque<std::string> picks;         // file names the file dialogs pick; none: dismissed

  // Saves and opens remember the vault in the settings file beside this
  // program: what it held before is put back afterwards.
  std::string iniPath = TQDReg::AppDir() + TFormMain::kSettingsFile;
  bool iniExisted = PathExists(iniPath);
  std::string iniBefore = iniExisted ? ReadTestFile(iniPath) : std::string();

  void SetUp() override {
    app.Initialize();
    MessageBoxHook = [this](const TMessageBoxCall& c) {
      boxes.push_back(c);
      if (duringBox) {
        auto run = std::move(duringBox);
        duringBox = nullptr;
        run();
      }
      if (!boxAnswers.empty() && boxAnswers.front().first == c.Caption) {
        const int answer = boxAnswers.front().second;
        boxAnswers.pop_front();
        return answer;
      }
      return IDOK;
    };
    main = new TFormMain(&app);
    app.SetMainForm(main);
    main->TimerStartup->SetEnabled(false);
    main->TimerUpdateUI->SetEnabled(false);
    main->TimerTray->SetEnabled(false);
    main->SetHotKeys(std::make_unique<TFakeHotKeys>());
    pwd = new TFormPwd(&app);
    settings = new TFormSettings(&app);
    settings->EditIterations2->SetText(IntToStr(kIterations));
    DefaultsPageToEngine(main->QEnc1);
    AppSeams().Sleep = [](std::uint32_t) {};
    // The user is at the keyboard: no inactivity lock during a test.
    AppSeams().IdleMilliseconds = [] { return std::uint32_t(0); };
    TForm::ModalHook = [this](TForm* f) {
      if (f == pwd) {
        AnswerPassword();
      } else {
        f->SetModalResult(mrCancel);
      }
    };
    TOpenDialog::ExecuteHook = [this](TOpenDialog& d) {
      if (picks.empty()) return false;
      d.SetFileName(picks.front());
      picks.pop_front();
      return true;
    };
    main->Show();
  }
  void TearDown() override {
    main->Modified = false;
    main->Locked = false;
    main->CloseFile(nullptr);
    TForm::ModalHook = nullptr;
    TOpenDialog::ExecuteHook = nullptr;
    MessageBoxHook = nullptr;
    ResetAppSeams();
    if (iniExisted)
      WriteTestFile(iniPath, iniBefore);
    else
      DeleteFileA(iniPath.c_str());
  }

  void AnswerPassword() {
    pwdCaptions.push_back(pwd->Caption());
    pwdVerify.push_back(pwd->VerifyMode);
    if (duringPassword) {
      auto run = std::move(duringPassword);
      duringPassword = nullptr;
      run();
    }
    if (passwords.empty() || passwords.front().cancel) {
      if (!passwords.empty()) passwords.pop_front();
      pwd->ButtonCancelClick(pwd);
      return;
    }
    const TPwdAnswer a = passwords.front();
    passwords.pop_front();
    pwd->EditPwd->SetText(a.text);
    pwd->EditPwd2->SetText(a.text);
    if (a.bypassChecks) {
      pwd->Cancelled = false;
      pwd->SetModalResult(mrOk);
    } else {
      pwd->ButtonOKClick(pwd);
    }
  }

  std::string Path(const std::string& name) const { return dir.File(name); }
  void Open(const std::string& path, std::vector<std::string> answers) {
    for (auto& a : answers) passwords.push_back({a});
    picks.push_back(path);
    main->OpenFile(nullptr);
  }
  // New vault with a password, a group and an entry, saved as path.
  void CreateVault(const std::string& path, const std::string& password, const std::string& title) {
    passwords.push_back({password});
    main->NewFile(nullptr);
    ASSERT_FALSE(main->SessionKey.empty());
    TVaultGroup* g = main->Vault.Groups.Add(nullptr, "Mail", 2);
    auto e = std::make_unique<TVaultEntry>();
    e->id = 1;
    e->group = g;
    e->title = title;
    e->password = "secret";
    main->Vault.Entries.push_back(std::move(e));
    main->FillGroupTree();
    main->Changed(nullptr);
    picks.push_back(path);
    main->SaveFileAs(nullptr);
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& b : boxes) texts.push_back(b.Caption + ": " + b.Text);
    return texts;
  }
  std::vector<std::string> TmpFiles() const {
    std::vector<std::string> left;
    for (const std::string& f : OsServices::ListFileNames(dir.Path()))
      if (f.size() > 4 && f.compare(f.size() - 4, 4, ".tmp") == 0) left.push_back(f);
    return left;
  }
};

// ---- Main roads ---------------------------------------------------------------

// The program's tests post menu commands by their ids, which are handed out
// in creation order from the menu bar's root item.
TEST_F(VaultDocument, MenuCommandsKeepTheirPlaces) {
  const UINT root = main->MainMenu1->Items()->Command();
  EXPECT_EQ(main->New1->Command() - root, 0x02u);
  EXPECT_EQ(main->Open1->Command() - root, 0x03u);
  EXPECT_EQ(main->Lock1->Command() - root, 0x04u);
  EXPECT_EQ(main->Close1->Command() - root, 0x05u);
  EXPECT_EQ(main->Save1->Command() - root, 0x09u);
  EXPECT_EQ(main->SaveAs1->Command() - root, 0x0Au);
  EXPECT_EQ(main->Settings1->Command() - root, 0x0Fu);
  EXPECT_EQ(main->AddGroup1->Command() - root, 0x13u);
  EXPECT_EQ(main->AddEntry1->Command() - root, 0x1Cu);
}

TEST_F(VaultDocument, NewSaveAsCloseOpenWithAnEmptyVaultAndThenAFilledOne) {
  const std::string path = Path("empty.qvl");
  passwords.push_back({kStrong});
  main->NewFile(nullptr);
  EXPECT_EQ(pwdCaptions, std::vector<std::string>{"Master Password"});
  EXPECT_EQ(main->Caption(), "Untitled - Vaultline");
  // Save on a new vault asks for a name.
  picks.push_back(path);
  main->SaveFile(nullptr);
  EXPECT_TRUE(boxes.empty()) << BoxTexts()[0];
  EXPECT_EQ(main->VaultPath, ExpandFileName(path));
  EXPECT_EQ(main->Caption(), "empty.qvl - Vaultline");
  // The empty vault is written so that it can be read back.
  EXPECT_EQ(ReadVault(path, kStrong), "\r\n");
  EXPECT_EQ(ReadTestFile(path).substr(0, 4), "QVF1");
  EXPECT_NE(ReadTestFile(LockFilePath(path)).find("active=1"), std::string::npos);

  main->CloseFile(nullptr);
  EXPECT_TRUE(main->SessionKey.empty());
  EXPECT_EQ(main->Caption(), "Untitled - Vaultline");
  EXPECT_NE(ReadTestFile(LockFilePath(path)).find("active=0"), std::string::npos);

  Open(path, {kStrong});
  EXPECT_TRUE(boxes.empty()) << BoxTexts()[0];
  ASSERT_EQ(main->VaultPath, ExpandFileName(path));
  EXPECT_EQ(pwdVerify, (std::vector<bool>{false, true}));
  EXPECT_EQ(main->Vault.Groups.Count(), 0);
  EXPECT_FALSE(main->Modified);

  // Filled: a group and an entry, saved, closed and opened again.
  TVaultGroup* g = main->Vault.Groups.Add(nullptr, "Mail", 2);
  auto e = std::make_unique<TVaultEntry>();
  e->id = 1;
  e->group = g;
  e->title = "Bank";
  e->password = " with a blank";
  main->Vault.Entries.push_back(std::move(e));
  main->FillGroupTree();
  main->SaveFile(nullptr);
  EXPECT_FALSE(main->Modified);
  const std::string expected = BuildVaultText(main->Vault);
  EXPECT_EQ(ReadVault(path, kStrong), expected);
  main->CloseFile(nullptr);
  Open(path, {kStrong});
  ASSERT_EQ(main->Vault.Entries.size(), 1u);
  EXPECT_EQ(main->Vault.Entries[0]->password, " with a blank");
  // The one group is selected and lists its entry.
  EXPECT_EQ(main->TreeView1->Count(), 1);
  EXPECT_EQ(main->TreeView1->Selected(), main->TreeView1->TopItem(0));
  EXPECT_EQ(main->ListView1->Count(), 1);
}

// However a vault is read (Open, unlocking, a path handed over by a second
// start), the window shows it ready to use: every group expanded, the first
// group selected and its entries listed, no entry opened. The Groups menu's
// toggle then collapses first.
TEST_F(VaultDocument, EveryReadExpandsTheGroupsAndListsTheFirstGroup) {
  TVaultModel m;
  TVaultGroup* mail = m.Groups.Add(nullptr, "Mail", 2);
  TVaultGroup* work = m.Groups.Add(mail, "Work", 3);
  m.Groups.Add(work, "Old", 3);
  TVaultGroup* bank = m.Groups.Add(nullptr, "Bank", 5);
  m.Groups.Add(bank, "Cards", 4);
  const struct {
    int id;
    TVaultGroup* group;
    const char* title;
  } rows[] = {{1, bank, "Chase"}, {2, mail, "Gmail"}, {3, work, "Office"}, {4, mail, "Outlook"}};
  for (const auto& r : rows) {
    auto e = std::make_unique<TVaultEntry>();
    e->id = r.id;
    e->group = r.group;
    e->title = r.title;
    m.Entries.push_back(std::move(e));
  }
  const std::string path = Path("shown.qvl");
  WriteVault(path, kStrong, BuildVaultText(m));

  const struct {
    const char* way;
    std::function<void()> read;
  } ways[] = {
      {"Open", [&] { Open(path, {kStrong}); }},
      {"Unlock",
       [&] {
         Open(path, {kStrong});
         ASSERT_TRUE(main->LockVault(false));
         ASSERT_TRUE(main->Locked);
         passwords.push_back({kStrong});
         ASSERT_TRUE(main->UnlockVault());
       }},
      {"Hand-over",
       [&] {
         passwords.push_back({kStrong});
         std::string data = EncodeHandOverPath(path);
         COPYDATASTRUCT cds{kHandOverTag, static_cast<DWORD>(data.size()), data.data()};
         SendMessageA(main->Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
       }},
  };
  for (const auto& w : ways) {
    SCOPED_TRACE(w.way);
    main->CloseFile(nullptr);
    // A search left in the edit does not hide the first group's entries.
    main->QEdit1->SetText("zzz");
    ASSERT_TRUE(main->SearchActive);
    w.read();
    ASSERT_EQ(main->VaultPath, ExpandFileName(path));
    ASSERT_FALSE(main->Locked);
    const std::vector<TTreeNode*> nodes = main->TreeView1->Nodes();
    ASSERT_EQ(nodes.size(), 5u);
    for (TTreeNode* n : nodes) {
      if (n->Count() > 0) {
        EXPECT_TRUE(n->Expanded()) << n->Text();
      }
    }
    TTreeNode* first = main->TreeView1->TopItem(0);
    EXPECT_EQ(first->Text(), "Mail");
    EXPECT_EQ(main->TreeView1->Selected(), first);
    EXPECT_EQ(main->CurrentGroup, first);
    EXPECT_FALSE(main->SearchActive);
    EXPECT_EQ(main->QEdit1->Text(), "");
    std::vector<std::string> titles;
    // The titles as the list control shows them.
    const int shown = static_cast<int>(SendMessageA(main->ListView1->Handle(), LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < shown; ++i) {
      char text[64] = {};
      LVITEMA item{};
      item.pszText = text;
      item.cchTextMax = sizeof text;
      SendMessageA(main->ListView1->Handle(), LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      titles.push_back(text);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Gmail", "Outlook"}));
    EXPECT_EQ(main->CurrentEntry, nullptr);
    EXPECT_FALSE(main->EntryOpen);
    EXPECT_EQ(main->ListView1->Selected(), nullptr);
  }
  // The first use of the toggle collapses every group, the second expands.
  main->ExpandCollapseAllGroups1Click(nullptr);
  for (TTreeNode* n : main->TreeView1->Nodes()) EXPECT_FALSE(n->Expanded()) << n->Text();
  main->ExpandCollapseAllGroups1Click(nullptr);
  for (TTreeNode* n : main->TreeView1->Nodes()) {
    if (n->Count() > 0) {
      EXPECT_TRUE(n->Expanded()) << n->Text();
    }
  }
}

TEST_F(VaultDocument, TheHeldKeyOpensWithoutPromptAndCancelChangesNothing) {
  WriteVault(Path("a.qvl"), kStrong, SampleText("A"));
  WriteVault(Path("b.qvl"), kStrong, SampleText("B"), kIterations, kIterations, qeaAES128CTR, qeaNone, qeaNone);
  WriteVault(Path("c.qvl"), kOther, SampleText("C"));
  Open(Path("a.qvl"), {kStrong});
  ASSERT_EQ(pwdCaptions.size(), 1u);
  Open(Path("b.qvl"), {});
  EXPECT_EQ(pwdCaptions.size(), 1u) << "the held key opens a vault of the same password";
  ASSERT_EQ(main->VaultPath, ExpandFileName(Path("b.qvl")));
  EXPECT_EQ(main->Vault.Entries[0]->title, "B");
  EXPECT_EQ(main->QEnc1->Algorithm(), qeaAES128CTR);  // the cascade of the file

  // Another password: the dialog is dismissed, and nothing changes.
  main->Changed(nullptr);
  const std::string key = main->SessionKey;
  boxAnswers.push_back({"Save changes?", IDNO});
  Open(Path("c.qvl"), {});
  ASSERT_EQ(pwdCaptions.size(), 2u);
  EXPECT_EQ(main->VaultPath, ExpandFileName(Path("b.qvl")));
  EXPECT_EQ(main->SessionKey, key);
  EXPECT_TRUE(main->Modified);
  EXPECT_EQ(main->QEnc1->Algorithm(), qeaAES128CTR);
  EXPECT_EQ(main->Caption(), "*b.qvl - Vaultline");
  EXPECT_EQ(main->Vault.Entries[0]->title, "B");
  EXPECT_EQ(BoxTexts().size(), 1u);  // the save question only
}

TEST_F(VaultDocument, WrongThenEmptyThenRightPassword) {
  WriteVault(Path("c.qvl"), kOther, SampleText("C"));
  passwords = {{"wrong"}, {"", false, true}, {kOther}};
  picks.push_back(Path("c.qvl"));
  main->OpenFile(nullptr);
  EXPECT_EQ(pwdCaptions.size(), 3u);
  // One message: the empty password asks again without one.
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Open error: The password is incorrect."});
  EXPECT_EQ(main->VaultPath, ExpandFileName(Path("c.qvl")));
  EXPECT_EQ(main->SessionKey, KeyFor(kOther, kIterations));
  EXPECT_TRUE(main->QEnc1->Key().empty());
}

TEST_F(VaultDocument, AnotherClientsLockAsksTakeOverReadOnlyOrCancel) {
  const std::string path = Path("shared.qvl");
  WriteVault(path, kStrong, SampleText("S"));
  const std::string question = LockedByPrompt("FAR / away");
  // Cancel: nothing opens, not even the password dialog.
  WriteForeignLock(path);
  const std::string foreign = ReadTestFile(LockFilePath(path));
  boxAnswers.push_back({"Vault locked", IDCANCEL});
  Open(path, {kStrong});
  EXPECT_TRUE(main->VaultPath.empty());
  EXPECT_TRUE(pwdCaptions.empty());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, question);
  EXPECT_EQ(boxes[0].Flags & (MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2),
            UINT(MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2));

  // No: read-only, the other client's lock untouched; Save is refused.
  boxAnswers.push_back({"Vault locked", IDNO});
  Open(path, {kStrong});
  ASSERT_EQ(main->VaultPath, ExpandFileName(path));
  EXPECT_TRUE(main->ReadOnly);
  EXPECT_EQ(main->Caption(), "[Read-only] shared.qvl - Vaultline");
  EXPECT_EQ(ReadTestFile(LockFilePath(path)), foreign);
  boxes.clear();
  EXPECT_FALSE(main->SaveVault(true));
  EXPECT_TRUE(boxes.empty());
  const std::string before = ReadTestFile(path);
  main->SaveFile(nullptr);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                            "Read-only vault: This vault was opened read-only.\r\n\r\nUse Save As to create an "
                            "editable copy."});
  EXPECT_EQ(ReadTestFile(path), before);
  main->CloseFile(nullptr);
  EXPECT_EQ(ReadTestFile(LockFilePath(path)), foreign);

  // Yes: taken over for editing.
  boxes.clear();
  boxAnswers.push_back({"Vault locked", IDYES});
  Open(path, {kStrong});
  ASSERT_EQ(main->VaultPath, ExpandFileName(path));
  EXPECT_FALSE(main->ReadOnly);
  TLockInfo info;
  ASSERT_TRUE(ProcessVaultLock().ParseLockFile(path, info));
  EXPECT_TRUE(info.active);
  EXPECT_EQ(info.clientId, ProcessVaultLock().GetClientId());
  main->Changed(nullptr);
  main->SaveFile(nullptr);
  EXPECT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(ReadVault(path, kStrong), SampleText("S"));
}

TEST_F(VaultDocument, SaveAsRefusesOtherTypesAndLockedTargetsAndRollsBack) {
  const std::string a = Path("a.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  Open(a, {kStrong});
  ASSERT_EQ(main->VaultPath, ExpandFileName(a));
  main->Changed(nullptr);

  picks.push_back(Path("a.txt"));
  main->SaveFileAs(nullptr);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Invalid file type: Only .qvl files are supported."});
  EXPECT_FALSE(PathExists(Path("a.txt")));

  const std::string locked = Path("locked.qvl");
  WriteForeignLock(locked);
  boxes.clear();
  picks.push_back(locked);
  main->SaveFileAs(nullptr);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                            "Vault locked: The destination vault is currently locked or its lock file cannot be "
                            "created."});
  EXPECT_FALSE(PathExists(locked));

  // A save that fails at its last step puts the old file and lock back.
  const std::string other = Path("other.qvl");
  main->SaveIo.Replace = [](const std::string&, const std::string&) { return false; };
  boxes.clear();
  picks.push_back(other);
  main->SaveFileAs(nullptr);
  main->SaveIo.Replace = nullptr;
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Caption, "Save error");
  EXPECT_FALSE(PathExists(other));
  EXPECT_EQ(main->VaultPath, ExpandFileName(a));
  EXPECT_TRUE(main->Modified);
  EXPECT_TRUE(SameText(ProcessVaultLock().HeldLockPath(), ExpandFileName(a)));
  TLockInfo info;
  ASSERT_TRUE(ProcessVaultLock().ParseLockFile(other, info));
  EXPECT_FALSE(info.active);
  EXPECT_TRUE(TmpFiles().empty());

  // And Save As to a free name works and moves the lock there.
  boxes.clear();
  picks.push_back(other);
  main->SaveFileAs(nullptr);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(main->VaultPath, ExpandFileName(other));
  EXPECT_EQ(ReadVault(other, kStrong), SampleText("A"));
  ASSERT_TRUE(ProcessVaultLock().ParseLockFile(a, info));
  EXPECT_FALSE(info.active);
}

TEST_F(VaultDocument, ChangeMasterPasswordThenReopenWithTheNewOne) {
  const std::string a = Path("a.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  Open(a, {kStrong});
  passwords.push_back({kOther});
  main->ChangeMasterPassword1Click(nullptr);
  EXPECT_EQ(pwdCaptions.back(), "Change Master Password");
  EXPECT_TRUE(main->Modified);
  main->SaveFile(nullptr);
  EXPECT_EQ(ReadVault(a, kOther), SampleText("A"));
  main->CloseFile(nullptr);
  Open(a, {kStrong, kOther});
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Open error: The password is incorrect."});
  EXPECT_EQ(main->VaultPath, ExpandFileName(a));
}

TEST_F(VaultDocument, AnUnencryptedVaultTextOpensModifiedAndIsEncryptedWithTheDefaultsAtTheNextSave) {
  const std::string path = Path("plain.qvl");
  const std::string plain = SampleText("P");
  WriteTestFile(path, plain);
  // No: nothing opens.
  boxAnswers.push_back({"Unencrypted Vaultline file", IDNO});
  Open(path, {});
  EXPECT_TRUE(main->VaultPath.empty());
  EXPECT_TRUE(pwdCaptions.empty());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "This file is not encrypted.\r\n\r\nOpen it and encrypt it when it is next saved?");
  EXPECT_EQ(boxes[0].Flags & (MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2), UINT(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));

  // Yes: a new master password; the cascade of the Defaults page.
  for (TRadioButton* b : settings->DefaultsButtons()) b->SetChecked(false);
  settings->DefaultsButtons()[9]->SetChecked(true);  // ChaCha20, AES, Twofish
  boxAnswers.push_back({"Unencrypted Vaultline file", IDYES});
  Open(path, {kStrong});
  ASSERT_EQ(main->VaultPath, ExpandFileName(path));
  EXPECT_EQ(pwdVerify, std::vector<bool>{false});
  EXPECT_TRUE(main->Modified);
  EXPECT_EQ(main->Caption(), "*plain.qvl - Vaultline");
  ASSERT_EQ(main->Vault.Entries.size(), 1u);
  EXPECT_EQ(main->QEnc1->Algorithm(), qeaChaCha20);
  EXPECT_EQ(main->QEnc1->Algorithm3(), qeaTwofishCTR);

  boxes.clear();
  main->SaveFile(nullptr);
  EXPECT_TRUE(boxes.empty()) << BoxTexts()[0];
  EXPECT_EQ(ReadVault(path, kStrong), plain);
  const std::string file = ReadTestFile(path);
  EXPECT_EQ(file.substr(0, 4), "QVF1");
  EXPECT_EQ(file[6], qeaChaCha20);
  EXPECT_EQ(file[7], qeaAES128CTR);
  EXPECT_EQ(file[8], qeaTwofishCTR);
  // The plain text is never copied into a backup.
  EXPECT_FALSE(PathExists(path + ".bak"));
}

// A file that is not a container is offered as a vault text; one that
// holds a NUL byte is none (here a vault whose marker was damaged) and is
// not opened, so that no save can replace it with what its bytes parse to.
TEST_F(VaultDocument, ABinaryFileIsNotOpenedAsAVaultText) {
  const std::string path = Path("damaged.qvl");
  WriteVault(path, kStrong, SampleText("D"));
  std::string bytes = ReadTestFile(path);
  bytes.replace(0, 4, "XXXX");
  WriteTestFile(path, bytes);
  ASSERT_FALSE(main->QEnc1->IsEncryptedFile(path));
  boxAnswers.push_back({"Unencrypted Vaultline file", IDYES});
  Open(path, {kStrong});
  EXPECT_TRUE(pwdCaptions.empty());
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "Unencrypted Vaultline file: This file is not encrypted.\r\n\r\nOpen it and encrypt it "
                            "when it is next saved?",
                            "Open error: The unencrypted file could not be read."}));
  EXPECT_TRUE(main->VaultPath.empty());
  EXPECT_EQ(main->Caption(), "Untitled - Vaultline");
  EXPECT_EQ(ReadTestFile(path), bytes);
}

TEST_F(VaultDocument, OpeningReadOnlyReleasesTheLockOfTheVaultOpenBefore) {
  const std::string a = Path("a.qvl");
  const std::string shared = Path("shared.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  WriteVault(shared, kStrong, SampleText("S"));
  Open(a, {kStrong});
  TLockInfo info;
  ASSERT_TRUE(ProcessVaultLock().ParseLockFile(a, info));
  EXPECT_TRUE(info.active);
  WriteForeignLock(shared);
  boxAnswers.push_back({"Vault locked", IDNO});
  Open(shared, {});
  ASSERT_EQ(main->VaultPath, ExpandFileName(shared));
  EXPECT_TRUE(main->ReadOnly);
  ASSERT_TRUE(ProcessVaultLock().ParseLockFile(a, info));
  EXPECT_FALSE(info.active);
  EXPECT_TRUE(ProcessVaultLock().HeldLockPath().empty());
}

// ---- The faults the document mends ------------------------------------------------

TEST_F(VaultDocument, TheRightPasswordOpensWhateverIterationSettingsChanged) {
  struct Case {
    const char* name;
    int keyIterations, headerIterations, defaults, engineNow;
  } cases[] = {
      // The Defaults changed after the vault was made: the header's count.
      {"defaults raised", 5000, 5000, 6000, 6000},
      // Made under older Defaults, its own count set apart, the engine left
      // at a third count by the vault opened before: today's Defaults.
      {"current vault count changed", 6000, 7000, 6000, 8000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Path(std::string("iter") + IntToStr(c.keyIterations) + ".qvl");
    WriteVault(path, kStrong, SampleText(c.name), c.keyIterations, c.headerIterations);
    settings->EditIterations2->SetText(IntToStr(c.defaults));
    main->QEnc1->SetIterations(c.engineNow);
    pwdCaptions.clear();
    boxes.clear();
    Open(path, {kStrong});
    EXPECT_EQ(pwdCaptions.size(), 1u);
    EXPECT_TRUE(boxes.empty()) << BoxTexts()[0];
    ASSERT_EQ(main->VaultPath, ExpandFileName(path));
    EXPECT_EQ(main->SessionKey, KeyFor(kStrong, c.keyIterations));
    // Saved and reopened in the same run with the key it has.
    main->Changed(nullptr);
    main->SaveFile(nullptr);
    EXPECT_EQ(ReadVault(path, kStrong, c.keyIterations), SampleText(c.name));
    main->CloseFile(nullptr);
  }
}

// Unlocking reopens the file: the count the vault's key was made with is
// still known there, after the open vault's own count and the Defaults
// changed.
TEST_F(VaultDocument, UnlockingFindsTheKeyAfterTheOpenVaultsCountChanged) {
  const std::string a = Path("a.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  Open(a, {kStrong});
  main->QEnc1->SetIterations(9000);  // the Current Vault page's count
  main->Changed(nullptr);
  main->SaveFile(nullptr);
  settings->EditIterations2->SetText("7000");
  LockWindow(main);
  passwords.push_back({kStrong});
  EXPECT_TRUE(main->OpenVault(main->VaultPath, false));
  main->Locked = false;
  EXPECT_EQ(pwdCaptions.size(), 2u);
  EXPECT_TRUE(boxes.empty()) << BoxTexts()[0];
  EXPECT_EQ(main->SessionKey, KeyFor(kStrong, kIterations));
  ASSERT_EQ(main->Vault.Entries.size(), 1u);
}

TEST_F(VaultDocument, ADamagedFileEndsTheOpenWithTheEnginesText) {
  // A container of nothing, as an empty vault used to be written, and a
  // vault cut short: no password opens them, so none is asked again.
  const std::string empty = Path("empty.qvl");
  WriteVault(empty, kStrong, "");
  const std::string cut = Path("cut.qvl");
  WriteVault(cut, kStrong, SampleText("C"));
  WriteTestFile(cut, ReadTestFile(cut).substr(0, 150));
  for (const std::string& path : {empty, cut}) {
    SCOPED_TRACE(path);
    TQEnc probe(nullptr);
    probe.SetCompatibilityMode(false);  // as the main form's engine
    probe.SetKey(KeyFor(kStrong, kIterations));
    probe.DecryptFileToString(path);
    ASSERT_NE(probe.LastError(), ErrNone);
    ASSERT_NE(probe.LastError(), ErrWrongPassword);
    pwdCaptions.clear();
    boxes.clear();
    Open(path, {kStrong, kStrong});
    EXPECT_EQ(pwdCaptions.size(), 1u);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Open error: " + TQEnc::ErrorToString(probe.LastError())});
    EXPECT_TRUE(main->VaultPath.empty());
    EXPECT_EQ(main->Caption(), "Untitled - Vaultline");
    passwords.clear();
  }
}

// ---- Long key derivations -----------------------------------------------------

// A vault whose header claims the largest iteration count (a damaged or
// planted file): its keys take many minutes to derive.
std::string WriteVaultClaimingMaxIterations(const std::string& path, const std::string& password) {
  WriteVault(path, password, SampleText("M"));
  std::string bytes = ReadTestFile(path);
  const std::uint32_t count = 2147483647u;
  for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(10 + i)] = static_cast<char>(count >> (8 * i));
  WriteTestFile(path, bytes);
  return bytes;
}

// Esc during the derivation of a vault claiming the largest count ends the
// open at once, with or without a vault open before (the held key is tried
// at that count too): nothing is asked or said, the previous vault, its key,
// its lock and its cipher settings stay, and nothing is written.
TEST_F(VaultDocument, EscDuringTheLargestIterationCountEndsTheOpenWithEverythingAsBefore) {
  const std::string a = Path("a.qvl");
  const std::string crafted = Path("crafted.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  const std::string craftedBytes = WriteVaultClaimingMaxIterations(crafted, kOther);
  for (bool vaultOpen : {true, false}) {
    SCOPED_TRACE(vaultOpen ? "a vault open: its key is tried first" : "no vault open: the password is asked");
    main->CloseFile(nullptr);
    if (vaultOpen) {
      Open(a, {kStrong});
      ASSERT_EQ(main->VaultPath, ExpandFileName(a));
    }
    const std::string pathBefore = main->VaultPath;
    const std::string keyBefore = main->SessionKey;
    const std::string captionBefore = main->Caption();
    const int iterationsBefore = main->QEnc1->Iterations();
    const TQEncAlgorithm cipherBefore = main->QEnc1->Algorithm();
    const std::string lockBefore = vaultOpen ? ReadTestFile(a + ".lock") : std::string();
    boxes.clear();
    pwdCaptions.clear();
    TEscDuringWait esc;
    std::vector<int> bar;
    esc.atFirstReport = [&] { bar.push_back(main->Progress->Position()); };
    esc.Install(main->Handle());
    passwords.push_back({kOther});
    const bool opened = main->OpenVault(crafted, false);
    const double seconds = esc.SecondsSincePress();
    std::printf("Esc at the largest count: the open ended %.3f s after the key press\n", seconds);
    EXPECT_FALSE(opened);
    EXPECT_GE(esc.reports, 3);
    EXPECT_LT(seconds, kFarFromMinutes);
    EXPECT_EQ(pwdCaptions.size(), vaultOpen ? 0u : 1u);
    EXPECT_TRUE(boxes.empty()) << BoxTexts()[0];
    EXPECT_EQ(main->VaultPath, pathBefore);
    EXPECT_EQ(main->SessionKey, keyBefore);
    EXPECT_EQ(main->Caption(), captionBefore);
    EXPECT_EQ(main->QEnc1->Iterations(), iterationsBefore);
    EXPECT_EQ(main->QEnc1->Algorithm(), cipherBefore);
    EXPECT_EQ(main->QEnc1->Key(), "");
    EXPECT_FALSE(main->Progress->Visible());
    EXPECT_EQ(main->EngineWaitDepth, 0);
    EXPECT_EQ(ReadTestFile(crafted), craftedBytes);
    EXPECT_FALSE(PathExists(crafted + ".lock"));
    if (vaultOpen) {
      EXPECT_EQ(ReadTestFile(a + ".lock"), lockBefore);
      EXPECT_EQ(ProcessVaultLock().HeldLockPath(), ExpandFileName(a));
      EXPECT_EQ(main->Vault.Entries.size(), 1u);
    }
    passwords.clear();
  }
}

// A legitimately large count opens, the bar moving through the derivation.
TEST_F(VaultDocument, ALargeIterationCountOpensWithTheBarMoving) {
  const std::string big = Path("big.qvl");
  WriteVault(big, kStrong, SampleText("B"), kIterations, 400000);
  main->QEnc1->ClearKeyCache();  // the writer's keys would spare the derivation
  std::vector<int> bar;
  std::string png;
  AppSeams().DuringEngineWait = [&] {
    bar.push_back(main->Progress->Position());
    // The window as the user sees it halfway through.
    if (png.empty() && main->Progress->Position() >= 75) png = harness::SaveScreenshot(main->Handle(), "open-progress");
  };
  Open(big, {kStrong});
  EXPECT_FALSE(png.empty());
  ASSERT_EQ(main->VaultPath, ExpandFileName(big));
  EXPECT_EQ(main->QEnc1->Iterations(), 400000);
  ASSERT_GE(bar.size(), 2u);
  EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
  // The password's key from 30 to 60, the vault's stage keys from 60 to 90.
  EXPECT_GE(bar.front(), 30);
  EXPECT_LE(bar.back(), 90);
  EXPECT_GT(std::count_if(bar.begin(), bar.end(), [](int p) { return p > 60 && p < 90; }), 0);
  EXPECT_GT(bar.back(), bar.front());
}

// A second start's hand-over and a Windows session lock that come while
// keys are derived wait until the derivation is over: nothing opens or
// locks under the running engine. Then they run as they would have.
TEST_F(VaultDocument, AHandOverAndASessionLockDuringTheWaitRunAfterIt) {
  const std::string a = Path("a.qvl");
  const std::string b = Path("b.qvl");
  const std::string crafted = Path("crafted.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  WriteVault(b, kOther, SampleText("B"));
  WriteVaultClaimingMaxIterations(crafted, kOther);
  settings->CheckSessionWindowsLock->SetChecked(true);
  struct TCase {
    const char* Name;
    bool HandOver, SessionLock;
  };
  for (const TCase c : {TCase{"hand-over", true, false}, TCase{"session lock", false, true}}) {
    SCOPED_TRACE(c.Name);
    main->CloseFile(nullptr);
    Open(a, {kStrong});
    ASSERT_EQ(main->VaultPath, ExpandFileName(a));
    pwdCaptions.clear();
    std::string data = EncodeHandOverPath(b);
    bool ranMeanwhile = false;
    TEscDuringWait esc;
    esc.atFirstReport = [&] {
      if (c.HandOver) {
        COPYDATASTRUCT cds{kHandOverTag, static_cast<DWORD>(data.size()), data.data()};
        EXPECT_EQ(SendMessageA(main->Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 1);
      }
      if (c.SessionLock) SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
      ranMeanwhile = main->Locked || main->VaultPath != ExpandFileName(a) || !pwdCaptions.empty();
    };
    esc.Install(main->Handle());
    passwords.push_back({kOther});  // for b, once the hand-over runs
    EXPECT_FALSE(main->OpenVault(crafted, false));
    EXPECT_FALSE(ranMeanwhile);
    EXPECT_EQ(main->VaultPath, ExpandFileName(a));
    EXPECT_FALSE(main->Locked);
    AppSeams().DuringEngineWait = nullptr;
    app.ProcessMessages();
    if (c.HandOver) {
      EXPECT_EQ(main->VaultPath, ExpandFileName(b));
      ASSERT_EQ(main->Vault.Entries.size(), 1u);
      EXPECT_EQ(main->Vault.Entries[0]->title, "B");
    }
    if (c.SessionLock) {
      EXPECT_TRUE(main->Locked);
      EXPECT_EQ(main->VaultPath, ExpandFileName(a));
    }
    main->Locked = false;
    passwords.clear();
  }
  settings->CheckSessionWindowsLock->SetChecked(false);
}

// Esc during a save's key derivation: no message, the vault file untouched,
// no temporary file, the document still modified.
TEST_F(VaultDocument, EscDuringASaveLeavesTheVaultFileAsItWas) {
  const std::string crafted = Path("crafted.qvl");
  WriteVault(crafted, kStrong, SampleText("C"));
  Open(crafted, {kStrong});
  ASSERT_EQ(main->VaultPath, ExpandFileName(crafted));
  // The vault's own count, as a settings change would set it.
  main->QEnc1->SetIterations(2147483647);
  main->Changed(nullptr);
  const std::string before = ReadTestFile(crafted);
  boxes.clear();
  TEscDuringWait esc;
  esc.Install(main->Handle());
  EXPECT_FALSE(main->SaveVault(false));
  EXPECT_LT(esc.SecondsSincePress(), kFarFromMinutes);
  EXPECT_TRUE(boxes.empty()) << BoxTexts()[0];
  EXPECT_TRUE(main->Modified);
  EXPECT_EQ(ReadTestFile(crafted), before);
  EXPECT_TRUE(TmpFiles().empty());
  EXPECT_FALSE(main->Progress->Visible());
  main->Modified = false;
}

// A vault cut inside its header starts like a container but is none: at
// every length from the magic to one byte short of the header it is a
// damaged vault, said with the engine's text, never offered as a vault
// text (whose save would replace it without a backup). The vault open
// before stays open.
TEST_F(VaultDocument, AVaultCutInsideItsHeaderIsDamagedNeverPlainText) {
  const std::string open = Path("open.qvl");
  WriteVault(open, kStrong, SampleText("O"));
  Open(open, {kStrong});
  ASSERT_EQ(main->VaultPath, ExpandFileName(open));
  struct TShape {
    const char* Name;
    TQEncAlgorithm A2, A3;
    std::size_t HeaderSize;  // from the container's layout: 84 for one cipher, 150 for a cascade
  };
  const TShape shapes[] = {{"one cipher", qeaNone, qeaNone, 84}, {"cascade", qeaAES128CTR, qeaChaCha20, 150}};
  const std::string cut = Path("cut.qvl");
  for (const TShape& shape : shapes) {
    const std::string whole = Path(std::string(shape.Name) + ".qvl");
    WriteVault(whole, kStrong, SampleText("C"), kIterations, kIterations, qeaTwofishCTR, shape.A2, shape.A3);
    const std::string bytes = ReadTestFile(whole);
    ASSERT_EQ(bytes.substr(0, 4), "QVF1");
    for (std::size_t length = 4; length < shape.HeaderSize; ++length) {
      SCOPED_TRACE(std::string(shape.Name) + ", " + std::to_string(length) + " bytes");
      WriteTestFile(cut, bytes.substr(0, length));
      boxes.clear();
      pwdCaptions.clear();
      boxAnswers.push_back({"Unencrypted Vaultline file", IDYES});
      passwords.push_back({kOther});
      EXPECT_FALSE(main->OpenVault(cut, false));
      EXPECT_TRUE(pwdCaptions.empty());
      EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Open error: The encryption header could not be read."});
      EXPECT_EQ(ReadTestFile(cut), bytes.substr(0, length));
      EXPECT_EQ(main->VaultPath, ExpandFileName(open));
      EXPECT_EQ(main->Vault.Entries.size(), 1u);
      EXPECT_EQ(main->Caption(), "open.qvl - Vaultline");
      EXPECT_FALSE(PathExists(cut + ".lock"));
      boxAnswers.clear();
      passwords.clear();
    }
  }
}

// The held key of an open vault is tried first: a damaged file ends there
// too, with the engine's text, no password asked and the open vault kept.
TEST_F(VaultDocument, ADamagedFileTriedWithTheHeldKeyLeavesTheOpenVault) {
  const std::string a = Path("a.qvl");
  WriteVault(a, kStrong, SampleText("A"), kIterations, kIterations, qeaAES128CTR, qeaNone, qeaNone);
  const std::string cut = Path("cut.qvl");
  WriteVault(cut, kStrong, SampleText("C"));
  WriteTestFile(cut, ReadTestFile(cut).substr(0, 150));
  TQEnc probe(nullptr);
  probe.SetCompatibilityMode(false);  // as the main form's engine
  probe.SetKey(KeyFor(kStrong, kIterations));
  probe.DecryptFileToString(cut);
  ASSERT_NE(probe.LastError(), ErrNone);
  ASSERT_NE(probe.LastError(), ErrWrongPassword);
  Open(a, {kStrong});
  ASSERT_EQ(main->VaultPath, ExpandFileName(a));
  const std::string key = main->SessionKey;
  pwdCaptions.clear();
  boxes.clear();
  Open(cut, {});
  EXPECT_TRUE(pwdCaptions.empty());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Open error: " + TQEnc::ErrorToString(probe.LastError())});
  EXPECT_EQ(main->VaultPath, ExpandFileName(a));
  EXPECT_EQ(main->SessionKey, key);
  EXPECT_EQ(main->QEnc1->Algorithm(), qeaAES128CTR);
  EXPECT_EQ(main->QEnc1->Algorithm2(), qeaNone);
  EXPECT_EQ(main->Caption(), "a.qvl - Vaultline");
}

TEST_F(VaultDocument, AFailedLockStepKeepsThePreviousKeyAndCipherSettings) {
  const std::string a = Path("a.qvl");
  WriteVault(a, kStrong, SampleText("A"), kIterations, kIterations, qeaAES128CTR, qeaNone, qeaNone);
  const std::string b = Path("b.qvl");
  WriteVault(b, kOther, SampleText("B"), kIterations, 6000);
  Open(a, {kStrong});
  ASSERT_EQ(main->VaultPath, ExpandFileName(a));
  const std::string key = main->SessionKey;
  // Another client takes b's lock while its password is typed; asked again,
  // the user does not open it.
  duringPassword = [&] { WriteForeignLock(b); };
  boxAnswers.push_back({"Vault locked", IDCANCEL});
  Open(b, {kOther});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, LockedWhileOpeningPrompt("FAR / away"));
  EXPECT_EQ(main->VaultPath, ExpandFileName(a));
  EXPECT_EQ(main->SessionKey, key);
  EXPECT_EQ(main->QEnc1->Algorithm(), qeaAES128CTR);
  EXPECT_EQ(main->QEnc1->Algorithm2(), qeaNone);
  EXPECT_EQ(main->QEnc1->Iterations(), kIterations);
  EXPECT_EQ(main->Caption(), "a.qvl - Vaultline");
  // Its next save is still a's own.
  main->Changed(nullptr);
  main->SaveFile(nullptr);
  EXPECT_EQ(ReadVault(a, kStrong), SampleText("A"));
  EXPECT_EQ(ReadTestFile(a)[4], 2);  // a single cipher: header version 2
}

// Another vault handed over while the lock question of an open is up opens
// with the held key; the first open, cancelled, leaves that vault's cipher
// settings in the engine.
TEST_F(VaultDocument, AVaultOpenedDuringTheLockQuestionKeepsItsCipherSettings) {
  const std::string a = Path("a.qvl");
  const std::string b = Path("b.qvl");
  const std::string c = Path("c.qvl");
  WriteVault(a, kStrong, SampleText("A"), kIterations, kIterations, qeaAES128CTR, qeaNone, qeaNone);
  WriteVault(b, kOther, SampleText("B"), kIterations, 6000);
  WriteVault(c, kStrong, SampleText("C"), kIterations, 7000, qeaChaCha20, qeaNone, qeaNone);
  Open(a, {kStrong});
  duringPassword = [&] { WriteForeignLock(b); };
  bool nested = false;
  duringBox = [&] { nested = main->OpenVault(c, false); };
  boxAnswers.push_back({"Vault locked", IDCANCEL});
  Open(b, {kOther});
  EXPECT_TRUE(nested);
  EXPECT_EQ(main->VaultPath, ExpandFileName(c));
  EXPECT_EQ(main->QEnc1->Algorithm(), qeaChaCha20);
  EXPECT_EQ(main->QEnc1->Algorithm2(), qeaNone);
  EXPECT_EQ(main->QEnc1->Iterations(), 7000);
  EXPECT_EQ(main->Caption(), "c.qvl - Vaultline");
}

TEST_F(VaultDocument, ALockDuringACommandsDialogAbandonsItAndNeverWritesTheEmptyWindow) {
  const std::string a = Path("a.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  WriteVault(Path("b.qvl"), kStrong, SampleText("B"));
  struct Case {
    const char* name;
    std::function<void()> command;
  } cases[] = {
      {"change master password",
       [&] {
         passwords.push_back({kOther});
         main->ChangeMasterPassword1Click(nullptr);
       }},
      {"new",
       [&] {
         passwords.push_back({kOther});
         main->NewFile(nullptr);
       }},
      {"open another vault",
       [&] {
         passwords.push_back({kStrong});
         main->SessionKey.clear();  // so that the password is asked
         picks.push_back(Path("b.qvl"));
         main->OpenFile(nullptr);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    main->Locked = false;
    main->Modified = false;
    main->CloseFile(nullptr);
    Open(a, {kStrong});
    ASSERT_EQ(main->VaultPath, ExpandFileName(a));
    const std::string before = ReadTestFile(a);
    duringPassword = [&] { LockWindow(main); };
    c.command();
    EXPECT_TRUE(main->Locked);
    EXPECT_EQ(main->VaultPath, ExpandFileName(a));
    EXPECT_TRUE(main->SessionKey.empty());
    EXPECT_FALSE(main->Modified);
    EXPECT_EQ(main->Vault.Entries.size(), 0u);
    // Nothing may write the emptied window over the vault.
    EXPECT_TRUE(main->ConfirmSaveChanges());
    EXPECT_FALSE(main->SaveVault(false));
    EXPECT_FALSE(main->SaveVault(true));
    EXPECT_EQ(ReadTestFile(a), before);
    EXPECT_TRUE(TmpFiles().empty());
  }
}

// A second start hands over another vault while the password dialog is up
// for the first: the dialog is one window, so the hand-over's open ends
// without it and the first open goes on.
TEST_F(VaultDocument, AHandOverDuringThePasswordDialogDoesNotTakeTheDialog) {
  const std::string a = Path("a.qvl");
  const std::string b = Path("b.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  WriteVault(b, kOther, SampleText("B"));
  bool nested = true;
  duringPassword = [&] { nested = main->OpenVault(b, false); };
  Open(a, {kStrong});
  EXPECT_FALSE(nested);
  EXPECT_EQ(pwdCaptions.size(), 1u);
  EXPECT_TRUE(boxes.empty()) << BoxTexts()[0];
  ASSERT_EQ(main->VaultPath, ExpandFileName(a));
  EXPECT_EQ(main->Vault.Entries[0]->title, "A");
  EXPECT_EQ(main->Caption(), "a.qvl - Vaultline");
}

// Save As while the vault is locked: the window holds no vault, so nothing
// is asked, no lock file is taken and the locked vault's own lock stays
// released.
TEST_F(VaultDocument, SaveAsOfALockedWindowDoesNothing) {
  const std::string a = Path("a.qvl");
  const std::string other = Path("other.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  Open(a, {kStrong});
  ASSERT_EQ(main->VaultPath, ExpandFileName(a));
  LockWindow(main);
  picks.push_back(other);
  main->SaveFileAs(nullptr);
  EXPECT_EQ(picks.size(), 1u) << "no file dialog";
  EXPECT_TRUE(main->Locked);
  EXPECT_EQ(main->VaultPath, ExpandFileName(a));
  EXPECT_TRUE(ProcessVaultLock().HeldLockPath().empty());
  EXPECT_FALSE(PathExists(LockFilePath(other)));
  TLockInfo info;
  ASSERT_TRUE(ProcessVaultLock().ParseLockFile(a, info));
  EXPECT_FALSE(info.active);
}

// A Save As whose save fails rolls back to the old file, unless a lock or
// another vault came in while the failure was shown: the window is no
// longer the document that was being saved, and putting the old path back
// under it would save that other vault over the old file.
TEST_F(VaultDocument, ASaveAsRollbackLeavesAWindowLockedOrReplacedDuringItsMessageAlone) {
  const std::string a = Path("a.qvl");
  const std::string c = Path("c.qvl");
  const std::string other = Path("other.qvl");
  struct Case {
    const char* name;
    bool untitled;
    std::function<void()> during;
    std::string path;  // VaultPath afterwards
    bool locked;
    std::string held;  // the lock held afterwards
  } cases[] = {
      {"another vault opened", false, [&] { ASSERT_TRUE(main->OpenVault(c, true)); }, ExpandFileName(c), false,
       ExpandFileName(c)},
      {"locked", false, [&] { LockWindow(main); }, ExpandFileName(a), true, ""},
      // A new vault has no file to unlock: the window is left closed.
      {"locked, never saved", true, [&] { LockWindow(main); }, "", false, ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    main->Locked = false;
    main->Modified = false;
    main->CloseFile(nullptr);
    WriteVault(a, kStrong, SampleText("A"));
    WriteVault(c, kStrong, SampleText("C"));
    if (k.untitled) {
      passwords.push_back({kStrong});
      main->NewFile(nullptr);
    } else {
      Open(a, {kStrong});
      ASSERT_EQ(main->VaultPath, ExpandFileName(a));
    }
    main->Changed(nullptr);
    main->SaveIo.Replace = [](const std::string&, const std::string&) { return false; };
    duringBox = k.during;
    boxes.clear();
    picks.push_back(other);
    main->SaveFileAs(nullptr);
    main->SaveIo.Replace = nullptr;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "Save error");
    EXPECT_EQ(main->VaultPath, k.path);
    EXPECT_EQ(main->Locked, k.locked);
    EXPECT_EQ(ProcessVaultLock().HeldLockPath(), k.held);
    EXPECT_FALSE(PathExists(other));
    // Whatever the window holds now, saving it never writes over a.
    main->Changed(nullptr);
    main->SaveFile(nullptr);
    EXPECT_EQ(ReadVault(a, kStrong), SampleText("A"));
    EXPECT_EQ(ReadVault(c, kStrong), SampleText("C"));
  }
}

// Close asks to save first; a lock or another vault that came in while the
// question was up ends the Close: it was meant for the document asked about.
TEST_F(VaultDocument, CloseLeavesAWindowLockedOrReplacedDuringItsQuestionAlone) {
  const std::string a = Path("a.qvl");
  const std::string c = Path("c.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  WriteVault(c, kStrong, SampleText("C"));
  struct Case {
    const char* name;
    std::function<void()> during;
    std::string path;
    bool locked;
  } cases[] = {
      {"another vault opened", [&] { ASSERT_TRUE(main->OpenVault(c, true)); }, ExpandFileName(c), false},
      {"locked", [&] { LockWindow(main); }, ExpandFileName(a), true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    main->Locked = false;
    main->Modified = false;
    main->CloseFile(nullptr);
    Open(a, {kStrong});
    ASSERT_EQ(main->VaultPath, ExpandFileName(a));
    main->Changed(nullptr);
    duringBox = k.during;
    boxAnswers.push_back({"Save changes?", IDNO});
    main->CloseFile(nullptr);
    EXPECT_EQ(main->VaultPath, k.path);
    EXPECT_EQ(main->Locked, k.locked);
    if (!k.locked) {
      EXPECT_EQ(main->Vault.Entries.size(), 1u);
      EXPECT_EQ(ProcessVaultLock().HeldLockPath(), k.path);
    }
  }
}

// Another vault opened while the lock question of an open is up keeps its
// lock file, whichever way the question is answered: taking over or
// giving up the lock of the vault being opened must not release it.
TEST_F(VaultDocument, AVaultOpenedDuringTheLockQuestionKeepsItsLock) {
  const std::string a = Path("a.qvl");
  const std::string b = Path("b.qvl");
  const std::string c = Path("c.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  WriteVault(b, kOther, SampleText("B"));
  WriteVault(c, kStrong, SampleText("C"));
  for (int answer : {IDYES, IDNO}) {
    SCOPED_TRACE(answer);
    main->Modified = false;
    main->CloseFile(nullptr);
    Open(a, {kStrong});
    ASSERT_EQ(main->VaultPath, ExpandFileName(a));
    duringPassword = [&] { WriteForeignLock(b); };
    duringBox = [&] { ASSERT_TRUE(main->OpenVault(c, false)); };
    boxAnswers.push_back({"Vault locked", answer});
    Open(b, {kOther});
    EXPECT_EQ(main->VaultPath, ExpandFileName(c));
    EXPECT_FALSE(main->ReadOnly);
    EXPECT_TRUE(SameText(ProcessVaultLock().HeldLockPath(), ExpandFileName(c)));
    TLockInfo info;
    ASSERT_TRUE(ProcessVaultLock().ParseLockFile(c, info));
    EXPECT_TRUE(info.active);
    EXPECT_EQ(info.clientId, ProcessVaultLock().GetClientId());
    WriteTestFile(LockFilePath(b), "");
  }
}

// ---- Data safety ------------------------------------------------------------------

TEST_F(VaultDocument, EverySaveFailureLeavesTheVaultByteIdenticalAndNoTemporaryFile) {
  const std::string a = Path("a.qvl");
  WriteVault(a, kStrong, SampleText("A"));
  Open(a, {kStrong});
  ASSERT_EQ(main->VaultPath, ExpandFileName(a));
  struct Case {
    const char* name;
    std::string caption, text;
    std::function<void()> inject, undo;
  } cases[] = {
      {"the engine refuses",
       "Save error",
       DocumentTexts::kEncryptFailed + TQEnc::ErrorToString(ErrUnknownAlgorithm),
       [&] { main->QEnc1->SetAlgorithm(qeaUnknown); },
       [&] { main->QEnc1->SetAlgorithm(qeaTwofishCTR); }},
      {"the disk is full",
       "Save error",
       DocumentTexts::kEncryptFailed + TQEnc::ErrorToString(ErrFileWriteFailed),
       [&] {
         main->SaveIo.Encrypt = [](const std::string& tmp) {
           WriteTestFile(tmp, "QVF1 half a contai");
           return static_cast<int>(ErrFileWriteFailed);
         };
       },
       [&] { main->SaveIo.Encrypt = nullptr; }},
      {"the daily backup",
       "Backup error",
       BackupTexts::kDailyFailed,
       [&] {
         settings->RadioBak3->SetChecked(true);
         main->VaultBackups.Seams().Today = [] { return std::string("20991231"); };
         main->VaultBackups.Seams().CopyFileOverwrite = [](const std::string&, const std::string&) { return false; };
       },
       [&] {
         settings->RadioBak2->SetChecked(true);
         main->VaultBackups = TVaultBackup(DefaultBackupSeams(nullptr));
       }},
      {"the .bak copy",
       "Backup error",
       BackupTexts::kBakFailed,
       [&] {
         main->VaultBackups.Seams().CopyFileOverwrite = [](const std::string&, const std::string& target) {
           WriteTestFile(target, "part of a copy");
           return false;
         };
       },
       [&] { main->VaultBackups = TVaultBackup(DefaultBackupSeams(nullptr)); }},
      {"the final move",
       "Save error",
       DocumentTexts::kReplaceFailed,
       [&] { main->SaveIo.Replace = [](const std::string&, const std::string&) { return false; }; },
       [&] { main->SaveIo.Replace = nullptr; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TVaultEntry* e = main->Vault.Entries[0].get();
    e->title = std::string("changed: ") + c.name;
    main->Changed(nullptr);
    const std::string before = ReadTestFile(a);
    boxes.clear();
    c.inject();
    main->SaveFile(nullptr);
    c.undo();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.caption + ": " + c.text});
    EXPECT_EQ(ReadTestFile(a), before);
    EXPECT_TRUE(TmpFiles().empty()) << TmpFiles()[0];
    EXPECT_TRUE(main->Modified);
    EXPECT_EQ(main->Caption(), "*a.qvl - Vaultline");
    EXPECT_FALSE(main->Progress->Visible());
    EXPECT_TRUE(main->QEnc1->Key().empty());
  }
  // With the failures gone the same changes are saved.
  boxes.clear();
  main->SaveFile(nullptr);
  EXPECT_TRUE(boxes.empty()) << BoxTexts()[0];
  EXPECT_EQ(ReadVault(a, kStrong), BuildVaultText(main->Vault));
}

TEST_F(VaultDocument, AStopBetweenAnyTwoStepsOfASaveLeavesTheOldOrTheNewVault) {
  const std::string a = Path("a.qvl");
  const std::string oldText = SampleText("A");
  WriteVault(a, kStrong, oldText);
  Open(a, {kStrong});
  const TVaultSaveStep steps[] = {TVaultSaveStep::Encrypted, TVaultSaveStep::BackedUp, TVaultSaveStep::Replaced,
                                  TVaultSaveStep::BackupsKept};
  for (TVaultSaveStep stop : steps) {
    SCOPED_TRACE(static_cast<int>(stop));
    const std::string before = ReadVault(a, kStrong);
    main->Vault.Entries[0]->title = "title " + IntToStr(static_cast<int>(stop));
    main->Changed(nullptr);
    main->SaveIo.AfterStep = [stop](TVaultSaveStep done) { return done != stop; };
    main->SaveFile(nullptr);
    main->SaveIo.AfterStep = nullptr;
    const std::string now = ReadVault(a, kStrong);
    const bool replaced = stop == TVaultSaveStep::Replaced || stop == TVaultSaveStep::BackupsKept;
    EXPECT_EQ(now, replaced ? BuildVaultText(main->Vault) : before);
    if (PathExists(a + ".bak")) {
      EXPECT_EQ(ReadVault(a + ".bak", kStrong).substr(0, 1), "-") << "the .bak copy is a whole vault";
    }
  }
}

}  // namespace
