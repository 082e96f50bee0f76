// File > Import and File > Export of KeePass 1.x text files in the main
// window of this process under Wine: the commands sent as menu commands,
// the file dialogs answered by their hook, the questions and results by the
// message-box hook, and the files on disk.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/FormMain.h"
#include "app/Helpers.h"
#include "app/model/KeePassText.h"
#include "app/model/VaultText.h"
#include "base/tests/TestUtil.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"

namespace {

const std::string kBom = "\xEF\xBB\xBF";

// As KeePass 1.x writes its text export with LF line ends: an empty line
// after every entry, the last one included; the third entry is from the
// full export with its optional lines; then an entry without a title but
// with a URL, and one with nothing but a group.
const std::string kExport = kBom +
                            "[Gmail]\n"
                            "Group: internet\n"
                            "Group Tree: \n"
                            "User Name: alice@example.com\n"
                            "URL: https://mail.google.com/\n"
                            "Password: s3cr\xC3\xA9t\n"
                            "Notes: Recovery phone ends in 42\n"
                            "\n"
                            "[Bank]\n"
                            "Group: Finance\n"
                            "Group Tree: \n"
                            "User Name: \n"
                            "URL: \n"
                            "Password: hunter2\n"
                            "Notes: first\n"
                            "second\n"
                            "\n"
                            "\n"
                            "[Router]\n"
                            "Group: Network\n"
                            "Group Tree: Home\n"
                            "User Name: admin\n"
                            "URL: http://192.168.1.1/\n"
                            "Password: pw\n"
                            "Notes: Firmware 2.1\n"
                            "UUID: 0f3c1a2b4d5e6f708192a3b4c5d6e7f8\n"
                            "Icon: 12\n"
                            "Creation Time: 2008-05-19 17:12:48\n"
                            "Last Access: 2009-01-02 03:04:05\n"
                            "Last Modification: 2008-05-19 17:13:01\n"
                            "Expires: 2999-12-28 23:59:59\n"
                            "\n"
                            "[]\n"
                            "Group: Network\n"
                            "Group Tree: Home\n"
                            "User Name: \n"
                            "URL: https://u@www.example.com:8080/p?q#f\n"
                            "Password: x\n"
                            "Notes: \n"
                            "\n"
                            "[]\n"
                            "Group: Nothing\n"
                            "Group Tree: \n"
                            "User Name: \n"
                            "URL: \n"
                            "Password: \n"
                            "Notes: \n"
                            "\n";

struct KeePassFixture : ::testing::Test {
  TApplication app;
  TFormMain* main = nullptr;
  TempDir dir;
  std::vector<TMessageBoxCall> boxes;
  std::function<int(const TMessageBoxCall&)> answer;  // IDOK when unset
  // The file dialog's settings as the command left them, and the file the
  // hook picks (none: the dialog is cancelled).
  struct TDialogSeen {
    bool shown = false, save = false;
    std::string title, filter, ext, initialDir, fileName;
    unsigned options = 0;
  } dialog;
  std::string pick;
  std::function<void()> duringDialog;

  void SetUp() override {
    app.Initialize();
    MessageBoxHook = [this](const TMessageBoxCall& c) {
      boxes.push_back(c);
      return answer ? answer(c) : IDOK;
    };
    TOpenDialog::ExecuteHook = [this](TOpenDialog& d) {
      dialog.shown = true;
      dialog.save = d.IsSaveDialog();
      dialog.title = d.Title();
      dialog.filter = d.Filter();
      dialog.ext = d.DefaultExt();
      dialog.initialDir = d.InitialDir();
      dialog.fileName = d.FileName();
      dialog.options = d.Options();
      if (duringDialog) duringDialog();
      if (pick.empty()) return false;
      d.SetFileName(pick);
      return true;
    };
    main = new TFormMain(&app);
    app.SetMainForm(main);
    main->TimerStartup->SetEnabled(false);
    main->TimerUpdateUI->SetEnabled(false);
    main->TimerTray->SetEnabled(false);
    main->Show();
    // An open vault: a path and a session key.
    main->VaultPath = dir.File("Vault.qvl");
    main->SessionKey = "session key";
  }
  void TearDown() override {
    MessageBoxHook = nullptr;
    TOpenDialog::ExecuteHook = nullptr;
  }

