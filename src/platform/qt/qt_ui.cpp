#include "platform/qt/qt_ui.h"

#include <QAccessible>
#include <QApplication>
#include <QDate>
#include <QEventLoop>
#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTranslator>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "platform/form.h"
#include "platform/qt/file_questions.h"
#include "platform/qt/form_window.h"
#include "platform/qt/pictures.h"
#include "platform/qt/qt_timer_engine.h"

namespace orvik::platform::qt {

namespace {

constexpr int kTwipsPerPixel = kTwipsPerInch / 96;
// Beside its title a window manager puts the window's icon and its buttons (close, and often minimise
// and maximise); this is room for them with their padding.
constexpr int kTitleBarFurniture = 160;

// The width a window needs for its title bar to show `title` whole: the title in the title-bar font,
// taken bold as many title bars are, and the window manager's icon and buttons.
int titleBarWidth(const QString& title) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  font.setBold(true);
  return QFontMetrics(font).horizontalAdvance(title) + kTitleBarFurniture;
}

QMessageBox::Icon toQtIcon(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::None:
      return QMessageBox::NoIcon;
    case MsgIcon::Information:
      return QMessageBox::Information;
    case MsgIcon::Exclamation:
      return QMessageBox::Warning;
    case MsgIcon::Question:
      return QMessageBox::Question;
    case MsgIcon::Critical:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

// Qt labels a message box's details button "Show Details..." and "Hide Details..." without an
// accelerator; these labels give it Alt+D. A translator, because the box relabels the button itself
// each time it is pressed.
class DetailsButtonLabels final : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                    int /*n*/) const override {
    if (qstrcmp(context, "QMessageBox") != 0) return {};
    if (qstrcmp(sourceText, "Show Details...") == 0) return QStringLiteral("Show &Details...");
    if (qstrcmp(sourceText, "Hide Details...") == 0) return QStringLiteral("Hide &Details...");
    return {};
  }
};

struct BoxButton {
  QMessageBox::StandardButton button;
  MsgResult result;
};

// The buttons of a box, the first being the default; the escape button answers as dismissalOf() says.
std::vector<BoxButton> buttonsOf(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
      return {{QMessageBox::Ok, MsgResult::Ok}};
    case MsgButtons::OkCancel:
      return {{QMessageBox::Ok, MsgResult::Ok}, {QMessageBox::Cancel, MsgResult::Cancel}};
    case MsgButtons::YesNo:
      return {{QMessageBox::Yes, MsgResult::Yes}, {QMessageBox::No, MsgResult::No}};
    case MsgButtons::RetryCancel:
      return {{QMessageBox::Retry, MsgResult::Retry}, {QMessageBox::Cancel, MsgResult::Cancel}};
  }
  return {{QMessageBox::Ok, MsgResult::Ok}};
}

}  // namespace

double layoutScale() {
  // Measured for the designed font: the width of kSample and the distance between lines, in pixels.
  static constexpr const char* kSample = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static constexpr double kDesignedSampleWidth = 462;
  static constexpr double kDesignedLineHeight = 14;
  // Asked at every change of a control: measured again only when the font changes.
  static QString measuredFont;
  static double scale = 1;
  const QFont font = QApplication::font();
  if (const QString key = font.key(); key != measuredFont) {
    const QFontMetricsF metrics(font);
    scale = std::max({1.0, metrics.horizontalAdvance(QString::fromLatin1(kSample)) / kDesignedSampleWidth,
                      metrics.height() / kDesignedLineHeight});
    measuredFont = key;
  }
  return scale;
}

int twipsToPixels(int twips) {
  return static_cast<int>(std::lround(twips * layoutScale() / kTwipsPerPixel));
}

int pixelsToTwips(int pixels) {
  return static_cast<int>(std::lround(pixels * kTwipsPerPixel / layoutScale()));
}

QColor toQColor(Colour colour) {
  return QColor(redOf(colour), greenOf(colour), blueOf(colour));
}

QString toQtText(const std::string& text) {
  QString out = QString::fromStdString(text);
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return out;
}

struct QtUi::Impl {
  struct ModalLoop {
    const Form* form;
    QEventLoop* loop;
  };

  void quitLoops(const Form* form) {
    for (const ModalLoop& m : loops) {
      if (form == nullptr || m.form == form) m.loop->quit();
    }
  }

  QtTimerEngine timers;
  std::map<const Form*, FormWindow*> windows;
  std::vector<ModalLoop> loops;  // innermost last
  QObject context;               // calls posted to the event loop die with the backend
  Pointer pointer = Pointer::Normal;
  bool cursorOverridden = false;
  bool ended = false;
};

