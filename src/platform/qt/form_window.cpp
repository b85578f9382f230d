#include "platform/qt/form_window.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/controls.h"
#include "platform/menu.h"
#include "platform/qt/control_widgets.h"
#include "platform/qt/qt_ui.h"

namespace orvik::platform::qt {

namespace {

// `text` without halves of characters: QLineEdit keeps to its length limit in UTF-16 units and may cut a
// character from beyond the Basic Multilingual Plane in two; the half left would reach the model as "?".
QString wholeCharacters(const QString& text) {
  QString whole;
  whole.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      whole += text[i];
      whole += text[++i];
    } else if (!text[i].isSurrogate()) {
      whole += text[i];
    }
  }
  return whole;
}

Qt::WindowFlags flagsFor(const Form& form) {
  switch (form.borderStyle()) {
    case BorderStyle::FixedDialog: {
      const Qt::WindowFlags fixed = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                    Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
      // The application's own window is an ordinary window to the window manager, one it can minimise.
      if (form.isApplicationWindow()) return Qt::Window | fixed | Qt::WindowMinimizeButtonHint;
      return Qt::Dialog | fixed;
    }
    case BorderStyle::Sizable:
      return Qt::Window;
    case BorderStyle::None:
      return Qt::Window | Qt::FramelessWindowHint;
  }
  return Qt::Dialog;
}

bool isDefaultButton(const Control& c) {
  return static_cast<const Button&>(c).isDefault();
}
bool isCancelButton(const Control& c) {
  return static_cast<const Button&>(c).isCancel();
}

// The arrow keys step through a group of option buttons: up and left back, down and right on.
int arrowStep(const QKeyEvent& key) {
  if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return 0;
  switch (key.key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
      return -1;
    case Qt::Key_Down:
    case Qt::Key_Right:
      return 1;
    default:
      return 0;
  }
}

bool inGroup(const Control& c, const Frame* container) {
  return c.kind() == ControlKind::OptionButton && c.container() == container;
}

bool selectable(const Control& c) {
  return c.enabled() && c.visible();
}

}  // namespace

// The area the controls are laid out in: it asks the window for the form's client size.
class ClientArea final : public QWidget {
 public:
  using QWidget::QWidget;
  QSize sizeHint() const override { return nominal_; }
  QSize minimumSizeHint() const override { return {0, 0}; }
  void setNominalSize(QSize size) {
    if (size == nominal_) return;
    nominal_ = size;
    updateGeometry();
  }

 private:
  QSize nominal_{0, 0};
};

FormWindow::FormWindow(Ui& ui, Form& form)
    : QDialog(nullptr, flagsFor(form)), ui_(ui), form_(form), applicationWindow_(form.isApplicationWindow()) {
  setObjectName(QString::fromStdString(form.name()));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setSizeConstraint(form.borderStyle() == BorderStyle::Sizable ? QLayout::SetDefaultConstraint
                                                                       : QLayout::SetFixedSize);
  client_ = new ClientArea(this);
  layout->addWidget(client_);
  if (!form.menus().empty()) {
    menuBar_ = new QMenuBar(this);
    layout->setMenuBar(menuBar_);
    for (MenuItem* item : form.menus())
      addMenuItem(*item, *menuBar_);
  }
  buildControls();
  applyTabOrder();
  built_ = true;
  form.setObserver([this] { applyForm(); });
  applyForm();
}

FormWindow::~FormWindow() {
  attached_ = false;
  // Children go while this window is still whole, so nothing they signal on the way reaches a model.
  const auto children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  qDeleteAll(children);
}

void FormWindow::detach(bool modelsAlive) {
  attached_ = false;
  if (!modelsAlive) return;
  form_.setObserver(nullptr);
  for (View& v : views_)
    v.control->setObserver(nullptr);
  for (MenuItem* item : menuItems_)
    item->setObserver(nullptr);
}