  void Command(TMenuItem* item) {
    SendMessageA(main->Handle(), WM_COMMAND, MAKEWPARAM(item->Command(), 0), 0);
  }
  // Answers the plain-text question with Yes (or No).
  void AnswerQuestion(int button) {
    answer = [button](const TMessageBoxCall& c) { return (c.Flags & MB_YESNO) ? button : IDOK; };
  }
  void LockNow() {
    main->Locked = true;
    main->FreeAllEntries();
    main->TreeView1->Clear();
    main->Vault.Clear();
  }
  TVaultEntry* AddEntry(TVaultGroup* group, int id, const std::string& title) {
    auto e = std::make_unique<TVaultEntry>();
    e->id = id;
    e->group = group;
    e->title = title;
    TVaultEntry* raw = e.get();
    main->Vault.Entries.push_back(std::move(e));
    return raw;
  }
  // Groups by path, then every entry with its fields, in id order.
  std::string Dump() const {
    std::ostringstream out;
    auto path = [](const TVaultGroup* g) { return g ? (g->Parent() ? GroupTreePath(g) + "\\" : "") + g->Caption() : "-"; };
    for (const TVaultGroup* g : main->Vault.Groups.Nodes()) out << "G " << path(g) << "\n";
    for (const auto& e : main->Vault.Entries)
      out << "E" << e->id << " [" << e->icon << "] " << path(e->group) << " <" << e->title << "> <" << e->username
          << "> <" << e->password << "> <" << e->url << "> <" << e->notes << "> <" << e->automate << "> <"
          << e->shortcut << "> " << e->hiddenNotes << "\n";
    return out.str();
  }
  // The boxes of a command, by their caption: a lock meanwhile may bring
  // boxes of the unlock.
  std::vector<TMessageBoxCall> OwnBoxes(const std::string& caption) const {
    std::vector<TMessageBoxCall> own;
    for (const TMessageBoxCall& b : boxes)
      if (b.Caption == caption) own.push_back(b);
    return own;
  }
  // Every group has its node, in the vault's order.
  void ExpectTreeMatchesVault() {
    const std::vector<TTreeNode*> nodes = main->TreeView1->Nodes();
    const std::vector<TVaultGroup*> groups = main->Vault.Groups.Nodes();
    ASSERT_EQ(nodes.size(), groups.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      EXPECT_EQ(TFormMain::GroupOfNode(nodes[i]), groups[i]);
      EXPECT_EQ(nodes[i]->Text(), groups[i]->Caption());
      EXPECT_EQ(TFormMain::GroupOfNode(nodes[i]->Parent()), groups[i]->Parent());
    }
  }
};

// ---- Import ------------------------------------------------------------------------------

TEST_F(KeePassFixture, ImportAddsTheEntriesIntoFoundOrNewGroupsAndShowsTheLast) {
  TVaultGroup* internet = main->Vault.Groups.Add(nullptr, "Internet", 3);
  AddEntry(internet, 5, "Old");
  main->FillGroupTree();
  main->SearchActive = true;  // a search is left for the imported group
  WriteTestFile(dir.File("export.txt"), kExport);
  pick = dir.File("export.txt");
  AnswerQuestion(IDYES);

  Command(main->Import1);

  EXPECT_TRUE(dialog.shown);
  EXPECT_FALSE(dialog.save);
  EXPECT_EQ(dialog.title, "Import KeePass Text File");
  EXPECT_EQ(dialog.filter, "KeePass Text Export (*.txt)|*.txt|All Files (*.*)|*.*");
  EXPECT_EQ(dialog.ext, "txt");
  EXPECT_TRUE(dialog.options & ofFileMustExist);
  EXPECT_EQ(dialog.initialDir, dir.Path());
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].Text,
            "The selected file contains passwords in plain text.\r\n\r\nImport its entries into the current vault?");
  EXPECT_EQ(boxes[0].Caption, "KeePass Import");
  EXPECT_EQ(boxes[0].Flags & (MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING),
            static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING));
  EXPECT_EQ(boxes[1].Text,
            "4 KeePass entries were imported into the current vault.\r\n\r\n"
            "1 entries had no title. A title was generated automatically.\r\n\r\n"
            "1 completely empty entries were skipped.");
  EXPECT_EQ(boxes[1].Caption, "KeePass Import");
  EXPECT_EQ(boxes[1].Flags & MB_ICONWARNING, static_cast<UINT>(MB_ICONWARNING));

  const int icon12 = KeePassIconToIndex(12, main->ImageListIcons->Count());
  EXPECT_EQ(Dump(),
            "G Internet\nG Finance\nG Home\nG Home\\Network\n"
            "E5 [1] Internet <Old> <> <> <> <> <> <> 0\n"
            "E6 [1] Internet <Gmail> <alice@example.com> <s3cr\xE9t> <https://mail.google.com/> "
            "<Recovery phone ends in 42> <> <> 0\n"
            "E7 [1] Finance <Bank> <> <hunter2> <> <first\r\nsecond> <> <> 0\n"
            "E8 [" + std::to_string(icon12) + "] Home\\Network <Router> <admin> <pw> <http://192.168.1.1/> "
            "<Firmware 2.1> <> <> 0\n"
            "E9 [1] Home\\Network <www.example.com:8080> <> <x> <https://u@www.example.com:8080/p?q#f> <> <> <> 0\n");
  ExpectTreeMatchesVault();
  EXPECT_EQ(main->MemoData->SecretText(), BuildVaultText(main->Vault));
  EXPECT_TRUE(main->Modified);

  // The group of the last entry is open and selected, its entries listed
  // and the last one shown.
  TVaultGroup* network = main->Vault.Groups.Nodes()[3];
  TTreeNode* node = main->NodeOfGroup(network);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(main->TreeView1->Selected(), node);
  EXPECT_EQ(main->CurrentGroup, node);
  EXPECT_TRUE(main->NodeOfGroup(network->Parent())->Expanded());
  EXPECT_FALSE(main->SearchActive);
  EXPECT_EQ(main->QEdit1->Text(), "");
  ASSERT_EQ(main->ListView1->Count(), 2);
  ASSERT_NE(main->ListView1->Selected(), nullptr);
  EXPECT_EQ(main->ListView1->Selected()->Index(), 1);
  EXPECT_EQ(main->EditTitle->Text(), "www.example.com:8080");
  EXPECT_EQ(main->EditPassword->Text(), "x");
}

