// The Qt widget backend, offscreen: widgets mirror the control models both ways, and the user's keys,
// clicks, menus and window changes reach the form's handlers as the window lifecycle says.
#include "platform/qt/qt_ui.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include "platform/controls.h"
#include "platform/form.h"
#include "platform/menu.h"
#include "platform/qt/control_widgets.h"
#include "platform/qt/gui_input.h"
#include "platform/qt/pictures.h"
#include "platform/qt/text_fit.h"
#include "platform/timer.h"

namespace orvik::platform::qt {
namespace {

using orvik::testing::BoxAnswerer;
using orvik::testing::click;
using orvik::testing::pressKey;
using orvik::testing::processEventsUntil;
using orvik::testing::typeText;

// A window with one control of each kind, counting what reaches its handlers.
class SampleForm : public Form {
 public:
  explicit SampleForm(Ui& ui, std::string name = "frmSample") : Form(ui, std::move(name), "Sample") {
    resize(6000, 4500);
    move(1500, 1500);
    lblValue.place(120, 120, 2400, 600);
    lblValue.setDescription("Battery voltage");
    ledLink.place(2700, 120, 240, 240);
    txtTag.place(120, 900, 2400, 330);
    txtTag.setDescription("Tag name");
    cmdOK.place(120, 3300, 1200, 375);
    cmdOK.setDefault(true);
    cmdCancel.place(1500, 3300, 1200, 375);
    cmdCancel.setCancel(true);
    fraPort.place(3000, 600, 2400, 1500);
    for (OptionButton* o : {&optCom1, &optCom2})
      o->setContainer(&fraPort);
    optCom1.place(150, 300, 1200, 300);
    optCom2.place(150, 750, 1200, 300);
    optCom1.setValue(true);
    cmdOK.onClick = [this] { ++oks; };
    cmdCancel.onClick = [this] { ++cancels; };
    optCom2.onClick = [this] { ++optionClicks; };
    txtTag.onUserEdit = [this] { ++edits; };
    mnuRefresh.onClick = [this] { ++refreshes; };
    mnuReport.onClick = [this] { ++reports; };
    tmrPoll.onTick = [this] { ++ticks; };
  }
  void Form_Activate() override {
    ++activations;
    if (onActivate) onActivate();
  }
  void Form_Unload() override { ++unloads; }

  Label lblValue{*this, "lblValue", "12.5 V"};
  Shape ledLink{*this, "ledLink", ShapeKind::Circle, kDarkRed};
  TextBox txtTag{*this, "txtTag"};
  Button cmdOK{*this, "cmdOK", "&OK"};
  Button cmdCancel{*this, "cmdCancel", "Cancel"};
  Frame fraPort{*this, "fraPort", "Port"};
  OptionButton optCom1{*this, "optCom1", "Comm &1"};
  OptionButton optCom2{*this, "optCom2", "Comm &2"};
  MenuItem mnuTools{*this, "mnuTools", "&Tools"};
  MenuItem mnuRefresh{mnuTools, "mnuRefresh", "&Refresh", "Ctrl+R"};
  MenuItem mnuSep{mnuTools, "mnuSep", "-"};
  MenuItem mnuReport{mnuTools, "mnuReport", "Re&port...", "F5"};
  Timer tmrPoll{*this, "tmrPoll", 20};

  std::function<void()> onActivate;
  int activations = 0, unloads = 0, oks = 0, cancels = 0, optionClicks = 0, edits = 0, refreshes = 0,
      reports = 0, ticks = 0;
};

class QtUiTest : public ::testing::Test {
 protected:
  ~QtUiTest() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  // Show the form and wait until it is the active window and every activation report has arrived.
  void showActive(Form& form) {
    ui.show(form);
    QWidget* window = ui.windowOf(form);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return window->isActiveWindow() && ui.activeForm() == &form; }));
    settle();
  }
  // Run everything posted so far.
  static void settle() {
    bool reached = false;
    QTimer::singleShot(0, [&] { reached = true; });
    ASSERT_TRUE(processEventsUntil([&] { return reached; }));
  }
  template <typename W>
  W* widget(const Form& form, const std::string& name) {
    return qobject_cast<W*>(ui.widgetOf(form, name));
  }

  QtUi ui;
};

