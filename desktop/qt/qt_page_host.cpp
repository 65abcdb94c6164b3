#include "desktop/qt/qt_page_host.h"
#include "desktop/session/page_ids.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <condition_variable>
#include <future>

#include "desktop/pages/page_catalogue.h"
#include "desktop/qt/qt_page.h"
#include "desktop/qt/qt_page_style.h"
#include "desktop/platform/trace.h"
#include "desktop/resources/resource_script.h"

namespace corvash::qt {

using namespace resources::ids;
using pages::MakePageProcedure;
using pages::PageDialog;
using pages::PageProcedure;
using pages::PageServices;
using pages::Picture;
using pages::kMessageCloseWaitBox;

namespace {

// The procedure of a template that the catalogue does not know: its buttons
// end it with their own id, the keys with 1 and 2, message 1074 with 1.
class PlainProcedure final : public PageProcedure {
 public:
  void OnOpen(PageDialog&) override {}
  void OnCommand(PageDialog& page, int commandId) override { page.End(commandId); }
  void OnMessage(PageDialog& page, int message) override {
    if (message == kMessageCloseWaitBox) page.End(1);
  }
};

ProcedureFactory CatalogueWith(const PageServices& services, session::UpdateSession& run,
                               pages::PageWatches& watches) {
  return [services, &run, &watches](int templateId, session::PageHost& host) {
    return MakePageProcedure(templateId, services, {run, host, watches});
  };
}

}  // namespace

// Lives on the GUI thread; each wake event makes it run the queued work.
class GuiDispatcher final : public QObject {
 public:
  explicit GuiDispatcher(QtPageHost& host) : host_(host) {}
  static constexpr QEvent::Type kWake = QEvent::User;

  bool event(QEvent* event) override {
    if (event->type() != kWake) return QObject::event(event);
    host_.RunQueuedWork();
    return true;
  }

 private:
  QtPageHost& host_;
};

struct QtPageHost::GuiCall {
  std::function<void()> work;
  bool waited = false;  // a caller waits for `done`
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
};

QtPageHost::QtPageHost(QtPageHostOptions options)
    : script_(options.script != nullptr ? options.script : &resources::ResourceScript::LoadDefault()),
      ownRun_(options.run != nullptr ? nullptr : std::make_unique<session::UpdateSession>()),
      makeProcedure_(options.makeProcedure
                         ? std::move(options.makeProcedure)
                         : CatalogueWith(options.services, options.run != nullptr ? *options.run : *ownRun_, watches_)),
      dispatcher_(new GuiDispatcher(*this)),
      mainPicture_(LoadBitmap(*script_, kMainPictureBitmap)),
      buttonPicture_(LoadBitmap(*script_, kButtonPictureBitmap)) {}

QtPageHost::~QtPageHost() {
  Shutdown();
  {
    std::lock_guard lock(mutex_);
    pages_.clear();
  }
  waitBox_.reset();
  delete dispatcher_;
}

bool QtPageHost::IsGuiThread() const { return QThread::currentThread() == dispatcher_->thread(); }

bool QtPageHost::Queue(std::shared_ptr<GuiCall> call) {
  // The event is made before the queue's lock is released, so the GUI
  // thread's taking of the lock orders its deletion after its making.
  auto* wake = new QEvent(GuiDispatcher::kWake);
  {
    std::lock_guard lock(mutex_);
    if (closed_) {
      delete wake;
      return false;
    }
    queue_.push_back(std::move(call));
  }
  QCoreApplication::postEvent(dispatcher_, wake);
  return true;
}

bool QtPageHost::RunOnGui(const std::function<void()>& work) {
  if (IsGuiThread()) {
    work();
    return true;
  }
  auto call = std::make_shared<GuiCall>();
  call->work = [&work] { work(); };
  call->waited = true;
  if (!Queue(call)) return false;
  std::unique_lock lock(call->mutex);
  call->finished.wait(lock, [&call] { return call->done; });
  return true;
}

void QtPageHost::PostToGui(std::function<void()> work) {
  auto call = std::make_shared<GuiCall>();
  call->work = std::move(work);
  Queue(std::move(call));
}

void QtPageHost::RunQueuedWork() {
  for (;;) {
    std::shared_ptr<GuiCall> call;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      call = std::move(queue_.front());
      queue_.pop_front();
    }
    call->work();
    call->work = nullptr;
    std::lock_guard lock(call->mutex);
    call->done = true;
    call->finished.notify_all();
  }
}

