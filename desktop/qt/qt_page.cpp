#include "desktop/qt/qt_page.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <climits>

#include "desktop/qt/qt_page_style.h"
#include "common/clock.h"
#include "desktop/resources/resource_script.h"

namespace corvash::qt {

using namespace resources::ids;
using automation::CentredOrigin;
using automation::ClickOutcome;
using automation::DialogBaseUnits;
using automation::MapDialogRect;
using automation::PixelPoint;
using automation::PixelRect;
using pages::Colouring;
using pages::PageProcedure;
using pages::Picture;
using pages::kCommandCancel;
using pages::kCommandOk;

// The page's window: paints the picture, and turns Enter, Escape and the
// close box into the page's commands 1 and 2.
class QtPageWindow final : public QDialog {
 public:
  QtPageWindow(QtPage& page, bool captioned) : QDialog(nullptr), page_(page), captioned_(captioned) {
    Qt::WindowFlags flags = Qt::Dialog;
    if (captioned) {
      flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    } else {
      flags |= Qt::FramelessWindowHint;
    }
    setWindowFlags(flags);
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose, false);
  }

  void SetPicture(const QImage* picture) {
    picture_ = picture;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QDialog::paintEvent(event);
    QPainter painter(this);
    if (picture_ != nullptr && !picture_->isNull()) painter.drawImage(QPoint(kPictureLeft, kPictureTop), *picture_);
    if (!captioned_) {
      // The modal frame of a page without a title bar.
      painter.setPen(palette().color(QPalette::Dark));
      painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
  }

  void keyPressEvent(QKeyEvent* event) override {
    if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
      QWidget::keyPressEvent(event);
      return;
    }
    switch (event->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter: page_.KeyCommand(kCommandOk); break;
      case Qt::Key_Escape: page_.KeyCommand(kCommandCancel); break;
      default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
  }

  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    page_.KeyCommand(kCommandCancel);
  }

  void reject() override { page_.KeyCommand(kCommandCancel); }
  void accept() override { page_.KeyCommand(kCommandOk); }

 private:
  QtPage& page_;
  const bool captioned_;
  const QImage* picture_ = nullptr;
};

namespace {

int ScaledTimerMs(uint32_t ms) {
  const auto real = std::chrono::ceil<std::chrono::milliseconds>(common::ScaledDuration(ms)).count();
  return static_cast<int>(std::clamp<int64_t>(real, 0, INT_MAX));
}

int ClampToInt(uint32_t value) { return static_cast<int>(std::min<uint32_t>(value, INT_MAX)); }

Picture DefaultPicture(const resources::DialogTemplate& dialog) {
  if (!dialog.hasCaption) return Picture::kNone;
  // The pages that explain the device's buttons show the buttons' picture.
  switch (dialog.id) {
    case kScreenUpdateError:
    case kPageResetInstructions:
    case kPageBootInstructions: return Picture::kButtons;
    default: return Picture::kMain;
  }
}

}  // namespace

QtPage::QtPage(QtPageSite& host, const resources::DialogTemplate& dialog, std::unique_ptr<PageProcedure> procedure,
               std::function<void(int)> onEnded)
    : host_(host), dialog_(dialog), procedure_(std::move(procedure)), onEnded_(std::move(onEnded)) {
  for (const resources::DialogControl& control : dialog_.controls) {
    if (control.kind == resources::ControlKind::kPushButton || control.kind == resources::ControlKind::kDefPushButton ||
        control.kind == resources::ControlKind::kCheckBox)
      needsUser_ = true;
  }
}

QtPage::~QtPage() {
  if (window_) delete window_.data();
}

void QtPage::Open() {
  const QFont font = DialogFont(dialog_.fontName, dialog_.fontPointSize);
  const DialogBaseUnits base = MeasureBaseUnits(font);
  window_ = new QtPageWindow(*this, dialog_.hasCaption);
  window_->setFont(font);
  const PixelRect size = MapDialogRect(base, 0, 0, dialog_.cx, dialog_.cy);
  window_->setFixedSize(size.width, size.height);
  controls_ = BuildControls(*window_, dialog_, base, host_.Script());

  {
    std::lock_guard lock(stateMutex_);
    for (const BuiltControl& control : controls_) {
      if (state_.count(control.source->id) != 0) continue;
      ControlState& state = state_[control.source->id];
      state.text = control.source->text;
      state.enabled = !control.source->disabled();
      state.visible = control.source->visible();
      state.role = control.role;
    }
  }
  for (const BuiltControl& control : controls_) {
    if (control.role != ControlRole::kButton && control.role != ControlRole::kCheckBox) continue;
    auto* button = static_cast<QAbstractButton*>(control.widget);
    const int id = control.source->id;
    QObject::connect(button, &QAbstractButton::clicked, window_, [this, id, button] {
      if (button->isCheckable()) {
        std::lock_guard lock(stateMutex_);
        state_[id].checked = button->isChecked();
      }
      ControlCommand(id);
    });
  }

  if (dialog_.hasCaption) {
    window_->setWindowTitle(QString::fromStdString(host_.Script().String(kTextCaption)));
  } else if (!dialog_.caption.empty()) {
    window_->setWindowTitle(QString::fromStdString(dialog_.caption));
  }
  SetPicture(DefaultPicture(dialog_));
  // The flash's progress page shows the wait cursor while the pointer is over it.
  if (dialog_.id == kPageProgress) window_->setCursor(Qt::WaitCursor);

  host_.NotifyOpened(shared_from_this());
  procedure_->OnOpen(*this);
  if (Ended() || !window_) return;
  CentreOnScreen();
  window_->show();
  // SetForegroundWindow; the offscreen platform has no stacking to change.
  if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
    window_->raise();
    window_->activateWindow();
  }
}

