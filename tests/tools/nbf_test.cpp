#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "tests/image/image_test_support.h"
#include "tools/nbf/nbf_commands.h"

namespace corvash::nbf {
namespace {

using image::testing::PatternPayload;
using image::testing::PlainImageSum;
using image::testing::ReadFile;
using image::testing::WriteFile;

class NbfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvash-nbf-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string PathOf(const std::string& name) const { return (dir / name).string(); }
  int RunCreate(const CreateFields& fields, const std::string& payload, const std::string& target) {
    out.str("");
    err.str("");
    return Create(fields, payload, target, out, err);
  }
  int RunVerify(const std::string& file) {
    out.str("");
    err.str("");
    return Verify(file, out, err);
  }
  size_t EntriesInDir() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
    return n;
  }

  std::filesystem::path dir;
  std::ostringstream out;
  std::ostringstream err;
  const CreateFields standard{"Quor 5210", "NBT", "ENG", "2.04"};
};

TEST_F(NbfTest, CreateWritesTheHeaderAsTheBackupWriterDoesThenThePayload) {
  const std::vector<uint8_t> payload = PatternPayload(300000);
  WriteFile(PathOf("payload.bin"), payload);
  ASSERT_EQ(RunCreate(standard, PathOf("payload.bin"), PathOf("rom.nbf")), kExitOk) << err.str();
  const std::vector<uint8_t> file = ReadFile(PathOf("rom.nbf"));
  ASSERT_EQ(file.size(), 32 + payload.size());
  char digits[8];
  std::snprintf(digits, sizeof digits, "%x", PlainImageSum(file));
  std::string expected = std::string("Quor 5210-NBT-ENG-2.04-") + digits;
  expected.resize(32, '-');
  EXPECT_EQ(std::string(file.begin(), file.begin() + 32), expected);
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), file.begin() + 32));
  EXPECT_EQ(RunVerify(PathOf("rom.nbf")), kExitOk);
}

TEST_F(NbfTest, CreateWritesASumOfZeroAsTheDigitZero) {
  const std::vector<uint8_t> header = image::testing::HeaderBytes("Quor 5210", "NBT", "ENG", "2.04", "");
  std::vector<uint8_t> payload = PatternPayload(1000);
  image::testing::SteerSum(header, payload, 0);
  WriteFile(PathOf("payload.bin"), payload);
  ASSERT_EQ(RunCreate(standard, PathOf("payload.bin"), PathOf("zero.nbf")), kExitOk);
  const std::vector<uint8_t> file = ReadFile(PathOf("zero.nbf"));
  EXPECT_EQ(std::string(file.begin() + 22, file.begin() + 32), "-0--------");
  EXPECT_EQ(RunVerify(PathOf("zero.nbf")), kExitOk);
}

TEST_F(NbfTest, CreateRefusesFieldsThatDoNotFitTheirSlotsAndWritesNothing) {
  WriteFile(PathOf("payload.bin"), PatternPayload(100));
  WriteFile(PathOf("keep.nbf"), {1, 2, 3});
  const CreateFields bad[] = {{"Quor 52100", "NBT", "ENG", "2.04"}, {"Quor 5210", "NBTX", "ENG", "2.04"},
                              {"Quor 5210", "NBT", "ENGL", "2.04"}, {"Quor 5210", "NBT", "ENG", "2.045"},
                              {"Quor 521", "NBT", "ENG", "2.04"},   {"Quor 5210", "NB\x01", "ENG", "2.04"}};
  for (const CreateFields& fields : bad) {
    EXPECT_EQ(RunCreate(fields, PathOf("payload.bin"), PathOf("keep.nbf")), kExitUnusable);
    EXPECT_NE(err.str().find("nothing written"), std::string::npos) << err.str();
  }
  EXPECT_EQ(ReadFile(PathOf("keep.nbf")), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(EntriesInDir(), 2u);
}

TEST_F(NbfTest, CreateOverItsOwnPayloadKeepsThePayload) {
  const std::vector<uint8_t> payload = PatternPayload(70000);
  WriteFile(PathOf("same.nbf"), payload);
  ASSERT_EQ(RunCreate(standard, PathOf("same.nbf"), PathOf("same.nbf")), kExitOk) << err.str();
  const std::vector<uint8_t> file = ReadFile(PathOf("same.nbf"));
  ASSERT_EQ(file.size(), 32 + payload.size());
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), file.begin() + 32));
  EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(NbfTest, CreateFromAMissingPayloadLeavesNoFileBehind) {
  EXPECT_EQ(RunCreate(standard, PathOf("missing.bin"), PathOf("rom.nbf")), kExitUnusable);
  EXPECT_EQ(RunCreate(standard, dir.string(), PathOf("rom.nbf")), kExitUnusable);
  EXPECT_EQ(EntriesInDir(), 0u);
}

