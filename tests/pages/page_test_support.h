#pragma once
// Fixture and service doubles shared by the page tests.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "desktop/session/update_session.h"
#include "desktop/pages/page_support.h"
#include "desktop/pages/page_run.h"
#include "desktop/pages/page_services.h"
#include "common/fixed_text.h"
#include "desktop/resources/text_table.h"
#include "tests/pages/fake_page_dialog.h"

namespace corvash::pages::testing {

inline std::string T(int textId) { return resources::Text(textId); }

// Polls `done` until it holds; false after ten seconds.
template <class Predicate>
bool WaitFor(Predicate done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A host whose screens all end at once with 0.
class NoScreens final : public session::PageHost {
 public:
  int RunPage(int) override { return 0; }
  void ShowWaitBox() override {}
  void CloseWaitBox() override {}
};

// The parts of a test's run. Like the program's, they are kept for the life
// of the process: a worker that a test's page started may outlive the test.
struct RetainedRun {
  session::UpdateSession values;
  NoScreens noScreens;
  PageWatches watches;
};

inline RetainedRun& NewRetainedRun() {
  static std::mutex mutex;
  static auto* runs = new std::vector<std::unique_ptr<RetainedRun>>();
  std::lock_guard lock(mutex);
  runs->push_back(std::make_unique<RetainedRun>());
  return *runs->back();
}

// Every test has a fresh run of its own (main window open), whose screens
// end at once. Pages get the services each test hands to OpenPage (the
// defaults unless it does).
class PageTest : public ::testing::Test {
 protected:
  void SetUp() override { run_.flow.mainWindow.store(1); }
  session::UpdateSession& S() { return run_; }
  PageRun Run() { return {run_, noScreens_, watches_}; }

  RetainedRun& retained_ = NewRetainedRun();
  session::UpdateSession& run_ = retained_.values;
  NoScreens& noScreens_ = retained_.noScreens;
  PageWatches& watches_ = retained_.watches;
};

// Counts calls of the simple services.
class CountingWorkers final : public ClockSetter,
                              public ActiveSyncControl,
                              public ReadmeViewer,
                              public FlashSettingsWriter,
                              public LinkTeardown {
 public:
  int InvokeSetSysTime() override {
    ++clockCalls;
    return 1;
  }
  void RestartActiveSync() override { ++syncRestarts; }
  void OpenReadme() override { ++readmeOpens; }
  void WriteFlashSettings() override { ++settingsWrites; }
  void DeleteFlashSettings() override { ++settingsDeletes; }
  void CloseLink() override { ++linkCloses; }
  void ReleasePort() override { ++portReleases; }

  // The defaults with every service this object counts.
  PageServices Services() {
    return {.clockSetter = *this,
            .activeSync = *this,
            .flashSettingsWriter = *this,
            .linkTeardown = *this,
            .readmeViewer = *this};
  }

  std::atomic<int> clockCalls{0};
  std::atomic<int> syncRestarts{0};
  std::atomic<int> readmeOpens{0};
  std::atomic<int> settingsWrites{0};
  std::atomic<int> settingsDeletes{0};
  std::atomic<int> linkCloses{0};
  std::atomic<int> portReleases{0};
};

// A one-shot gate a worker double waits on.
class Gate {
 public:
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

}  // namespace corvash::pages::testing
