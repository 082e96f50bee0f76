#include "base/StringList.h"

#include "base/Exceptions.h"
#include "base/Stream.h"
#include "base/SysUtils.h"

static void CheckIndex(int index, std::size_t count) {
  if (index < 0 || static_cast<std::size_t>(index) >= count)
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TStringList::Strings(int index) const {
  CheckIndex(index, items_.size());
  return items_[static_cast<std::size_t>(index)];
}

void TStringList::SetStrings(int index, const std::string& s) {
  CheckIndex(index, items_.size());
  items_[static_cast<std::size_t>(index)] = s;
}

int TStringList::Add(const std::string& s) {
  items_.push_back(s);
  return Count() - 1;
}

void TStringList::Insert(int index, const std::string& s) {
  if (index < 0 || static_cast<std::size_t>(index) > items_.size())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  items_.insert(items_.begin() + index, s);
}

void TStringList::Delete(int index) {
  CheckIndex(index, items_.size());
  items_.erase(items_.begin() + index);
}

int TStringList::IndexOf(const std::string& s) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i] == s) return static_cast<int>(i);
  return -1;
}

std::string TStringList::Text() const {
  std::size_t n = 0;
  for (auto& s : items_) n += s.size() + 2;
  std::string r;
  r.reserve(n);
  for (auto& s : items_) {
    r += s;
    r += "\r\n";
  }
  return r;
}

void TStringList::SetText(const std::string& text) {
  items_.clear();
  std::size_t i = 0, n = text.size();
  while (i < n) {
    std::size_t j = i;
    while (j < n && text[j] != '\r' && text[j] != '\n') ++j;
    items_.emplace_back(text, i, j - i);
    if (j < n && text[j] == '\r') {
      ++j;
      if (j < n && text[j] == '\n') ++j;
    } else if (j < n) {
      ++j;  // a lone LF
    }
    i = j;
  }
}

std::string TStringList::Names(int index) const {
  const std::string& s = Strings(index);
  std::size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStringList::ValueFromIndex(int index) const {
  const std::string& s = Strings(index);
  std::size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(p + 1);
}

int TStringList::IndexOfName(const std::string& name) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    std::size_t p = items_[i].find('=');
    if (p != std::string::npos && SameText(items_[i].substr(0, p), name)) return static_cast<int>(i);
  }
  return -1;
}

std::string TStringList::Values(const std::string& name) const {
  int i = IndexOfName(name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::LoadFromFile(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  std::string data(static_cast<std::size_t>(f.Size()), '\0');
  f.ReadBuffer(data.data(), static_cast<std::int64_t>(data.size()));
  SetText(data);
}

void TStringList::SaveToFile(const std::string& fileName) const {
  std::string data = Text();
  TFileStream f(fileName, fmCreate);
  f.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
}