TEST_F(KeePassFixture, ImportRefusesAndReportsWithoutChangingTheVault) {
  struct Case {
    const char* name;
    std::function<void(KeePassFixture&)> setUp;
    const char* text;  // of the last box; "" for none
    const char* caption;
    UINT icon;
    bool dialogShown;
  };
  const std::string missing = dir.File("missing.txt");
  const Case cases[] = {
      {"read-only vault", [](KeePassFixture& f) { f.main->ReadOnly = true; },
       "This vault was opened read-only.\r\n\r\nUse Save As to create an editable copy.", "Read-only vault",
       MB_ICONINFORMATION, false},
      {"locked vault", [](KeePassFixture& f) { f.main->Locked = true; }, "Unlock the current vault before importing.",
       "KeePass Import", MB_ICONINFORMATION, false},
      {"no vault", [](KeePassFixture& f) { f.main->SessionKey.clear(); },
       "Please create or open a Vaultline vault first.", "KeePass Import", MB_ICONINFORMATION, false},
      {"dialog cancelled", [](KeePassFixture& f) { f.pick.clear(); }, "", "", 0, true},
      {"question answered No", [](KeePassFixture& f) { f.AnswerQuestion(IDNO); },
       "The selected file contains passwords in plain text.\r\n\r\nImport its entries into the current vault?",
       "KeePass Import", MB_ICONWARNING, true},
      {"file gone", [missing](KeePassFixture& f) { f.pick = missing; }, nullptr, "KeePass Import", MB_ICONERROR, true},
      {"no entries in the file",
       [](KeePassFixture& f) { WriteTestFile(f.pick, kBom + "Group: x\r\n[not a header]\r\nplain text\r\n"); },
       "No KeePass text entries were found in the selected file.", "KeePass Import", MB_ICONERROR, true},
      {"only empty entries", [](KeePassFixture& f) { WriteTestFile(f.pick, "[]\r\nGroup: g\r\nNotes: \r\n"); },
       "No KeePass text entries were found in the selected file.", "KeePass Import", MB_ICONERROR, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    main->FreeAllEntries();
    main->Vault.Clear();
    main->ReadOnly = false;
    main->Locked = false;
    main->SessionKey = "session key";
    main->Modified = false;
    TVaultGroup* g = main->Vault.Groups.Add(nullptr, "Mail", 2);
    AddEntry(g, 1, "Kept");
    main->FillGroupTree();
    const std::string before = Dump();
    boxes.clear();
    dialog = TDialogSeen();
    pick = dir.File("export.txt");
    WriteTestFile(pick, kExport);
    AnswerQuestion(IDYES);
    c.setUp(*this);

    Command(main->Import1);

    EXPECT_EQ(dialog.shown, c.dialogShown);
    EXPECT_EQ(Dump(), before);
    EXPECT_FALSE(main->Modified);
    if (c.text && !*c.text) {
      EXPECT_TRUE(boxes.empty());
      continue;
    }
    ASSERT_FALSE(boxes.empty());
    if (c.text) {
      EXPECT_EQ(boxes.back().Text, c.text);
    } else {
      EXPECT_EQ(boxes.back().Text.rfind("The KeePass text file could not be read.\r\n\r\n", 0), 0u) << boxes.back().Text;
      EXPECT_GT(boxes.back().Text.size(), std::string("The KeePass text file could not be read.\r\n\r\n").size());
    }
    EXPECT_EQ(boxes.back().Caption, c.caption);
    EXPECT_EQ(boxes.back().Flags & (MB_ICONINFORMATION | MB_ICONWARNING | MB_ICONERROR), c.icon);
  }
}

TEST_F(KeePassFixture, ALockDuringTheImportsDialogOrQuestionImportsNothing) {
  for (const bool inDialog : {true, false}) {
    SCOPED_TRACE(inDialog ? "file dialog" : "question");
    main->Locked = false;
    main->Vault.Clear();
    TVaultGroup* g = main->Vault.Groups.Add(nullptr, "Mail", 2);
    AddEntry(g, 1, "Gmail");
    main->FillGroupTree();
    pick = dir.File("export.txt");
    WriteTestFile(pick, kExport);
    boxes.clear();
    duringDialog = inDialog ? std::function<void()>([this] { LockNow(); }) : nullptr;
    answer = [this, inDialog](const TMessageBoxCall&) {
      if (!inDialog) LockNow();
      return IDYES;
    };
    Command(main->Import1);
    EXPECT_TRUE(main->Vault.Entries.empty());
    EXPECT_TRUE(main->Vault.Groups.Empty());
    EXPECT_EQ(main->TreeView1->Count(), 0);
    // The question at most, no summary (an unlock may have its own boxes).
    EXPECT_EQ(OwnBoxes("KeePass Import").size(), inDialog ? 0u : 1u);
    duringDialog = nullptr;
  }
  main->Locked = false;
}

TEST_F(KeePassFixture, CharactersTheCodePageCannotHoldAreNamedInTheSummary) {
  // "Ω" (U+03A9) has no place in code page 1252; "é" has.
  WriteTestFile(dir.File("greek.txt"), kBom +
                                           "[\xCE\xA9mega]\r\nGroup: G\r\nUser Name: \r\nURL: \r\nPassword: p\r\n"
                                           "Notes: \r\n\r\n"
                                           "[Caf\xC3\xA9]\r\nGroup: G\r\nUser Name: \r\nURL: \r\nPassword: p\r\n"
                                           "Notes: \r\n\r\n");
  pick = dir.File("greek.txt");
  AnswerQuestion(IDYES);
  Command(main->Import1);
  ASSERT_EQ(main->Vault.Entries.size(), 2u);
  EXPECT_EQ(main->Vault.Entries[0]->title, "?mega");
  EXPECT_EQ(main->Vault.Entries[1]->title, "Caf\xE9");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].Text,
            "2 KeePass entries were imported into the current vault.\r\n\r\n"
            "1 entries contain characters that the code page of this system cannot hold; they were imported "
            "with \"?\" in their place:\r\n?mega");
  EXPECT_EQ(boxes[1].Flags & MB_ICONWARNING, static_cast<UINT>(MB_ICONWARNING));
}

