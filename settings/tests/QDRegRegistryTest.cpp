// The registry store, run under Wine in a prefix of its own. Every test
// works below a company key with a unique name and removes it afterwards.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "settings/QDReg.h"
#include "settings/tests/RegTestUtil.h"

namespace {

using Entry = std::tuple<std::string, std::string, std::string>;  // key, folder, value

class QDRegRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    company = "VlSettingsTestCo_" + regtest::UniqueSuffix();
    companyKey = "Software\\" + company;
    programKey = companyKey + "\\Vaultline";
    reg.SetFirmenname(company);
    reg.SetProgrammname("Vaultline");
  }
  void TearDown() override { regtest::DeleteTree(HKEY_CURRENT_USER, companyKey); }

  void Name(TQDReg& r) const {
    r.SetFirmenname(company);
    r.SetProgrammname("Vaultline");
  }
  bool Has(const TQDReg& r, const Entry& e) const {
    int i = r.GetIndex(std::get<0>(e), std::get<1>(e));
    return i >= 0 && r.Values()[i] == std::get<2>(e);
  }

  std::string company, companyKey, programKey;
  TQDReg reg;
};

TEST_F(QDRegRegistry, SaveAndLoadKeepEveryFolder) {
  const std::vector<Entry> entries = {
      {"a", "", "1"},        {"b", "", "  spaced  "}, {"k", "F", "v"},
      {"empty", "F", ""},    {"k", "G", "w"},         {"Key", "Mixed Case", "x=y"},
  };
  for (const Entry& e : entries) reg.PushString(std::get<0>(e), std::get<2>(e), std::get<1>(e));
  ASSERT_TRUE(reg.SaveToRegistry());

  std::string text;
  ASSERT_TRUE(regtest::ReadText(HKEY_CURRENT_USER, programKey, "a", text));
  EXPECT_EQ(text, "1");
  ASSERT_TRUE(regtest::ReadText(HKEY_CURRENT_USER, programKey + "\\F", "k", text));
  EXPECT_EQ(text, "v");
  EXPECT_FALSE(regtest::ReadText(HKEY_CURRENT_USER, programKey, "k", text));

  TQDReg back;
  Name(back);
  back.PushString("stale", "1");
  ASSERT_TRUE(back.LoadFromRegistry());
  EXPECT_EQ(back.Count(), static_cast<int>(entries.size()));
  for (const Entry& e : entries) EXPECT_TRUE(Has(back, e)) << std::get<0>(e) << " in " << std::get<1>(e);
}

TEST_F(QDRegRegistry, WithoutACompanyTheProgramKeySitsUnderSoftware) {
  TQDReg r;
  r.SetProgrammname(company);  // unique, and removed by TearDown
  r.PushString("a", "1");
  ASSERT_TRUE(r.SaveToRegistry());
  std::string text;
  EXPECT_TRUE(regtest::ReadText(HKEY_CURRENT_USER, companyKey, "a", text));
}

TEST_F(QDRegRegistry, LoadSkipsDeeperKeysAndValuesThatAreNotText) {
  regtest::WriteText(HKEY_CURRENT_USER, programKey, "top", "1");
  regtest::WriteDword(HKEY_CURRENT_USER, programKey, "number", 7);
  regtest::WriteText(HKEY_CURRENT_USER, programKey + "\\F", "k", "v");
  regtest::WriteText(HKEY_CURRENT_USER, programKey + "\\F\\Deep", "d", "2");
  ASSERT_TRUE(reg.LoadFromRegistry());
  EXPECT_EQ(reg.Count(), 2);
  EXPECT_EQ(reg.PopString("top"), "1");
  EXPECT_EQ(reg.PopString("k", "", "F"), "v");
  EXPECT_FALSE(reg.Exist("number"));
}

TEST_F(QDRegRegistry, SaveKeepsValuesTheStoreDoesNotHold) {
  regtest::WriteText(HKEY_CURRENT_USER, programKey, "other", "kept");
  reg.PushString("a", "1");
  ASSERT_TRUE(reg.SaveToRegistry());
  std::string text;
  ASSERT_TRUE(regtest::ReadText(HKEY_CURRENT_USER, programKey, "other", text));
  EXPECT_EQ(text, "kept");
}

TEST_F(QDRegRegistry, LoadClearsAppendMergesAndAMissingKeyFails) {
  regtest::WriteText(HKEY_CURRENT_USER, programKey, "a", "reg");
  reg.PushString("a", "mem");
  reg.PushString("b", "mem");
  ASSERT_TRUE(reg.AppendFromRegistry());
  EXPECT_EQ(reg.Count(), 2);
  EXPECT_EQ(reg.GetIndex("a"), 1);  // rewritten, so moved last
  EXPECT_EQ(reg.PopString("a"), "reg");
  ASSERT_TRUE(reg.LoadFromRegistry());
  EXPECT_EQ(reg.Count(), 1);

  regtest::DeleteTree(HKEY_CURRENT_USER, companyKey);
  EXPECT_FALSE(reg.AppendFromRegistry());
  EXPECT_EQ(reg.Count(), 1);
  EXPECT_FALSE(reg.RawLoadFolderFormRegistry("F"));
  EXPECT_FALSE(reg.LoadFromRegistry());
  EXPECT_EQ(reg.Count(), 0);
}