TEST(QtUiConversions, TwipsBecomeLogicalPixelsRoundedToNearest) {
  const std::pair<int, int> rows[] = {{0, 0},  {7, 0},  {8, 1},     {15, 1},
                                      {22, 1}, {23, 2}, {1440, 96}, {-15, -1}};
  for (auto [twips, pixels] : rows)
    EXPECT_EQ(twipsToPixels(twips), pixels) << twips << " twips";
}

TEST(QtUiConversions, ColoursAreBlueGreenRedWithRedInTheLowByte) {
  EXPECT_EQ(toQColor(kRed), QColor(255, 0, 0));
  EXPECT_EQ(toQColor(kCyan), QColor(0, 255, 255));
  EXPECT_EQ(toQColor(0x123456), QColor(0x56, 0x34, 0x12));
}

TEST(QtUiConversions, CarriageReturnsBecomeLineBreaks) {
  EXPECT_EQ(toQtText("port?\r\rChoose"), QStringLiteral("port?\n\nChoose"));
  EXPECT_EQ(toQtText("one\r\ntwo"), QStringLiteral("one\ntwo"));
  EXPECT_EQ(toQtText("25 \xc2\xb0"
                     "C"),
            QStringLiteral("25 °C"));
}

// Qt gives a label that takes the keyboard a whole text document, made when it is polished and filled
// at each new text; a live value's plain text needs none.
TEST(FieldLabel, ATabStopKeepsNoTextDocumentForItsPlainText) {
  FieldLabel label;
  label.setFocusPolicy(Qt::TabFocus);
  label.setPlainText("12.5 V");
  label.ensurePolished();
  EXPECT_EQ(label.findChild<QTextDocument*>(), nullptr);
  label.setPlainText("12.6 V");
  EXPECT_EQ(label.findChild<QTextDocument*>(), nullptr);
  EXPECT_EQ(label.focusPolicy(), Qt::TabFocus);
}

TEST_F(QtUiTest, LabelMirrorsTextColoursFontAndPlacement) {
  SampleForm form(ui);
  form.lblValue.setForeColor(kGreen);
  form.lblValue.setBackColor(kBlack);
  form.lblValue.setFont({13.5, true});
  form.lblValue.setAlignment(Alignment::Center);
  showActive(form);
  auto* label = widget<QLabel>(form, "lblValue");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->geometry(), QRect(8, 8, 160, 40));
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 255, 0));
  EXPECT_TRUE(label->autoFillBackground());
  EXPECT_EQ(label->palette().color(QPalette::Window), QColor(0, 0, 0));
  EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 13.5);
  EXPECT_TRUE(label->font().bold());
  EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
  EXPECT_EQ(label->objectName(), QStringLiteral("lblValue"));
  EXPECT_EQ(label->accessibleDescription(), QStringLiteral("Battery voltage"));

  form.lblValue.setText("No\rresponse");
  form.lblValue.setForeColor(kDarkRed);
  form.lblValue.setVisible(false);
  EXPECT_EQ(label->text(), QStringLiteral("No\nresponse"));
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(64, 0, 0));
  EXPECT_TRUE(label->isHidden());
  // Assistive tools read the label's text as its name: no accessible name may hide it.
  EXPECT_TRUE(label->accessibleName().isEmpty());
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(label);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("No\nresponse"));
}

TEST_F(QtUiTest, LampNamesItsColourInWordsAndPaintsIt) {
  SampleForm form(ui);
  showActive(form);
  QWidget* lamp = ui.widgetOf(form, "ledLink");
  ASSERT_NE(lamp, nullptr);
  const std::pair<Colour, const char*> rows[] = {
      {kRed, "bright red"}, {kDarkRed, "dark red"}, {kGreen, "green"}, {kYellow, "yellow"},
      {kCyan, "cyan"},      {kBlack, "black"},      {kWhite, "white"}, {0x00A5FF, "#ffa500"}};
  for (auto [colour, words] : rows) {
    form.ledLink.setFillColor(colour);
    EXPECT_EQ(lamp->accessibleName(), QString::fromLatin1(words));
    const QImage painted = lamp->grab().toImage();
    EXPECT_EQ(painted.pixelColor(painted.rect().center()), toQColor(colour)) << words;
  }
}