bool FormWindow::live() const {
  return attached_ && !ui_.ended();
}

QWidget* FormWindow::widgetFor(const std::string& controlName) const {
  auto it = std::find_if(views_.begin(), views_.end(),
                         [&](const View& v) { return v.control->name() == controlName; });
  return it == views_.end() ? nullptr : it->widget;
}

QSize FormWindow::clientSize(const Form& form) {
  const int width = twipsToPixels(form.width());
  const int height = twipsToPixels(form.height());
  if (form.borderStyle() == BorderStyle::None) return {std::max(0, width), std::max(0, height)};
  // A form's width and height are those of the whole window, frame and title bar included.
  return {std::max(0, twipsToPixels(form.width() - kFrameWidth)),
          std::max(0, twipsToPixels(form.height() - kFrameHeight))};
}

void FormWindow::buildControls() {
  // Every widget exists before any is placed, so a frame declared after its contents can hold them.
  for (Control* c : form_.controls())
    views_.push_back({c, makeControlWidget(*c, client_)});
  for (std::size_t i = 0; i < views_.size(); ++i) {
    connectWidget(views_[i]);
    applyView(views_[i]);
    views_[i].control->setObserver([this, i] {
      if (attached_) applyView(views_[i]);
    });
  }
}

void FormWindow::connectWidget(View& view) {
  Control* control = view.control;
  const std::size_t index = static_cast<std::size_t>(&view - views_.data());
  switch (control->kind()) {
    case ControlKind::Button:
      connect(static_cast<QPushButton*>(view.widget), &QPushButton::clicked, this, [this, control] {
        if (live()) static_cast<Button*>(control)->click();
      });
      break;
    case ControlKind::TextBox:
    case ControlKind::NumericEdit:
    case ControlKind::DateEdit:
      // Only the user's editing raises textEdited; text set from the model never comes back as an edit.
      connect(static_cast<QLineEdit*>(view.widget), &QLineEdit::textEdited, this,
              [this, control, index](const QString& text) {
                if (!live()) return;
                static_cast<TextBox*>(control)->userEdit(wholeCharacters(text).toStdString());
                if (attached_) applyView(views_[index]);  // the model may have kept other text
              });
      break;
    case ControlKind::OptionButton:
      // Qt has already toggled the button; the model decides, and the widget shows its decision.
      connect(static_cast<QRadioButton*>(view.widget), &QRadioButton::clicked, this, [this, control, index] {
        if (!live()) return;
        static_cast<OptionButton*>(control)->click();
        if (attached_) applyView(views_[index]);
      });
      view.widget->installEventFilter(this);  // the arrow keys
      break;
    default:
      break;
  }
}

void FormWindow::applyView(View& view) {
  const bool focusable = view.widget->focusPolicy() != Qt::NoFocus;
  bool moved = false;
  if (!widgetFits(*view.control, *view.widget)) {
    moved = true;
    // A frame changed between plain panel and captioned group box: rebuild it, keeping its contents.
    QWidget* old = view.widget;
    view.widget = makeControlWidget(*view.control, old->parentWidget());
    view.widget->stackUnder(old);
    for (View& inner : views_) {
      if (inner.control->container() == view.control) inner.widget->setParent(view.widget);
    }
    old->hide();
    old->deleteLater();
    for (View& inner : views_) {
      if (inner.control->container() == view.control) inner.widget->setVisible(inner.control->visible());
    }
  }
  moved = placeView(view) || moved;
  applyControl(*view.control, *view.widget);
  if (view.control->kind() == ControlKind::Label) {
    // A caption is its field's buddy: Qt reports it to assistive tools as the field's label.
    const Control* field = static_cast<const Label&>(*view.control).labelFor();
    QWidget* buddy = field != nullptr ? widgetFor(field->name()) : nullptr;
    if (auto* label = static_cast<QLabel*>(view.widget); label->buddy() != buddy) label->setBuddy(buddy);
  }
  if (view.control->kind() == ControlKind::OptionButton) applyOptionStops(view.control->container());
  // Reparenting loses a widget's place in the tab order; a widget that takes no focus has none.
  if (built_ && (moved || focusable != (view.widget->focusPolicy() != Qt::NoFocus))) applyTabOrder();
}

