// The remedy a person is offered for a device they may not use.
#include "platform/port_access.h"

#include <gtest/gtest.h>

namespace orvik::platform {
namespace {

TEST(PermissionRemedy, NamesTheGroupToJoinOrTheLoginToRenewOrThePermissionsToChange) {
  struct Row {
    DeviceAccess access;
    std::vector<std::string> says;
    std::vector<std::string> never;
  };
  const std::vector<Row> rows = {
      // Not a member of the group that may use the device: join it, then log in again.
      {{"ann", "dialout", true, false, false},
       {"group \"dialout\"", "\n    sudo usermod -a -G dialout ann\n", "log out and log in again"},
       {"udev"}},
      // Joined after logging in: only a new login is needed.
      {{"ann", "dialout", true, false, true},
       {"group \"dialout\"", "Log out and log in again."},
       {"usermod"}},
      // The group may not use it either, or we have the group and are still refused.
      {{"ann", "tty", false, false, false}, {"its group \"tty\"", "udev rule", "\"dialout\""}, {"usermod"}},
      {{"ann", "dialout", true, true, true}, {"its group \"dialout\"", "udev rule"}, {"usermod"}},
  };
  for (const Row& row : rows) {
    const std::string remedy = permissionRemedy(row.access);
    SCOPED_TRACE(remedy);
    for (const std::string& part : row.says)
      EXPECT_NE(remedy.find(part), std::string::npos) << part;
    for (const std::string& part : row.never)
      EXPECT_EQ(remedy.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace orvik::platform