TEST_F(NbfTest, CreateLeavesATargetThatIsNotARegularFileAlone) {
  WriteFile(PathOf("payload.bin"), PatternPayload(5000));
  WriteFile(PathOf("real.nbf"), {1, 2, 3});
  ASSERT_EQ(::mkfifo(PathOf("fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink(PathOf("real.nbf"), PathOf("link.nbf"));
  std::vector<std::string> targets = {PathOf("fifo"), PathOf("link.nbf")};
  if (::mknod(PathOf("null").c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0) targets.push_back(PathOf("null"));
  for (const std::string& target : targets) {
    const auto before = std::filesystem::symlink_status(target).type();
    EXPECT_EQ(RunCreate(standard, PathOf("payload.bin"), target), kExitUnusable) << target;
    EXPECT_EQ(std::filesystem::symlink_status(target).type(), before) << target;
  }
  EXPECT_EQ(ReadFile(PathOf("real.nbf")), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(EntriesInDir(), targets.size() + 2);
}

TEST_F(NbfTest, VerifySaysWhichOfFourOutcomes) {
  WriteFile(PathOf("payload.bin"), PatternPayload(5000));
  ASSERT_EQ(RunCreate(standard, PathOf("payload.bin"), PathOf("rom.nbf")), kExitOk);
  EXPECT_EQ(RunVerify(PathOf("rom.nbf")), kExitOk);
  EXPECT_NE(out.str().find("verifies"), std::string::npos);

  std::vector<uint8_t> file = ReadFile(PathOf("rom.nbf"));
  file[100] = static_cast<uint8_t>(file[100] + 1);
  WriteFile(PathOf("bad.nbf"), file);
  EXPECT_EQ(RunVerify(PathOf("bad.nbf")), kExitMismatch);
  EXPECT_NE(out.str().find("does not verify"), std::string::npos);

  EXPECT_EQ(RunVerify(PathOf("missing.nbf")), kExitUnusable);
  EXPECT_NE(err.str().find("cannot be read"), std::string::npos);

  file.resize(31);
  WriteFile(PathOf("short.nbf"), file);
  EXPECT_EQ(RunVerify(PathOf("short.nbf")), kExitUnusable);
  EXPECT_NE(err.str().find("shorter than its 32-byte header (31 bytes)"), std::string::npos);
}

TEST_F(NbfTest, HeaderOnlyFileHasAnEmptyPayloadAndCanVerify) {
  WriteFile(PathOf("empty.bin"), {});
  ASSERT_EQ(RunCreate(standard, PathOf("empty.bin"), PathOf("header.nbf")), kExitOk);
  EXPECT_EQ(RunVerify(PathOf("header.nbf")), kExitOk);
  out.str("");
  EXPECT_EQ(Info(PathOf("header.nbf"), out, err), kExitOk);
  EXPECT_NE(out.str().find("Payload size:      0 bytes"), std::string::npos) << out.str();
}

TEST_F(NbfTest, InfoShowsHeaderFieldsChecksumsAndVerdict) {
  WriteFile(PathOf("payload.bin"), PatternPayload(1234));
  ASSERT_EQ(RunCreate({"Quor 5210", "WBT", "POT", "2.04"}, PathOf("payload.bin"), PathOf("rom.nbf")), kExitOk);
  std::vector<uint8_t> file = ReadFile(PathOf("rom.nbf"));
  out.str("");
  ASSERT_EQ(Info(PathOf("rom.nbf"), out, err), kExitOk);
  const std::string text = out.str();
  EXPECT_NE(text.find("Model:             Quor 5210\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Variant:           WBT\n"), std::string::npos);
  EXPECT_NE(text.find("Language:          POT (Portuguese)\n"), std::string::npos);
  EXPECT_NE(text.find("Version:           2.04\n"), std::string::npos);
  EXPECT_NE(text.find("Payload size:      1234 bytes\n"), std::string::npos);
  EXPECT_NE(text.find("Verifies:          yes\n"), std::string::npos);

  file[40] = static_cast<uint8_t>(file[40] ^ 0x80);
  WriteFile(PathOf("rom.nbf"), file);
  out.str("");
  ASSERT_EQ(Info(PathOf("rom.nbf"), out, err), kExitOk);
  EXPECT_NE(out.str().find("Verifies:          no\n"), std::string::npos);
}

// The program itself, as a user runs it.
class NbfProgramTest : public NbfTest {
 protected:
  int Run(const std::string& arguments) {
    const std::string command = std::string(NBF_PROGRAM) + " " + arguments + " >" + PathOf("stdout") + " 2>" +
                                PathOf("stderr");
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Output(const char* name) {
    std::ifstream in(PathOf(name));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

TEST_F(NbfProgramTest, ExitStatusesFollowTheOutcome) {
  WriteFile(PathOf("payload.bin"), PatternPayload(2000));
  EXPECT_EQ(Run("create --model 'Quor 5210' --variant NBT --lang ENG --version 2.04 " + PathOf("payload.bin") + " " +
                PathOf("rom.nbf")),
            0);
  EXPECT_EQ(Run("verify " + PathOf("rom.nbf")), 0);
  EXPECT_EQ(Output("stdout").rfind(PathOf("rom.nbf") + ": checksum verifies (0x", 0), 0u);
  EXPECT_EQ(Run("verify " + PathOf("missing.nbf")), 2);
  EXPECT_EQ(Run("create --model 'Quor 52100' --variant NBT --lang ENG --version 2.04 " + PathOf("payload.bin") +
                " " + PathOf("x.nbf")),
            2);
  EXPECT_NE(Output("stderr").find("--model must be exactly 9 characters"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(PathOf("x.nbf")));
  EXPECT_EQ(Run(""), 2);
  EXPECT_EQ(Run("verify"), 2);
  EXPECT_EQ(Run("--help"), 0);
}

}  // namespace
}  // namespace corvash::nbf