bool FormWindow::placeView(View& view) {
  QWidget* parent = client_;
  if (const Frame* frame = view.control->container(); frame != nullptr && frame != view.control) {
    auto it = std::find_if(views_.begin(), views_.end(), [&](const View& v) { return v.control == frame; });
    if (it != views_.end()) parent = it->widget;
  }
  if (view.widget->parentWidget() == parent) return false;
  view.widget->setParent(parent);  // applyControl shows it again
  return true;
}

void FormWindow::applyTabOrder() {
  QWidget* previous = nullptr;
  for (View& v : views_) {
    if (v.widget->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) setTabOrder(previous, v.widget);
    previous = v.widget;
  }
}

void FormWindow::applyOptionStops(const Frame* container) {
  const View* stop = nullptr;
  for (const View& v : views_) {
    const Control& c = *v.control;
    if (!inGroup(c, container) || !c.tabStop() || !selectable(c)) continue;
    if (static_cast<const OptionButton&>(c).value()) {
      stop = &v;
      break;
    }
    if (stop == nullptr) stop = &v;
  }
  for (View& v : views_) {
    if (inGroup(*v.control, container))
      v.widget->setFocusPolicy(&v == stop ? Qt::StrongFocus : Qt::ClickFocus);
  }
}

bool FormWindow::moveOptionSelection(View& from, int step) {
  std::vector<View*> group;
  for (View& v : views_) {
    if (inGroup(*v.control, from.control->container()) && (selectable(*v.control) || &v == &from)) {
      group.push_back(&v);
    }
  }
  const auto at = std::find(group.begin(), group.end(), &from) - group.begin();
  const auto n = static_cast<std::ptrdiff_t>(group.size());
  View* next = group[static_cast<std::size_t>(((at + step) % n + n) % n)];
  if (next == &from) return true;
  next->widget->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  static_cast<OptionButton*>(next->control)->click();  // selected as by a click, and the form is told
  return true;
}

void FormWindow::applyForm() {
  if (!attached_) return;
  const QScopedValueRollback guard(applyingForm_, true);
  setWindowTitle(QString::fromStdString(form_.caption()));
  QPalette palette;
  if (form_.backColor()) palette.setColor(QPalette::Window, toQColor(*form_.backColor()));
  setPalette(palette);
  setAutoFillBackground(form_.backColor().has_value());

  const QSize client = clientSize(form_);
  if (client != client_->sizeHint()) {
    client_->setNominalSize(client);
    layout()->activate();  // a fixed-size window takes its new size now, not at the next layout pass
    if (form_.borderStyle() == BorderStyle::Sizable) resize(layout()->totalSizeHint());
  }
  const QPoint at(twipsToPixels(form_.left()), twipsToPixels(form_.top()));
  if (pos() != at) move(at);
}

void FormWindow::addMenuItem(MenuItem& item, QWidget& into) {
  const QString caption = QString::fromStdString(item.caption());
  QAction* action = nullptr;
  if (item.isSeparator()) {
    action = new QAction(&into);
    action->setSeparator(true);
  } else if (!item.items().empty()) {
    auto* menu = new QMenu(caption, &into);
    menu->setObjectName(QString::fromStdString(item.name()));
    for (MenuItem* child : item.items())
      addMenuItem(*child, *menu);
    action = menu->menuAction();
  } else {
    action = new QAction(caption, this);
    action->setShortcut(QKeySequence(QString::fromStdString(item.shortcut()), QKeySequence::PortableText));
    connect(action, &QAction::triggered, this, [this, &item] {
      if (live()) item.click();
    });
    addAction(action);  // the shortcut works anywhere in the window, not only through the menu bar
  }
  action->setObjectName(QString::fromStdString(item.name()));
  action->setEnabled(item.enabled());
  into.addAction(action);
  item.setObserver([action, &item] {
    action->setEnabled(item.enabled());
    if (!item.isSeparator()) action->setText(QString::fromStdString(item.caption()));
  });
  menuItems_.push_back(&item);
}