TEST_F(QtUiTest, OptionButtonsFollowTheModelAndReportUserClicks) {
  SampleForm form(ui);
  showActive(form);
  auto* com1 = widget<QRadioButton>(form, "optCom1");
  auto* com2 = widget<QRadioButton>(form, "optCom2");
  ASSERT_TRUE(com1 && com2);
  EXPECT_TRUE(com1->isChecked());
  EXPECT_FALSE(com2->isChecked());

  click(com2);
  EXPECT_TRUE(form.optCom2.value());
  EXPECT_FALSE(form.optCom1.value());
  EXPECT_FALSE(com1->isChecked());
  EXPECT_EQ(form.optionClicks, 1);
  click(com2);  // a selected option stays selected
  EXPECT_TRUE(com2->isChecked());
  EXPECT_TRUE(form.optCom2.value());

  form.optCom1.setValue(true);
  form.optCom2.setToolTip("Uses /dev/ttyS1");
  EXPECT_TRUE(com1->isChecked());
  EXPECT_FALSE(com2->isChecked());
  EXPECT_EQ(com2->toolTip(), QStringLiteral("Uses /dev/ttyS1"));
  EXPECT_EQ(form.optionClicks, 2);
}

TEST_F(QtUiTest, TextBoxReportsTypingButNotTextSetByCode) {
  SampleForm form(ui);
  form.txtTag.setMaxLength(4);
  showActive(form);
  auto* edit = widget<QLineEdit>(form, "txtTag");
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->accessibleDescription(), QStringLiteral("Tag name"));
  click(edit);
  ASSERT_TRUE(edit->hasFocus());
  typeText(edit, "ab12x");
  EXPECT_EQ(form.txtTag.text(), "ab12");
  EXPECT_EQ(form.edits, 4);

  form.txtTag.setText("TAG7");
  EXPECT_EQ(edit->text(), QStringLiteral("TAG7"));
  EXPECT_EQ(form.edits, 4);

  // One unit of room left: the widget would keep half of a character from beyond the BMP.
  form.txtTag.setText("abc");
  pressKey(edit, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("\U0001F50B"));
  EXPECT_EQ(form.txtTag.text(), "abc");
  EXPECT_EQ(edit->text(), QStringLiteral("abc"));
}

TEST_F(QtUiTest, ButtonClickReachesItsHandlerOnlyWhenEnabled) {
  SampleForm form(ui);
  showActive(form);
  auto* ok = widget<QPushButton>(form, "cmdOK");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
  click(ok);
  EXPECT_EQ(form.oks, 1);
  form.cmdOK.setEnabled(false);
  EXPECT_FALSE(ok->isEnabled());
  click(ok);
  EXPECT_EQ(form.oks, 1);
  form.cmdOK.setEnabled(true);
  click(ok);
  EXPECT_EQ(form.oks, 2);
}

TEST_F(QtUiTest, FramesHoldTheirControlsAndFollowTheirCaption) {
  SampleForm form(ui);
  Frame panel{form, "fraPanel", ""};
  Label inside{form, "lblInside", "inside"};
  panel.place(120, 1500, 2400, 1500);
  panel.setBackColor(kYellow);
  inside.setContainer(&panel);
  inside.place(150, 150, 900, 300);
  showActive(form);

  auto* group = widget<QGroupBox>(form, "fraPort");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->title(), QStringLiteral("Port"));
  EXPECT_EQ(ui.widgetOf(form, "optCom1")->parentWidget(), group);
  EXPECT_EQ(ui.widgetOf(form, "optCom2")->geometry().topLeft(), QPoint(10, 50));
  QWidget* plain = ui.widgetOf(form, "fraPanel");
  EXPECT_EQ(qobject_cast<QGroupBox*>(plain), nullptr);
  EXPECT_TRUE(plain->autoFillBackground());
  EXPECT_EQ(plain->palette().color(QPalette::Window), QColor(255, 255, 0));
  EXPECT_EQ(ui.widgetOf(form, "lblInside")->parentWidget(), plain);

  panel.setCaption("Now captioned");  // a plain panel becomes a group box, keeping its contents
  auto* titled = widget<QGroupBox>(form, "fraPanel");
  ASSERT_NE(titled, nullptr);
  EXPECT_EQ(titled->title(), QStringLiteral("Now captioned"));
  EXPECT_EQ(ui.widgetOf(form, "lblInside")->parentWidget(), titled);
  EXPECT_FALSE(ui.widgetOf(form, "lblInside")->isHidden());
}

