#include "desktop/qt/qt_page_controls.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <cctype>
#include <string>

#include "desktop/qt/qt_page_style.h"
#include "desktop/resources/resource_script.h"

namespace corvash::qt {

using automation::DialogBaseUnits;
using automation::MapDialogRect;
using automation::PixelRect;

namespace {

using resources::DialogControl;

// Static control types (the low five style bits).
constexpr uint32_t kSsTypeMask = 0x1F;
constexpr uint32_t kSsIcon = 0x3;
constexpr uint32_t kSsGrayRect = 0x5;
constexpr uint32_t kSsWhiteRect = 0x6;
constexpr uint32_t kSsBlackFrame = 0x7;
constexpr uint32_t kSsGrayFrame = 0x8;
constexpr uint32_t kSsWhiteFrame = 0x9;
constexpr uint32_t kSsSimple = 0xB;
constexpr uint32_t kSsLeftNoWordWrap = 0xC;
constexpr uint32_t kSsBitmap = 0xE;
constexpr uint32_t kSsEtchedHorz = 0x10;
constexpr uint32_t kSsEtchedVert = 0x11;
constexpr uint32_t kSsEtchedFrame = 0x12;
constexpr uint32_t kSsNoPrefix = 0x80;
// Button types (the low four style bits).
constexpr uint32_t kBsTypeMask = 0xF;
constexpr uint32_t kBsCheckBox = 0x2;
constexpr uint32_t kBsAutoCheckBox = 0x3;
constexpr uint32_t kBsGroupBox = 0x7;

bool ClassIs(const DialogControl& control, std::string_view name) {
  if (control.className.size() != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(control.className[i])) !=
        std::tolower(static_cast<unsigned char>(name[i])))
      return false;
  }
  return true;
}

// The resource number a picture control names ("157", "#157").
int PictureId(const DialogControl& control) {
  if (control.imageId != 0) return control.imageId;
  std::string digits;
  for (const char c : control.text) {
    if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
  }
  return digits.empty() || digits.size() > 6 ? 0 : std::stoi(digits);
}

QWidget* MakeRect(QWidget& parent, const QColor& colour) {
  auto* rect = new QFrame(&parent);
  QPalette palette = rect->palette();
  palette.setColor(QPalette::Window, colour);
  rect->setPalette(palette);
  rect->setAutoFillBackground(true);
  return rect;
}

QWidget* MakeFrame(QWidget& parent, QFrame::Shape shape, QFrame::Shadow shadow) {
  auto* frame = new QFrame(&parent);
  frame->setFrameShape(shape);
  frame->setFrameShadow(shadow);
  return frame;
}

QLabel* MakeText(QWidget& parent, uint32_t style) {
  auto* label = new QLabel(&parent);
  label->setTextFormat(Qt::PlainText);
  const uint32_t type = style & kSsTypeMask;
  label->setWordWrap(type != kSsSimple && type != kSsLeftNoWordWrap);
  Qt::Alignment horizontal = Qt::AlignLeft;
  if (type == resources::kSsCenter) horizontal = Qt::AlignHCenter;
  if (type == resources::kSsRight) horizontal = Qt::AlignRight;
  label->setAlignment(horizontal | Qt::AlignTop);
  return label;
}

BuiltControl MakeStatic(QWidget& parent, const DialogControl& control, const resources::ResourceScript& script) {
  const uint32_t type = control.style & kSsTypeMask;
  switch (type) {
    case resources::kSsBlackRect: return {&control, MakeRect(parent, Qt::black), ControlRole::kFrame};
    case kSsGrayRect: return {&control, MakeRect(parent, QColor(128, 128, 128)), ControlRole::kFrame};
    case kSsWhiteRect: return {&control, MakeRect(parent, Qt::white), ControlRole::kFrame};
    case kSsBlackFrame:
    case kSsGrayFrame:
    case kSsWhiteFrame:
    case kSsEtchedFrame: return {&control, MakeFrame(parent, QFrame::Box, QFrame::Sunken), ControlRole::kFrame};
    case kSsEtchedHorz: return {&control, MakeFrame(parent, QFrame::HLine, QFrame::Sunken), ControlRole::kFrame};
    case kSsEtchedVert: return {&control, MakeFrame(parent, QFrame::VLine, QFrame::Sunken), ControlRole::kFrame};
    case kSsBitmap:
    case kSsIcon: {
      auto* picture = new QLabel(&parent);
      const QImage image = LoadBitmap(script, PictureId(control));
      if (!image.isNull()) picture->setPixmap(QPixmap::fromImage(image));
      picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return {&control, picture, ControlRole::kPicture};
    }
    default: return {&control, MakeText(parent, control.style), ControlRole::kText};
  }
}

