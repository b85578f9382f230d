// What a person is told of a device they may not use or that another program holds.
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

TEST(LockFile, NamesTheProcessInEachFormInUseAndTheSentenceNamesItsProgram) {
  struct Row {
    std::string text;
    std::optional<LockClaim> claim;
    std::string sentence;  // for /dev/ttyUSB0
  };
  const std::string by = "/dev/ttyUSB0 is in use by ";
  const std::vector<Row> rows = {
      {"4242\nminicom\nbench-pc\n3d1219c7c4c5\n", LockClaim{4242, "minicom", "bench-pc"},
       by + "minicom (process 4242)."},
      {"4242\r\nOrvik Monitor\r\nbench-pc", LockClaim{4242, "Orvik Monitor", "bench-pc"},
       by + "Orvik Monitor (process 4242)."},
      {"      4242 minicom ann\n", LockClaim{4242, "minicom", ""}, by + "minicom (process 4242)."},
      {"      4242\n", LockClaim{4242, "", ""}, by + "process 4242."},
      {"4242\nmini\x1b]0;x\acom\n", LockClaim{4242, "mini\x1b]0;x\acom", ""},
       by + "mini?]0;x?com (process 4242)."},
      {"", std::nullopt, ""},
      {"minicom 4242\n", std::nullopt, ""},
      {std::string("\x92\x10\0\0", 4), std::nullopt, ""},  // the old binary form: no text to go by
      {"0\n", std::nullopt, ""},
      {"4242x\n", std::nullopt, ""},
      {"99999999999999999999\n", std::nullopt, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const std::optional<LockClaim> claim = parseLockFile(row.text);
    EXPECT_EQ(claim, row.claim);
    if (claim) {
      EXPECT_EQ(holderSentence("/dev/ttyUSB0", claim->pid, claim->program), row.sentence);
    }
  }

  // QSerialPort's name for the path it was given, then the UUCP programs' for the device itself.
  EXPECT_EQ(lockFileNames("/dev/serial/by-id/usb-X-port0", "/dev/ttyUSB0"),
            (std::vector<std::string>{"LCK..serial_by-id_usb-X-port0", "LCK..ttyUSB0"}));
}

}  // namespace
}  // namespace orvik::platform