// ---- Export ------------------------------------------------------------------------------

TEST_F(KeePassFixture, ExportWritesEveryEntryAsKeePassTextExactly) {
  TVaultGroup* home = main->Vault.Groups.Add(nullptr, "Home", 2);
  TVaultGroup* network = main->Vault.Groups.Add(home, "Network", 3);
  TVaultEntry* router = AddEntry(network, 2, "R\xE9uter");
  router->icon = 246;
  router->username = "admin";
  router->url = "http://192.168.1.1/";
  router->password = "pa\r\nss\nw";
  router->notes = "line one\r\n  line two";
  TVaultEntry* loose = AddEntry(nullptr, 1, "Loose");
  loose->icon = 7;
  loose->username = "u";
  loose->password = "p";
  main->FillGroupTree();
  main->ReadOnly = true;  // a read-only vault can be exported
  pick = dir.File("out.txt");
  // An earlier, longer file of that name is replaced as a whole.
  WriteTestFile(pick, std::string(4096, 'x'));
  AnswerQuestion(IDYES);

  Command(main->Export1);

  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].Text, "The export file will contain ALL passwords in plain text.\r\n\r\nContinue?");
  EXPECT_EQ(boxes[0].Caption, "KeePass Export");
  EXPECT_EQ(boxes[0].Flags & (MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING),
            static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING));
  EXPECT_TRUE(dialog.save);
  EXPECT_EQ(dialog.title, "Export KeePass Text File");
  EXPECT_EQ(dialog.filter, "KeePass Text Export (*.txt)|*.txt|All Files (*.*)|*.*");
  EXPECT_EQ(dialog.ext, "txt");
  EXPECT_TRUE(dialog.options & ofOverwritePrompt);
  EXPECT_EQ(dialog.fileName, dir.File("Vault.txt"));
  EXPECT_EQ(dialog.initialDir, dir.Path());
  EXPECT_EQ(ReadTestFile(pick), kBom +
                                    "[Loose]\r\n"
                                    "Group: Imported\r\n"
                                    "Group Tree: \r\n"
                                    "User Name: u\r\n"
                                    "URL: \r\n"
                                    "Password: p\r\n"
                                    "Notes: \r\n"
                                    "Icon: 0\r\n"
                                    "\r\n"
                                    "[R\xC3\xA9uter]\r\n"
                                    "Group: Network\r\n"
                                    "Group Tree: Home\r\n"
                                    "User Name: admin\r\n"
                                    "URL: http://192.168.1.1/\r\n"
                                    "Password: pa  ss w\r\n"
                                    "Notes: line one\r\n"
                                    "  line two\r\n"
                                    "Icon: 12\r\n");
  EXPECT_FALSE(PathExists(pick + ".tmp"));
  EXPECT_EQ(boxes[1].Text,
            "The KeePass text export was created successfully.\r\n\r\n"
            "Delete or securely store the plain-text file after use.");
  EXPECT_EQ(boxes[1].Flags & MB_ICONWARNING, static_cast<UINT>(MB_ICONWARNING));
  EXPECT_FALSE(main->Modified);

  // A vault that has no file yet proposes a name of its own.
  main->VaultPath.clear();
  boxes.clear();
  Command(main->Export1);
  EXPECT_EQ(dialog.fileName, "Vaultline-KeePass-Export.txt");
}