TEST_F(QtUiTest, WindowSizeIsTheOuterSizeWithClientAreaBelowTheMenuBar) {
  SampleForm form(ui);
  form.setBackColor(kCyan);
  showActive(form);
  QWidget* window = ui.windowOf(form);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Sample"));
  EXPECT_EQ(window->objectName(), QStringLiteral("frmSample"));
  EXPECT_EQ(window->palette().color(QPalette::Window), QColor(0, 255, 255));
  auto* menuBar = window->findChild<QMenuBar*>();
  ASSERT_NE(menuBar, nullptr);
  QWidget* client = ui.widgetOf(form, "lblValue")->parentWidget();
  EXPECT_EQ(client->size(), QSize(400 - 8, 300 - 31));
  EXPECT_EQ(client->geometry().top(), menuBar->geometry().bottom() + 1);
  EXPECT_EQ(window->size(), QSize(392, 269 + menuBar->height()));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "a fixed dialog cannot be resized";
  EXPECT_FALSE(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

  form.resize(7500, 6000);
  EXPECT_EQ(client->size(), QSize(500 - 8, 400 - 31));

  Form splash(ui, "frmSplash", "");
  splash.setBorderStyle(BorderStyle::None);
  splash.resize(6000, 3600);
  ui.show(splash);
  EXPECT_EQ(ui.windowOf(splash)->size(), QSize(400, 240)) << "no frame: the whole window is client area";
  EXPECT_TRUE(ui.windowOf(splash)->windowFlags() & Qt::FramelessWindowHint);

  Form sizable(ui, "frmSizable", "Sizable");
  sizable.setBorderStyle(BorderStyle::Sizable);
  sizable.resize(6000, 4500);
  ui.show(sizable);
  EXPECT_EQ(ui.windowOf(sizable)->size(), QSize(392, 269));
  EXPECT_NE(ui.windowOf(sizable)->minimumSize(), ui.windowOf(sizable)->maximumSize());
}

TEST_F(QtUiTest, MovesKeepTheFormPositionInStepWithoutRoundingDrift) {
  SampleForm form(ui);
  showActive(form);
  QWidget* window = ui.windowOf(form);
  EXPECT_EQ(window->pos(), QPoint(100, 100));

  form.move(1000, 2000);  // not whole pixels: the window goes to the nearest, the form keeps its twips
  ASSERT_TRUE(processEventsUntil([&] { return window->pos() == QPoint(67, 133); }));
  settle();
  EXPECT_EQ(form.left(), 1000);
  EXPECT_EQ(form.top(), 2000);

  window->move(300, 120);  // as the user drags it
  EXPECT_TRUE(processEventsUntil([&] { return form.left() == 4500 && form.top() == 1800; }));
}

TEST_F(QtUiTest, MenuShortcutReachesTheHandlerOnlyWhileItsItemIsEnabled) {
  SampleForm form(ui);
  showActive(form);
  QWidget* window = ui.windowOf(form);
  auto* refresh = window->findChild<QAction*>("mnuRefresh");
  ASSERT_NE(refresh, nullptr);
  EXPECT_EQ(refresh->text(), QStringLiteral("&Refresh"));
  EXPECT_EQ(refresh->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
  auto* tools = window->findChild<QMenu*>("mnuTools");
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(tools->title(), QStringLiteral("&Tools"));
  EXPECT_TRUE(tools->actions().at(1)->isSeparator());

  struct Step {
    bool itemEnabled, menuEnabled;
    int refreshes;
  };
  for (Step step : {Step{true, true, 1}, Step{false, true, 1}, Step{true, true, 2}, Step{true, false, 2}}) {
    form.mnuRefresh.setEnabled(step.itemEnabled);
    form.mnuTools.setEnabled(step.menuEnabled);
    EXPECT_EQ(refresh->isEnabled(), step.itemEnabled);
    pressKey(window, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(form.refreshes, step.refreshes) << "item " << step.itemEnabled << ", menu " << step.menuEnabled;
  }
  form.mnuTools.setEnabled(true);
  pressKey(window, Qt::Key_F5);
  EXPECT_EQ(form.reports, 1);
}

TEST_F(QtUiTest, EnterPressesTheDefaultButtonAndEscTheCancelButton) {
  SampleForm form(ui);
  showActive(form);
  QWidget* window = ui.windowOf(form);
  click(ui.widgetOf(form, "txtTag"));
  pressKey(window, Qt::Key_Return);
  EXPECT_EQ(form.oks, 1);
  pressKey(window, Qt::Key_Escape);
  EXPECT_EQ(form.cancels, 1);

  ui.widgetOf(form, "cmdCancel")->setFocus();
  pressKey(window, Qt::Key_Return);  // a focused button takes Enter itself
  EXPECT_EQ(form.cancels, 2);
  EXPECT_EQ(form.oks, 1);

  form.cmdCancel.setCancel(false);
  pressKey(window, Qt::Key_Escape);  // no cancel button: nothing, and the window stays
  EXPECT_EQ(form.cancels, 2);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(form.unloads, 0);
}

TEST_F(QtUiTest, CloseBoxUnloadsTheForm) {
  SampleForm form(ui);
  showActive(form);
  QPointer<QWidget> window = ui.windowOf(form);
  window->close();
  EXPECT_EQ(form.unloads, 1);
  EXPECT_FALSE(form.lifecycle().loaded);
  EXPECT_EQ(ui.windowOf(form), nullptr);
  EXPECT_FALSE(window->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());

  form.lblValue.setText("unloaded");  // the models outlive the window and no longer reach it
  showActive(form);
  EXPECT_EQ(widget<QLabel>(form, "lblValue")->text(), QStringLiteral("unloaded"));
}

TEST_F(QtUiTest, ActivationFiresOnShowNotAfterAMessageBoxButAfterAModalDialog) {
  SampleForm main(ui, "frmMain");
  SampleForm dialog(ui, "frmDialog");
  main.tmrPoll.setEnabled(true);
  showActive(main);
  EXPECT_EQ(main.activations, 1);

  {
    const int ticks = main.ticks;
    BoxAnswerer answer([](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); },
                       [&] { return main.ticks >= ticks + 2; });  // the main window's timer runs on
    ui.messageBox({"Saved.", "Tag", MsgIcon::Information, MsgButtons::Ok});
  }
  ui.windowOf(main)->activateWindow();  // the window system gives the keyboard back
  ASSERT_TRUE(processEventsUntil([&] { return ui.windowOf(main)->isActiveWindow(); }));
  settle();
  EXPECT_EQ(main.activations, 1);

  const int ticks = main.ticks;
  QTimer closer;
  closer.setInterval(5);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (main.ticks >= ticks + 2) dialog.close();  // the main window's timer runs on in the dialog's loop
  });
  const QWindow* owner = nullptr;  // window managers keep a modal window with the one it was opened from
  dialog.onActivate = [&] {
    owner = ui.windowOf(dialog)->windowHandle()->transientParent();
    closer.start();
  };
  ui.showModal(dialog);
  closer.stop();
  EXPECT_EQ(dialog.activations, 1);
  EXPECT_EQ(owner, ui.windowOf(main)->windowHandle());
  EXPECT_TRUE(processEventsUntil([&] { return main.activations == 2; }));
}

