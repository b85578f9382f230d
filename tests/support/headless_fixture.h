#pragma once

#include <gtest/gtest.h>

#include "platform/headless/headless_ui.h"
#include "support/test_form.h"

namespace orvik::testing {

// A headless window system whose unexpected message boxes and stuck modal windows fail the test.
class HeadlessTest : public ::testing::Test {
 protected:
  HeadlessTest() {
    ui.onFailure = [](const std::string& what) { ADD_FAILURE() << what; };
  }
  platform::headless::HeadlessUi ui;
};

}  // namespace orvik::testing
