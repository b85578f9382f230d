#pragma once

#include <QDialog>
#include <QPushButton>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/form.h"
#include "platform/ui.h"

class QAccessibleInterface;
class QMenuBar;

namespace orvik::platform::qt {

class ClientArea;

// The top-level window of one loaded form. Its controls are laid out at their twip geometry in a client
// area of the form's size less a nominal frame and title bar, below the menu bar if the form has menus.
// It mirrors the form's models into widgets as they notify, and reports the user's doings to them:
// clicks, edits, menu commands, Enter and Esc, the close box, moves and activation. The keyboard goes
// round the form's tab stops in the order the form declares its controls; the arrow keys move the
// selection within a group of option buttons.
class FormWindow final : public QDialog {
 public:
  FormWindow(Ui& ui, Form& form);
  ~FormWindow() override;

  Form& form() const { return form_; }
  // Whether this is the application's own window rather than a dialog (fixed when the window is made).
  bool isApplicationWindow() const { return applicationWindow_; }
  // Stop mirroring and reporting: the view is going. `modelsAlive` is false while the form is being
  // destroyed, when its controls and menu items are already gone and must not be touched.
  void detach(bool modelsAlive);
  // The hidden window lets go of its platform window and drawing buffer.
  void releaseNativeWindow() { destroy(); }
  QWidget* widgetFor(const std::string& controlName) const;

  // Client area size for a form of this outer size and border.
  static QSize clientSize(const Form& form);
  // Accessibility factory (QAccessible::installFactory): the interface of an application window.
  static QAccessibleInterface* accessibleInterface(const QString& className, QObject* object);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  struct View {
    Control* control;
    QWidget* widget;
  };

  bool live() const;
  void buildControls();
  void connectWidget(View& view);
  void applyView(View& view);
  // Put the widget in its container's widget; true if it moved to another parent.
  bool placeView(View& view);
  void applyForm();
  void applyTabOrder();
  // Of each group of option buttons only one is a tab stop: the selected one, else the first enabled.
  void applyOptionStops(const Frame* container);
  // The user pressed an arrow key on an option button: select the next (or previous) enabled one.
  bool moveOptionSelection(View& from, int step);
  void addMenuItem(MenuItem& item, QWidget& into);
  // The button of the form that the key stands for, if it may be pressed now.
  QPushButton* buttonWhere(bool (*wanted)(const Control&)) const;

  Ui& ui_;
  Form& form_;
  ClientArea* client_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  std::vector<View> views_;
  std::vector<MenuItem*> menuItems_;
  bool applicationWindow_ = false;
  bool built_ = false;
  bool attached_ = true;
  bool applyingForm_ = false;
};

}  // namespace orvik::platform::qt
