// The Qt host: pages opened from worker threads run on the GUI thread, page
// calls from other threads are synchronous, timers armed from anywhere fire
// on the GUI thread, the keys and the close box are commands 1 and 2, the
// wait box runs on its own, and the catalogue's pages use the host's services.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <thread>

#include "desktop/qt/qt_page.h"
#include "desktop/qt/qt_page_style.h"
#include "desktop/resources/text_table.h"
#include "tests/pages_host/qt_test_support.h"

namespace corvash::pages::test {

using automation::ClickOutcome;
using automation::DialogBaseUnits;
using automation::MulDiv;
using qt::CreateBoldFont;
using qt::CreateTitleFont;
using qt::DialogFont;
using qt::MeasureBaseUnits;
using qt::QtPage;
using qt::QtPageHost;
using qt::kTitleFontCellHeight;

namespace {

void SendKey(QWidget* window, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &press);
}

template <typename Widget>
Widget* Child(const QtPage& page, const char* className, int index = 0) {
  const QList<Widget*> all = page.Window()->findChildren<Widget*>();
  int seen = 0;
  for (Widget* widget : all) {
    if (QString::fromLatin1(widget->metaObject()->className()) == QLatin1String(className) && seen++ == index)
      return widget;
  }
  return nullptr;
}

using QtPageHostTest = QtHostFixture;

TEST_F(QtPageHostTest, PageOpenedFromWorkerRunsOnGuiThreadAndBlocksTheWorker) {
  std::atomic<int> result{-100};
  std::atomic<bool> workerOnGui{true};
  std::thread worker([&] {
    workerOnGui = OnGuiThread();
    result = host_->RunPage(kQuitOnlyPage);
  });
  const std::shared_ptr<QtPage> page = WaitForPage(kQuitOnlyPage);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(result.load(), -100) << "the worker must wait while the page is open";
  page->PostClick(1175, false, [](ClickOutcome) {});
  ASSERT_TRUE(PumpUntil([&] { return result.load() != -100; }));
  worker.join();

  EXPECT_FALSE(workerOnGui.load());
  EXPECT_EQ(result.load(), 1175);
  const std::vector<ProcedureEvent> events = log_.Events();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].what, "open");
  EXPECT_EQ(events[1].what, "command");
  EXPECT_EQ(events[2].what, "closed");
  for (const ProcedureEvent& event : events) EXPECT_TRUE(event.onGuiThread) << event.what;
}