TEST_F(KeePassFixture, ExportWritesNothingWhenRefusedCancelledLockedOrFailing) {
  struct Case {
    const char* name;
    std::function<void(KeePassFixture&)> setUp;
    const char* text;  // of the last box; "" for none
    UINT icon;
    bool dialogShown;
  };
  const Case cases[] = {
      {"locked vault", [](KeePassFixture& f) { f.main->Locked = true; }, "Unlock the current vault before exporting.",
       MB_ICONINFORMATION, false},
      {"no entries", [](KeePassFixture& f) { f.main->FreeAllEntries(); }, "The current vault contains no entries.",
       MB_ICONINFORMATION, false},
      {"question answered No", [](KeePassFixture& f) { f.AnswerQuestion(IDNO); },
       "The export file will contain ALL passwords in plain text.\r\n\r\nContinue?", MB_ICONWARNING, false},
      {"locked during the question",
       [](KeePassFixture& f) {
         f.answer = [&f](const TMessageBoxCall&) {
           f.LockNow();
           return IDYES;
         };
       },
       "The export file will contain ALL passwords in plain text.\r\n\r\nContinue?", MB_ICONWARNING, false},
      {"dialog cancelled", [](KeePassFixture& f) { f.pick.clear(); },
       "The export file will contain ALL passwords in plain text.\r\n\r\nContinue?", MB_ICONWARNING, true},
      {"locked during the file dialog", [](KeePassFixture& f) { f.duringDialog = [&f] { f.LockNow(); }; },
       "The export file will contain ALL passwords in plain text.\r\n\r\nContinue?", MB_ICONWARNING, true},
      {"folder missing", [](KeePassFixture& f) { f.pick = f.dir.File("gone\\out.txt"); },
       "The KeePass text file could not be written.\r\n\r\nThe file could not be written.", MB_ICONERROR, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    main->Locked = false;
    main->FreeAllEntries();
    main->Vault.Clear();
    TVaultGroup* g = main->Vault.Groups.Add(nullptr, "Mail", 2);
    AddEntry(g, 1, "Gmail")->password = "secret";
    main->FillGroupTree();
    boxes.clear();
    dialog = TDialogSeen();
    duringDialog = nullptr;
    pick = dir.File("out.txt");
    AnswerQuestion(IDYES);
    c.setUp(*this);

    Command(main->Export1);

    EXPECT_EQ(dialog.shown, c.dialogShown);
    EXPECT_FALSE(PathExists(dir.File("out.txt")));
    EXPECT_FALSE(PathExists(dir.File("out.txt.tmp")));
    const std::vector<TMessageBoxCall> own = OwnBoxes("KeePass Export");
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own.back().Text, c.text);
    EXPECT_EQ(own.back().Flags & (MB_ICONINFORMATION | MB_ICONWARNING | MB_ICONERROR), c.icon);
  }
  main->Locked = false;
  duringDialog = nullptr;
}