TEST_F(QtUiTest, ChoosingAnotherOfOurWindowsActivatesIt) {
  SampleForm first(ui, "frmFirst");
  SampleForm second(ui, "frmSecond");
  showActive(first);
  showActive(second);
  ui.windowOf(first)->activateWindow();
  ASSERT_TRUE(processEventsUntil([&] { return first.activations == 2; }));
  settle();
  EXPECT_EQ(ui.activeForm(), &first);
  EXPECT_EQ(second.activations, 1);
}

TEST_F(QtUiTest, MessageBoxShowsTheTextAndReturnsTheChosenButton) {
  SampleForm main(ui, "frmMain");
  showActive(main);
  using B = QMessageBox;
  struct Row {
    MsgButtons buttons;
    MsgIcon icon;
    B::StandardButton press;  // NoButton: Esc
    B::Icon qtIcon;
    B::StandardButtons offered;
    MsgResult result;
  };
  // clang-format off
  const Row rows[] = {
      {MsgButtons::Ok,          MsgIcon::Information, B::NoButton, B::Information, B::Ok,                MsgResult::Ok},
      {MsgButtons::OkCancel,    MsgIcon::Exclamation, B::Ok,       B::Warning,     B::Ok | B::Cancel,    MsgResult::Ok},
      {MsgButtons::OkCancel,    MsgIcon::None,        B::NoButton, B::NoIcon,      B::Ok | B::Cancel,    MsgResult::Cancel},
      {MsgButtons::YesNo,       MsgIcon::Question,    B::Yes,      B::Question,    B::Yes | B::No,       MsgResult::Yes},
      {MsgButtons::YesNo,       MsgIcon::Question,    B::NoButton, B::Question,    B::Yes | B::No,       MsgResult::No},
      {MsgButtons::RetryCancel, MsgIcon::Critical,    B::Retry,    B::Critical,    B::Retry | B::Cancel, MsgResult::Retry},
      {MsgButtons::RetryCancel, MsgIcon::Critical,    B::NoButton, B::Critical,    B::Retry | B::Cancel, MsgResult::Cancel},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(toString(row.buttons) + std::string(" ") + toString(row.icon));
    QString title, text;
    B::Icon icon{};
    B::StandardButtons offered;
    const QWidget* parent = nullptr;
    BoxAnswerer answer([&](QMessageBox& box) {
      title = box.windowTitle();
      text = box.text();
      icon = box.icon();
      offered = box.standardButtons();
      parent = box.parentWidget();
      if (row.press == B::NoButton) {
        pressKey(&box, Qt::Key_Escape);
      } else {
        box.button(row.press)->click();
      }
    });
    EXPECT_EQ(ui.messageBox({"No port.\r\rChoose one now?", "Setup Required...", row.icon, row.buttons}),
              row.result);
    EXPECT_EQ(title, QStringLiteral("Setup Required..."));
    EXPECT_EQ(text, QStringLiteral("No port.\n\nChoose one now?"));
    EXPECT_EQ(icon, row.qtIcon);
    EXPECT_EQ(offered, row.offered);
    EXPECT_EQ(parent, ui.windowOf(main));
  }
}

