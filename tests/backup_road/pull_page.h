#pragma once
// The backup progress page without a display, for driving BackupWorker
// directly: it keeps the result, whether the page was hidden, and when each
// chunk moved the bar. The worker calls it from its own thread; read it once
// the worker has returned.
#include <chrono>
#include <cstdint>
#include <vector>

#include "desktop/session/worker_page.h"

namespace corvash::backup_road::test {

class PullPage final : public session::WorkerPage {
 public:
  void SetBarRange(uint32_t, uint32_t) override {}
  void SetBarPosition(uint32_t position) override {
    if (position > 0) chunkTimes.push_back(std::chrono::steady_clock::now());
  }
  void SetFigure(uint32_t) override {}
  void Hide() override { hidden = true; }
  void End(int value) override {
    if (result == 0) result = value;
  }

  int result = 0;  // 0: never ended
  bool hidden = false;
  std::vector<std::chrono::steady_clock::time_point> chunkTimes;
};

}  // namespace corvash::backup_road::test
