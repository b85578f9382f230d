#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "support/app_rig.h"

namespace orvik::testing {

// The application on its own virtual clock, polling a controller model on Comm 1; unexpected boxes fail
// the test.
struct ControllerSession {
  using Bytes = std::vector<std::uint8_t>;

  ControllerSession() {
    ui.onFailure = [](const std::string& what) { ADD_FAILURE() << what; };
  }
  // Starts the monitor and lets the first status record be shown.
  void startPolling() {
    rig.configure({1, 0});
    rig.start();
    ui.advance(std::chrono::milliseconds(2500));
  }
  // The requests the controller has seen since `from` (an index into its request list).
  std::vector<Bytes> requestsSince(std::size_t from) const {
    const auto& all = rig.model.requests();
    return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
  }
  // How many of `requests` read parameter `number`.
  static int readsOf(const std::vector<Bytes>& requests, std::uint8_t number) {
    int n = 0;
    for (const Bytes& r : requests)
      n += r.size() == 4 && r[0] == 'B' && r[2] == number ? 1 : 0;
    return n;
  }

  platform::headless::HeadlessUi ui;
  AppRig rig{ui};
};

}  // namespace orvik::testing
