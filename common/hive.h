#pragma once
// Registry hives kept as REGEDIT4 text files in the prefix (user.reg for
// HKEY_CURRENT_USER, system.reg for HKEY_LOCAL_MACHINE).
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\DadivUzizova]
//   "Flash"=dword:00000001
//   "Lang"=hex(1):45,4e,47,00,00,00,00,00,00,00
//   "Name"="text"
//   @="default value"
//
// Values keep their exact bytes and their order. Saving writes a new file and
// renames it over the old one, so a crash never leaves half a hive. A file
// that cannot be read, is not a regular file or lacks the REGEDIT4 line reads
// as an empty hive; a line that cannot be parsed is skipped. A hive read from
// a file writes back every line it does not own byte for byte (comments,
// other roots, lines it could not parse, a last line without its line
// break) in its place; its own values are rewritten only when they changed,
// new values follow their key's last value and new keys the end of the file. Key paths are given below the root
// ("Software\\DadivUzizova") and compared without regard to case, as are
// value names. Not thread-safe: one Hive object per user at a time.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvash::common {

// Value types, numbered as the registry numbers them.
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;

struct HiveValue {
  std::string name;  // "" is the key's default value ("@")
  uint32_t type = kRegSz;
  std::vector<uint8_t> data;  // exact bytes; a kRegDword holds 4 little-endian bytes

  static HiveValue Dword(std::string name, uint32_t value);
  // A string value of exactly these bytes (no terminator is added).
  static HiveValue StringBytes(std::string name, std::string_view bytes);
  // The number of a dword value (0 when the value is shorter than 4 bytes).
  uint32_t AsDword() const;
  // The bytes up to the first zero.
  std::string AsText() const;
};

class Hive {
 public:
  // rootName: "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
  explicit Hive(std::string rootName);

  // Reads `path`; an absent, unreadable or malformed file gives an empty hive.
  static Hive Load(const std::filesystem::path& path, std::string rootName);
  static Hive Parse(std::string_view text, std::string rootName);
  std::string Serialize() const;
  // Writes to a temporary file beside `path`, syncs it and renames it over
  // `path`. False (old file untouched) when any step fails.
  bool Save(const std::filesystem::path& path) const;
  // Save with a step run between the written temporary file and the rename;
  // when it returns false the save stops there (tests: a crash before rename).
  bool SaveWithHook(const std::filesystem::path& path, const std::function<bool()>& beforeRename) const;

  bool HasKey(std::string_view key) const;
  void CreateKey(std::string_view key);
  // Deletes the key and every key below it. False when it did not exist.
  bool DeleteKey(std::string_view key);
  // The key's values in their order; null when the key does not exist.
  const std::vector<HiveValue>* Values(std::string_view key) const;
  std::optional<HiveValue> GetValue(std::string_view key, std::string_view name) const;
  // Creates the key if needed; replaces a value of the same name in place,
  // else appends.
  void SetValue(std::string_view key, HiveValue value);

 private:
  struct Key {
    std::string path;
    std::vector<HiveValue> values;
    uint64_t id = 0;  // never reused, so a deleted key's lines stay deleted
  };
  // A line of the file the hive was read from, with its exact bytes.
  struct SourceLine {
    std::string raw;
    uint64_t keyId = 0;  // the key whose section holds it; 0 when none of ours
    bool header = false;
    bool cut = false;                // the last line, without a line break
    std::optional<HiveValue> value;  // a value as it was read

    static SourceLine Kept(std::string raw) {
      SourceLine line;
      line.raw = std::move(raw);
      return line;
    }
  };
  Key* FindKey(std::string_view key);
  const Key* FindKey(std::string_view key) const;
  const Key* FindKeyById(uint64_t id) const;
  static const HiveValue* FindValue(const Key& key, std::string_view name);
  std::string SectionText(const Key& key) const;

  std::string rootName_;
  std::vector<Key> keys_;
  uint64_t nextKeyId_ = 1;
  std::vector<SourceLine> source_;
};

}  // namespace corvash::common
