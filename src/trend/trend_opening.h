#pragma once

#include "link/status_store.h"

namespace orvik::trend {

// The live trend window lives in a plugin of its own, with the chart library it draws with. The monitor
// loads it at the window's first opening, so a run that never plots never maps the chart library.
class TrendOpening {
 public:
  virtual ~TrendOpening() = default;
  // Shows the window, creating it if it is not open.
  virtual void open() = 0;
};

// The function the plugin (orvik-trend) exports:
//   extern "C" TrendOpening* orvik_trend_opening(link::StatusStore* store);
inline constexpr const char* kTrendPluginEntry = "orvik_trend_opening";
using TrendPluginEntry = TrendOpening* (*)(link::StatusStore* store);

}  // namespace orvik::trend
