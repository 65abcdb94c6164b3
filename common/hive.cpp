#include "common/hive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/fixed_text.h"

namespace corvash::common {
namespace {

constexpr size_t kMaxHiveBytes = 16u << 20;  // larger files are not hives of ours

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// Reads a quoted string at the start of `s` ("..." with \\ and \" escapes).
// Leaves `s` after the closing quote; false when there is none.
bool ReadQuoted(std::string_view& s, std::string& out) {
  if (s.empty() || s.front() != '"') return false;
  out.clear();
  for (size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\\' && i + 1 < s.size()) {
      out.push_back(s[++i]);
    } else if (c == '"') {
      s.remove_prefix(i + 1);
      return true;
    } else {
      out.push_back(c);
    }
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexBytes(std::string_view s, std::vector<uint8_t>& out) {
  out.clear();
  s = Trim(s);
  if (s.empty()) return true;
  size_t start = 0;
  while (start <= s.size()) {
    size_t comma = s.find(',', start);
    std::string_view item = Trim(s.substr(start, comma == std::string_view::npos ? s.npos : comma - start));
    if (item.size() != 2) return false;
    const int hi = HexDigit(item[0]);
    const int lo = HexDigit(item[1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return true;
}

bool ParseData(std::string_view s, HiveValue& value) {
  s = Trim(s);
  if (!s.empty() && s.front() == '"') {
    std::string text;
    if (!ReadQuoted(s, text) || !Trim(s).empty()) return false;
    value.type = kRegSz;
    value.data.assign(text.begin(), text.end());
    value.data.push_back(0);
    return true;
  }
  if (StartsWithNoCase(s, "dword:")) {
    std::string_view digits = s.substr(6);
    if (digits.size() != 8) return false;  // always eight digits: a cut line never reads as a number
    uint32_t number = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return false;
      number = number * 16 + static_cast<uint32_t>(d);
    }
    value.type = kRegDword;
    value.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                  static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
    return true;
  }
  if (StartsWithNoCase(s, "hex:")) {
    value.type = kRegBinary;
    return ParseHexBytes(s.substr(4), value.data);
  }
  if (StartsWithNoCase(s, "hex(")) {
    const size_t close = s.find("):");
    if (close == std::string_view::npos || close <= 4 || close > 12) return false;
    uint32_t type = 0;
    for (char c : s.substr(4, close - 4)) {
      const int d = HexDigit(c);
      if (d < 0) return false;
      type = type * 16 + static_cast<uint32_t>(d);
    }
    value.type = type;
    return ParseHexBytes(s.substr(close + 2), value.data);
  }
  return false;
}

bool ParseValueLine(std::string_view line, HiveValue& value) {
  if (line.front() == '@') {
    value.name.clear();
    line.remove_prefix(1);
  } else if (!ReadQuoted(line, value.name)) {
    return false;
  }
  line = Trim(line);
  if (line.empty() || line.front() != '=') return false;
  return ParseData(line.substr(1), value);
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// A string value that reads back the same from the "text" form: its bytes
// end with one zero and hold no other zero or line break.
bool FitsQuotedForm(const HiveValue& value) {
  if (value.type != kRegSz || value.data.empty() || value.data.back() != 0) return false;
  for (size_t i = 0; i + 1 < value.data.size(); ++i) {
    const uint8_t c = value.data[i];
    if (c == 0 || c == '\n' || c == '\r') return false;
  }
  return true;
}

std::string HexList(const std::vector<uint8_t>& data) {
  std::string out;
  char byte[4];
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    if (i > 0) out.push_back(',');
    out += byte;
  }
  return out;
}

std::string FormatValue(const HiveValue& value) {
  std::string line = value.name.empty() ? "@" : Quote(value.name);
  line.push_back('=');
  if (value.type == kRegDword && value.data.size() == 4) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "dword:%08x", value.AsDword());
    line += digits;
  } else if (FitsQuotedForm(value)) {
    line += Quote(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
  } else if (value.type == kRegBinary) {
    line += "hex:" + HexList(value.data);
  } else {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    line += prefix + HexList(value.data);
  }
  return line;
}

bool WriteWhole(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

HiveValue HiveValue::Dword(std::string name, uint32_t value) {
  HiveValue v;
  v.name = std::move(name);
  v.type = kRegDword;
  v.data = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
  return v;
}

HiveValue HiveValue::StringBytes(std::string name, std::string_view bytes) {
  HiveValue v;
  v.name = std::move(name);
  v.type = kRegSz;
  v.data.assign(bytes.begin(), bytes.end());
  return v;
}

uint32_t HiveValue::AsDword() const {
  if (data.size() < 4) return 0;
  return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
         static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
}

std::string HiveValue::AsText() const {
  std::string text(data.begin(), data.end());
  const size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return text;
}

Hive::Hive(std::string rootName) : rootName_(std::move(rootName)) {}

Hive Hive::Load(const std::filesystem::path& path, std::string rootName) {
  // Only a regular file is read: a FIFO or a device in its place would block
  // the start or never end, so it reads as absent like any unreadable file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Hive(std::move(rootName));
  struct stat status {};
  std::string text;
  bool whole = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  char chunk[65536];
  while (whole) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      whole = n == 0;
      break;
    }
    text.append(chunk, static_cast<size_t>(n));
    whole = text.size() <= kMaxHiveBytes;
  }
  ::close(fd);
  if (!whole) return Hive(std::move(rootName));
  return Parse(text, std::move(rootName));
}

Hive Hive::Parse(std::string_view text, std::string rootName) {
  Hive hive(std::move(rootName));
  // Lines as the file holds them, with continuation lines (a trailing
  // backslash) joined: the text read and the exact bytes it came from.
  struct Line {
    std::string joined;
    std::string raw;
  };
  std::vector<Line> lines;
  Line current;
  // A last line without its line break was cut off while being written: it
  // is never read, only kept.
  std::string cut;
  if (const size_t lastBreak = text.rfind('\n'); lastBreak == std::string_view::npos) {
    cut = text;
    text = {};
  } else {
    cut = text.substr(lastBreak + 1);
    text = text.substr(0, lastBreak + 1);
  }
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);  // every line here has its break
    std::string_view raw = text.substr(start, end + 1 - start);
    start = end + 1;
    current.raw.append(raw);
    std::string_view line = Trim(raw.substr(0, raw.size() - 1));
    // A value line never ends in a backslash of its own: quoted texts end
    // in a quote, so a trailing backslash always continues a hex list.
    if (!line.empty() && line.back() == '\\') {
      current.joined.append(line.substr(0, line.size() - 1));
      continue;
    }
    current.joined.append(line);
    lines.push_back(std::move(current));
    current = Line();
  }
  if (!current.raw.empty()) lines.push_back(std::move(current));

