#include "app/model/AutoType.h"

#include <climits>

#include "base/SysUtils.h"
#include "base/Wipe.h"

namespace {

constexpr int kVkTab = 9, kVkEnter = 13, kVkShift = 16, kVkControl = 17, kVkMenu = 18, kVkEscape = 27,
              kVkSpace = 32;
constexpr int kKeyHoldMs = 10;       // between a key's down and up
constexpr int kCharGapMs = 5;        // after each typed character
constexpr int kCommandGapMs = 20;    // after each command
constexpr int kAltTabSettleMs = 300; // for the previous window to take the focus

void Add(std::vector<TAutoTypeAction>& a, TAutoTypeAction::TKind kind, int value) {
  a.push_back({kind, value});
}

void Tap(std::vector<TAutoTypeAction>& a, int vk) {
  Add(a, TAutoTypeAction::KeyDown, vk);
  Add(a, TAutoTypeAction::Sleep, kKeyHoldMs);
  Add(a, TAutoTypeAction::KeyUp, vk);
}

void TapWith(std::vector<TAutoTypeAction>& a, int modifier, int vk) {
  Add(a, TAutoTypeAction::KeyDown, modifier);
  Tap(a, vk);
  Add(a, TAutoTypeAction::KeyUp, modifier);
}

void AltTab(std::vector<TAutoTypeAction>& a) {
  TapWith(a, kVkMenu, kVkTab);
  Add(a, TAutoTypeAction::Sleep, kAltTabSettleMs);
}

// The key a fixed command taps with its modifier (0 for none), or false.
bool KeyCommand(const std::string& upper, int& modifier, int& vk) {
  struct TKeyCommand {
    const char* name;
    int modifier, vk;
  };
  static constexpr TKeyCommand kCommands[] = {
      {"ENTER", 0, kVkEnter},         {"TAB", 0, kVkTab},       {"SPACE", 0, kVkSpace},
      {"ESC", 0, kVkEscape},          {"SHIFT+TAB", kVkShift, kVkTab}, {"ALT+TAB", kVkMenu, kVkTab},
      {"CTRL+A", kVkControl, 'A'},    {"CTRL+C", kVkControl, 'C'}, {"CTRL+V", kVkControl, 'V'},
  };
  for (const TKeyCommand& c : kCommands) {
    if (upper == c.name) {
      modifier = c.modifier;
      vk = c.vk;
      return true;
    }
  }
  return false;
}

}  // namespace

TAutomatePlan::~TAutomatePlan() {
  for (TAutoTypeAction& a : Actions) {
    WipeBytes(&a.Kind, sizeof a.Kind);
    WipeBytes(&a.Value, sizeof a.Value);
  }
  WipeString(Url);
}

void SplitAutomate(const std::string& text, std::vector<std::string>& tokens) {
  tokens.clear();
  auto separates = [](char c) { return static_cast<signed char>(c) <= 32; };
  // Counted first, so that a long sequence is not copied as its list grows.
  std::size_t count = 0;
  for (std::size_t k = 0; k < text.size(); ++k)
    if (!separates(text[k]) && (k == 0 || separates(text[k - 1]))) ++count;
  tokens.reserve(count);
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && separates(text[i])) ++i;
    std::size_t j = i;
    while (j < text.size() && !separates(text[j])) ++j;
    if (j > i) tokens.push_back(text.substr(i, j - i));
    i = j;
  }
}

bool ParseWaitToken(const std::string& token, int& ms) {
  const std::string t = UpperCase(token);
  if (t.size() <= 4 || t.compare(0, 4, "WAIT") != 0) return false;
  long long v = 0;
  for (std::size_t i = 4; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
    if (v > INT_MAX) return false;
  }
  ms = static_cast<int>(v);
  return true;
}

bool IsAutomateCommand(const std::string& token) {
  const std::string t = UpperCase(token);
  int modifier = 0, vk = 0, ms = 0;
  if (t == "USERNAME" || t == "PASSWORD" || t == "OPENURL" || t == "URL" || t == "AWAIT") return true;
  if (KeyCommand(t, modifier, vk)) return true;
  return ParseWaitToken(t, ms);
}

bool IsTypeable(const std::string& text, const TVkKeyScan& vkKeyScan) {
  for (char c : text)
    if (vkKeyScan(c) == -1) return false;
  return true;
}

