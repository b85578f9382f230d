#pragma once

#include <string>

#include "platform/form.h"

namespace orvik::testing {

// A bare window to own controls and timers in tests of code that is handed them.
class TestForm : public platform::Form {
 public:
  explicit TestForm(platform::Ui& ui, std::string name = "frmTest") : Form(ui, std::move(name), "Test") {}
};

}  // namespace orvik::testing
