#include "desktop/pages/page_workers.h"

namespace corvash::pages {
namespace {

// One bound instance per interface, falling back to its default.
template <class Worker>
class Slot {
 public:
  explicit Slot(Worker& fallback) : fallback_(fallback) {}
  Worker& Get() const {
    Worker* bound = bound_.load();
    return bound != nullptr ? *bound : fallback_;
  }
  void Set(Worker* impl) { bound_.store(impl); }

 private:
  Worker& fallback_;
  std::atomic<Worker*> bound_{nullptr};
};

class IdleBootLoaderWatch final : public BootLoaderWatch {
 public:
  void RunBootLoaderWatch(WorkerPage&, std::atomic<uint32_t>&) override {}
};

class IdlePowerWatch final : public PowerWatch {
 public:
  int QueryMainsStatus() override { return -1; }
  void RunPowerWatch(WorkerPage&) override {}
};

class IdleBackupWorker final : public BackupWorker {
 public:
  void RunBackupWorker(WorkerPage&) override {}
};

class IdleClockSetter final : public ClockSetter {
 public:
  int InvokeSetSysTime() override { return 0; }
};

class IdleActiveSyncControl final : public ActiveSyncControl {
 public:
  void RestartActiveSync() override {}
};

class IdleFlashWorkers final : public FlashWorkers {
 public:
  void IdentifyAndFlashThread() override {}
  void CheckAndFlashThread() override {}
};

class IdleFlashSettingsWriter final : public FlashSettingsWriter {
 public:
  void WriteFlashSettings() override {}
};

class IdleBackupTargetChooser final : public BackupTargetChooser {
 public:
  int ChooseBackupTarget(PageDialog&) override { return 0; }
};

class IdleReadmeViewer final : public ReadmeViewer {
 public:
  void OpenReadme() override {}
};

class IdleLinkTeardown final : public LinkTeardown {
 public:
  void ShutDownReadThread() override {}
  void ReleaseReadThread() override {}
};

// The defaults are never destroyed: a detached worker may still be using
// one while the process exits.
template <class Worker, class Idle>
Slot<Worker>& SlotOf() {
  static Idle* const idle = new Idle;
  static Slot<Worker> slot(*idle);
  return slot;
}

auto& BootLoaderWatchSlot() { return SlotOf<BootLoaderWatch, IdleBootLoaderWatch>(); }
auto& PowerWatchSlot() { return SlotOf<PowerWatch, IdlePowerWatch>(); }
auto& BackupWorkerSlot() { return SlotOf<BackupWorker, IdleBackupWorker>(); }
auto& ClockSetterSlot() { return SlotOf<ClockSetter, IdleClockSetter>(); }
auto& ActiveSyncSlot() { return SlotOf<ActiveSyncControl, IdleActiveSyncControl>(); }
auto& FlashWorkersSlot() { return SlotOf<FlashWorkers, IdleFlashWorkers>(); }
auto& FlashSettingsSlot() { return SlotOf<FlashSettingsWriter, IdleFlashSettingsWriter>(); }
auto& BackupTargetSlot() { return SlotOf<BackupTargetChooser, IdleBackupTargetChooser>(); }
auto& ReadmeSlot() { return SlotOf<ReadmeViewer, IdleReadmeViewer>(); }
auto& LinkTeardownSlot() { return SlotOf<LinkTeardown, IdleLinkTeardown>(); }

}  // namespace

BootLoaderWatch& GetBootLoaderWatch() { return BootLoaderWatchSlot().Get(); }
void SetBootLoaderWatch(BootLoaderWatch* impl) { BootLoaderWatchSlot().Set(impl); }
PowerWatch& GetPowerWatch() { return PowerWatchSlot().Get(); }
void SetPowerWatch(PowerWatch* impl) { PowerWatchSlot().Set(impl); }
BackupWorker& GetBackupWorker() { return BackupWorkerSlot().Get(); }
void SetBackupWorker(BackupWorker* impl) { BackupWorkerSlot().Set(impl); }
ClockSetter& GetClockSetter() { return ClockSetterSlot().Get(); }
void SetClockSetter(ClockSetter* impl) { ClockSetterSlot().Set(impl); }
ActiveSyncControl& GetActiveSyncControl() { return ActiveSyncSlot().Get(); }
void SetActiveSyncControl(ActiveSyncControl* impl) { ActiveSyncSlot().Set(impl); }
FlashWorkers& GetFlashWorkers() { return FlashWorkersSlot().Get(); }
void SetFlashWorkers(FlashWorkers* impl) { FlashWorkersSlot().Set(impl); }
FlashSettingsWriter& GetFlashSettingsWriter() { return FlashSettingsSlot().Get(); }
void SetFlashSettingsWriter(FlashSettingsWriter* impl) { FlashSettingsSlot().Set(impl); }
BackupTargetChooser& GetBackupTargetChooser() { return BackupTargetSlot().Get(); }
void SetBackupTargetChooser(BackupTargetChooser* impl) { BackupTargetSlot().Set(impl); }
ReadmeViewer& GetReadmeViewer() { return ReadmeSlot().Get(); }
void SetReadmeViewer(ReadmeViewer* impl) { ReadmeSlot().Set(impl); }
LinkTeardown& GetLinkTeardown() { return LinkTeardownSlot().Get(); }
void SetLinkTeardown(LinkTeardown* impl) { LinkTeardownSlot().Set(impl); }

void ResetPageWorkers() {
  SetBootLoaderWatch(nullptr);
  SetPowerWatch(nullptr);
  SetBackupWorker(nullptr);
  SetClockSetter(nullptr);
  SetActiveSyncControl(nullptr);
  SetFlashWorkers(nullptr);
  SetFlashSettingsWriter(nullptr);
  SetBackupTargetChooser(nullptr);
  SetReadmeViewer(nullptr);
  SetLinkTeardown(nullptr);
}

}  // namespace corvash::pages