QtUi::QtUi() : impl_(std::make_unique<Impl>()) {
  QApplication::setWindowIcon(applicationIcon());
  static const bool installed = [] {
    QAccessible::installFactory(&FormWindow::accessibleInterface);
    QCoreApplication::installTranslator(new DetailsButtonLabels(qApp));
    return true;
  }();
  (void)installed;
}

QtUi::~QtUi() {
  for (auto& [form, window] : impl_->windows) {
    window->detach(true);
    delete window;
  }
  impl_->windows.clear();
  if (impl_->cursorOverridden) QApplication::restoreOverrideCursor();
}

TimerEngine& QtUi::timers() {
  return impl_->timers;
}

QWidget* QtUi::windowOf(const Form& form) const {
  auto it = impl_->windows.find(&form);
  return it == impl_->windows.end() ? nullptr : it->second;
}

QWidget* QtUi::widgetOf(const Form& form, const std::string& controlName) const {
  auto it = impl_->windows.find(&form);
  return it == impl_->windows.end() ? nullptr : it->second->widgetFor(controlName);
}

void QtUi::createView(Form& form) {
  if (impl_->windows.contains(&form)) return;
  impl_->windows[&form] = new FormWindow(*this, form);
}

void QtUi::showView(Form& form) {
  auto it = impl_->windows.find(&form);
  if (it == impl_->windows.end()) return;
  FormWindow* window = it->second;
  const Qt::WindowModality modality = form.lifecycle().modal ? Qt::ApplicationModal : Qt::NonModal;
  if (window->windowModality() != modality) {
    window->hide();  // modality takes effect only when a window is shown
    window->setWindowModality(modality);
  }
  // A modal window belongs to the window it was opened from: window managers keep it above that window
  // and minimise the two together, never the dialog alone while the window it blocks stays on screen.
  if (const Form* opener = activeForm(); form.lifecycle().modal && opener != nullptr && opener != &form) {
    if (QWidget* owner = windowOf(*opener); owner != nullptr && owner->isVisible()) {
      window->winId();  // the platform window, to be told its owner before it is mapped
      window->windowHandle()->setTransientParent(owner->windowHandle());
    }
  }
  window->show();
  // Without a window manager (Xvfb) nothing else would bring the window forward or give it the keyboard.
  window->raise();
  window->activateWindow();
}

void QtUi::hideView(Form& form) {
  if (auto it = impl_->windows.find(&form); it != impl_->windows.end()) {
    FormWindow* window = it->second;
    window->hide();
    // A hidden window gives back its drawing buffer; showing it again makes a new one.
    window->releaseNativeWindow();
  }
  impl_->quitLoops(&form);
}

void QtUi::destroyView(Form& form) {
  auto it = impl_->windows.find(&form);
  if (it != impl_->windows.end()) {
    FormWindow* window = it->second;
    impl_->windows.erase(it);
    // Ui::unload marks the form unloaded before its view goes; Ui::forgetForm leaves it marked loaded
    // while the form is being destroyed, and by then its controls and menu items are gone.
    window->detach(!form.lifecycle().loaded);
    window->hide();
    window->deleteLater();  // this may run inside one of the window's own event handlers
  }
  impl_->quitLoops(&form);
}

void QtUi::runModalLoop(Form& form, const std::function<bool()>& done) {
  while (!done()) {
    QEventLoop loop;
    impl_->loops.push_back({&form, &loop});
    const int result = loop.exec(QEventLoop::DialogExec);
    std::erase_if(impl_->loops, [&](const Impl::ModalLoop& m) { return m.loop == &loop; });
    if (result != 0) return;  // the application is shutting down: no loop can run any more
  }
}

void QtUi::formActivated(Form& form) {
  QWidget* window = windowOf(form);
  if (window == nullptr || !window->isVisible() || window->isActiveWindow()) return;
  window->raise();
  window->activateWindow();
}

void QtUi::post(std::function<void()> fn) {
  QMetaObject::invokeMethod(
      &impl_->context,
      [this, fn = std::move(fn)] {
        if (!ended()) fn();
      },
      Qt::QueuedConnection);
}