  size_t first = 0;
  while (first < lines.size() && Trim(lines[first].joined).empty()) ++first;
  if (first == lines.size()) return hive;
  std::string_view header = Trim(lines[first].joined);
  if (header.starts_with("\xEF\xBB\xBF")) header.remove_prefix(3);
  if (header != "REGEDIT4") return hive;

  for (size_t i = 0; i <= first; ++i) hive.source_.push_back(SourceLine::Kept(std::move(lines[i].raw)));
  Key* key = nullptr;
  const std::string rootPrefix = hive.rootName_ + "\\";
  for (size_t i = first + 1; i < lines.size(); ++i) {
    SourceLine source = SourceLine::Kept(std::move(lines[i].raw));
    const std::string_view line = Trim(lines[i].joined);
    if (!line.empty() && line.front() == '[') {
      key = nullptr;
      std::string_view section = line.substr(1, line.size() - 1);
      if (line.back() == ']' && StartsWithNoCase(section, rootPrefix) && section.size() > rootPrefix.size() + 1) {
        const std::string path(section.substr(rootPrefix.size(), section.size() - rootPrefix.size() - 1));
        hive.CreateKey(path);
        key = hive.FindKey(path);
        source.header = key != nullptr;
      }
    }
    if (key != nullptr) source.keyId = key->id;
    HiveValue value;
    if (key != nullptr && !source.header && !line.empty() && (line.front() == '"' || line.front() == '@') &&
        ParseValueLine(line, value)) {
      source.value = value;
      hive.SetValue(key->path, std::move(value));
    }
    hive.source_.push_back(std::move(source));
  }
  if (!cut.empty()) {
    SourceLine tail = SourceLine::Kept(std::move(cut));
    tail.cut = true;
    hive.source_.push_back(std::move(tail));
  }
  return hive;
}

std::string Hive::Serialize() const {
  if (source_.empty()) {
    std::string out = "REGEDIT4\n";
    for (const Key& key : keys_) out += SectionText(key);
    return out;
  }
  // Where each key's own lines end: values set since the file was read go
  // after the last of them.
  std::vector<std::pair<uint64_t, size_t>> lastOwned;
  for (size_t i = 0; i < source_.size(); ++i) {
    const SourceLine& line = source_[i];
    if (line.keyId == 0 || !(line.header || line.value)) continue;
    auto known = std::find_if(lastOwned.begin(), lastOwned.end(), [&](const auto& e) { return e.first == line.keyId; });
    if (known == lastOwned.end()) {
      lastOwned.emplace_back(line.keyId, i);
    } else {
      known->second = i;
    }
  }
  std::string out;
  std::vector<std::pair<uint64_t, std::string>> written;  // values placed so far, by key and name
  const auto wasWritten = [&](uint64_t id, const std::string& name) {
    return std::any_of(written.begin(), written.end(),
                       [&](const auto& w) { return w.first == id && EqualsNoCase(w.second, name); });
  };
  for (size_t i = 0; i < source_.size(); ++i) {
    const SourceLine& line = source_[i];
    if (line.cut) continue;
    const Key* key = line.keyId == 0 ? nullptr : FindKeyById(line.keyId);
    if (line.keyId == 0) {
      out += line.raw;  // not ours: kept as it was
      continue;
    }
    if (key == nullptr) continue;  // the key was deleted, its section with it
    if (line.value) {
      const HiveValue* now = FindValue(*key, line.value->name);
      if (now != nullptr && !wasWritten(key->id, now->name)) {
        const bool unchanged =
            now->name == line.value->name && now->type == line.value->type && now->data == line.value->data;
        out += unchanged ? line.raw : FormatValue(*now) + "\n";
        written.emplace_back(key->id, now->name);
      }
    } else {
      out += line.raw;
    }
    const bool lastOfKey = std::any_of(lastOwned.begin(), lastOwned.end(),
                                       [&](const auto& e) { return e.first == key->id && e.second == i; });
    if (!lastOfKey) continue;
    for (const HiveValue& value : key->values) {
      if (wasWritten(key->id, value.name)) continue;
      out += FormatValue(value) + "\n";
      written.emplace_back(key->id, value.name);
    }
  }
  for (const Key& key : keys_) {
    const bool inFile =
        std::any_of(lastOwned.begin(), lastOwned.end(), [&](const auto& e) { return e.first == key.id; });
    if (!inFile) out += SectionText(key);
  }
  if (source_.back().cut) out += source_.back().raw;
  return out;
}

std::string Hive::SectionText(const Key& key) const {
  std::string out = "\n[" + rootName_ + "\\" + key.path + "]\n";
  for (const HiveValue& value : key.values) out += FormatValue(value) + "\n";
  return out;
}

const HiveValue* Hive::FindValue(const Key& key, std::string_view name) {
  for (const HiveValue& value : key.values) {
    if (EqualsNoCase(value.name, name)) return &value;
  }
  return nullptr;
}

const Hive::Key* Hive::FindKeyById(uint64_t id) const {
  for (const Key& k : keys_) {
    if (k.id == id) return &k;
  }
  return nullptr;
}

bool Hive::Save(const std::filesystem::path& path) const { return SaveWithHook(path, nullptr); }

bool Hive::SaveWithHook(const std::filesystem::path& path, const std::function<bool()>& beforeRename) const {
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  const std::filesystem::path temp = path.string() + ".new." + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = WriteWhole(fd, Serialize()) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || (beforeRename && !beforeRename())) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  const std::string dir = path.has_parent_path() ? path.parent_path().string() : ".";
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

Hive::Key* Hive::FindKey(std::string_view key) {
  for (Key& k : keys_) {
    if (EqualsNoCase(k.path, key)) return &k;
  }
  return nullptr;
}

const Hive::Key* Hive::FindKey(std::string_view key) const {
  for (const Key& k : keys_) {
    if (EqualsNoCase(k.path, key)) return &k;
  }
  return nullptr;
}

bool Hive::HasKey(std::string_view key) const { return FindKey(key) != nullptr; }

void Hive::CreateKey(std::string_view key) {
  if (key.empty() || FindKey(key) != nullptr) return;
  keys_.push_back(Key{std::string(key), {}, nextKeyId_++});
}

bool Hive::DeleteKey(std::string_view key) {
  const size_t before = keys_.size();
  std::erase_if(keys_, [&](const Key& k) {
    return EqualsNoCase(k.path, key) ||
           (k.path.size() > key.size() && k.path[key.size()] == '\\' &&
            EqualsNoCase(std::string_view(k.path).substr(0, key.size()), key));
  });
  return keys_.size() != before;
}

const std::vector<HiveValue>* Hive::Values(std::string_view key) const {
  const Key* k = FindKey(key);
  return k == nullptr ? nullptr : &k->values;
}

std::optional<HiveValue> Hive::GetValue(std::string_view key, std::string_view name) const {
  const Key* k = FindKey(key);
  if (k == nullptr) return std::nullopt;
  if (name == "@") name = "";
  for (const HiveValue& value : k->values) {
    if (EqualsNoCase(value.name, name)) return value;
  }
  return std::nullopt;
}

void Hive::SetValue(std::string_view key, HiveValue value) {
  if (value.name == "@") value.name.clear();
  CreateKey(key);
  Key* k = FindKey(key);
  if (k == nullptr) return;
  for (HiveValue& existing : k->values) {
    if (EqualsNoCase(existing.name, value.name)) {
      existing = std::move(value);
      return;
    }
  }
  k->values.push_back(std::move(value));
}

}  // namespace corvash::common