TEST_F(QtUiTest, MessageBoxesAreWideEnoughForTheWindowManagerToShowTheWholeTitle) {
  SampleForm main(ui, "frmMain");
  showActive(main);
  const std::pair<const char*, const char*> boxes[] = {
      {"Orvik Monitor", "Invalid Port number"},
      {"Port Error", "No unused serial ports were detected!\rThis program requires an RS232 port."},
      {"Setup Required...", "Would you like to choose a port now? "},
      {"Communications Timeout", "OK"},
  };
  for (auto [title, text] : boxes) {
    bool whole = false;
    QString shownTitle;
    BoxAnswerer answer([&](QMessageBox& box) {
      whole = orvik::testing::showsTitleWhole(box);
      shownTitle = box.windowTitle();
      box.button(QMessageBox::Ok)->click();
    });
    ui.messageBox({text, title, MsgIcon::None, MsgButtons::Ok});
    EXPECT_EQ(shownTitle, QString::fromUtf8(title));
    EXPECT_TRUE(whole) << title;
  }
}

TEST_F(QtUiTest, PointerIsOneSettingNotAStack) {
  ui.setPointer(Pointer::Busy);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  ui.setPointer(Pointer::Busy);
  ui.setPointer(Pointer::Normal);
  EXPECT_EQ(ui.pointer(), Pointer::Normal);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtUiTest, RepaintPaintsTheWindowBeforeTheHandlerReturns) {
  struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++paints;
      return false;
    }
    int paints = 0;
  } counter;
  SampleForm form(ui);
  showActive(form);
  QWidget* label = ui.widgetOf(form, "lblValue");
  label->installEventFilter(&counter);
  label->update();
  ASSERT_TRUE(processEventsUntil([&] { return counter.paints > 0; })) << "the window is on screen";
  form.lblValue.setText("Please wait...");
  const int before = counter.paints;
  ui.repaint(form);
  EXPECT_GT(counter.paints, before);
}

