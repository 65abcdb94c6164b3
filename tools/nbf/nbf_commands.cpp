#include "tools/nbf/nbf_commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "common/rom_image_format.h"
#include "common/image_file.h"
#include "common/image_languages.h"

namespace corvash::nbf {

namespace {

using common::ImageFile;

// Header bytes as text fit for a terminal: printable ASCII as it is, a
// backslash doubled, every other byte as a \xNN escape, so that a damaged
// header can neither drive the terminal nor hide what it holds.
std::string Printable(std::string_view text) {
  std::string shown;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      shown += "\\\\";
    } else if (byte >= 0x20 && byte <= 0x7E) {
      shown.push_back(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(byte));
      shown += escape;
    }
  }
  return shown;
}

std::string Hex16(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04x", static_cast<unsigned>(value));
  return text;
}

// What info and verify need of a file.
struct Examined {
  common::ImageHeaderFields fields;
  common::ImageChecksum checksum;
  std::optional<uint16_t> stored;
};

// Reads the header and the checksum of `file`; nullopt after complaining on
// `err` when the file is unusable.
std::optional<Examined> Examine(const std::string& file, std::ostream& err) {
  ImageFile header;
  std::array<uint8_t, common::kHeaderSize> bytes{};
  long got = -1;
  if (header.Open(file)) got = header.Read(bytes.data(), bytes.size());
  if (got < 0) {
    err << file << ": cannot be read: " << std::strerror(header.error()) << "\n";
    return std::nullopt;
  }
  if (static_cast<size_t>(got) < common::kHeaderSize) {
    err << file << ": shorter than its 32-byte header (" << got << " bytes)\n";
    return std::nullopt;
  }
  Examined examined;
  examined.fields = common::ParseImageHeader(bytes);
  examined.checksum = common::ComputeImageChecksum(file);
  if (!examined.checksum.readable) {
    err << file << ": cannot be read: " << std::strerror(examined.checksum.error) << "\n";
    return std::nullopt;
  }
  examined.stored = common::ParseChecksumText(examined.fields.checksumText);
  return examined;
}

bool Verifies(const Examined& examined) {
  return examined.stored.has_value() && *examined.stored == examined.checksum.sum;
}

