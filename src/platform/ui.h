#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/date.h"
#include "platform/geometry.h"
#include "platform/message_box.h"
#include "platform/timer.h"

namespace orvik::platform {

class Form;

enum class Pointer { Normal, Busy };

// The question of a "save as" file chooser.
struct SaveFileQuestion {
  std::string title;          // "Log to CSV"
  std::string filter;         // "CSV files (*.csv)"
  std::string suggestedName;  // in the folder the chooser opens in
};

// The question of an "open" file chooser.
struct OpenFileQuestion {
  std::string title;   // "Load Trims"
  std::string filter;  // "CSV files (*.csv)"
};

// The window system as form logic sees it. Window lifecycle and activation are implemented once
// here; a backend supplies views, the event loop and the services.
//
// Activation: a form's Form_Activate runs when it becomes the active form among the application's
// own forms: when first shown, when the user moves to it from another of our windows, and when a
// window opened from it closes. A message box closing does not activate anything, nor does focus
// coming back from another application.
class Ui {
 public:
  virtual ~Ui() = default;

  virtual TimerEngine& timers() = 0;

  // Load the form if needed (Form_Load), show it non-modally and bring it forward.
  void show(Form& form);
  // Load and show the form, then run a nested event loop until it is unloaded.
  void showModal(Form& form);
  void hide(Form& form);
  // Form_Unload, stop the form's timers, remove its view; a modal loop on it ends.
  void unload(Form& form);
  // The user asks to close the form (close box, Alt+F4): the form's Form_QueryUnload decides.
  void requestClose(Form& form);

  // The backend reports that the user made one of our windows the active one.
  void userActivated(Form& form);
  Form* activeForm() const { return active_; }

  virtual MsgResult messageBox(const MessageBox& box) = 0;
  virtual void beep() = 0;
  // The application-wide mouse pointer: one setting, not a stack.
  virtual void setPointer(Pointer p) = 0;
  virtual Pointer pointer() const = 0;
  virtual Size screenSize() const = 0;  // twips
  virtual Date today() const = 0;
  virtual std::chrono::system_clock::time_point now() const = 0;
  // Asks for a file to write; none when the user cancels.
  virtual std::optional<std::string> chooseSaveFile(const SaveFileQuestion& question) = 0;
  // Asks for an existing file to read; none when the user cancels.
  virtual std::optional<std::string> chooseOpenFile(const OpenFileQuestion& question) = 0;
  // Paint the form now, from inside a handler that does not yield.
  virtual void repaint(Form&) {}
  // End the program at once: no further handler runs.
  virtual void endProgram() = 0;
  virtual bool ended() const = 0;

  // Forms register for the lifetime of the object (Form's constructor and destructor).
  void registerForm(Form& form);
  void forgetForm(Form& form);

 protected:
  virtual void createView(Form& form) = 0;
  virtual void showView(Form& form) = 0;
  virtual void hideView(Form& form) = 0;
  virtual void destroyView(Form& form) = 0;
  // Run events until `done()` holds (or the program ends).
  virtual void runModalLoop(Form& form, const std::function<bool()>& done) = 0;
  // Run `fn` from the event loop once the current handler has returned.
  virtual void post(std::function<void()> fn) = 0;
  // Hook for backends and test drivers: a form was shown.
  virtual void formShown(Form&) {}
  // Hook for backends: `form` became the active form; its window should have the keyboard.
  virtual void formActivated(Form&) {}
  // A registered form by its id, or null once it is gone.
  Form* findForm(unsigned long id) const;

 private:
  void activate(Form& form);
  void postActivation(Form& form);
  void activateTopmost();
  void removeFromOrder(Form& form);

  std::map<unsigned long, Form*> forms_;
  unsigned long nextId_ = 1;
  std::vector<Form*> order_;  // shown forms, most recently active last
  Form* active_ = nullptr;
};

}  // namespace orvik::platform
