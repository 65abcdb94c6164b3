#include "emulator/window/handheld_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "common/clock.h"
#include "emulator/window/handheld_screen.h"

namespace corvash::emulator::window {
namespace {

// How often the window looks at the handheld, in the system's milliseconds.
constexpr uint32_t kPollMs = 250;
// The body's edge around the display and controls.
constexpr int kBezel = 26;

const char* const kStyle = R"(
  QLabel#brand { color: #c9d1dc; font: bold 13px "Liberation Sans"; letter-spacing: 3px; }
  QLabel#mode { color: #e8ecf2; font: 13px "Liberation Sans"; }
  QLabel#download { color: #aab4c2; font: 12px "Liberation Sans"; }
  QLabel#status { color: #ffb4a8; font: 12px "Liberation Sans"; }
  QProgressBar { background: #1b1f26; border: 1px solid #3a414d; border-radius: 4px; max-height: 8px; }
  QProgressBar::chunk { background: #4fa3ff; border-radius: 3px; }
  QPushButton#reset { color: #e8ecf2; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4a525f,
                      stop:1 #2c323b); border: 1px solid #1a1d22; border-radius: 15px; padding: 6px 14px;
                      font: bold 13px "Liberation Sans"; }
  QPushButton#reset:pressed { background: #22272e; }
  QPushButton#plug { color: #c9d1dc; background: #2a2f37; border: 1px solid #444c58; border-radius: 6px;
                     padding: 5px 10px; font: 12px "Liberation Sans"; }
  QPushButton#plug:checked { color: #0c1a0f; background: #7fd18b; border-color: #5fb36c; }
  QPushButton:disabled { color: #7a8290; }
)";

QLabel* Label(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  return label;
}

QString Hex(uint32_t value) { return QString("%1").arg(value, 8, 16, QChar('0')).toUpper(); }

}  // namespace

HandheldWindow::HandheldWindow(HandheldPanel& panel, QWidget* parent) : QWidget(parent), panel_(panel) {
  setWindowTitle(QString("Quor 5210 - %1").arg(QString::fromStdString(panel_.Name())));
  setStyleSheet(kStyle);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kBezel + 12, kBezel, kBezel + 12, kBezel + 6);
  layout->setSpacing(10);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  auto* top = new QHBoxLayout;
  QLabel* brand = Label("brand", this);
  brand->setText("QUOR");
  mode_ = Label("mode", this);
  top->addWidget(brand);
  top->addStretch();
  top->addWidget(mode_);
  layout->addLayout(top);

  screen_ = new HandheldScreen(this);
  layout->addWidget(screen_, 0, Qt::AlignHCenter);

  download_ = Label("download", this);
  progress_ = new QProgressBar(this);
  progress_->setTextVisible(false);
  layout->addWidget(download_);
  layout->addWidget(progress_);
  layout->addWidget(MakeControls());
  status_ = Label("status", this);
  status_->setWordWrap(true);
  layout->addWidget(status_);

  poll_ = new QTimer(this);
  const auto period = std::chrono::duration_cast<std::chrono::milliseconds>(common::ScaledDuration(kPollMs));
  poll_->start(std::max<int>(10, static_cast<int>(period.count())));
  connect(poll_, &QTimer::timeout, this, [this] { Refresh(); });
  outcomePoll_ = new QTimer(this);
  connect(outcomePoll_, &QTimer::timeout, this, [this] { TakeActionOutcome(); });
  Refresh();
}

HandheldWindow::~HandheldWindow() {
  if (action_.joinable()) action_.join();
}

QWidget* HandheldWindow::MakeControls() {
  auto* controls = new QWidget(this);
  auto* grid = new QVBoxLayout(controls);
  grid->setContentsMargins(0, 4, 0, 0);
  grid->setSpacing(10);

  auto* resets = new QHBoxLayout;
  bootLoader_ = new QPushButton("Reset to &boot loader", controls);
  system_ = new QPushButton("Reset to &system", controls);
  for (QPushButton* button : {bootLoader_, system_}) {
    button->setObjectName("reset");
    button->setCursor(Qt::PointingHandCursor);
    resets->addWidget(button);
  }
  bootLoader_->setToolTip("Restart the handheld into its boot loader (ctl bootloader)");
  system_->setToolTip("Restart the handheld into its system (ctl system)");
  connect(bootLoader_, &QPushButton::clicked, this, [this] { Act("bootloader"); });
  connect(system_, &QPushButton::clicked, this, [this] { Act("system"); });

  auto* plugs = new QHBoxLayout;
  mains_ = new QPushButton("&Mains plug", controls);
  cable_ = new QPushButton("Sync &cable", controls);
  for (QPushButton* toggle : {mains_, cable_}) {
    toggle->setObjectName("plug");
    toggle->setCheckable(true);
    toggle->setCursor(Qt::PointingHandCursor);
    plugs->addWidget(toggle);
  }
  mains_->setToolTip("Plug or pull the mains (ctl mains / ctl battery)");
  cable_->setToolTip("Plug or pull the sync cable (ctl plug / ctl unplug)");
  connect(mains_, &QPushButton::clicked, this, [this](bool on) { Act(on ? "mains" : "battery"); });
  connect(cable_, &QPushButton::clicked, this, [this](bool on) { Act(on ? "plug" : "unplug"); });

  grid->addLayout(resets);
  grid->addLayout(plugs);
  return controls;
}

