#pragma once

namespace orvik::platform {

struct Date {
  int year = 0;
  int month = 0;
  int day = 0;
  bool operator==(const Date&) const = default;
};

}  // namespace orvik::platform