TEST_F(QtUiTest, PicturesAreDrawnToTheImageSize) {
  SampleForm form(ui);
  Image picture{form, "picSplash", "orvik:splash"};
  picture.place(0, 0, 6000, 3600);
  picture.setDescription("Orvik Monitor");
  ui.show(form);
  auto* label = widget<QLabel>(form, "picSplash");
  ASSERT_NE(label, nullptr);
  const QImage splash = label->pixmap().toImage();
  ASSERT_EQ(splash.size(), QSize(400, 240) * label->devicePixelRatioF());
  EXPECT_EQ(splash.pixelColor(0, 0), QColor(Qt::white));
  int inked = 0;
  for (int y = 0; y < splash.height(); y += 4) {
    for (int x = 0; x < splash.width(); x += 4)
      inked += splash.pixelColor(x, y) != QColor(Qt::white) ? 1 : 0;
  }
  EXPECT_GT(inked, 200) << "a drawing, not a blank";
  EXPECT_TRUE(drawPicture("orvik:nothing", QSize(10, 10)).isNull());

  const QImage icon = QApplication::windowIcon().pixmap(QSize(32, 32)).toImage();
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0);
  EXPECT_EQ(icon.pixelColor(icon.rect().center()).alpha(), 255);
  // The window system takes every offered size when a window is made: each comes drawn at that size,
  // and none larger than a task switcher draws, since each is drawn for every window shown.
  const QList<QSize> offered = QApplication::windowIcon().availableSizes();
  EXPECT_TRUE(offered.contains(QSize(16, 16)) && offered.contains(QSize(64, 64)));
  for (const QSize& side : offered) {
    EXPECT_EQ(QApplication::windowIcon().pixmap(side, 1.0).size(), side);
    EXPECT_LE(side.width(), 64);
  }
}

TEST_F(QtUiTest, EndProgramEndsEveryLoopAndNoHandlerRunsAfterIt) {
  SampleForm main(ui, "frmMain");
  SampleForm dialog(ui, "frmDialog");
  SampleForm later(ui, "frmLater");
  main.tmrPoll.setEnabled(true);
  showActive(main);
  dialog.onActivate = [&] {
    QTimer::singleShot(0, [&] {
      BoxAnswerer never([](QMessageBox&) {}, [] { return false; });
      ui.messageBox({"Working", "Trim", MsgIcon::None, MsgButtons::OkCancel});  // ended from inside it
    });
    QTimer::singleShot(50, [&] { ui.endProgram(); });
  };
  ui.showModal(dialog);
  EXPECT_TRUE(ui.ended());

  // The application's main loop ends as soon as it runs.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  guard.start(5000);
  EXPECT_EQ(QCoreApplication::exec(), 0);

  const int ticks = main.ticks;
  static_cast<QPushButton*>(ui.widgetOf(main, "cmdOK"))->click();
  ui.show(later);
  EXPECT_EQ(ui.messageBox({"Late", "Late"}), MsgResult::Ok);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  bool waited = false;
  QTimer::singleShot(100, [&] { waited = true; });  // five timer periods
  ASSERT_TRUE(processEventsUntil([&] { return waited; }));
  EXPECT_EQ(main.oks, 0);
  EXPECT_EQ(main.ticks, ticks);
  EXPECT_FALSE(later.lifecycle().loaded);
  EXPECT_FALSE(ui.windowOf(main)->isVisible());
}

TEST_F(QtUiTest, ABoxWithDetailsOffersThemAsItsDetailedTextAndOneWithoutOffersNone) {
  SampleForm main(ui, "frmMain");
  showActive(main);
  for (const std::string& details :
       {std::string("Device: /dev/ttyUSB0\nError: Permission denied"), std::string()}) {
    QString shown = QStringLiteral("unset");
    QString text;
    QStringList toggles;  // the details button's caption before each Alt+D
    BoxAnswerer answer([&](QMessageBox& box) {
      shown = box.detailedText();
      text = box.text();
      for (QAbstractButton* b : box.buttons()) {
        for (int i = 0; i < 2 && box.buttonRole(b) == QMessageBox::ActionRole; ++i) {
          toggles << b->text();
          pressKey(&box, Qt::Key_D, Qt::AltModifier);  // clicks the button a moment later
          processEventsUntil([&] { return b->text() != toggles.last(); }, std::chrono::milliseconds(1000));
        }
      }
      if (const auto* pane = box.findChild<QTextEdit*>()) toggles << (pane->isVisible() ? "shown" : "hidden");
      box.button(QMessageBox::Ok)->click();
    });
    ui.messageBox({"Comm1 is unavailable.\rSelect a different serial port.", "Port Setup",
                   MsgIcon::Exclamation, MsgButtons::Ok, details});
    EXPECT_EQ(shown, QString::fromStdString(details));
    EXPECT_EQ(text, QStringLiteral("Comm1 is unavailable.\nSelect a different serial port."));
    EXPECT_EQ(toggles.join(", ").toStdString(),
              details.empty() ? "" : "Show &Details..., Hide &Details..., hidden");
  }
}

}  // namespace
}  // namespace orvik::platform::qt