MsgResult QtUi::messageBox(const MessageBox& box) {
  if (ended()) return dismissalOf(box.buttons);
  QWidget* parent = nullptr;
  if (Form* active = activeForm(); active != nullptr) {
    parent = windowOf(*active);
    if (parent != nullptr && !parent->isVisible()) parent = nullptr;
  }
  // On the heap: a handler run by the box's own loop may unload the parent form, and its window
  // would then take the box with it.
  QPointer<QMessageBox> dialog = new QMessageBox(parent);
  dialog->setWindowTitle(QString::fromStdString(box.title));
  dialog->setTextFormat(Qt::PlainText);
  dialog->setText(toQtText(box.text));
  dialog->setIcon(toQtIcon(box.icon));
  if (!box.details.empty()) dialog->setDetailedText(QString::fromStdString(box.details));
  if (box.rightAligned) {
    if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
      label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
  }
  const std::vector<BoxButton> buttons = buttonsOf(box.buttons);
  std::vector<std::pair<QAbstractButton*, MsgResult>> answers;
  for (const BoxButton& b : buttons) {
    QPushButton* button = dialog->addButton(b.button);
    answers.emplace_back(button, b.result);
    if (b.result == dismissalOf(box.buttons)) dialog->setEscapeButton(button);
  }
  dialog->setDefaultButton(static_cast<QPushButton*>(answers.front().first));
  // A box narrower than its title bar needs leaves the window manager to shorten the title ("Orv… tor").
  // Added last: setting the icon or text rebuilds the box's layout.
  if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout())) {
    grid->addItem(new QSpacerItem(titleBarWidth(dialog->windowTitle()), 0), grid->rowCount(), 0, 1,
                  grid->columnCount());
  }

  dialog->exec();
  if (dialog.isNull()) return dismissalOf(box.buttons);
  const QAbstractButton* clicked = dialog->clickedButton();
  delete dialog.data();
  if (ended()) return dismissalOf(box.buttons);
  // Without a window manager nobody hands the keyboard back to the window the box covered.
  if (Form* active = activeForm(); active != nullptr) formActivated(*active);
  for (const auto& [button, result] : answers) {
    if (button == clicked) return result;
  }
  return dismissalOf(box.buttons);
}

void QtUi::beep() {
  QApplication::beep();
}

void QtUi::setPointer(Pointer p) {
  impl_->pointer = p;
  // Qt keeps a stack of override cursors; this program has one pointer setting, so at most one entry.
  const bool busy = p == Pointer::Busy;
  if (busy && !impl_->cursorOverridden) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    impl_->cursorOverridden = true;
  } else if (!busy && impl_->cursorOverridden) {
    QApplication::restoreOverrideCursor();
    impl_->cursorOverridden = false;
  }
}

Pointer QtUi::pointer() const {
  return impl_->pointer;
}

Size QtUi::screenSize() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize pixels = screen != nullptr ? screen->size() : QSize(1280, 960);
  // In the units the windows are laid out in, so that a window the form centres is centred at any scale.
  return {pixelsToTwips(pixels.width()), pixelsToTwips(pixels.height())};
}

Date QtUi::today() const {
  const QDate d = QDate::currentDate();
  return {d.year(), d.month(), d.day()};
}

std::chrono::system_clock::time_point QtUi::now() const {
  return std::chrono::system_clock::now();
}

std::optional<std::string> QtUi::chooseSaveFile(const SaveFileQuestion& question) {
  if (ended()) return std::nullopt;
  QWidget* parent = nullptr;
  if (Form* active = activeForm(); active != nullptr) parent = windowOf(*active);
  const QString file =
      askSaveFile(parent, QString::fromStdString(question.title),
                  QString::fromStdString(question.suggestedName), QString::fromStdString(question.filter));
  if (Form* active = activeForm(); active != nullptr)
    formActivated(*active);  // the keyboard back, as after a box
  if (file.isEmpty()) return std::nullopt;
  return QFile::encodeName(file).toStdString();
}

std::optional<std::string> QtUi::chooseOpenFile(const OpenFileQuestion& question) {
  if (ended()) return std::nullopt;
  QWidget* parent = nullptr;
  if (Form* active = activeForm(); active != nullptr) parent = windowOf(*active);
  // It accepts only a file that exists.
  const QString file =
      askOpenFile(parent, QString::fromStdString(question.title), QString::fromStdString(question.filter));
  if (Form* active = activeForm(); active != nullptr)
    formActivated(*active);  // the keyboard back, as after a box
  if (file.isEmpty()) return std::nullopt;
  return QFile::encodeName(file).toStdString();
}

void QtUi::repaint(Form& form) {
  if (QWidget* window = windowOf(form); window != nullptr && window->isVisible()) window->repaint();
}

void QtUi::endProgram() {
  if (impl_->ended) return;
  impl_->ended = true;
  impl_->timers.halt();
  for (auto& [form, window] : impl_->windows)
    window->hide();
  setPointer(Pointer::Normal);
  impl_->quitLoops(nullptr);
  QCoreApplication::exit(0);  // every running loop, message boxes included
  // A main loop that has not started yet ends as soon as it does.
  QMetaObject::invokeMethod(
      qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

bool QtUi::ended() const {
  return impl_->ended;
}

}  // namespace orvik::platform::qt