TEST_F(QtPageHostTest, WorkerCallsReachThePageBeforeTheyReturn) {
  std::atomic<int> result{-100};
  std::thread opener([&] { result = host_->RunPage(kBarPage); });
  const std::shared_ptr<QtPage> page = WaitForPage(kBarPage);
  ASSERT_NE(page, nullptr);

  std::atomic<bool> done{false};
  std::string seenText;
  std::thread worker([&] {
    page->SetProgressRange(1020, 0, 200);
    page->SetProgressPosition(1020, 50);
    page->SetText(1023, "25");
    seenText = page->Text(1023);
    done = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(seenText, "25");
  auto* bar = Child<QProgressBar>(*page, "QProgressBar");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->maximum(), 200);
  EXPECT_EQ(bar->value(), 50);

  std::thread ender([&] { page->End(7); });
  ASSERT_TRUE(PumpUntil([&] { return result.load() != -100; }));
  ender.join();
  opener.join();
  EXPECT_EQ(result.load(), 7);
}

TEST_F(QtPageHostTest, CallsAfterTheEndAreIgnored) {
  const std::shared_ptr<QtPage> page = host_->OpenPage(kBarPage, nullptr);
  ASSERT_NE(page, nullptr);
  page->End(2);
  page->End(1);
  page->SetText(1000, "late");
  page->Enable(1000, false);
  page->SetTimer(2, 10);
  EXPECT_TRUE(page->Ended());
  EXPECT_EQ(page->Result(), 2);
  EXPECT_EQ(page->Text(1000), "opened");
  EXPECT_EQ(log_.Ids("closed"), std::vector<int>{kBarPage});
}

TEST_F(QtPageHostTest, TimerArmedFromAnotherThreadFiresOnTheGuiThread) {
  onTimer_ = [](PageDialog& page, int timerId) {
    page.KillTimer(timerId);
    page.End(timerId);
  };
  const std::shared_ptr<QtPage> page = host_->OpenPage(kBarPage, nullptr);
  ASSERT_NE(page, nullptr);
  std::thread worker([&] { page->SetTimer(2, 90000); });  // 900 ms at the tests' scale
  ASSERT_TRUE(PumpUntil([&] { return page->Ended(); }));
  worker.join();
  EXPECT_EQ(page->Result(), 2);
  const std::vector<ProcedureEvent> events = log_.Events();
  const auto timer = std::find_if(events.begin(), events.end(), [](const auto& e) { return e.what == "timer"; });
  ASSERT_NE(timer, events.end());
  EXPECT_TRUE(timer->onGuiThread);
}

TEST_F(QtPageHostTest, ReArmingATimerFromAWorkerPostponesIt) {
  std::atomic<int> fired{0};
  onTimer_ = [&](PageDialog&, int) { ++fired; };
  const std::shared_ptr<QtPage> page = host_->OpenPage(kBarPage, nullptr);
  ASSERT_NE(page, nullptr);
  page->SetTimer(2, 50000);  // 500 ms at the tests' scale
  const auto start = std::chrono::steady_clock::now();
  std::atomic<bool> stop{false};
  std::thread keeper([&] {
    while (!stop) {
      page->SetTimer(2, 50000);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  PumpUntil([&] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(1200); });
  EXPECT_EQ(fired.load(), 0) << "a watchdog re-armed in time never fires";
  stop = true;
  PumpUntil([] { return false; }, std::chrono::milliseconds(50));
  keeper.join();
  page->KillTimer(2);
}

TEST_F(QtPageHostTest, EnterAndEscapeArriveAsCommandsOneAndTwo) {
  onCommand_ = [](PageDialog&, int) {};
  const std::shared_ptr<QtPage> page = host_->OpenPage(kQuitOnlyPage, nullptr);
  ASSERT_NE(page, nullptr);
  SendKey(page->Window(), Qt::Key_Return);
  SendKey(page->Window(), Qt::Key_Enter);
  SendKey(page->Window(), Qt::Key_Escape);
  QCloseEvent close;
  QCoreApplication::sendEvent(page->Window(), &close);
  EXPECT_EQ(log_.Ids("command"), (std::vector<int>{1, 1, 2, 2}));
  EXPECT_FALSE(page->Ended()) << "a page without buttons 1 and 2 decides itself";
}

TEST_F(QtPageHostTest, EnterDoesNothingWhileButtonOneIsDisabled) {
  const std::shared_ptr<QtPage> page = host_->OpenPage(kAckPage, nullptr);
  ASSERT_NE(page, nullptr);
  SendKey(page->Window(), Qt::Key_Return);
  EXPECT_TRUE(log_.Ids("command").empty());

  auto* box = Child<QCheckBox>(*page, "QCheckBox");
  ASSERT_NE(box, nullptr);
  onCommand_ = [](PageDialog& page, int commandId) {
    if (commandId == 1203) page.Enable(1, page.IsChecked(1203));
    if (commandId == 1) page.End(1);
  };
  box->click();
  EXPECT_TRUE(page->IsChecked(1203));
  EXPECT_TRUE(page->IsEnabled(1));
  SendKey(page->Window(), Qt::Key_Return);
  EXPECT_EQ(log_.Ids("command"), (std::vector<int>{1203, 1}));
  EXPECT_EQ(page->Result(), 1);
}

TEST_F(QtPageHostTest, NestedPageOnTheGuiThreadReturnsItsResult) {
  int nestedResult = -100;
  // The nested page ends itself from its timer, so that nothing outside has
  // to press for it while the outer command waits.
  onTimer_ = [](PageDialog& nested, int) { nested.End(1175); };
  onCommand_ = [&](PageDialog& page, int commandId) {
    if (page.TemplateId() != kAckPage || commandId != 2) return;
    QTimer::singleShot(0, [this] {
      for (const auto& open : host_->OpenPages()) {
        if (open->TemplateId() == kQuitOnlyPage) open->SetTimer(1, 1000);
      }
    });
    nestedResult = host_->RunPage(kQuitOnlyPage);
    page.End(nestedResult);
  };
  const std::shared_ptr<QtPage> outer = host_->OpenPage(kAckPage, nullptr);
  ASSERT_NE(outer, nullptr);
  outer->PostClick(2, false, [](ClickOutcome) {});
  ASSERT_TRUE(PumpUntil([&] { return outer->Ended(); }));
  EXPECT_EQ(nestedResult, 1175);
  EXPECT_EQ(outer->Result(), 1175);
}

TEST_F(QtPageHostTest, WaitBoxOpensAtOnceAndClosesOnMessage1074) {
  std::atomic<bool> returned{false};
  std::thread driver([&] {
    host_->ShowWaitBox();
    returned = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return returned.load(); }));
  driver.join();
  const std::shared_ptr<QtPage> box = WaitForPage(kWaitBox);
  ASSERT_NE(box, nullptr);

  std::thread closer([&] { host_->CloseWaitBox(); });
  ASSERT_TRUE(PumpUntil([&] { return box->Ended(); }));
  closer.join();
  EXPECT_EQ(box->Result(), 1);
  EXPECT_EQ(log_.Ids("message"), std::vector<int>{kMessageCloseWaitBox});
  host_->CloseWaitBox();  // after the end: nothing more
  EXPECT_EQ(log_.Ids("message").size(), 1u);
}

TEST_F(QtPageHostTest, ShowThenCloseAtOnceNeverLeavesTheBoxOpen) {
  std::atomic<bool> done{false};
  std::thread driver([&] {
    host_->ShowWaitBox();
    host_->CloseWaitBox();
    done = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  driver.join();
  EXPECT_TRUE(host_->OpenPages().empty());
}

TEST_F(QtPageHostTest, MissingTemplateGivesMinusOneAndShutdownReleasesWaiters) {
  EXPECT_EQ(host_->RunPage(4711), -1);

  std::atomic<int> result{-100};
  std::thread worker([&] { result = host_->RunPage(kQuitOnlyPage); });
  ASSERT_NE(WaitForPage(kQuitOnlyPage), nullptr);
  host_->Shutdown();
  ASSERT_TRUE(PumpUntil([&] { return result.load() != -100; }));
  worker.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(host_->RunPage(kQuitOnlyPage), 0);
}

TEST_F(QtPageHostTest, PageTakesItsSizeAndCaptionFromTheTemplate) {
  const std::shared_ptr<QtPage> page = host_->OpenPage(kAckPage, nullptr);
  ASSERT_NE(page, nullptr);
  const DialogBaseUnits base = MeasureBaseUnits(DialogFont("Arial", 8));
  EXPECT_EQ(page->Window()->width(), MulDiv(200, base.x, 4));
  EXPECT_EQ(page->Window()->height(), MulDiv(100, base.y, 8));
  EXPECT_EQ(page->Window()->windowTitle(), QStringLiteral(" Test caption"));
  EXPECT_EQ(page->CurrentPicture(), Picture::kMain);
  auto* label = Child<QLabel>(*page, "QLabel");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->geometry(), QRect(MulDiv(10, base.x, 4), MulDiv(10, base.y, 8), MulDiv(180, base.x, 4),
                                     MulDiv(20, base.y, 8)));
}

// The catalogue's pages on the program's own resources use the services
// that the host was made with: leaving the finish page (133) sets the clock.
TEST(QtPageHostServicesTest, CataloguePagesUseTheHostsServices) {
  TestApplication();
  resources::LoadTextTable();
  class CountingClock final : public ClockSetter {
   public:
    int InvokeSetSysTime() override {
      ++calls;
      return 1;
    }
    std::atomic<int> calls{0};
  } clock;
  QtPageHost host({.services = {.clockSetter = clock}});
  std::atomic<int> result{-100};
  std::thread wizard([&] { result = host.RunPage(133); });
  std::shared_ptr<QtPage> page;
  ASSERT_TRUE(PumpUntil([&] {
    for (const auto& open : host.OpenPages()) {
      if (open->TemplateId() == 133 && open->Window() != nullptr) page = open;
    }
    return page != nullptr;
  }));
  page->PostClick(1, false, [](ClickOutcome) {});
  ASSERT_TRUE(PumpUntil([&] { return result.load() != -100; }));
  wizard.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(clock.calls.load(), 1);
  host.Shutdown();
  QCoreApplication::processEvents();
}

TEST(QtPageStyleTest, TitleFontIsArialBlackWithACellOf17Pixels) {
  TestApplication();
  const QFont title = CreateTitleFont(DialogFont("Arial", 8));
  EXPECT_EQ(title.family(), QStringLiteral("Arial"));
  EXPECT_EQ(title.weight(), QFont::Black);
  EXPECT_NEAR(QFontMetrics(title).height(), kTitleFontCellHeight, 1);
  EXPECT_EQ(CreateBoldFont(DialogFont("Arial", 8)).weight(), QFont::Bold);
}

}  // namespace
}  // namespace corvash::pages::test
