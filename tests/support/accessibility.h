#pragma once

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/process.h"

namespace orvik::testing {

// A private D-Bus session for one test, so a program started with sessionEnv() can be read by assistive
// tools: its accessibility bus (at-spi) is started on demand by the session bus.
class SessionBus {
 public:
  // `runtimeDir` is the session's own XDG_RUNTIME_DIR, where the accessibility bus puts its socket:
  // sessions that share one would take each other's bus.
  SessionBus(const std::string& addressFile, const std::string& runtimeDir) : runtimeDir_(runtimeDir) {
    std::filesystem::create_directories(runtimeDir);
    std::filesystem::permissions(runtimeDir, std::filesystem::perms::owner_all);
    daemon_ = std::make_unique<Process>(
        std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=1"},
        Process::Options{"", {{"XDG_RUNTIME_DIR", runtimeDir}}, addressFile});
    waitFor([&] { return readFile(addressFile).find('\n') != std::string::npos; }, std::chrono::seconds(10));
    address_ = readFile(addressFile);
    if (const auto end = address_.find('\n'); end != std::string::npos) address_.erase(end);
  }
  const std::string& address() const { return address_; }
  // What a Qt program needs to show itself to assistive tools on this bus.
  std::map<std::string, std::string> env() const {
    return {{"DBUS_SESSION_BUS_ADDRESS", address_},
            {"XDG_RUNTIME_DIR", runtimeDir_},
            {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}};
  }

 private:
  std::string runtimeDir_;
  std::unique_ptr<Process> daemon_;
  std::string address_;
};

// One object of a program's accessibility tree, as orvik-a11y-dump prints it.
struct AccessibleNode {
  int depth = 0;
  std::string role;
  std::string name;
  std::string description;
  bool enabled = false;
  bool showing = false;
};

// What assistive tools read of the running application `appName` on `bus`: empty when it is not there.
inline std::vector<AccessibleNode> readAccessibility(const SessionBus& bus, const std::string& appName) {
  const std::string command = "DBUS_SESSION_BUS_ADDRESS='" + bus.address() +
                              "' '" ORVIK_A11Y_DUMP_PATH "' '" + appName + "' 2>/dev/null";
  std::vector<AccessibleNode> nodes;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) return nodes;
  std::string line;
  char buf[4096];
  while (std::fgets(buf, sizeof buf, pipe.get()) != nullptr) {
    line += buf;
    if (line.empty() || line.back() != '\n') continue;
    line.pop_back();
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    line.clear();
    if (fields.size() != 5) continue;
    AccessibleNode n;
    n.depth = std::stoi(fields[0]);
    n.role = fields[1];
    n.name = fields[2];
    n.description = fields[3];
    n.enabled = fields[4].find("enabled") != std::string::npos;
    n.showing = fields[4].find("showing") != std::string::npos;
    nodes.push_back(std::move(n));
  }
  return nodes;
}

}  // namespace orvik::testing