void HandheldWindow::Refresh() {
  if (panel_.Ended()) {
    poll_->stop();
    close();
    return;
  }
  Show(panel_.Snapshot());
}

void HandheldWindow::Show(const HandheldSnapshot& snapshot) {
  screen_->Show(snapshot);
  switch (snapshot.mode) {
    case HandheldMode::System: mode_->setText("\u25CF System"); break;
    case HandheldMode::BootLoader: mode_->setText("\u25CF Boot loader"); break;
    case HandheldMode::Off: mode_->setText("\u25CB Off"); break;
  }
  const DownloadProgress& load = snapshot.download;
  if (load.active) {
    const QString of = load.expectedRecords ? QString(" of %1").arg(load.expectedRecords) : QString();
    download_->setText(QString("Flashing at %1: record %2%3").arg(Hex(load.startAddress)).arg(load.records).arg(of));
    progress_->setRange(0, 1000);
    progress_->setValue(load.total ? static_cast<int>(uint64_t{load.bytesStored} * 1000 / load.total) : 0);
  } else {
    download_->setText(snapshot.downloadsCompleted
                           ? QString("No download running (%1 received)").arg(snapshot.downloadsCompleted)
                           : QString("No download running"));
    progress_->setRange(0, 1000);
    progress_->setValue(0);
  }
  mains_->setChecked(snapshot.power == PowerSource::Mains);
  mains_->setText(snapshot.power == PowerSource::Mains ? "&Mains plugged in" : "&Mains pulled (battery)");
  cable_->setChecked(snapshot.cablePlugged);
  cable_->setText(snapshot.cablePlugged ? "Sync &cable plugged in" : "Sync &cable pulled");
}

QString HandheldWindow::ModeText() const { return mode_->text(); }
QString HandheldWindow::DownloadText() const { return download_->text(); }

void HandheldWindow::Act(const std::string& action) {
  if (acting_) return;
  acting_ = true;
  EnableControls(false);
  status_->clear();
  if (action_.joinable()) action_.join();
  // The outcome is taken on the GUI thread by a quick look every 10 ms while
  // the action runs: nothing of the action's thread crosses through Qt's
  // event queue, and the controls come back as soon as it is done.
  outcomePoll_->start(10);
  action_ = std::thread([this, action] {
    std::string error;
    const bool done = panel_.Act(action, &error);
    std::lock_guard lock(outcomeMutex_);
    outcome_.emplace(done, std::move(error));
  });
}

void HandheldWindow::TakeActionOutcome() {
  std::optional<std::pair<bool, std::string>> outcome;
  {
    std::lock_guard lock(outcomeMutex_);
    outcome.swap(outcome_);
  }
  if (!outcome) return;
  outcomePoll_->stop();
  ActionDone(outcome->first, QString::fromStdString(outcome->second));
}

void HandheldWindow::ActionDone(bool done, const QString& error) {
  acting_ = false;
  EnableControls(true);
  if (!done) status_->setText(error.isEmpty() ? QString("The handheld could not do it.") : error);
  Refresh();
}

void HandheldWindow::EnableControls(bool enable) {
  for (QPushButton* button : {bootLoader_, system_, mains_, cable_}) button->setEnabled(enable);
}

void HandheldWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), QColor(0xE9, 0xEC, 0xF1));
  const QRectF body = QRectF(rect()).adjusted(10, 6, -10, -6);
  QPainterPath shape;
  shape.addRoundedRect(body, 30, 30);
  QLinearGradient shell(body.topLeft(), body.topRight());
  shell.setColorAt(0, QColor(0x3B, 0x42, 0x4D));
  shell.setColorAt(0.5, QColor(0x4A, 0x52, 0x5F));
  shell.setColorAt(1, QColor(0x33, 0x39, 0x43));
  painter.fillPath(shape, shell);
  painter.setPen(QPen(QColor(0x22, 0x26, 0x2D), 2));
  painter.drawPath(shape);
  // The display's frame.
  const QRectF frame = QRectF(screen_->geometry()).adjusted(-6, -6, 6, 6);
  QPainterPath bezel;
  bezel.addRoundedRect(frame, 6, 6);
  painter.fillPath(bezel, QColor(0x15, 0x18, 0x1D));
}

}  // namespace corvash::emulator::window
