#include "desktop/pages/page_services.h"

namespace corvash::pages {
namespace {

class IdleBootLoaderWatch final : public BootLoaderWatch {
 public:
  void RunBootLoaderWatch(session::WorkerPage&, std::atomic<uint32_t>&) override {}
};

class IdlePowerWatch final : public PowerWatch {
 public:
  int QueryMainsStatus() override { return -1; }
  void RunPowerWatch(session::WorkerPage&) override {}
};

class IdleBackupWorker final : public BackupWorker {
 public:
  BackupEnding RunBackupWorker(session::WorkerPage&) override { return {}; }
};

class IdleFlashWorkers final : public FlashWorkers {
 public:
  void IdentifyAndFlashThread() override {}
  void CheckAndFlashThread() override {}
  void WatchFlash(bootlink::FlashWatch*) override {}
  void LinkWatchdogExpired(bootlink::FlashWatch&) override {}
};

class IdleClockSetter final : public ClockSetter {
 public:
  int InvokeSetSysTime() override { return 0; }
};

class IdleActiveSyncControl final : public ActiveSyncControl {
 public:
  void RestartActiveSync() override {}
};

class IdleFlashSettingsWriter final : public FlashSettingsWriter {
 public:
  void WriteFlashSettings() override {}
  void DeleteFlashSettings() override {}
};

class IdleLinkTeardown final : public LinkTeardown {
 public:
  void CloseLink() override {}
  void ReleasePort() override {}
};

class IdleReadmeViewer final : public ReadmeViewer {
 public:
  void OpenReadme() override {}
};

class IdleBackupTargetChooser final : public BackupTargetChooser {
 public:
  int ChooseBackupTarget(PageDialog&) override { return 0; }
};

struct IdleServices {
  IdleBootLoaderWatch bootLoaderWatch;
  IdlePowerWatch powerWatch;
  IdleBackupWorker backupWorker;
  IdleFlashWorkers flashWorkers;
  IdleClockSetter clockSetter;
  IdleActiveSyncControl activeSync;
  IdleFlashSettingsWriter flashSettingsWriter;
  IdleLinkTeardown linkTeardown;
  IdleReadmeViewer readmeViewer;
  IdleBackupTargetChooser backupTargetChooser;
};

}  // namespace

const PageServices& DefaultPageServices() {
  // Every member is named here: a default member initializer would ask for
  // this very value while it is being made. Never destroyed (see the header).
  static IdleServices* const idle = new IdleServices;
  static const PageServices* const services = new PageServices{
      idle->bootLoaderWatch, idle->powerWatch,          idle->backupWorker, idle->flashWorkers,
      idle->clockSetter,     idle->activeSync,          idle->flashSettingsWriter,
      idle->linkTeardown,    idle->readmeViewer,        idle->backupTargetChooser,
  };
  return *services;
}

}  // namespace corvash::pages