BuiltControl MakeButton(QWidget& parent, const DialogControl& control) {
  const uint32_t type = control.style & kBsTypeMask;
  if (control.kind == resources::ControlKind::kCheckBox || type == kBsCheckBox || type == kBsAutoCheckBox) {
    auto* box = new QCheckBox(&parent);
    return {&control, box, ControlRole::kCheckBox};
  }
  if (type == kBsGroupBox) return {&control, new QGroupBox(&parent), ControlRole::kFrame};
  auto* button = new QPushButton(&parent);
  // Enter is the page's command 1, never a button's own default action.
  button->setAutoDefault(false);
  button->setDefault(false);
  return {&control, button, ControlRole::kButton};
}

BuiltControl MakeControl(QWidget& parent, const DialogControl& control, const resources::ResourceScript& script) {
  using resources::ControlKind;
  switch (control.kind) {
    case ControlKind::kPushButton:
    case ControlKind::kDefPushButton:
    case ControlKind::kCheckBox: return MakeButton(parent, control);
    case ControlKind::kBlackRect: return {&control, MakeRect(parent, Qt::black), ControlRole::kFrame};
    case ControlKind::kProgress: {
      auto* bar = new QProgressBar(&parent);
      bar->setTextVisible(false);
      bar->setRange(0, 100);  // the progress control's own default range
      bar->setValue(0);
      return {&control, bar, ControlRole::kProgress};
    }
    case ControlKind::kText:
    case ControlKind::kBitmap: return MakeStatic(parent, control, script);
    case ControlKind::kOther: break;
  }
  if (ClassIs(control, "button")) return MakeButton(parent, control);
  if (ClassIs(control, "static")) return MakeStatic(parent, control, script);
  return {&control, new QWidget(&parent), ControlRole::kOther};
}

}  // namespace

QString StaticDisplayText(std::string_view utf8, bool prefixes) {
  std::string text;
  text.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (c == '\r') {
      text += '\n';
      if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
    } else if (c == '&' && prefixes) {
      if (i + 1 < utf8.size() && utf8[i + 1] == '&') {
        text += '&';
        ++i;
      }
    } else {
      text += c;
    }
  }
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void SetControlText(const BuiltControl& control, std::string_view utf8) {
  switch (control.role) {
    case ControlRole::kText: {
      auto* label = static_cast<QLabel*>(control.widget);
      label->setText(StaticDisplayText(utf8, (control.source->style & kSsNoPrefix) == 0));
      break;
    }
    case ControlRole::kButton:
    case ControlRole::kCheckBox:
      // Buttons keep "&" for Qt, which reads mnemonics the same way.
      static_cast<QAbstractButton*>(control.widget)->setText(StaticDisplayText(utf8, false));
      break;
    case ControlRole::kFrame:
      if (auto* group = qobject_cast<QGroupBox*>(control.widget)) group->setTitle(StaticDisplayText(utf8, true));
      break;
    default:
      break;
  }
}

std::vector<BuiltControl> BuildControls(QWidget& parent, const resources::DialogTemplate& dialog,
                                        DialogBaseUnits base, const resources::ResourceScript& script) {
  std::vector<BuiltControl> built;
  built.reserve(dialog.controls.size());
  for (const DialogControl& control : dialog.controls) {
    BuiltControl made = MakeControl(parent, control, script);
    const PixelRect rect = MapDialogRect(base, control.x, control.y, control.cx, control.cy);
    made.widget->setGeometry(rect.x, rect.y, rect.width, rect.height);
    made.widget->setEnabled(!control.disabled());
    made.widget->setVisible(control.visible());
    if (made.role != ControlRole::kPicture) SetControlText(made, control.text);
    built.push_back(made);
  }
  return built;
}

}  // namespace corvash::qt
