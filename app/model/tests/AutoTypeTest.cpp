// Auto-type plans: tokens, WAIT, validation before anything is typed, what
// a target window receives for each preset, and the AWAIT suspension with
// an injected tick count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/model/AutoType.h"

namespace {

// A US keyboard layout as VkKeyScanA answers for it.
std::int16_t UsScan(char c) {
  static const std::map<char, int> kShifted = {{'!', '1'}, {'@', '2'}, {'#', '3'}, {'$', '4'}, {'_', 0xBD}};
  static const std::map<char, int> kPlain = {{' ', 0x20}, {'\t', 0x09}, {'\r', 0x0D}, {'-', 0xBD}, {'.', 0xBE}};
  if (c >= 'a' && c <= 'z') return static_cast<std::int16_t>(c - 32);
  if (c >= 'A' && c <= 'Z') return static_cast<std::int16_t>(0x100 | c);
  if (c >= '0' && c <= '9') return c;
  if (auto it = kShifted.find(c); it != kShifted.end()) return static_cast<std::int16_t>(0x100 | it->second);
  if (auto it = kPlain.find(c); it != kPlain.end()) return static_cast<std::int16_t>(it->second);
  return -1;
}

// What a target window receives from a plan on that layout: characters as
// typed, Tab as "\t", Enter as "\n", other keys as "<vk>" with their held
// modifiers; URLs as "<open url>". Sleeps advance the clock.
struct TTarget {
  std::string Received;
  std::int64_t SleptMs = 0;
  int AwaitIndex = -1;
  std::vector<int> Held;

  void Run(const TAutomatePlan& plan) {
    for (const TAutoTypeAction& a : plan.Actions) {
      switch (a.Kind) {
        case TAutoTypeAction::KeyDown: Down(a.Value); break;
        case TAutoTypeAction::KeyUp: std::erase(Held, a.Value); break;
        case TAutoTypeAction::Sleep: SleptMs += a.Value; break;
        case TAutoTypeAction::OpenUrl: Received += "<open " + plan.Url + ">"; break;
        case TAutoTypeAction::Await: AwaitIndex = a.Value; break;
      }
    }
    EXPECT_TRUE(Held.empty()) << "a key is left down";
  }

  bool IsHeld(int vk) const { return std::find(Held.begin(), Held.end(), vk) != Held.end(); }

  void Down(int vk) {
    if (vk == 16 || vk == 17 || vk == 18) {
      Held.push_back(vk);
      return;
    }
    const bool shift = IsHeld(16), ctrl = IsHeld(17), alt = IsHeld(18);
    if (!ctrl && !alt) {
      for (int c = 1; c < 128; ++c) {
        const std::int16_t s = UsScan(static_cast<char>(c));
        if (s != -1 && (s & 0xFF) == vk && ((s >> 8) & 1) == (shift ? 1 : 0)) {
          Received += static_cast<char>(c == '\r' ? '\n' : c);
          return;
        }
      }
    }
    Received += "<";
    if (ctrl) Received += "C-";
    if (alt) Received += "A-";
    if (shift) Received += "S-";
    Received += std::to_string(vk) + ">";
  }
};

TVaultEntry Entry(int id, const std::string& automate, const std::string& user = "alice",
                  const std::string& password = "P4ss_W0rd!") {
  TVaultEntry e;
  e.id = id;
  e.automate = automate;
  e.username = user;
  e.password = password;
  e.url = " https://example.com/login ";
  return e;
}

std::string Typed(const TVaultEntry& e, TAutomateAwait& await, std::uint32_t now = 1000) {
  TAutomatePlan plan = PlanAutomate(&e, await, now, UsScan);
  TTarget t;
  t.Run(plan);
  return t.Received;
}

}  // namespace