const QImage& QtPageHost::PictureImage(Picture picture) const {
  static const QImage none;
  switch (picture) {
    case Picture::kMain: return mainPicture_;
    case Picture::kButtons: return buttonPicture_;
    case Picture::kNone: return none;
  }
  return none;
}

std::vector<std::shared_ptr<QtPage>> QtPageHost::OpenPages() const {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<QtPage>> open;
  for (const auto& page : pages_) {
    if (!page->Ended()) open.push_back(page);
  }
  return open;
}

void QtPageHost::AddObserver(automation::PageObserver* observer) { observers_.push_back(observer); }

std::shared_ptr<QtPage> QtPageHost::OpenPage(int templateId, std::function<void(int)> onEnded) {
  const resources::DialogTemplate* dialog = script_->Dialog(templateId);
  if (dialog == nullptr) {
    platform::TraceF("\r\n Pages: no template %d\r\n", templateId);
    return nullptr;
  }
  std::unique_ptr<PageProcedure> procedure = makeProcedure_(templateId, *this);
  if (!procedure) procedure = std::make_unique<PlainProcedure>();
  auto page = std::make_shared<QtPage>(*this, *dialog, std::move(procedure), std::move(onEnded));
  {
    std::lock_guard lock(mutex_);
    if (closed_) return nullptr;
    pages_.push_back(page);
  }
  page->Open();
  return page;
}

int QtPageHost::RunPage(int templateId) {
  return IsGuiThread() ? RunPageHere(templateId) : RunPageFromWorker(templateId);
}

int QtPageHost::RunPageHere(int templateId) {
  QEventLoop loop;
  bool ended = false;
  int result = 0;
  const std::shared_ptr<QtPage> page = OpenPage(templateId, [&](int pageResult) {
    ended = true;
    result = pageResult;
    loop.quit();
  });
  if (!page) return script_->Dialog(templateId) == nullptr ? -1 : 0;
  if (!ended) loop.exec();
  // The application quit under the page: it ends without its user.
  if (!ended) page->End(0);
  return result;
}

int QtPageHost::RunPageFromWorker(int templateId) {
  auto promise = std::make_shared<std::promise<int>>();
  std::future<int> future = promise->get_future();
  bool opened = false;
  const bool served = RunOnGui([&] {
    opened = OpenPage(templateId, [promise](int result) { promise->set_value(result); }) != nullptr;
  });
  if (!served || !opened) return served && script_->Dialog(templateId) == nullptr ? -1 : 0;
  return future.get();
}

void QtPageHost::ShowWaitBox() {
  RunOnGui([this] {
    if (waitBox_ && !waitBox_->Ended()) return;
    waitBox_ = OpenPage(session::kPageWaitBox, nullptr);
  });
}

void QtPageHost::CloseWaitBox() {
  RunOnGui([this] {
    if (waitBox_) waitBox_->DeliverMessage(kMessageCloseWaitBox);
  });
}

void QtPageHost::Shutdown() {
  std::vector<std::shared_ptr<QtPage>> open;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;  // no page opens from here on
    for (const auto& page : pages_) {
      if (!page->Ended()) open.push_back(page);
    }
  }
  for (const auto& page : open) page->End(0);
  // Serve what other threads asked for before the host closed: they wait
  // for this thread, and nothing else would run it now.
  RunQueuedWork();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void QtPageHost::NotifyOpened(const std::shared_ptr<QtPage>& page) {
  const std::shared_ptr<automation::ScriptablePage> scriptable = page;
  for (automation::PageObserver* observer : observers_) observer->PageOpened(scriptable);
}

void QtPageHost::NotifyText(int templateId, int controlId, std::string_view text) {
  for (automation::PageObserver* observer : observers_) observer->TextSet(templateId, controlId, text);
}

void QtPageHost::NotifyEnabled(int templateId, int controlId, bool enabled) {
  for (automation::PageObserver* observer : observers_) observer->EnabledChanged(templateId, controlId, enabled);
}

void QtPageHost::NotifyEnded(const QtPage& page, int result) {
  for (automation::PageObserver* observer : observers_) observer->PageEnded(page, result);
}

}  // namespace corvash::qt
