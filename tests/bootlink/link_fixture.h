#pragma once
// Shared pieces of the link tests: a flash watch that records its watchdog,
// a prefix folder whose dosdevices links point where a test wants, trace
// capture, and a fixture with a fresh loader link.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "desktop/bootlink/flash_watch.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/session/update_session.h"
#include "common/event.h"
#include "desktop/platform/trace.h"

namespace corvash::test {

// A flash watch that records its watchdog.
class RecordingWatch : public bootlink::FlashWatch {
 public:
  void SetBarRange(uint32_t, uint32_t) override {}
  void SetBarPosition(uint32_t) override {}
  void SetFigure(uint32_t) override {}
  void Hide() override {}
  void FlashCompleted() override {}
  void ReportFault(bootlink::FlashFault) override {}
  void ArmWatchdog(uint32_t ms) override {
    std::lock_guard lock(mutex_);
    arms_.push_back(ms);
  }
  void KillWatchdog() override {
    std::lock_guard lock(mutex_);
    ++kills_;
  }
  std::vector<uint32_t> Arms() const {
    std::lock_guard lock(mutex_);
    return arms_;
  }
  void ClearArms() {
    std::lock_guard lock(mutex_);
    arms_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<uint32_t> arms_;
  int kills_ = 0;
};

// A fresh prefix folder with an empty dosdevices/ folder.
class TempPrefix {
 public:
  TempPrefix() {
    char pattern[] = "/tmp/corvash-link-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    std::filesystem::create_directories(dir_ / "dosdevices");
    ::setenv("CORVASH_PREFIX", dir_.c_str(), 1);
    // The sync-process stop that the port test runs finds the sync software
    // by its windows on this desktop family: the windows of this prefix,
    // which has none. By process name it would end the emulated sync
    // software of any other test running on the machine.
    std::ofstream(dir_ / "system.reg") << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
                                       << "\"CurrentVersion\"=\"4.0\"\n";
  }
  ~TempPrefix() {
    ::unsetenv("CORVASH_PREFIX");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::filesystem::path& Dir() const { return dir_; }
  // Points candidate `name` at `target`.
  void Link(const std::string& name, const std::string& target) const {
    const auto link = dir_ / "dosdevices" / name;
    std::error_code ec;
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(target, link);
  }
  // Every candidate that no test gave a target leads nowhere (not to the
  // machine's own /dev/ttyS0).
  void LinkRestAbsent() const {
    for (const char* name : {"com1", "com2", "wceusbsh001", "wceusbsh002"}) {
      if (!std::filesystem::is_symlink(dir_ / "dosdevices" / name)) {
        Link(name, (dir_ / "absent" / name).string());
      }
    }
  }

 private:
  std::filesystem::path dir_;
};

class TraceCapture {
 public:
  TraceCapture() {
    char pattern[] = "/tmp/corvash-trace-XXXXXX";
    const int fd = ::mkstemp(pattern);
    ::close(fd);
    path_ = pattern;
    ::setenv("CORVASH_TRACE", path_.c_str(), 1);
    platform::ReopenTrace();
  }
  ~TraceCapture() {
    ::unsetenv("CORVASH_TRACE");
    platform::ReopenTrace();
    std::filesystem::remove(path_);
  }
  std::string Text() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string path_;
};

// A fresh loader link for every test; its download procedure is the one a
// test sets with SetDownloadProc (none: the start line is dropped).
class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override { common::ClearNamedEvents(); }
  void TearDown() override { link_.Close(); }
  void SetDownloadProc(bootlink::LoaderLink::DownloadProc proc) {
    std::lock_guard lock(procMutex_);
    proc_ = std::move(proc);
  }
  std::mutex procMutex_;
  bootlink::LoaderLink::DownloadProc proc_;
  std::atomic<uint32_t> serialLink_{1};
  bootlink::LoaderLink link_{[this](bootlink::LoaderLink& link, bootlink::DownloadContext& context) -> uint32_t {
                               bootlink::LoaderLink::DownloadProc proc;
                               {
                                 std::lock_guard lock(procMutex_);
                                 proc = proc_;
                               }
                               if (proc) return proc(link, context);
                               context.DownloadActive.store(0);
                               return 0;
                             },
                             serialLink_};
};

}  // namespace corvash::test
