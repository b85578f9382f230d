// The diagnostics report and the tag editor as real widgets, offscreen: texts, fonts, colours (the
// longest texts fitting their fields: window_fit).
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>

#include "diagnostics/frm_edit_tag.h"
#include "diagnostics/frm_report.h"
#include "link/alarm_text.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/qt_wait.h"
#include "platform/qt/text_fit.h"
#include "support/test_form.h"
#include "support/working_link.h"

namespace orvik::diagnostics {
namespace {

using orvik::testing::processEventsUntil;

class DiagnosticsWidgets : public ::testing::Test {
 protected:
  ~DiagnosticsWidgets() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  QLabel* label(const platform::Form& form, const char* name) {
    return qobject_cast<QLabel*>(ui.widgetOf(form, name));
  }

  platform::qt::QtUi ui;
  link::RunState state;
  testing::WorkingLink working{state, ui.timers()};  // requests go nowhere
  link::ControllerLink& link = working.link;
  testing::TestForm mainWindow{ui, "frmMain"};
};

TEST_F(DiagnosticsWidgets, TheReportShowsItsRowsCaptionsFontsAndColours) {
  frmReport report(ui, link, mainWindow);
  ui.show(report);
  ASSERT_TRUE(processEventsUntil([&] { return ui.windowOf(report) != nullptr; }));
  EXPECT_EQ(ui.windowOf(report)->windowTitle(), "Orvik Report");
  const std::vector<std::pair<const char*, const char*>> captions = {
      {"lblBVgainCaption", "Battery Voltage Gain:"},
      {"lblTEgainCaption", "TE Module Voltage Gain:"},
      {"lblBTgainCaption", "Battery Temperature Gain:"},
      {"lblBToffsetCaption", "Battery Temperature Offset:"},
      {"lblPowerOnCyclesCaption", "Power On Cycles:"},
      {"lblShutdownCountCaption", "Diagnostic Shutdown Count:"},
      {"lblShutdownModeCaption", "Operating Mode at Last Shutdown:"},
      {"lblTEvoltsCaption", "TE Module Volts at Last Shutdown:"},
      {"lblBatVoltsCaption", "Battery Volts at Last Shutdown:"},
      {"lblBatTempCaption", "Battery Temp. at Last Shutdown:"},
      {"lblStatus", "Reading Battery Temperature at Shutdown..."}};
  for (const auto& [name, text] : captions) {
    QLabel* l = label(report, name);
    ASSERT_NE(l, nullptr) << name;
    if (std::string(name) != "lblStatus") {
      EXPECT_EQ(l->text(), text) << name;
      EXPECT_TRUE(l->alignment() & Qt::AlignRight) << name;
      const std::string value(name, std::strlen(name) - std::strlen("Caption"));  // lblBVgain
      EXPECT_EQ(testing::captionOf(*label(report, value.c_str())), text) << value << " is spoken with it";
    }
  }
  EXPECT_EQ(testing::margins(*label(report, "lblTag")->parentWidget()), std::make_pair(8, 8))
      << "left, right";
  for (const char* group : {"fraConstants", "fraLog"}) {
    auto* box = qobject_cast<QGroupBox*>(ui.widgetOf(report, group));
    ASSERT_NE(box, nullptr) << group;
  }
  EXPECT_EQ(qobject_cast<QGroupBox*>(ui.widgetOf(report, "fraConstants"))->title(), "Controller Constants");
  EXPECT_EQ(qobject_cast<QGroupBox*>(ui.widgetOf(report, "fraLog"))->title(), "Diagnostics Log");
  EXPECT_EQ(qobject_cast<QPushButton*>(ui.widgetOf(report, "cmdEditTag"))->text(), "Edit &Tag");
  EXPECT_EQ(qobject_cast<QPushButton*>(ui.widgetOf(report, "cmdResetLog"))->text(), "&Reset Log");
  EXPECT_EQ(qobject_cast<QPushButton*>(ui.widgetOf(report, "cmdClose"))->text(), "&Close");
  EXPECT_FALSE(ui.widgetOf(report, "cmdEditTag")->isEnabled());

  QLabel* tag = label(report, "lblTag");
  EXPECT_EQ(tag->font().pointSizeF(), 13.5);
  QLabel* reason = label(report, "lblShutdownReason");
  EXPECT_TRUE(reason->font().bold());
  EXPECT_EQ(reason->palette().color(QPalette::WindowText), QColor(192, 64, 0));
  QFont larger = reason->font();
  larger.setPointSizeF(larger.pointSizeF() * 1.1);
  int lines = 0;  // the height the longest reason takes
  for (int code = 0; code <= 255; ++code) {
    const QString text = QString::fromStdString(link::AlarmText(static_cast<std::uint8_t>(code)));
    lines =
        std::max(lines, QFontMetrics(larger).boundingRect(reason->rect(), Qt::TextWordWrap, text).height());
  }
  // The shutdown values follow the reason's lines with no more room than there is between two rows.
  EXPECT_LE(ui.widgetOf(report, "fraShutdown")->y() - reason->y() - lines, 5);
  report.close();
}

TEST_F(DiagnosticsWidgets, TheTagEditorShowsItsCaptionsAndTakesTwentyCharacters) {
  state.shown.batTemp.text = "77 \u00B0F";
  frmEditTag editor(ui, link, mainWindow);
  ui.show(editor);
  ASSERT_TRUE(processEventsUntil([&] { return ui.windowOf(editor) != nullptr; }));
  EXPECT_EQ(ui.windowOf(editor)->windowTitle(), "Edit Orvik Controller Tag Name");
  EXPECT_TRUE(testing::showsTitleWhole(*ui.windowOf(editor)));
  QLabel* caption = label(editor, "Label1");
  EXPECT_EQ(caption->text(), "Tag Name:     (20 characters max)");
  auto* save = qobject_cast<QPushButton*>(ui.widgetOf(editor, "cmdTrim"));
  EXPECT_EQ(save->text(), "&Save");
  EXPECT_FALSE(save->isEnabled());
  EXPECT_EQ(qobject_cast<QPushButton*>(ui.widgetOf(editor, "cmdCancel"))->text(), "&Cancel");
  EXPECT_FALSE(ui.widgetOf(editor, "cmdHelp")->isVisible());
  auto* box = qobject_cast<QLineEdit*>(ui.widgetOf(editor, "txtTag"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->maxLength(), 20);
  EXPECT_EQ(testing::captionOf(*box), "Tag Name:     (20 characters max)");
  editor.close();
}

}  // namespace
}  // namespace orvik::diagnostics