TEST_F(KeePassFixture, AnExportThatCannotTakeItsTargetsPlaceLeavesNoTemporaryFile) {
  TVaultGroup* g = main->Vault.Groups.Add(nullptr, "Mail", 2);
  AddEntry(g, 1, "Gmail");
  main->FillGroupTree();
  // A folder where the file should go: the replacing move cannot take its
  // place, and the partly written temporary file goes.
  pick = dir.File("taken.txt");
  ASSERT_TRUE(CreateDirectoryA(pick.c_str(), nullptr));
  WriteTestFile(pick + "\\inside.txt", "kept");
  AnswerQuestion(IDYES);
  Command(main->Export1);
  EXPECT_EQ(ReadTestFile(pick + "\\inside.txt"), "kept");
  EXPECT_FALSE(PathExists(pick + ".tmp"));
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().Flags & MB_ICONERROR, static_cast<UINT>(MB_ICONERROR));
}

// ---- Both ways ---------------------------------------------------------------------------

TEST_F(KeePassFixture, ExportThenImportIntoAnEmptyVaultGivesTheSameVault) {
  TGroupTree& t = main->Vault.Groups;
  TVaultGroup* home = t.Add(nullptr, "Home", 0);
  TVaultGroup* net = t.Add(home, "Network", 0);
  TVaultGroup* work = t.Add(nullptr, "Work", 0);
  TVaultGroup* mail = t.Add(work, "Mail", 0);
  const struct {
    TVaultGroup* group;
    const char* title;
    int icon;
    const char* notes;
  } rows[] = {
      {net, "Router", 246, "Firmware 2.1\r\n[not a header]\r\n\r\n  indented"},
      {home, "Printer", 1, ""},
      {mail, "Gmail \xE9t\xE9", 302, "one line"},
      {net, "NAS", 235, "if (a) {\\r\\n  b();\\r\\n}"},
  };
  int id = 1;
  for (const auto& r : rows) {
    TVaultEntry* e = AddEntry(r.group, id, r.title);
    e->icon = r.icon;
    e->username = std::string("user") + std::to_string(id);
    e->password = std::string("pw:") + std::to_string(id) + " x";
    e->url = "https://example.com/" + std::to_string(id);
    e->notes = r.notes;
    ++id;
  }
  main->FillGroupTree();
  pick = dir.File("both.txt");
  AnswerQuestion(IDYES);
  Command(main->Export1);
  ASSERT_TRUE(PathExists(pick));
  // Icons come back as far as the icon list holds them.
  for (auto& e : main->Vault.Entries) e->icon = KeePassIconToIndex(IndexToKeePassIcon(e->icon), main->ImageListIcons->Count());
  const std::string before = Dump();

  // A new, empty vault.
  main->FreeAllEntries();
  main->Vault.Clear();
  main->FillGroupTree();
  main->Modified = false;
  Command(main->Import1);
  EXPECT_EQ(Dump(), before);
  ExpectTreeMatchesVault();
  EXPECT_TRUE(main->Modified);
}

}  // namespace