// Empty when `value` fills a slot of `length` characters with printable
// ASCII; otherwise the complaint.
std::string CheckField(const char* option, const std::string& value, size_t length) {
  std::string complaint;
  if (value.size() != length) {
    complaint = std::string(option) + " must be exactly " + std::to_string(length) + " characters (\"" +
                Printable(value) + "\" has " + std::to_string(value.size()) + ")";
  } else {
    for (char c : value) {
      if (c < 0x20 || c > 0x7E) {
        complaint = std::string(option) + " may hold only printable ASCII characters";
        break;
      }
    }
  }
  return complaint;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// True when nothing is at `path`, or a regular file (not through a link).
bool NothingOrFile(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return errno == ENOENT;
  return S_ISREG(status.st_mode);
}

// A new file beside `target`, renamed over it by Commit and removed when
// dropped uncommitted; `target` is untouched until then (even when it is
// the payload itself).
class ReplacementFile {
 public:
  explicit ReplacementFile(const std::string& target) : target_(target) {
    path_ = target + ".nbf-XXXXXX";
    fd_ = ::mkstemp(path_.data());
    if (fd_ < 0) error_ = errno;
    created_ = fd_ >= 0;
  }
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  ~ReplacementFile() {
    if (fd_ >= 0) ::close(fd_);
    if (created_ && !committed_) ::unlink(path_.c_str());
  }
  bool IsOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  int error() const { return error_; }
  void NoteError() { error_ = errno; }
  bool Commit() {
    // The target may have changed since it was checked.
    if (!NothingOrFile(target_)) {
      error_ = EEXIST;
      return false;
    }
    // The permissions a plainly created file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd_, 0666 & ~mask) != 0 || ::fsync(fd_) != 0 || ::close(fd_) != 0) {
      fd_ = -1;
      NoteError();
      return false;
    }
    fd_ = -1;
    if (::rename(path_.c_str(), target_.c_str()) != 0) {
      NoteError();
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  std::string target_;
  std::string path_;
  int fd_ = -1;
  int error_ = 0;
  bool created_ = false;
  bool committed_ = false;
};

}  // namespace

int Info(const std::string& file, std::ostream& out, std::ostream& err) {
  const std::optional<Examined> examined = Examine(file, err);
  if (!examined) return kExitUnusable;
  const common::ImageHeaderFields& fields = examined->fields;
  const std::string_view language = common::ImageLanguageName(fields.langCode);
  out << "File:              " << file << "\n"
      << "Model:             " << Printable(fields.model) << "\n"
      << "Variant:           " << Printable(fields.variant) << "\n"
      << "Language:          " << Printable(fields.langCode) << " ("
      << (language.empty() ? std::string("unknown code") : std::string(language)) << ")\n"
      << "Version:           " << Printable(fields.version) << "\n"
      << "Stored checksum:   \"" << Printable(fields.checksumText) << "\" ("
      << (examined->stored ? Hex16(*examined->stored) : std::string("not a hexadecimal number")) << ")\n"
      << "Computed checksum: " << Hex16(examined->checksum.sum) << "\n"
      << "Payload size:      " << common::PayloadSize(examined->checksum.fileSize) << " bytes\n"
      << "Verifies:          " << (Verifies(*examined) ? "yes" : "no") << "\n";
  return kExitOk;
}

int Verify(const std::string& file, std::ostream& out, std::ostream& err) {
  const std::optional<Examined> examined = Examine(file, err);
  if (!examined) return kExitUnusable;
  if (Verifies(*examined)) {
    out << file << ": checksum verifies (" << Hex16(examined->checksum.sum) << ")\n";
    return kExitOk;
  }
  out << file << ": checksum does not verify (stored \"" << Printable(examined->fields.checksumText)
      << "\", computed " << Hex16(examined->checksum.sum) << ")\n";
  return kExitMismatch;
}

int Create(const CreateFields& fields, const std::string& payload, const std::string& outFile, std::ostream& out,
           std::ostream& err) {
  for (const std::string& complaint :
       {CheckField("--model", fields.model, common::kModelLength),
        CheckField("--variant", fields.variant, common::kVariantLength),
        CheckField("--lang", fields.langCode, common::kLangCodeLength),
        CheckField("--version", fields.version, common::kVersionLength)}) {
    if (!complaint.empty()) {
      err << "nbf create: " << complaint << "; nothing written\n";
      return kExitUnusable;
    }
  }
  // Only a file is replaced: a FIFO, a device node or a symbolic link at the
  // target would otherwise be swapped for a file (or, as root, a device lost).
  if (!NothingOrFile(outFile)) {
    err << "nbf create: " << outFile << ": exists and is not a regular file; nothing written\n";
    return kExitUnusable;
  }
  ImageFile source;
  if (!source.Open(payload)) {
    err << "nbf create: " << payload << ": cannot be read: " << std::strerror(source.error()) << "\n";
    return kExitUnusable;
  }
  ReplacementFile target(outFile);
  if (!target.IsOpen()) {
    err << "nbf create: " << outFile << ": cannot be written: " << std::strerror(target.error()) << "\n";
    return kExitUnusable;
  }
  // The payload goes behind a blank header; the header is written last, as
  // the backup writer does.
  std::array<uint8_t, common::kHeaderSize> blank{};
  bool written = WriteAll(target.fd(), blank.data(), blank.size());
  std::vector<uint8_t> buffer(common::kChecksumBlockSize);
  uint32_t sum = 0;
  uint64_t payloadSize = 0;
  while (written) {
    const long n = source.Read(buffer.data(), buffer.size());
    if (n < 0) {
      err << "nbf create: " << payload << ": cannot be read: " << std::strerror(source.error()) << "\n";
      return kExitUnusable;
    }
    if (n == 0) break;
    sum = common::AddToSum(sum, std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
    payloadSize += static_cast<uint64_t>(n);
    written = WriteAll(target.fd(), buffer.data(), static_cast<size_t>(n));
  }
  // The checksum covers header bytes 0..21, which the checksum itself does
  // not change.
  const auto draft = common::FormatImageHeader(fields.model, fields.variant, fields.langCode, fields.version, 0);
  sum = common::AddToSum(sum, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(draft->data()),
                                                       common::kSummedHeaderBytes));
  const uint16_t checksum = static_cast<uint16_t>(sum & 0xFFFF);
  const auto header =
      common::FormatImageHeader(fields.model, fields.variant, fields.langCode, fields.version, checksum);
  if (written) written = ::lseek(target.fd(), 0, SEEK_SET) == 0 && WriteAll(target.fd(), header->data(), header->size());
  if (!written) target.NoteError();
  if (!written || !target.Commit()) {
    err << "nbf create: " << outFile << ": cannot be written: " << std::strerror(target.error()) << "\n";
    return kExitUnusable;
  }
  out << outFile << ": written, " << payloadSize << " payload bytes, checksum " << Hex16(checksum) << "\n";
  return kExitOk;
}

}  // namespace corvash::nbf
