#pragma once
// What the image tests share: a scratch folder with its own prefix, a page
// host that records and answers screens, image files built independently of
// the code under test.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "desktop/image/image_checksum.h"
#include "desktop/session/update_session.h"

namespace corvash::image::testing {

// Records the wait indicator's calls ("wait-show", "wait-close") in `log`.
class RecordingWait : public WaitIndicator {
 public:
  explicit RecordingWait(std::vector<std::string>& log) : log_(log) {}
  void Show() override { log_.push_back("wait-show"); }
  void Close() override { log_.push_back("wait-close"); }

 private:
  std::vector<std::string>& log_;
};

// The sum the header checksum stands for, computed plainly: bytes 0..21 and
// 32..end, modulo 65536.
inline uint16_t PlainImageSum(const std::vector<uint8_t>& file) {
  uint32_t sum = 0;
  for (size_t i = 0; i < file.size(); ++i) {
    if (i < 22 || i >= 32) sum += file[i];
  }
  return static_cast<uint16_t>(sum & 0xFFFF);
}

// A header of the standard field lengths with `checksumField` (at most 9
// characters) padded with "-".
inline std::vector<uint8_t> HeaderBytes(const std::string& model, const std::string& variant,
                                        const std::string& lang, const std::string& version,
                                        const std::string& checksumField) {
  std::string text = model + "-" + variant + "-" + lang + "-" + version + "-" + checksumField;
  text.resize(32, '-');
  return std::vector<uint8_t>(text.begin(), text.end());
}

// Payload bytes of a fixed pattern.
inline std::vector<uint8_t> PatternPayload(size_t size, uint32_t seed = 7) {
  std::vector<uint8_t> payload(size);
  uint32_t x = seed;
  for (auto& byte : payload) {
    x = x * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(x >> 16);
  }
  return payload;
}

// Appends bytes to `payload` so that header bytes 0..21 plus the payload sum
// to `target` modulo 65536.
inline void SteerSum(const std::vector<uint8_t>& header, std::vector<uint8_t>& payload, uint16_t target) {
  std::vector<uint8_t> file = header;
  file.insert(file.end(), payload.begin(), payload.end());
  uint32_t need = (static_cast<uint32_t>(target) + 65536u - PlainImageSum(file)) & 0xFFFF;
  while (need > 0) {
    const uint8_t byte = need >= 255 ? 255 : static_cast<uint8_t>(need);
    payload.push_back(byte);
    need -= byte;
  }
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A scratch folder that is also the prefix (CORVASH_PREFIX), the run's values
// that the operations are handed, and a recording wait indicator.
class ImageFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvash-image-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    ::setenv("CORVASH_PREFIX", dir.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("CORVASH_PREFIX");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Writes a valid image (checksum in lower case) and returns its path.
  std::string MakeImage(const std::string& name, const std::vector<uint8_t>& payload,
                        const std::string& model = "Quor 5210", const std::string& variant = "NBT",
                        const std::string& lang = "ENG", const std::string& version = "2.04") {
    std::vector<uint8_t> file = HeaderBytes(model, variant, lang, version, "");
    file.insert(file.end(), payload.begin(), payload.end());
    char digits[8];
    std::snprintf(digits, sizeof digits, "%x", PlainImageSum(file));
    const std::vector<uint8_t> header = HeaderBytes(model, variant, lang, version, digits);
    std::copy(header.begin(), header.end(), file.begin());
    const std::filesystem::path path = dir / name;
    WriteFile(path, file);
    return path.string();
  }

  std::filesystem::path dir;
  session::ChosenImage image;
  session::HandheldIdentity handheld;
  session::RunPaths paths;
  std::vector<std::string> log;
  RecordingWait wait{log};
};

}  // namespace corvash::image::testing
