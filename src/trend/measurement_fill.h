#pragma once

#include <chrono>

#include "link/status_store.h"

namespace orvik::trend {

// For measuring the trend window at its largest: fills `store` with `hours` of made-up readings at the
// 2 s poll, ending at `end`, with values that move like a charger's, a link drop of a few minutes every
// few hours and an alarm now and then.
void FillForMeasurement(link::StatusStore& store, double hours, std::chrono::system_clock::time_point end);

}  // namespace orvik::trend