QPushButton* FormWindow::buttonWhere(bool (*wanted)(const Control&)) const {
  for (const View& v : views_) {
    const Control& c = *v.control;
    if (c.kind() == ControlKind::Button && wanted(c) && c.enabled() && c.visible()) {
      return static_cast<QPushButton*>(v.widget);
    }
  }
  return nullptr;
}

void FormWindow::closeEvent(QCloseEvent* event) {
  // The form decides: unloading it removes this window (later, never inside its own event).
  event->ignore();
  if (live()) ui_.requestClose(form_);
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
  const bool enter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                     (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (!enter) {
    QDialog::keyPressEvent(event);  // Esc arrives at reject()
    return;
  }
  if (!live()) return;
  // Enter presses the focused button, else the form's default button; without one it does nothing.
  if (auto* focused = qobject_cast<QPushButton*>(focusWidget()); focused != nullptr && focused->isEnabled()) {
    focused->click();
  } else if (QPushButton* button = buttonWhere(isDefaultButton)) {
    button->click();
  }
}

void FormWindow::reject() {
  // Esc presses the cancel button. Without one, a modal dialog goes as by its close box; any other
  // window stays (Esc never ends the program from the main window).
  if (!live()) return;
  if (QPushButton* button = buttonWhere(isCancelButton)) {
    button->click();
  } else if (form_.lifecycle().modal) {
    ui_.requestClose(form_);
  }
}

void FormWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (focusWidget() != nullptr) return;
  // The window opens with the keyboard at the stop the form names, else at its first tab stop that can
  // take it.
  const auto canTake = [this](const QWidget* w) {
    return (w->focusPolicy() & Qt::TabFocus) != 0 && w->isEnabled() && w->isVisibleTo(this);
  };
  if (const Control* first = form_.firstFocus()) {
    if (QWidget* w = widgetFor(first->name()); w != nullptr && canTake(w)) {
      w->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  for (const View& v : views_) {
    if (canTake(v.widget)) {
      v.widget->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && live()) {
    if (const int step = arrowStep(*static_cast<QKeyEvent*>(event)); step != 0) {
      auto it =
          std::find_if(views_.begin(), views_.end(), [&](const View& v) { return v.widget == watched; });
      if (it != views_.end() && it->control->kind() == ControlKind::OptionButton) {
        return moveOptionSelection(*it, step);
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

QAccessibleInterface* FormWindow::accessibleInterface(const QString&, QObject* object) {
  // The application's window is reported as a window (a frame, to AT-SPI); every other form window keeps
  // the dialog role Qt gives it.
  auto* window = dynamic_cast<FormWindow*>(object);
  if (window == nullptr || !window->isApplicationWindow()) return nullptr;
  return new QAccessibleWidget(window, QAccessible::Window);
}

void FormWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::ActivationChange || !isActiveWindow() || !live()) return;
  // Reported from the event loop rather than from inside Qt's change of active window, because
  // Form_Activate may itself open windows and boxes.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (live() && isActiveWindow()) ui_.userActivated(form_);
      },
      Qt::QueuedConnection);
}

void FormWindow::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  if (!live() || applyingForm_) return;
  const QPoint at = pos();
  // Only a move the form does not already describe: pixel rounding must not creep into its twips.
  if (at.x() == twipsToPixels(form_.left()) && at.y() == twipsToPixels(form_.top())) return;
  form_.move(pixelsToTwips(at.x()), pixelsToTwips(at.y()));
}

}  // namespace orvik::platform::qt
