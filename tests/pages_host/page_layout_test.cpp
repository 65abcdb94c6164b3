// The layout of every page and screen of the program's resources, as the Qt
// host shows it with the pages' own texts: every text shows whole, no two
// controls cover each other, nothing covers the picture, and every bullet
// stands in front of the first line of an item. Measured with the dialog
// font, so it needs "Arial" or a font with its metrics (Liberation Sans).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>
#include <QTextLayout>
#include <functional>
#include <memory>
#include <vector>

#include "desktop/session/update_session.h"
#include "desktop/session/page_host.h"
#include "desktop/qt/qt_page.h"
#include "desktop/qt/qt_page_host.h"
#include "desktop/qt/qt_page_style.h"
#include "common/fixed_text.h"
#include "desktop/resources/resource_script.h"
#include "desktop/resources/text_table.h"
#include "tests/pages_host/qt_test_support.h"

namespace corvash::pages::test {

using qt::DialogFont;
using qt::QtPage;
using qt::QtPageHost;
using qt::kPictureLeft;
using qt::kPictureTop;

namespace {

using resources::ControlKind;
using resources::DialogControl;

// One line as the text control draws it after wrapping.
struct VisualLine {
  QString text;
  bool startsItem = false;  // the first piece of a line of the text itself
};

struct PlacedControl {
  const DialogControl* source = nullptr;
  QWidget* widget = nullptr;
};

void FillSampleSession(session::UpdateSession& session) {
  common::CopyText(session.handheld.deviceModel, "K5210");
  common::CopyText(session.handheld.deviceVariant, "WBT");
  common::CopyText(session.handheld.deviceLangCode, "cht");
  common::CopyText(session.handheld.deviceLanguage, "TChinese");
  common::CopyText(session.handheld.deviceVersion, "2.04");
  common::CopyText(session.image.imageModel, "K5210");
  common::CopyText(session.image.imageLanguage, "SChinese");
  common::CopyText(session.image.imageVersion, "2.10");
  session.image.imageSizeKB = 40960;
  session.handheld.flashSizeMB = 32;
  session.serialLink.store(1);
}

int LineHeight(const QFont& font) {
  const QFontMetrics metrics(font);
  const QRect room(0, 0, 10000, 10000);
  return metrics.boundingRect(room, Qt::TextWordWrap, QStringLiteral("X\nX")).height() -
         metrics.boundingRect(room, Qt::TextWordWrap, QStringLiteral("X")).height();
}

std::vector<VisualLine> VisualLines(const QLabel& label) {
  std::vector<VisualLine> lines;
  QTextOption option;
  option.setWrapMode(QTextOption::WordWrap);
  for (const QString& piece : label.text().split(QLatin1Char('\n'))) {
    QTextLayout layout(piece, label.font());
    layout.setTextOption(option);
    layout.beginLayout();
    bool first = true;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(label.contentsRect().width());
      lines.push_back({piece.mid(line.textStart(), line.textLength()), first});
      first = false;
    }
    layout.endLayout();
    if (first) lines.push_back({QString(), true});
  }
  return lines;
}

QString WithoutTrailingBlanks(QString text) {
  while (text.endsWith(QLatin1Char(' '))) text.chop(1);
  return text;
}

// Pixel width of the blanks that start `text`.
int LeadingBlanksWidth(const QString& text, const QFont& font) {
  qsizetype blanks = 0;
  while (blanks < text.size() && text[blanks] == QLatin1Char(' ')) ++blanks;
  return QFontMetrics(font).horizontalAdvance(text.left(blanks));
}

class PageLayoutTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    TestApplication();
    resources::LoadTextTable();
  }

  void SetUp() override {
    const QString family = QFontInfo(DialogFont("Arial", 8)).family();
    if (family != QStringLiteral("Arial") && family != QStringLiteral("Liberation Sans"))
      GTEST_SKIP() << "no font with Arial's metrics (found " << family.toStdString() << ")";
    host_ = std::make_unique<QtPageHost>(qt::QtPageHostOptions{.run = &run_});
  }

  void TearDown() override {
    if (!host_) return;
    host_->Shutdown();
    QCoreApplication::processEvents();
  }

  // Opens every template with the sample session and hands its controls,
  // in template order, to `check` while the page is open.
  void ForEveryPage(const std::function<void(int, const QDialog&, const std::vector<PlacedControl>&)>& check) {
    const resources::ResourceScript& script = host_->Script();
    for (const int id : script.DialogIds()) {
      SCOPED_TRACE("template " + std::to_string(id));
      FillSampleSession(run_);
      const std::shared_ptr<QtPage> page = host_->OpenPage(id, nullptr);
      ASSERT_NE(page, nullptr);
      ASSERT_NE(page->Window(), nullptr);
      std::vector<PlacedControl> placed;
      const std::vector<DialogControl>& controls = script.Dialog(id)->controls;
      size_t built = 0;  // the host builds one child widget per control, in template order
      for (QObject* child : page->Window()->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget == nullptr) continue;
        ASSERT_LT(built, controls.size());
        if (widget->isVisibleTo(page->Window())) placed.push_back({&controls[built], widget});
        ++built;
      }
      ASSERT_EQ(built, controls.size());
      check(id, *page->Window(), placed);
      page->End(0);
      QCoreApplication::processEvents();
    }
  }

  session::UpdateSession run_;
  std::unique_ptr<QtPageHost> host_;
};

