#pragma once
// The emulated handheld as a person sees it: its display, the mode it is
// in, the progress of a download while it is flashed, its two reset buttons
// (into the boot loader, into its system) and the mains plug and the sync
// cable as toggles. The buttons do what `ctl` does, through the panel, on a
// thread of their own so that the window stays alive while the handheld
// restarts; the window follows every change, its own and those made from
// outside, by looking at the panel a few times a second (scaled by
// CORVASH_TIME_SCALE). It closes itself once the panel's service has ended.
//
// GUI thread only.
#include <QWidget>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "emulator/handheld_snapshot.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace corvash::emulator::window {

class HandheldScreen;

class HandheldWindow final : public QWidget {
 public:
  explicit HandheldWindow(HandheldPanel& panel, QWidget* parent = nullptr);
  ~HandheldWindow() override;

  // Takes a snapshot from the panel and shows it; closes the window once the
  // service has ended.
  void Refresh();
  // Shows `snapshot` as it is (the screenshot tool draws fixed ones).
  void Show(const HandheldSnapshot& snapshot);

  QPushButton* BootLoaderButton() const { return bootLoader_; }
  QPushButton* SystemButton() const { return system_; }
  QPushButton* MainsToggle() const { return mains_; }
  QPushButton* CableToggle() const { return cable_; }
  // What the window says about the mode and a download, as shown.
  QString ModeText() const;
  QString DownloadText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QWidget* MakeControls();
  // Runs `action` on the handheld off the GUI thread; one at a time.
  void Act(const std::string& action);
  void ActionDone(bool done, const QString& error);
  void TakeActionOutcome();
  void EnableControls(bool enable);

  HandheldPanel& panel_;
  HandheldScreen* screen_ = nullptr;
  QLabel* mode_ = nullptr;
  QLabel* download_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* bootLoader_ = nullptr;
  QPushButton* system_ = nullptr;
  QPushButton* mains_ = nullptr;
  QPushButton* cable_ = nullptr;
  QLabel* status_ = nullptr;
  QTimer* poll_ = nullptr;
  QTimer* outcomePoll_ = nullptr;  // runs while an action runs
  std::thread action_;
  bool acting_ = false;
  // The action's outcome, handed from its thread to the GUI thread, which
  // takes it at its next poll.
  std::mutex outcomeMutex_;
  std::optional<std::pair<bool, std::string>> outcome_;
};

}  // namespace corvash::emulator::window