TEST(SplitAutomate, SeparatorsAndCase) {
  struct Case {
    std::string text;
    std::vector<std::string> tokens;
  } cases[] = {
      {"USERNAME TAB PASSWORD ENTER", {"USERNAME", "TAB", "PASSWORD", "ENTER"}},
      {"  username \t\t tab\r\n\r\npassword  ", {"username", "tab", "password"}},
      {"USERNAME\xA0PASSWORD", {"USERNAME", "PASSWORD"}},   // every byte from 0x80 separates
      {"USER\xE9NAME", {"USER", "NAME"}},
      {std::string("A\0B", 3), {"A", "B"}},
      {"WAIT 5", {"WAIT", "5"}},
      {"a\x7f" "b", {"a\x7f" "b"}},                            // 0x7F does not
      {"", {}},
      {" \t\r\n", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> tokens{"left over"};
    SplitAutomate(c.text, tokens);
    EXPECT_EQ(tokens, c.tokens) << c.text;
  }
}

TEST(ParseWaitToken, DigitsAfterWait) {
  struct Case {
    const char* token;
    bool valid;
    int ms;
  } cases[] = {
      {"WAIT0", true, 0},          {"WAIT1500", true, 1500},    {"wait1500", true, 1500},
      {"Wait007", true, 7},        {"WAIT2147483647", true, 2147483647},
      {"WAIT", false, 0},          {"WAITx", false, 0},         {"WAIT-5", false, 0},
      {"WAIT5x", false, 0},        {"WAIT2147483648", false, 0}, {"WAIT4294967296", false, 0},
      {"AWAIT5", false, 0},
  };
  for (const Case& c : cases) {
    int ms = -1;
    EXPECT_EQ(ParseWaitToken(c.token, ms), c.valid) << c.token;
    if (c.valid) {
      EXPECT_EQ(ms, c.ms) << c.token;
    }
  }
}

TEST(PlanAutomate, ThePresetsTypeTheEntrysFields) {
  struct Case {
    const char* sequence;
    const char* received;
    std::int64_t minSleep;
  } cases[] = {
      {kAutomatePresets[0], "alice", 0},
      {kAutomatePresets[1], "alice\nP4ss_W0rd!\n", 0},
      {kAutomatePresets[2], "alice\tP4ss_W0rd!\n", 0},
      {kAutomatePresets[3], "<open https://example.com/login>aliceP4ss_W0rd!\n", 2000},
      {"", "alice\tP4ss_W0rd!\n", 0},  // the default sequence
      {"username space password esc shift+tab alt+tab ctrl+a ctrl+c ctrl+v url",
       "alice P4ss_W0rd!<27><S-9><A-9><C-65><C-67><C-86><open https://example.com/login>", 300},
  };
  for (const Case& c : cases) {
    TAutomateAwait await;
    const TVaultEntry e = Entry(3, c.sequence);
    TAutomatePlan plan = PlanAutomate(&e, await, 1000, UsScan);
    TTarget t;
    t.Run(plan);
    EXPECT_EQ(t.Received, c.received) << c.sequence;
    EXPECT_GE(t.SleptMs, c.minSleep) << c.sequence;
    EXPECT_EQ(plan.Message, "") << c.sequence;
    EXPECT_EQ(await.EntryId, -1) << c.sequence;
  }
}

TEST(PlanAutomate, KeystrokesOfOneCharacterAndOneCommand) {
  // Per character: modifiers down Ctrl, Alt, Shift; the key held 10 ms;
  // modifiers up in reverse; 5 ms. Per command: 20 ms after it.
  auto scan = [](char c) -> std::int16_t { return c == 'x' ? 0x0758 : -1; };  // Ctrl+Alt+Shift+X (AltGr + Shift)
  TVaultEntry e = Entry(1, "USERNAME ENTER", "x");
  TAutomateAwait await;
  TAutomatePlan plan = PlanAutomate(&e, await, 0, scan);
  std::string got;
  for (const TAutoTypeAction& a : plan.Actions)
    got += (a.Kind == TAutoTypeAction::KeyDown ? "v" : a.Kind == TAutoTypeAction::KeyUp ? "^" : "w") +
           std::to_string(a.Value) + " ";
  EXPECT_EQ(got, "v17 v18 v16 v88 w10 ^88 ^16 ^18 ^17 w5 w20 v13 w10 ^13 w20 ");
}

TEST(PlanAutomate, NothingIsTypedWhenTheSequenceIsRefused) {
  struct Case {
    const char* sequence;
    const char* user;
    const char* password;
    const char* message;
  } cases[] = {
      {"USERNAME TAB Pasword ENTER", "alice", "pw", "Unknown automate command:\r\n\r\nPasword"},
      {"USERNAME WAIT", "alice", "pw", "Unknown automate command:\r\n\r\nWAIT"},
      {"USERNAME WAITx", "alice", "pw", "Unknown automate command:\r\n\r\nWAITx"},
      {"USERNAME WAIT 5", "alice", "pw", "Unknown automate command:\r\n\r\nWAIT"},
      {"USERNAME TAB PASSWORD", "alice", "p\xE4ss",
       "Password contains a character that cannot be typed with the current keyboard layout."},
      {"PASSWORD USERNAME", "\xE9ric", "pw",
       "Username contains a character that cannot be typed with the current keyboard layout."},
  };
  for (const Case& c : cases) {
    TAutomateAwait await{7, 2, 900};
    const TVaultEntry e = Entry(7, c.sequence, c.user, c.password);
    TAutomatePlan plan = PlanAutomate(&e, await, 1000, UsScan, true);
    EXPECT_TRUE(plan.Actions.empty()) << c.sequence;  // not even the Alt+Tab
    EXPECT_EQ(plan.Message, c.message) << c.sequence;
    EXPECT_TRUE(plan.ErrorIcon) << c.sequence;
    EXPECT_EQ(await.EntryId, -1) << c.sequence;
  }
  // An untypeable password does not matter when the sequence never types it.
  TAutomateAwait await;
  EXPECT_EQ(Typed(Entry(1, "USERNAME", "bob", "\xFC"), await), "bob");
}

TEST(PlanAutomate, OpenUrlWithoutUrlStopsAfterWhatWasTyped) {
  TVaultEntry e = Entry(4, "USERNAME OPENURL PASSWORD");
  e.url = "   ";
  TAutomateAwait await{4, 0, 990};
  TAutomatePlan plan = PlanAutomate(&e, await, 1000, UsScan);
  TTarget t;
  t.Run(plan);
  EXPECT_EQ(t.Received, "alice");
  EXPECT_EQ(plan.Message, "This entry does not contain a URL.");
  EXPECT_FALSE(plan.ErrorIcon);
  EXPECT_EQ(await.EntryId, -1);
}

TEST(PlanAutomate, AwaitResumesWithinSixtySeconds) {
  const TVaultEntry mail = Entry(5, "USERNAME AWAIT PASSWORD ENTER");
  const TVaultEntry bank = Entry(6, "USERNAME AWAIT PASSWORD ENTER", "bob");
  struct Case {
    const char* name;
    const TVaultEntry* second;
    std::uint32_t suspendedAt, secondRunAt;
    const char* received;
  } cases[] = {
      {"same entry within 60 s", &mail, 1000, 61000, "P4ss_W0rd!\n"},
      {"60,001 ms later", &mail, 1000, 61001, "alice"},
      {"another entry", &bank, 1000, 2000, "bob"},
      {"tick count wrapped", &mail, 0xFFFFFF00u, 0x100u, "P4ss_W0rd!\n"},
  };
  for (const Case& c : cases) {
    TAutomateAwait await;
    TAutomatePlan first = PlanAutomate(&mail, await, c.suspendedAt - 5, UsScan);
    TTarget t1;
    t1.Run(first);
    EXPECT_EQ(t1.Received, "alice") << c.name;
    ASSERT_EQ(t1.AwaitIndex, 2) << c.name;
    ASSERT_EQ(first.Actions.back().Kind, TAutoTypeAction::Await) << c.name;
    // The typist suspends when it reaches the Await action.
    SuspendAutomate(await, mail.id, first.Actions.back(), c.suspendedAt);
    EXPECT_EQ(Typed(*c.second, await, c.secondRunAt), c.received) << c.name;
  }
}

TEST(PlanTypeCredentials, StartsOverAndSwitchesWindowsFirst) {
  const TVaultEntry e = Entry(5, "USERNAME AWAIT PASSWORD");
  TAutomateAwait await{5, 2, 1000};  // suspended a moment ago
  TAutomatePlan plan = PlanTypeCredentials(&e, true, await, 1500, UsScan);
  TTarget t;
  t.Run(plan);
  EXPECT_EQ(t.Received, "<A-9>alice");
  ASSERT_GE(plan.Actions.size(), 6u);
  EXPECT_EQ(plan.Actions[5].Kind, TAutoTypeAction::Sleep);  // 300 ms for the window to come forward
  EXPECT_EQ(plan.Actions[5].Value, 300);

  TAutomateAwait none;
  TAutomatePlan refused = PlanTypeCredentials(&e, false, none, 0, UsScan);
  EXPECT_TRUE(refused.Actions.empty());
  EXPECT_EQ(refused.Message, "Please open a password entry first.");
  EXPECT_EQ(PlanTypeCredentials(nullptr, true, none, 0, UsScan).Message, "Please open a password entry first.");
}

TEST(PlanAutomate, WaitPausesForItsTime) {
  TAutomateAwait await;
  const TVaultEntry e = Entry(1, "WAIT1500 WAIT0");
  TAutomatePlan plan = PlanAutomate(&e, await, 0, UsScan);
  TTarget t;
  t.Run(plan);
  EXPECT_EQ(t.SleptMs, 1500 + 20 + 0 + 20);
  EXPECT_EQ(t.Received, "");
}