TEST_F(PageLayoutTest, EveryTextShowsWhole) {
  ForEveryPage([](int, const QDialog&, const std::vector<PlacedControl>& controls) {
    for (const PlacedControl& control : controls) {
      if (auto* label = qobject_cast<QLabel*>(control.widget); label != nullptr && !label->text().isEmpty()) {
        const int width = label->contentsRect().width();
        EXPECT_LE(label->heightForWidth(width), label->height()) << "control " << control.source->id;
        for (const VisualLine& line : VisualLines(*label))
          EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(WithoutTrailingBlanks(line.text)), width)
              << "control " << control.source->id << ": " << line.text.toStdString();
      } else if (auto* button = qobject_cast<QAbstractButton*>(control.widget); button != nullptr) {
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()) + 2 * margin, button->width())
            << "button " << control.source->id;
      }
    }
  });
}

// A line that the text itself breaks before an indented continuation is laid
// out by hand: wrapping it would leave a word alone on a line.
TEST_F(PageLayoutTest, LinesBrokenByHandBeforeAnIndentDoNotWrap) {
  ForEveryPage([](int, const QDialog&, const std::vector<PlacedControl>& controls) {
    for (const PlacedControl& control : controls) {
      auto* label = qobject_cast<QLabel*>(control.widget);
      if (label == nullptr) continue;
      const QStringList lines = label->text().split(QLatin1Char('\n'));
      for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i + 1].startsWith(QStringLiteral("  "))) continue;
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(WithoutTrailingBlanks(lines[i])),
                  label->contentsRect().width())
            << "control " << control.source->id << ": " << lines[i].toStdString();
      }
    }
  });
}

// A bullet may stand in the blank indent of a text, and a label may be laid
// over the leading blanks of another text that keep room for it; nothing
// else may cover another control or the picture.
TEST_F(PageLayoutTest, NothingCoversAnotherControlOrThePicture) {
  ForEveryPage([](int, const QDialog& window, const std::vector<PlacedControl>& controls) {
    const bool hasPicture = window.windowFlags().testFlag(Qt::WindowTitleHint);
    const QRect picture(kPictureLeft, kPictureTop, 240, 320);
    for (size_t i = 0; i < controls.size(); ++i) {
      const QRect area = controls[i].widget->geometry();
      EXPECT_FALSE(hasPicture && area.intersects(picture)) << "control " << controls[i].source->id;
      for (size_t j = i + 1; j < controls.size(); ++j) {
        if (!area.intersects(controls[j].widget->geometry())) continue;
        const PlacedControl* upper = &controls[i];
        const PlacedControl* lower = &controls[j];
        auto* text = qobject_cast<QLabel*>(lower->widget);
        if (text == nullptr) {
          std::swap(upper, lower);
          text = qobject_cast<QLabel*>(lower->widget);
        }
        const QRect top = upper->widget->geometry();
        bool allowed = false;
        if (text != nullptr && upper->source->kind == ControlKind::kBlackRect) {
          const std::vector<VisualLine> lines = VisualLines(*text);
          const size_t row = static_cast<size_t>((top.center().y() - text->y()) / LineHeight(text->font()));
          allowed = row < lines.size() && text->x() + LeadingBlanksWidth(lines[row].text, text->font()) > top.right() + 1;
        } else if (auto* label = qobject_cast<QLabel*>(upper->widget); label != nullptr && text != nullptr) {
          allowed = top.topLeft() == text->geometry().topLeft() &&
                    QFontMetrics(label->font()).horizontalAdvance(label->text()) <
                        LeadingBlanksWidth(VisualLines(*text).front().text, text->font());
        }
        EXPECT_TRUE(allowed) << "controls " << controls[i].source->id << " and " << controls[j].source->id;
      }
    }
  });
}

TEST_F(PageLayoutTest, EveryBulletMarksTheFirstLineOfAnItem) {
  ForEveryPage([](int, const QDialog&, const std::vector<PlacedControl>& controls) {
    for (const PlacedControl& bullet : controls) {
      if (bullet.source->kind != ControlKind::kBlackRect) continue;
      const QRect mark = bullet.widget->geometry();
      const QLabel* beside = nullptr;
      for (const PlacedControl& control : controls) {
        auto* label = qobject_cast<QLabel*>(control.widget);
        const QRect area = control.widget->geometry();
        if (label != nullptr && area.top() <= mark.center().y() && area.bottom() >= mark.center().y() &&
            area.right() > mark.right() && area.left() <= mark.right() + 16)
          beside = label;
      }
      ASSERT_NE(beside, nullptr) << "bullet at " << bullet.source->x << "," << bullet.source->y;
      const int lineHeight = LineHeight(beside->font());
      const int offset = mark.y() - beside->y();
      const std::vector<VisualLine> lines = VisualLines(*beside);
      const size_t row = static_cast<size_t>(offset / lineHeight);
      ASSERT_LT(row, lines.size()) << "bullet at " << bullet.source->x << "," << bullet.source->y;
      EXPECT_TRUE(lines[row].startsItem && !lines[row].text.trimmed().isEmpty())
          << "bullet at " << bullet.source->x << "," << bullet.source->y << " marks \"" << lines[row].text.toStdString()
          << "\"";
      // The square sits within its line, not across two.
      EXPECT_LE(offset % lineHeight + mark.height(), lineHeight)
          << "bullet at " << bullet.source->x << "," << bullet.source->y;
    }
  });
}

}  // namespace
}  // namespace corvash::pages::test