void QtPage::CentreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || !window_) return;
  const QRect area = screen->geometry();
  const QSize frame = window_->frameGeometry().size();
  const PixelPoint origin = CentredOrigin(area.width(), area.height(), frame.width(), frame.height());
  window_->move(area.x() + origin.x, area.y() + origin.y);
}

QDialog* QtPage::Window() const { return window_.data(); }

int QtPage::Result() const {
  std::lock_guard lock(stateMutex_);
  return result_;
}

Picture QtPage::CurrentPicture() const {
  std::lock_guard lock(stateMutex_);
  return picture_;
}

int QtPage::TemplateId() const { return dialog_.id; }

void QtPage::OnPage(const std::function<void()>& change) {
  if (Ended()) return;
  host_.RunOnGui([&] {
    if (!Ended() && window_) change();
  });
}

const BuiltControl* QtPage::Control(int controlId) const {
  for (const BuiltControl& control : controls_) {
    if (control.source->id == controlId) return &control;
  }
  return nullptr;
}

void QtPage::SetCaption(std::string_view text) {
  OnPage([&] { window_->setWindowTitle(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))); });
}

void QtPage::SetText(int controlId, std::string_view text) {
  OnPage([&] {
    const BuiltControl* control = Control(controlId);
    if (control == nullptr) return;
    SetControlText(*control, text);
    {
      std::lock_guard lock(stateMutex_);
      state_[controlId].text = std::string(text);
    }
    host_.NotifyText(dialog_.id, controlId, text);
  });
}

std::string QtPage::Text(int controlId) const {
  std::lock_guard lock(stateMutex_);
  const auto found = state_.find(controlId);
  return found == state_.end() ? std::string() : found->second.text;
}

void QtPage::Enable(int controlId, bool enabled) {
  OnPage([&] {
    const BuiltControl* control = Control(controlId);
    if (control == nullptr) return;
    control->widget->setEnabled(enabled);
    bool changed = false;
    {
      std::lock_guard lock(stateMutex_);
      ControlState& state = state_[controlId];
      changed = state.enabled != enabled;
      state.enabled = enabled;
    }
    if (changed) host_.NotifyEnabled(dialog_.id, controlId, enabled);
  });
}

bool QtPage::IsEnabled(int controlId) const { return IsControlEnabled(controlId); }

bool QtPage::IsControlEnabled(int controlId) const {
  std::lock_guard lock(stateMutex_);
  const auto found = state_.find(controlId);
  return found != state_.end() && found->second.enabled;
}

void QtPage::ShowControl(int controlId, bool visible) {
  OnPage([&] {
    const BuiltControl* control = Control(controlId);
    if (control == nullptr) return;
    control->widget->setVisible(visible);
    std::lock_guard lock(stateMutex_);
    state_[controlId].visible = visible;
  });
}

bool QtPage::IsChecked(int controlId) const {
  std::lock_guard lock(stateMutex_);
  const auto found = state_.find(controlId);
  return found != state_.end() && found->second.checked;
}

void QtPage::SetTitleFont(int controlId) {
  OnPage([&] {
    if (const BuiltControl* control = Control(controlId)) control->widget->setFont(CreateTitleFont(window_->font()));
  });
}

void QtPage::SetBoldFont(int controlId) {
  OnPage([&] {
    if (const BuiltControl* control = Control(controlId)) control->widget->setFont(CreateBoldFont(window_->font()));
  });
}

void QtPage::SetColouring(int controlId, Colouring colouring) {
  OnPage([&] {
    if (const BuiltControl* control = Control(controlId)) ApplyColouring(*control->widget, colouring);
  });
}

void QtPage::SetPicture(Picture picture) {
  OnPage([&] {
    {
      std::lock_guard lock(stateMutex_);
      picture_ = picture;
    }
    const QImage& image = host_.PictureImage(picture);
    window_->SetPicture(image.isNull() ? nullptr : &image);
  });
}

