// The password dialog's mode table and OK checks, and the group-name check.
#include <gtest/gtest.h>

#include <string>

#include "app/model/DialogRules.h"

namespace {

TEST(PwdDialogLayout, TheFiveUses) {
  struct Case {
    const char* use;
    TPwdModes modes;
    const char* caption;
    const char* label;
    bool retype, generator, close, bevel;
  };
  TPwdModes none, change, verify, unlock, generate;
  change.ChangeMode = true;
  verify.VerifyMode = true;
  unlock.VerifyMode = unlock.AllowClose = true;
  generate.GenerateMode = true;
  const Case cases[] = {
      {"new vault", none, "Master Password", "Provide a password:", true, true, false, false},
      {"change", change, "Change Master Password", "Provide a password:", true, true, false, false},
      {"open", verify, "Master Password", "Password:", false, false, false, true},
      {"unlock", unlock, "Master Password", "Password:", false, false, true, true},
      {"generate", generate, "Generate Password", "Generated password:", false, true, false, false},
  };
  for (const Case& c : cases) {
    const TPwdLayout l = PwdDialogLayout(c.modes);
    EXPECT_EQ(l.Caption, c.caption) << c.use;
    EXPECT_EQ(l.Label1, c.label) << c.use;
    EXPECT_EQ(l.RetypeVisible, c.retype) << c.use;
    EXPECT_EQ(l.GeneratorVisible, c.generator) << c.use;
    EXPECT_EQ(l.CloseVisible, c.close) << c.use;
    EXPECT_EQ(l.BevelVisible, c.bevel) << c.use;
    EXPECT_EQ(l.ClientHeight, 226) << c.use;
  }
}

TEST(PwdDialogLayout, PositionsAndHeight) {
  TPwdModes m;
  TPwdLayout l = PwdDialogLayout(m);
  EXPECT_EQ(l.Label1Top, 30);
  EXPECT_EQ(l.EditPwdTop, 47);
  EXPECT_EQ(l.Image2Top, 40);
  EXPECT_EQ(l.Image2Left, 24);
  m.OptionsExpanded = true;
  EXPECT_EQ(PwdDialogLayout(m).ClientHeight, 280);
  m.VerifyMode = true;
  l = PwdDialogLayout(m);
  EXPECT_EQ(l.ClientHeight, 226);  // verify mode never expands
  EXPECT_EQ(l.Label1Top, 45);
  EXPECT_EQ(l.EditPwdTop, 67);
  EXPECT_EQ(l.Image2Top, 60);
  EXPECT_EQ(l.Image2Left, 44);
  // Generate wins over change for the caption; a generate run in verify
  // mode still offers the generator but no Close.
  TPwdModes g;
  g.GenerateMode = g.ChangeMode = g.VerifyMode = g.AllowClose = true;
  l = PwdDialogLayout(g);
  EXPECT_EQ(l.Caption, "Generate Password");
  EXPECT_TRUE(l.GeneratorVisible);
  EXPECT_FALSE(l.CloseVisible);
}

TEST(PwdOkRefusal, ChecksInOrder) {
  TPwdModes newVault, verify, generate;
  verify.VerifyMode = true;
  generate.GenerateMode = true;
  const struct {
    const char* pwd;
    const char* retype;
    TPwdModes modes;
    const char* quality;
    const char* refusal;  // nullptr: accepted
  } cases[] = {
      {"", "", newVault, "bad", PwdTexts::kEmpty},
      {"   ", "   ", newVault, "bad", PwdTexts::kEmpty},
      {" \t ", "", verify, "bad", PwdTexts::kEmpty},
      // The mismatch comes before the quality check.
      {"abc", "abd", newVault, "bad", PwdTexts::kMismatch},
      {"Ab1!Ab1!Ab1!", "Ab1!Ab1!Ab1", newVault, "good", PwdTexts::kMismatch},
      {"abc", "abc", newVault, "bad", PwdTexts::kTooBad},
      {"Ab1!Ab1!Ab1!", "Ab1!Ab1!Ab1!", newVault, "good", nullptr},
      // Blanks around a password are kept and compared exactly.
      {" Ab1!Ab1!Ab1! ", " Ab1!Ab1!Ab1! ", newVault, "good", nullptr},
      {" Ab1!Ab1!Ab1! ", "Ab1!Ab1!Ab1!", newVault, "good", PwdTexts::kMismatch},
      // Verify mode: no retype and no quality check; one character will do.
      {"x", "", verify, "bad", nullptr},
      // Generate mode: no retype, but the quality check.
      {"abc", "", generate, "bad", PwdTexts::kTooBad},
      {"Ab1!Ab1!Ab1!", "", generate, "medium", nullptr},
  };
  for (const auto& c : cases) {
    const char* got = PwdOkRefusal(c.pwd, c.retype, c.modes, c.quality);
    if (c.refusal)
      EXPECT_STREQ(got, c.refusal) << "[" << c.pwd << "]";
    else
      EXPECT_EQ(got, nullptr) << "[" << c.pwd << "]";
  }
}

TEST(CheckGroupName, Table) {
  const struct {
    const char* text;
    bool ok;
    const char* name;
    const char* caption;
  } cases[] = {
      {"Mail", true, "Mail", nullptr},
      {"  Work stuff  ", true, "Work stuff", nullptr},
      {"", false, "", GroupTexts::kRequiredCaption},
      {"   ", false, "", GroupTexts::kRequiredCaption},
      {"a:b", false, "", GroupTexts::kColonCaption},
      {" : ", false, "", GroupTexts::kColonCaption},
      {"[5]", true, "[5]", nullptr},  // the vault text keeps such names intact
  };
  for (const auto& c : cases) {
    const TGroupNameCheck r = CheckGroupName(c.text);
    EXPECT_EQ(r.Ok, c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(r.Name, c.name) << c.text;
    } else {
      EXPECT_STREQ(r.Caption, c.caption) << c.text;
      EXPECT_STREQ(r.Text, std::string(c.caption) == GroupTexts::kRequiredCaption ? GroupTexts::kRequiredText
                                                                                  : GroupTexts::kColonText);
    }
  }
}

TEST(ClampIconIndex, OutOfRangeBecomesZero) {
  EXPECT_EQ(ClampIconIndex(-1, 10), 0);
  EXPECT_EQ(ClampIconIndex(0, 10), 0);
  EXPECT_EQ(ClampIconIndex(9, 10), 9);
  EXPECT_EQ(ClampIconIndex(10, 10), 0);
  EXPECT_EQ(ClampIconIndex(3, 0), 0);
}

}  // namespace
