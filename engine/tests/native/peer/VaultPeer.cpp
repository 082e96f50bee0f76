// vault_peer: reads and writes vault files with the container peer and a
// vault-text reader and writer of its own, sharing no code with the program,
// so that what the program writes is checked by someone else's reading and
// what the program reads was written by someone else.
//
//   vault_peer write <master password> <iterations> <ciphers> <vault> <listing>
//     Writes a vault of more than 64 KiB (three groups, 150 entries with
//     notes and icons) encrypted with the cipher codes (comma-separated,
//     stage 1 first: 0 AES, 1 Blowfish, 2 ChaCha20, 3 Twofish) and fresh
//     salts and IVs, one keystream over the whole body, and the algorithm
//     trailer of a single cipher (none for AES); and the listing of its
//     groups and entries.
//   vault_peer check <master password> <iterations> <ciphers> <vault> <listing>
//     Decrypts the vault, checks its ciphers and trailer, reads its text and
//     compares the groups and entries with the listing. Exit code 0 when
//     everything matches, 1 otherwise (a missing file included).
//   vault_peer text <master password> <iterations> <vault>
//     Prints the decrypted vault text.
//
// A listing has one line per group ("group|" + the names from the top
// group down, joined by "/") in the text's order, then one line per entry
// ("entry|" id "|" group "|" title "|" username "|" password "|" url "|"
// automate "|" notes "|" icon) in id order; "\" , "|", CR and LF in a
// value are written as "\\", "\p", "\r" and "\n".
#include <openssl/rand.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/tests/native/peer/ContainerPeer.h"
#include "engine/tests/native/peer/VaultListing.h"

