// The diagnostics report and the tag editor as real widgets, offscreen: texts, fonts, colours, and that
// the longest texts fit their fields.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "diagnostics/frm_edit_tag.h"
#include "diagnostics/frm_report.h"
#include "link/alarm_text.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/qt_wait.h"
#include "platform/qt/text_fit.h"
#include "support/test_form.h"

namespace orvik::diagnostics {
namespace {

using orvik::testing::processEventsUntil;

// Whole with the font the window gets, and with one a tenth larger.
bool fits(const QLabel& label, const QString& text) {
  return testing::showsWhole(label, text) && testing::showsWhole(label, text, 1.1);
}

class DiagnosticsWidgets : public ::testing::Test {
 protected:
  ~DiagnosticsWidgets() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  QLabel* label(const platform::Form& form, const char* name) {
    return qobject_cast<QLabel*>(ui.widgetOf(form, name));
  }

  platform::qt::QtUi ui;
  platform::qt::QtSerialPort port;  // never opened: requests go nowhere
  link::RunState state;
  link::ControllerLink link{state, port, ui.timers()};
  testing::TestForm mainWindow{ui, "frmMain"};
};

TEST_F(DiagnosticsWidgets, TheReportShowsItsRowsAndItsLongestTextsWhole) {
  frmReport report(ui, link, mainWindow);
  ui.show(report);
  ASSERT_TRUE(processEventsUntil([&] { return ui.windowOf(report) != nullptr; }));
  EXPECT_EQ(ui.windowOf(report)->windowTitle(), "Orvik Report");
  struct Row {
    const char* name;
    const char* text;
    const char* field;  // the value it captions, if any
  };
  const Row captions[] = {{"lblBVgainCaption", "Battery Voltage Gain:", "lblBVgain"},
                          {"lblTEgainCaption", "TE Module Voltage Gain:", "lblTEgain"},
                          {"lblBTgainCaption", "Battery Temperature Gain:", "lblBTgain"},
                          {"lblBToffsetCaption", "Battery Temperature Offset:", "lblBToffset"},
                          {"lblPowerOnCyclesCaption", "Power On Cycles:", "lblPowerOnCycles"},
                          {"lblShutdownCountCaption", "Diagnostic Shutdown Count:", "lblShutdownCount"},
                          {"lblShutdownModeCaption", "Operating Mode at Last Shutdown:", "lblShutdownMode"},
                          {"lblTEvoltsCaption", "TE Module Volts at Last Shutdown:", "lblTEvolts"},
                          {"lblBatVoltsCaption", "Battery Volts at Last Shutdown:", "lblBatVolts"},
                          {"lblBatTempCaption", "Battery Temp. at Last Shutdown:", "lblBatTemp"},
                          {"lblStatus", "Reading Battery Temperature at Shutdown...", nullptr}};
  for (const auto& [name, text, field] : captions) {
    QLabel* l = label(report, name);
    ASSERT_NE(l, nullptr) << name;
    if (field != nullptr) {
      EXPECT_EQ(l->text(), text) << name;
      EXPECT_TRUE(l->alignment() & Qt::AlignRight) << name;
      EXPECT_EQ(testing::captionOf(*label(report, field)), text) << field << " is spoken with its caption";
    }
    EXPECT_TRUE(fits(*l, text)) << name;
  }
  EXPECT_TRUE(testing::showsTitleWhole(*ui.windowOf(report)));
  EXPECT_TRUE(testing::keepsMargins(*label(report, "lblTag")->parentWidget(), 8));
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
  EXPECT_TRUE(fits(*tag, "WWWWWWWWWWWWWWWWWWWW"));
  QLabel* reason = label(report, "lblShutdownReason");
  EXPECT_TRUE(reason->font().bold());
  EXPECT_EQ(reason->palette().color(QPalette::WindowText), QColor(192, 64, 0));
  int longest = 0;
  for (int code = 0; code <= 255; ++code) {
    const QString text = QString::fromStdString(link::AlarmText(static_cast<std::uint8_t>(code)));
    EXPECT_TRUE(fits(*reason, text)) << code;
    longest = std::max(longest, testing::layOutText(*reason, text, 1.1).needed.bottom());
  }
  // The shutdown values follow the reason's lines with no more room than there is between two rows.
  EXPECT_LE(ui.widgetOf(report, "fraShutdown")->y() - reason->mapToParent(QPoint(0, longest)).y(), 6);
  for (const char* value : {"lblBVgain", "lblBToffset", "lblTEvolts", "lblBatTemp"}) {
    EXPECT_TRUE(fits(*label(report, value), "-1.234568E+07 Volts")) << value;
  }
  report.close();
}

TEST_F(DiagnosticsWidgets, TheTagEditorShowsItsCaptionsAndAWideTagWhole) {
  state.linkStatus = "Update";  // the main window shows a working link
  state.shown.batTemp.text = "77 \u00B0F";
  frmEditTag editor(ui, link, mainWindow);
  ui.show(editor);
  ASSERT_TRUE(processEventsUntil([&] { return ui.windowOf(editor) != nullptr; }));
  EXPECT_EQ(ui.windowOf(editor)->windowTitle(), "Edit Orvik Controller Tag Name");
  QLabel* caption = label(editor, "Label1");
  EXPECT_EQ(caption->text(), "Tag Name:     (20 characters max)");
  EXPECT_TRUE(fits(*caption, caption->text()));
  EXPECT_TRUE(fits(*label(editor, "lblStatus"), "Saving new Tag Name..."));
  auto* save = qobject_cast<QPushButton*>(ui.widgetOf(editor, "cmdTrim"));
  EXPECT_EQ(save->text(), "&Save");
  EXPECT_FALSE(save->isEnabled());
  EXPECT_EQ(qobject_cast<QPushButton*>(ui.widgetOf(editor, "cmdCancel"))->text(), "&Cancel");
  EXPECT_FALSE(ui.widgetOf(editor, "cmdHelp")->isVisible());
  auto* box = qobject_cast<QLineEdit*>(ui.widgetOf(editor, "txtTag"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->maxLength(), 20);
  // The text area of a line edit is its contents less a frame and a margin of a few pixels each side.
  EXPECT_LE(QFontMetrics(box->font()).horizontalAdvance("WWWWWWWWWWWWWWWWWWWW"),
            box->contentsRect().width() - 8);
  editor.close();
}

}  // namespace
}  // namespace orvik::diagnostics