TEST_F(QDRegRegistry, ClearRemovesTheProgramKeyOrOneFolder) {
  reg.PushString("a", "1");
  reg.PushString("k", "v", "F");
  reg.PushString("k", "w", "G");
  ASSERT_TRUE(reg.SaveToRegistry());
  EXPECT_TRUE(reg.RawClearRegistry("F"));
  EXPECT_FALSE(regtest::KeyExists(HKEY_CURRENT_USER, programKey + "\\F"));
  EXPECT_TRUE(regtest::KeyExists(HKEY_CURRENT_USER, programKey + "\\G"));
  EXPECT_FALSE(reg.RawClearRegistry("F"));
  EXPECT_TRUE(reg.ClearRegistry());
  EXPECT_FALSE(regtest::KeyExists(HKEY_CURRENT_USER, programKey));
  EXPECT_TRUE(regtest::KeyExists(HKEY_CURRENT_USER, companyKey));  // only the program's key goes
  EXPECT_FALSE(reg.ClearRegistry());
}

TEST_F(QDRegRegistry, SingleValues) {
  EXPECT_TRUE(reg.RawSaveRegistryValue("k", "v", "F"));
  std::string text;
  ASSERT_TRUE(regtest::ReadText(HKEY_CURRENT_USER, programKey + "\\F", "k", text));
  EXPECT_EQ(text, "v");
  // A folder path with an empty part is refused.
  EXPECT_FALSE(reg.RawSaveRegistryValue("k", "v", "F\\"));
  EXPECT_FALSE(reg.RawSaveRegistryValue("k", "v", "\\F"));
  EXPECT_FALSE(reg.RawClearRegistry("\\"));
  EXPECT_TRUE(regtest::KeyExists(HKEY_CURRENT_USER, programKey + "\\F"));
}

// With no program name the key would be HKEY_CURRENT_USER\Software itself
// (or a whole company key): every operation must refuse and touch nothing.
TEST_F(QDRegRegistry, AnEmptyProgramNameTouchesNothing) {
  regtest::WriteText(HKEY_CURRENT_USER, companyKey, "canary", "1");
  regtest::WriteText(HKEY_CURRENT_USER, companyKey + "\\Sub", "canary", "2");
  const auto software = regtest::Listing(HKEY_CURRENT_USER, "Software");
  const auto companyBefore = regtest::Listing(HKEY_CURRENT_USER, companyKey);
  ASSERT_FALSE(software.empty());

  struct Names { std::string firm, prog; };
  const Names cases[] = {{"", ""}, {company, ""}, {"", "\\"}, {company, "\\"}, {"\\", "Vaultline"},
                         {"", "Sub\\"}};
  for (const Names& n : cases) {
    SCOPED_TRACE("firm '" + n.firm + "' prog '" + n.prog + "'");
    TQDReg r;
    r.SetFirmenname(n.firm);
    r.SetProgrammname(n.prog);
    r.PushString("k", "v");
    r.PushString("k", "v", "Sub");
    EXPECT_FALSE(r.SaveToRegistry());
    EXPECT_FALSE(r.RawSaveAllToRegistry());
    EXPECT_FALSE(r.RawSaveRegistryValue("k", "v", ""));
    EXPECT_FALSE(r.RawSaveRegistryValue("k", "v", "Sub"));
    EXPECT_FALSE(r.LoadFromRegistry());
    EXPECT_FALSE(r.AppendFromRegistry());
    EXPECT_FALSE(r.RawLoadAllFoldersFromRegistry());
    EXPECT_FALSE(r.RawLoadFolderFormRegistry(""));
    EXPECT_FALSE(r.RawLoadFolderFormRegistry("Microsoft"));
    EXPECT_FALSE(r.RawLoadFolderFormRegistry(company));
    EXPECT_FALSE(r.RawClearRegistry(company));
    EXPECT_FALSE(r.RawClearRegistry("Sub"));
    EXPECT_FALSE(r.RawClearRegistry(""));
    EXPECT_FALSE(r.ClearRegistry());
    EXPECT_EQ(r.Count(), 2);  // the refused load did not clear the store
  }
  EXPECT_EQ(regtest::Listing(HKEY_CURRENT_USER, "Software"), software);
  EXPECT_EQ(regtest::Listing(HKEY_CURRENT_USER, companyKey), companyBefore);
  EXPECT_TRUE(regtest::KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft"));
  EXPECT_TRUE(regtest::KeyExists(HKEY_CURRENT_USER, "Software\\Wine"));
}

}  // namespace