namespace {

using Peer::Bytes;

bool ReadAll(const std::string& path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

bool WriteAll(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(data.data(), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(f.flush());
}

std::vector<int> ParseCodes(const std::string& text) {
  std::vector<int> codes;
  std::stringstream in(text);
  for (std::string piece; std::getline(in, piece, ',');) codes.push_back(std::stoi(piece));
  if (codes.empty() || codes.size() > 3) throw std::runtime_error("one to three cipher codes expected");
  for (int c : codes)
    if (c < 0 || c > 3) throw std::runtime_error("cipher codes are 0 to 3");
  return codes;
}

// ---- The vault text, read and written as the format describes it ----

struct TGroup {
  std::string Name;
  int Level = 0;
  int Parent = -1;  // index of the parent group
  std::string Path;
};

struct TEntry {
  int Id = 0;
  int Group = -1;
  int Icon = 1;
  std::string Title, Username, Password, Url, Automate, Shortcut, Notes;
};

struct TVault {
  std::vector<TGroup> Groups;
  std::map<int, TEntry> Entries;
};

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string TrimLeft(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t");
  return b == std::string::npos ? "" : s.substr(b);
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "[id]" with blanks allowed around it and around the digits.
bool EntryHeader(const std::string& line, int& id) {
  const std::string t = Trim(line);
  if (t.size() <= 2 || t.front() != '[' || t.back() != ']') return false;
  const std::string digits = Trim(t.substr(1, t.size() - 2));
  if (!AllDigits(digits) || digits.size() > 10) return false;
  const long long v = std::stoll(digits);
  if (v > 2147483647LL) return false;
  id = static_cast<int>(v);
  return true;
}

bool KeyValue(const std::string& line, const char* key, std::string& value) {
  const std::size_t colon = line.find(':');
  if (colon == std::string::npos) return false;
  std::string k = Trim(line.substr(0, colon));
  std::string want = key;
  if (k.size() != want.size()) return false;
  for (std::size_t i = 0; i < k.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(k[i])) != want[i]) return false;
  value = TrimLeft(line.substr(colon + 1));
  return true;
}

// Lines end at CR LF, CR or LF.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(cur);
      cur.clear();
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      cur += text[i];
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

// An icon value: its number, or 1 when it is none.
int IconNumber(const std::string& value) {
  const std::string t = Trim(value);
  return AllDigits(t) && t.size() < 10 ? std::stoi(t) : 1;
}

TVault ParseText(const std::string& text) {
  TVault v;
  const std::vector<std::string> lines = Lines(text);
  std::vector<std::pair<std::string, int>> listed;  // (id text, group) in line order
  int lastAt[128];
  std::fill(std::begin(lastAt), std::end(lastAt), -1);
  int id = 0;
  for (const std::string& line : lines) {
    if (EntryHeader(line, id)) break;
    const std::string t = TrimLeft(line);
    if (t.empty() || t[0] != '-') continue;
    const std::size_t depth = t.find_first_not_of('-') == std::string::npos ? t.size() : t.find_first_not_of('-');
    std::string rest = Trim(t.substr(depth));
    if (!rest.empty() && rest[0] == '[' && rest.find(']') != std::string::npos) {
      const std::string n = Trim(rest.substr(1, rest.find(']') - 1));
      if (AllDigits(n)) rest = Trim(rest.substr(rest.find(']') + 1));
    }
    std::string name = rest, ids;
    if (rest.find(':') != std::string::npos) {
      name = Trim(rest.substr(0, rest.find(':')));
      ids = Trim(rest.substr(rest.find(':') + 1));
    }
    if (name.empty()) continue;
    int level = std::clamp(static_cast<int>(depth) - 1, 0, 127);
    if (level >= 1 && lastAt[level - 1] < 0) level = 0;
    TGroup g;
    g.Name = name;
    g.Level = level;
    g.Parent = level > 0 ? lastAt[level - 1] : -1;
    g.Path = g.Parent >= 0 ? v.Groups[static_cast<std::size_t>(g.Parent)].Path + "/" + name : name;
    v.Groups.push_back(g);
    lastAt[level] = static_cast<int>(v.Groups.size()) - 1;
    for (int l = level + 1; l < 128; ++l) lastAt[l] = -1;
    std::stringstream in(ids);
    for (std::string piece; std::getline(in, piece, ',');) {
      piece = Trim(piece);
      if (AllDigits(piece)) listed.emplace_back(piece, lastAt[level]);
    }
  }
  TEntry* e = nullptr;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (EntryHeader(line, id)) {
      e = &v.Entries[id];
      if (e->Id != id || e->Group < 0) {
        e->Id = id;
        for (const auto& [idText, group] : listed)
          if (idText == std::to_string(id)) {
            e->Group = group;
            break;
          }
      }
      continue;
    }
    if (!e) continue;
    std::string value;
    if (KeyValue(line, "hiddenotes", value)) continue;
    if (KeyValue(line, "icon", value)) e->Icon = IconNumber(value);
    else if (KeyValue(line, "title", value)) e->Title = value;
    else if (KeyValue(line, "username", value)) e->Username = value;
    else if (KeyValue(line, "password", value)) e->Password = value;
    else if (KeyValue(line, "url", value)) e->Url = value;
    else if (KeyValue(line, "automate", value)) e->Automate = value;
    else if (KeyValue(line, "shortcut", value)) e->Shortcut = value;
    else if (KeyValue(line, "notes", value)) {
      e->Notes = value;
      for (++i; i < lines.size() && Trim(lines[i]) != "."; ++i) e->Notes += (e->Notes.empty() ? "" : "\r\n") + lines[i];
    }
  }
  return v;
}

using VaultListing::Escape;

std::string Listing(const TVault& v) {
  std::string out;
  for (const TGroup& g : v.Groups) out += "group|" + Escape(g.Path) + "\n";
  for (const auto& [id, e] : v.Entries)
    out += "entry|" + std::to_string(id) + "|" +
           Escape(e.Group >= 0 ? v.Groups[static_cast<std::size_t>(e.Group)].Path : "") + "|" + Escape(e.Title) +
           "|" + Escape(e.Username) + "|" + Escape(e.Password) + "|" + Escape(e.Url) + "|" + Escape(e.Automate) + "|" +
           Escape(e.Notes) + "|" + std::to_string(e.Icon) + "\n";
  return out;
}

// The text of a vault of top-level groups: group lines, then the entry
// blocks in id order, as the program's writer lays them out.
std::string BuildText(const TVault& v) {
  std::string text;
  for (std::size_t g = 0; g < v.Groups.size(); ++g) {
    std::string ids;
    for (const auto& [id, e] : v.Entries)
      if (e.Group == static_cast<int>(g)) ids += (ids.empty() ? "" : ", ") + std::to_string(id);
    if (!text.empty()) text += "\r\n";
    text += std::string(static_cast<std::size_t>(v.Groups[g].Level) + 1, '-') + " " + v.Groups[g].Name;
    if (!ids.empty()) text += ": " + ids;
  }
  if (!v.Entries.empty()) text += "\r\n\r\n";
  bool first = true;
  for (const auto& [id, e] : v.Entries) {
    if (!first) text += "\r\n";
    first = false;
    text += "[" + std::to_string(id) + "]\r\n";
    if (e.Icon != 1) text += "icon: " + std::to_string(e.Icon) + "\r\n";
    text += "title: " + e.Title + "\r\nusername: " + e.Username +
            "\r\npassword: " + e.Password + "\r\nurl: " + e.Url + "\r\nautomate: " + e.Automate + "\r\n";
    text += e.Notes.empty() ? "notes:\r\n" : "notes: " + e.Notes + "\r\n";
    text += ".\r\n";
  }
  return text;
}

// Three groups, 150 entries; the notes make the text well over 64 KiB.
TVault SampleVault() {
  TVault v;
  for (const char* name : {"Peer Mail", "Peer Bank", "Peer Travel"}) {
    TGroup g;
    g.Name = g.Path = name;
    v.Groups.push_back(g);
  }
  for (int id = 1; id <= 150; ++id) {
    TEntry e;
    e.Id = id;
    e.Group = (id - 1) % 3;
    char title[32];
    std::snprintf(title, sizeof title, "Peer entry %03d", id);
    e.Title = title;
    e.Username = "user" + std::to_string(id) + "@peer.example";
    e.Password = "pw-" + std::to_string(id * 7919) + "-Qz!";
    e.Url = "https://peer" + std::to_string(id) + ".example/login";
    e.Icon = id % 9;  // 1, the default, is written as no icon line
    for (int line = 0; line < 8; ++line)
      e.Notes += (line ? "\r\n" : "") + std::string("notes line ") + std::to_string(line) + " of entry " +
                 std::to_string(id) + ": the quick brown fox jumps over the lazy dog";
    v.Entries[id] = e;
  }
  return v;
}

std::string StripTrailer(std::string& file) {
  if (file.size() >= 7) {
    const std::string last = file.substr(file.size() - 7);
    if (last == "$$$B$$$" || last == "$$$C$$$" || last == "$$$T$$$") {
      file.resize(file.size() - 7);
      return last;
    }
  }
  return "";
}

std::string Join(const std::vector<int>& codes) {
  std::string s;
  for (int c : codes) s += (s.empty() ? "" : ",") + std::to_string(c);
  return s;
}

int Write(const std::string& password, std::uint32_t iterations, const std::vector<int>& codes,
          const std::string& vaultPath, const std::string& listingPath) {
  const TVault v = SampleVault();
  const std::string text = BuildText(v);
  if (text.size() <= 65536) throw std::runtime_error("the sample vault text is too short");
  Peer::TSettings s;
  s.Codes = codes;
  s.Password = Peer::SessionKey(password, iterations);
  s.Iterations = iterations;
  Bytes random(96);
  if (RAND_bytes(random.data(), static_cast<int>(random.size())) != 1) throw std::runtime_error("no random bytes");
  const Bytes container = Peer::Write(s, Bytes(text.begin(), text.end()), random);
  if (!WriteAll(vaultPath, std::string(container.begin(), container.end()) + Peer::Trailer(codes)) ||
      !WriteAll(listingPath, Listing(v)))
    throw std::runtime_error("cannot write " + vaultPath + " or " + listingPath);
  std::cout << "wrote " << vaultPath << ": " << text.size() << " bytes of vault text, ciphers " << Join(codes)
            << "\n";
  return 0;
}

bool Decrypt(const std::string& password, std::uint32_t iterations, const std::string& vaultPath, std::string& text,
             std::vector<int>& codes, std::string& trailer) {
  std::string file;
  if (!ReadAll(vaultPath, file)) {
    std::cerr << "FAIL: " << vaultPath << " is missing\n";
    return false;
  }
  trailer = StripTrailer(file);
  Bytes plain;
  if (!Peer::Read(Bytes(file.begin(), file.end()), Peer::SessionKey(password, iterations), false, 8192, plain,
                  &codes)) {
    std::cerr << "FAIL: " << vaultPath << " is no container that the password opens with one keystream\n";
    return false;
  }
  text.assign(plain.begin(), plain.end());
  return true;
}

int Check(const std::string& password, std::uint32_t iterations, const std::vector<int>& expectedCodes,
          const std::string& vaultPath, const std::string& listingPath) {
  std::string text, trailer, expected;
  std::vector<int> codes;
  if (!Decrypt(password, iterations, vaultPath, text, codes, trailer)) return 1;
  if (!ReadAll(listingPath, expected)) {
    std::cerr << "FAIL: " << listingPath << " is missing\n";
    return 1;
  }
  int failures = 0;
  if (codes != expectedCodes) {
    std::cerr << "FAIL: ciphers " << Join(codes) << ", expected " << Join(expectedCodes) << "\n";
    ++failures;
  }
  if (trailer != Peer::Trailer(codes)) {
    std::cerr << "FAIL: trailer \"" << trailer << "\", expected \"" << Peer::Trailer(codes) << "\"\n";
    ++failures;
  }
  if (text.size() <= 65536) {
    std::cerr << "FAIL: the vault text has " << text.size() << " bytes, not more than 64 KiB\n";
    ++failures;
  }
  const std::vector<std::string> got = Lines(Listing(ParseText(text)));
  const std::vector<std::string> want = Lines(expected);
  for (std::size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
    const std::string g = i < got.size() ? got[i] : "<none>";
    const std::string w = i < want.size() ? want[i] : "<none>";
    if (g != w && ++failures <= 10) std::cerr << "FAIL: line " << i + 1 << "\n  read:     " << g << "\n  expected: " << w << "\n";
  }
  std::cout << vaultPath << ": " << text.size() << " bytes of vault text, " << got.size() << " listing lines, "
            << (failures ? "MISMATCH" : "as expected") << "\n";
  return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 6 && (a[0] == "write" || a[0] == "check")) {
      const auto iterations = static_cast<std::uint32_t>(std::stoul(a[2]));
      const std::vector<int> codes = ParseCodes(a[3]);
      return a[0] == "write" ? Write(a[1], iterations, codes, a[4], a[5]) : Check(a[1], iterations, codes, a[4], a[5]);
    }
    if (a.size() == 4 && a[0] == "text") {
      std::string text, trailer;
      std::vector<int> codes;
      if (!Decrypt(a[1], static_cast<std::uint32_t>(std::stoul(a[2])), a[3], text, codes, trailer)) return 1;
      std::cout << text;
      return 0;
    }
    std::cerr << "usage: vault_peer write|check <master password> <iterations> <ciphers> <vault> <listing>\n"
                 "       vault_peer text <master password> <iterations> <vault>\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "FAIL: " << e.what() << "\n";
    return 1;
  }
}