void QtPage::SetProgressRange(int controlId, uint32_t low, uint32_t high) {
  OnPage([&] {
    const BuiltControl* control = Control(controlId);
    if (control == nullptr || control->role != ControlRole::kProgress) return;
    static_cast<QProgressBar*>(control->widget)->setRange(ClampToInt(low), ClampToInt(std::max(low, high)));
  });
}

void QtPage::SetProgressPosition(int controlId, uint32_t position) {
  OnPage([&] {
    const BuiltControl* control = Control(controlId);
    if (control == nullptr || control->role != ControlRole::kProgress) return;
    auto* bar = static_cast<QProgressBar*>(control->widget);
    // The bar keeps a position outside its range at the nearer end.
    bar->setValue(std::clamp(ClampToInt(position), bar->minimum(), bar->maximum()));
  });
}

void QtPage::SetTimer(int timerId, uint32_t ms) {
  OnPage([&] {
    QTimer*& timer = timers_[timerId];
    if (timer == nullptr) {
      timer = new QTimer(window_);
      timer->setTimerType(Qt::PreciseTimer);
      QObject::connect(timer, &QTimer::timeout, window_, [this, timerId] { FireTimer(timerId); });
    }
    timer->start(ScaledTimerMs(ms));
  });
}

void QtPage::KillTimer(int timerId) {
  OnPage([&] {
    const auto found = timers_.find(timerId);
    if (found != timers_.end()) found->second->stop();
  });
}

void QtPage::FireTimer(int timerId) {
  if (Ended()) return;
  procedure_->OnTimer(*this, timerId);
}

void QtPage::SetPageVisible(bool visible) {
  OnPage([&] { window_->setVisible(visible); });
}

void QtPage::SetWaitCursor(bool on) {
  OnPage([&] {
    if (on) {
      window_->setCursor(Qt::WaitCursor);
    } else {
      window_->unsetCursor();
    }
  });
}

void QtPage::End(int result) {
  OnPage([&] { Finish(result); });
}

bool QtPage::Ended() const {
  std::lock_guard lock(stateMutex_);
  return ended_;
}

void QtPage::Finish(int result) {
  {
    std::lock_guard lock(stateMutex_);
    if (ended_) return;
    ended_ = true;
    result_ = result;
  }
  for (auto& [id, timer] : timers_) timer->stop();
  timers_.clear();
  if (window_) {
    window_->hide();
    window_->deleteLater();
  }
  window_.clear();
  controls_.clear();
  host_.NotifyEnded(*this, result);
  procedure_->OnClosed(*this);
  if (onEnded_) {
    auto onEnded = std::move(onEnded_);
    onEnded_ = nullptr;
    onEnded(result);
  }
}

void QtPage::DeliverMessage(int message) {
  if (!Ended()) procedure_->OnMessage(*this, message);
}

void QtPage::KeyCommand(int commandId) {
  if (Ended()) return;
  // A disabled button 1 (2) also shuts off its key, as the dialog manager does.
  if (const BuiltControl* control = Control(commandId)) {
    if (control->role == ControlRole::kButton && !control->widget->isEnabled()) return;
  }
  RunCommand(commandId);
}

void QtPage::ControlCommand(int commandId) {
  if (!Ended()) RunCommand(commandId);
}

void QtPage::RunCommand(int commandId) {
  {
    std::lock_guard lock(stateMutex_);
    ++commandsRunning_;
  }
  procedure_->OnCommand(*this, commandId);
  std::lock_guard lock(stateMutex_);
  --commandsRunning_;
}

bool QtPage::NeedsUser() const { return needsUser_; }

bool QtPage::Busy() const {
  std::lock_guard lock(stateMutex_);
  return commandsRunning_ > 0;
}

ClickOutcome QtPage::Click(int controlId, bool checkBox) {
  if (Ended() || !window_) return ClickOutcome::kPageEnded;
  const BuiltControl* control = Control(controlId);
  if (control == nullptr) {
    if (checkBox || (controlId != kCommandOk && controlId != kCommandCancel)) return ClickOutcome::kNoSuchControl;
    KeyCommand(controlId);
    return ClickOutcome::kHandled;
  }
  if (checkBox && control->role != ControlRole::kCheckBox) return ClickOutcome::kNotCheckBox;
  if (control->role != ControlRole::kButton && control->role != ControlRole::kCheckBox) return ClickOutcome::kNoSuchControl;
  if (!control->widget->isEnabled()) return ClickOutcome::kDisabled;
  if (control->widget->isHidden()) return ClickOutcome::kHidden;
  static_cast<QAbstractButton*>(control->widget)->click();
  return ClickOutcome::kHandled;
}

void QtPage::PostClick(int controlId, bool checkBox, std::function<void(ClickOutcome)> done) {
  std::shared_ptr<QtPage> self = shared_from_this();
  host_.PostToGui([self, controlId, checkBox, done = std::move(done)] { done(self->Click(controlId, checkBox)); });
}

}  // namespace corvash::qt