bool PlanTypeText(const std::string& text, const TVkKeyScan& vkKeyScan, std::vector<TAutoTypeAction>& actions) {
  if (!IsTypeable(text, vkKeyScan)) return false;
  for (char c : text) {
    const auto scan = static_cast<std::uint16_t>(vkKeyScan(c));
    const int vk = scan & 0xFF;
    const int flags = (scan >> 8) & 0xFF;
    if (flags & 2) Add(actions, TAutoTypeAction::KeyDown, kVkControl);
    if (flags & 4) Add(actions, TAutoTypeAction::KeyDown, kVkMenu);
    if (flags & 1) Add(actions, TAutoTypeAction::KeyDown, kVkShift);
    Tap(actions, vk);
    if (flags & 1) Add(actions, TAutoTypeAction::KeyUp, kVkShift);
    if (flags & 4) Add(actions, TAutoTypeAction::KeyUp, kVkMenu);
    if (flags & 2) Add(actions, TAutoTypeAction::KeyUp, kVkControl);
    Add(actions, TAutoTypeAction::Sleep, kCharGapMs);
  }
  return true;
}

TAutomatePlan PlanAutomate(const TVaultEntry* entry, TAutomateAwait& await, std::uint32_t nowTick,
                           const TVkKeyScan& vkKeyScan, bool altTabFirst) {
  TAutomatePlan plan;
  if (!entry) return plan;
  std::string text = Trim(entry->automate);
  if (text.empty()) text = kDefaultAutomate;

  std::vector<std::string> tokens;
  SplitAutomate(text, tokens);

  // The whole sequence is checked before anything is planned.
  bool usesUser = false, usesPassword = false;
  for (const std::string& token : tokens) {
    if (!IsAutomateCommand(token)) {
      await.Reset();
      plan.Message = std::string(AutoTypeTexts::kUnknownCommand) + token;
      plan.ErrorIcon = true;
      return plan;
    }
    const std::string t = UpperCase(token);
    usesUser = usesUser || t == "USERNAME";
    usesPassword = usesPassword || t == "PASSWORD";
  }
  if (usesUser && !IsTypeable(entry->username, vkKeyScan)) {
    await.Reset();
    plan.Message = AutoTypeTexts::kUserNotTypeable;
    plan.ErrorIcon = true;
    return plan;
  }
  if (usesPassword && !IsTypeable(entry->password, vkKeyScan)) {
    await.Reset();
    plan.Message = AutoTypeTexts::kPasswordNotTypeable;
    plan.ErrorIcon = true;
    return plan;
  }

  std::size_t start = 0;
  if (entry->id == await.EntryId && static_cast<std::uint32_t>(nowTick - await.Tick) <= kAwaitTimeoutMs &&
      await.Index >= 0 && static_cast<std::size_t>(await.Index) <= tokens.size()) {
    start = static_cast<std::size_t>(await.Index);
  } else {
    await.Reset();
  }

  // Reserved once: a reallocation would leave a copy of the keystrokes
  // behind. A typed character takes at most ten actions, a command eight.
  std::size_t room = 8;
  for (std::size_t i = start; i < tokens.size(); ++i) {
    const std::string t = UpperCase(tokens[i]);
    room += 8 + (t == "USERNAME" ? 10 * entry->username.size() : 0) + (t == "PASSWORD" ? 10 * entry->password.size() : 0);
  }
  auto& a = plan.Actions;
  a.reserve(room);
  if (altTabFirst) AltTab(a);
  for (std::size_t i = start; i < tokens.size(); ++i) {
    const std::string t = UpperCase(tokens[i]);
    int modifier = 0, vk = 0, ms = 0;
    if (t == "USERNAME") {
      PlanTypeText(entry->username, vkKeyScan, a);
    } else if (t == "PASSWORD") {
      PlanTypeText(entry->password, vkKeyScan, a);
    } else if (t == "OPENURL" || t == "URL") {
      const std::string url = Trim(entry->url);
      if (url.empty()) {
        await.Reset();
        plan.Message = AutoTypeTexts::kNoUrl;
        return plan;
      }
      plan.Url = url;
      Add(a, TAutoTypeAction::OpenUrl, 0);
    } else if (t == "AWAIT") {
      Add(a, TAutoTypeAction::Await, static_cast<int>(i + 1));
      return plan;
    } else if (ParseWaitToken(t, ms)) {
      Add(a, TAutoTypeAction::Sleep, ms);
    } else if (KeyCommand(t, modifier, vk)) {
      if (modifier) TapWith(a, modifier, vk);
      else Tap(a, vk);
      if (t == "ALT+TAB") Add(a, TAutoTypeAction::Sleep, kAltTabSettleMs);
    }
    Add(a, TAutoTypeAction::Sleep, kCommandGapMs);
  }
  await.Reset();
  return plan;
}

TAutomatePlan PlanTypeCredentials(const TVaultEntry* currentEntry, bool entryOpen, TAutomateAwait& await,
                                  std::uint32_t nowTick, const TVkKeyScan& vkKeyScan) {
  if (!entryOpen || !currentEntry) {
    TAutomatePlan plan;
    plan.Message = AutoTypeTexts::kOpenEntryFirst;
    return plan;
  }
  await.Reset();
  return PlanAutomate(currentEntry, await, nowTick, vkKeyScan, true);
}
