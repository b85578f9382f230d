// The calibration dialogs as real widgets, offscreen: what each shows at open, where the keyboard is,
// and that the entry fields keep exactly what the technician types (every caption fitting: window_fit).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "calibration/frm_cal_date.h"
#include "calibration/trim_dialogs.h"
#include "link/run_state.h"
#include "platform/qt/gui_input.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/text_fit.h"
#include "support/test_form.h"
#include "support/working_link.h"

namespace orvik::calibration {
namespace {

using orvik::testing::pressKey;
using orvik::testing::processEventsUntil;
using orvik::testing::typeText;

struct Opening {
  std::string title;
  std::vector<std::pair<std::string, std::string>> labels;  // control name, text
  std::string entryName;
  std::string entryText;
  std::string startCaption;
  bool startEnabled;
  QSize clientPixels;
};

class CalibrationDialogWidgets : public ::testing::Test {
 protected:
  CalibrationDialogWidgets() {
    main.resize(5070, 6915);
    main.move(1500, 1200);
    state.shown.batTemp.text =
        "77 \xc2\xb0"
        "F";
    state.shown.calDate = "15-Feb-05";
    state.BatVolts = 12.3456f;
    state.TEvolts = 12.6f;
    state.BatTemp = 76.6f;
  }
  ~CalibrationDialogWidgets() override {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  void showActive(platform::Form& dialog) {
    ui.show(dialog);
    ASSERT_TRUE(processEventsUntil(
        [&] { return ui.activeForm() == &dialog && ui.windowOf(dialog)->isActiveWindow(); }));
  }
  template <typename W>
  W* widget(const platform::Form& form, const std::string& name) {
    return qobject_cast<W*>(ui.widgetOf(form, name));
  }
  void expectOpening(platform::Form& dialog, const Opening& o) {
    QWidget* window = ui.windowOf(dialog);
    EXPECT_EQ(window->windowTitle().toStdString(), o.title);
    EXPECT_EQ(window->size(), o.clientPixels);
    for (const auto& [name, text] : o.labels) {
      auto* l = widget<QLabel>(dialog, name);
      ASSERT_NE(l, nullptr) << name;
      EXPECT_EQ(l->text().toStdString(), text) << name;
    }
    auto* entry = widget<QLineEdit>(dialog, o.entryName);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text().toStdString(), o.entryText);
    EXPECT_EQ(QApplication::focusWidget(), entry) << "the entry has the keyboard at open";
    auto* start = widget<QPushButton>(dialog, "cmdTrim");
    auto* cancel = widget<QPushButton>(dialog, "cmdCancel");
    auto* help = widget<QPushButton>(dialog, "cmdHelp");
    EXPECT_EQ(start->text().toStdString(), o.startCaption);
    EXPECT_EQ(start->isEnabled(), o.startEnabled);
    EXPECT_EQ(cancel->text(), QStringLiteral("&Cancel"));
    EXPECT_TRUE(cancel->isEnabled());
    EXPECT_TRUE(help->isHidden());
    EXPECT_TRUE(widget<QLabel>(dialog, "lblStatus")->text().isEmpty());
    EXPECT_TRUE(testing::showsTitleWhole(*window)) << window->width() << " px";
    EXPECT_EQ(testing::margins(*entry->parentWidget()), std::make_pair(8, 8)) << "left, right";
    // Each value is spoken with its caption and shown on its line; a trim's reading is a tab stop too.
    std::vector<std::pair<QWidget*, QLabel*>> rows = {{entry, widget<QLabel>(dialog, "Label2")}};
    if (auto* trim = dynamic_cast<TrimDialog*>(&dialog))
      rows.emplace_back(ui.widgetOf(dialog, trim->measured.name()), widget<QLabel>(dialog, "Label1"));
    for (auto [field, caption] : rows) {
      EXPECT_EQ(testing::captionOf(*field), caption->text().toStdString());
      EXPECT_NEAR(testing::textMiddle(*field), testing::textMiddle(*caption), 1)
          << caption->text().toStdString();
    }
    // Once typed into (here the same value) the entry offers the start button; Tab goes round from the
    // entry to it, to Cancel, to a trim's reading and back.
    entry->selectAll();
    typeText(window, entry->text());
    std::vector<QWidget*> tabs = {start, cancel};
    if (rows.size() > 1) tabs.push_back(rows[1].first);
    tabs.push_back(entry);
    for (QWidget* next : tabs) {
      pressKey(window, Qt::Key_Tab);
      EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
  }

  platform::qt::QtUi ui;
  link::RunState state;
  testing::WorkingLink working{state, ui.timers()};
  link::ControllerLink& link = working.link;
  testing::TestForm main{ui, "frmMain"};
};

TEST_F(CalibrationDialogWidgets, EachTrimOpensWithItsCaptionsTheFrozenReadingAndTheEntryReady) {
  struct Row {
    std::function<std::unique_ptr<TrimDialog>()> make;
    Opening opening;
  };
  const QSize trimClient(393, 160);  // 5895 by 2400 twips
  const Row rows[] = {
      {[&] { return std::make_unique<frmBatVolts>(ui, link, state, main); },
       {"Trim Battery Volts",
        {{"Label1", "Measured Battery Volts:"},
         {"Label2", "Actual Battery Volts:"},
         {"lblBatVolts", "12.346"}},
        "txtBatVolts",
        "12.346",
        "&Trim",
        false,
        trimClient}},
      {[&] { return std::make_unique<frmTEVolts>(ui, link, state, main); },
       {"Trim TE Module Volts",
        {{"Label1", "Measured TE Module Volts:"}, {"Label2", "Actual TE Volts:"}, {"lblTEvolts", "12.600"}},
        "txtTEvolts",
        "12.600",
        "&Trim",
        false,
        trimClient}},
      {[&] { return std::make_unique<frmBatOffset>(ui, link, state, main); },
       {"Trim Battery Temperature",
        {{"Label1", "Measured Temperature:"},
         {"Label2", "Actual Battery Temperature:"},
         {"lblBatTemp", "77"}},
        "txtBatTemp",
        "77",
        "&Trim",
        false,
        trimClient}},
  };
  for (const Row& row : rows) {
    std::unique_ptr<TrimDialog> dialog = row.make();
    showActive(*dialog);
    expectOpening(*dialog, row.opening);
    EXPECT_TRUE(widget<QLabel>(*dialog, "Label1")->alignment() & Qt::AlignRight);
    EXPECT_TRUE(widget<QLabel>(*dialog, dialog->stored.name())->isHidden());
    EXPECT_TRUE(widget<QLabel>(*dialog, "lblTrim")->isHidden());
    // Keyboard alone: Alt+C is Cancel, and an untouched entry closes without a question.
    pressKey(ui.windowOf(*dialog), Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(processEventsUntil([&] { return !dialog->lifecycle().loaded; })) << row.opening.title;
  }
}

TEST_F(CalibrationDialogWidgets, TheDateOpensWithTodayAndTheLastCalibration) {
  frmCalDate dialog(ui, link, state, main);
  showActive(dialog);
  const QString today = QDate::currentDate().toString(QStringLiteral("dd-MMM-yyyy"));
  expectOpening(dialog,
                {"Update Calibration Date",
                 {{"lblLastCal", "Last Calibration - 15-Feb-05"}, {"Label2", "New Calibration Date:"}},
                 "txtCalDate",
                 today.toStdString(),
                 "&Save",
                 true,
                 QSize(378, 179)});  // 5670 by 2685 twips
  ui.unload(dialog);
}

TEST_F(CalibrationDialogWidgets, EntryFieldsKeepWhatIsTypedAndOnlyMarkAValueOutsideTheirLimits) {
  frmBatVolts volts(ui, link, state, main);
  showActive(volts);
  auto* entry = widget<QLineEdit>(volts, "txtBatVolts");
  const QColor normalText = entry->palette().color(QPalette::Text);
  entry->selectAll();
  typeText(ui.windowOf(volts), QStringLiteral("32.0006"));
  EXPECT_EQ(entry->text(), QStringLiteral("32.0006")) << "never clamped or rounded";
  EXPECT_LE(entry->fontMetrics().horizontalAdvance(entry->text()) + 10, entry->width()) << "shown whole";
  EXPECT_EQ(volts.txtBatVolts.text(), "32.0006");
  EXPECT_EQ(entry->palette().color(QPalette::Text), QColor(255, 0, 0)) << "marked as outside 10..32";
  EXPECT_TRUE(widget<QPushButton>(volts, "cmdTrim")->isEnabled()) << "an edit offers Trim";
  entry->selectAll();
  typeText(ui.windowOf(volts), QStringLiteral("31.5"));
  EXPECT_EQ(entry->palette().color(QPalette::Text), normalText);
  ui.unload(volts);

  frmCalDate date(ui, link, state, main);
  showActive(date);
  auto* dateEntry = widget<QLineEdit>(date, "txtCalDate");
  dateEntry->selectAll();
  typeText(ui.windowOf(date), QStringLiteral("31-Feb-2005"));
  EXPECT_EQ(dateEntry->text(), QStringLiteral("31-Feb-2005"));
  EXPECT_EQ(date.txtCalDate.text(), "31-Feb-2005");
  ui.unload(date);
}

}  // namespace
}  // namespace orvik::calibration
