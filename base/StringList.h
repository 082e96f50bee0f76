// TStringList: an ordered list of 8-bit text lines.
#pragma once

#include <string>
#include <vector>

#include "base/Component.h"

class TStringList : public TObject {
 public:
  TStringList() = default;
  ~TStringList() override = default;

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Strings(int index) const;
  void SetStrings(int index, const std::string& s);
  const std::string& operator[](int index) const { return Strings(index); }

  int Add(const std::string& s);
  void Insert(int index, const std::string& s);
  void Delete(int index);
  void Clear() { items_.clear(); }
  int IndexOf(const std::string& s) const;  // exact match, -1 when absent

  // Lines joined with CR LF, each followed by it. SetText splits at CR LF,
  // LF or a lone CR; a final line break does not add an empty line.
  std::string Text() const;
  void SetText(const std::string& text);

  // "Name=Value" access.
  std::string Names(int index) const;
  std::string ValueFromIndex(int index) const;
  int IndexOfName(const std::string& name) const;  // ASCII case-insensitive
  std::string Values(const std::string& name) const;

  // Files read and written as they are, through TFileStream.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  std::vector<std::string>& Items() { return items_; }
  const std::vector<std::string>& Items() const { return items_; }

 private:
  std::vector<std::string> items_;
};
