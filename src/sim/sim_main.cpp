// orvik-sim: a simulated charger controller on a pseudo-terminal.
#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <string>
#include <vector>

#include "sim/controller_model.h"

namespace {

using orvik::sim::ControllerModel;
using orvik::sim::SensorFault;
using SteadyClock = std::chrono::steady_clock;

constexpr const char* kUsage = R"(Usage: orvik-sim [options]

A simulated charger controller. It opens a pseudo-terminal, prints the device path of its end as the
first line on stdout, and answers the controller protocol on it (status ">", parameter read "B" and
write "=", tag read "C" and write "D") until it is stopped.

Point the monitor at it with ORVIK_COMM1=<that path> (or ORVIK_COMM2..4).

Controller:
  --hw-rev N            hardware revision (default 5; below 5 hides alarms and some tools)
  --sw-rev N            software revision (default 12)
  --mode N              charge mode 0 trickle, 1 charging, 2 starting, 3 warming, 4 disabled (default 1)
  --alarm CODE          alarm code in every status record (default 0)
  --alarm-after MS:CODE this alarm code from MS milliseconds after start on
  --sensor open|shorted battery temperature sensor failed: reads -50 (open) or 150 (shorted)
  --shutdowns N         diagnostic shutdown count (default 0)
  --shutdown-reason C   reason code of the last shutdown (default 0)
  --tag TEXT            tag name, up to 20 characters (default "ORVIK SIM 0001")
  --cal-date M/D/YY     calibration date (default 2/15/05; 0/0/0 for none)
  --seed N              seed of the readings' jitter (default 1)

Faults on the line:
  --silent              never answer
  --delay MS            answer delay in milliseconds (default 5)
  --first-bytes N       send only the first N bytes of each answer
  --bad-checksum        spoil the checksum of every answer
  --bad-checksum-every K  spoil the checksum of every K-th answer
  --wrong-answer        answer every request as a tag name read, whatever was asked
  --garbage N           send N junk bytes before every answer
  --short               answers whose length byte cuts their content short
  --overlong            answers of 60 bytes that never complete a packet
  --drop-every K        leave every K-th request unanswered
  --unplug-after MS     stop answering MS milliseconds after start
  --outage MS:FOR       answer nothing from MS milliseconds after start for FOR milliseconds
  --pace                send answers at 9600 bit/s, a byte every 1.04 ms (default: at once)

Other:
  --link PATH           also make PATH a symbolic link to the device
  --log                 print every request and answer on stderr, in hexadecimal, with a timestamp
  --help                this text
)";

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) {
  stopRequested = 1;
}

int parseInt(const char* text, const char* option) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0') {
    std::cerr << "orvik-sim: " << option << " needs a number, not '" << text << "'\n";
    std::exit(2);
  }
  return static_cast<int>(v);
}

// "A:B" as its two parts.
std::pair<std::string, std::string> parsePair(const std::string& text, const char* option) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) {
    std::cerr << "orvik-sim: " << option << " takes two numbers as A:B, not '" << text << "'\n";
    std::exit(2);
  }
  return {text.substr(0, colon), text.substr(colon + 1)};
}

std::uint8_t parseByte(const char* text, const char* option) {
  const int v = parseInt(text, option);
  if (v < 0 || v > 255) {
    std::cerr << "orvik-sim: " << option << " takes 0..255\n";
    std::exit(2);
  }
  return static_cast<std::uint8_t>(v);
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
  std::string s;
  char buf[4];
  for (auto b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", b);
    s += buf;
  }
  if (!s.empty()) s.pop_back();
  return s;
}

struct Outgoing {
  SteadyClock::time_point at;
  std::uint8_t byte;
};

}  // namespace

int main(int argc, char** argv) {
  ControllerModel model;
  bool log = false;
  bool pace = false;
  std::string linkPath;
  std::uint32_t seed = 1;

  enum Opt {
    kHwRev = 1000,
    kSwRev,
    kMode,
    kAlarm,
    kSensor,
    kShutdowns,
    kShutdownReason,
    kTag,
    kCalDate,
    kSeed,
    kSilent,
    kDelay,
    kFirstBytes,
    kBadChecksum,
    kBadChecksumEvery,
    kWrongAnswer,
    kGarbage,
    kShort,
    kOverlong,
    kDropEvery,
    kUnplug,
    kOutage,
    kAlarmAfter,
    kPace,
    kLink,
    kLog,
    kHelp
  };
  static const option kOptions[] = {{"hw-rev", required_argument, nullptr, kHwRev},
                                    {"sw-rev", required_argument, nullptr, kSwRev},
                                    {"mode", required_argument, nullptr, kMode},
                                    {"alarm", required_argument, nullptr, kAlarm},
                                    {"sensor", required_argument, nullptr, kSensor},
                                    {"shutdowns", required_argument, nullptr, kShutdowns},
                                    {"shutdown-reason", required_argument, nullptr, kShutdownReason},
                                    {"tag", required_argument, nullptr, kTag},
                                    {"cal-date", required_argument, nullptr, kCalDate},
                                    {"seed", required_argument, nullptr, kSeed},
                                    {"silent", no_argument, nullptr, kSilent},
                                    {"delay", required_argument, nullptr, kDelay},
                                    {"first-bytes", required_argument, nullptr, kFirstBytes},
                                    {"bad-checksum", no_argument, nullptr, kBadChecksum},
                                    {"bad-checksum-every", required_argument, nullptr, kBadChecksumEvery},
                                    {"wrong-answer", no_argument, nullptr, kWrongAnswer},
                                    {"garbage", required_argument, nullptr, kGarbage},
                                    {"short", no_argument, nullptr, kShort},
                                    {"overlong", no_argument, nullptr, kOverlong},
                                    {"drop-every", required_argument, nullptr, kDropEvery},
                                    {"unplug-after", required_argument, nullptr, kUnplug},
                                    {"outage", required_argument, nullptr, kOutage},
                                    {"alarm-after", required_argument, nullptr, kAlarmAfter},
                                    {"pace", no_argument, nullptr, kPace},
                                    {"link", required_argument, nullptr, kLink},
                                    {"log", no_argument, nullptr, kLog},
                                    {"help", no_argument, nullptr, kHelp},
                                    {nullptr, 0, nullptr, 0}};

  int opt = 0;
  while ((opt = getopt_long(argc, argv, "", kOptions, nullptr)) != -1) {
    auto& s = model.settings;
    auto& f = model.faults;
    switch (opt) {
      case kHwRev:
        s.hardwareRevision = parseByte(optarg, "--hw-rev");
        break;
      case kSwRev:
        s.softwareRevision = parseByte(optarg, "--sw-rev");
        break;
      case kMode:
        s.chargeMode = parseByte(optarg, "--mode");
        break;
      case kAlarm:
        s.alarmCode = parseByte(optarg, "--alarm");
        break;
      case kSensor:
        if (std::strcmp(optarg, "open") == 0) {
          s.sensor = SensorFault::Open;
        } else if (std::strcmp(optarg, "shorted") == 0) {
          s.sensor = SensorFault::Shorted;
        } else {
          std::cerr << "orvik-sim: --sensor takes open or shorted\n";
          return 2;
        }
        break;
      case kShutdowns:
        s.shutdownCount = parseByte(optarg, "--shutdowns");
        break;
      case kShutdownReason:
        s.shutdownReason = parseByte(optarg, "--shutdown-reason");
        break;
      case kTag:
        s.tag = std::string(optarg).substr(0, 20);
        break;
      case kCalDate: {
        int m = 0, d = 0, y = 0;
        if (std::sscanf(optarg, "%d/%d/%d", &m, &d, &y) != 3 || m < 0 || m > 255 || d < 0 || d > 255 ||
            y < 0 || y > 255) {
          std::cerr << "orvik-sim: --cal-date takes M/D/YY\n";
          return 2;
        }
        s.calMonth = static_cast<std::uint8_t>(m);
        s.calDay = static_cast<std::uint8_t>(d);
        s.calYear = static_cast<std::uint8_t>(y);
        break;
      }
      case kSeed:
        seed = static_cast<std::uint32_t>(parseInt(optarg, "--seed"));
        break;
      case kSilent:
        f.silent = true;
        break;
      case kDelay:
        f.answerDelay = std::chrono::milliseconds(parseInt(optarg, "--delay"));
        break;
      case kFirstBytes:
        f.firstBytesOnly = parseInt(optarg, "--first-bytes");
        break;
      case kBadChecksum:
        f.badChecksum = true;
        break;
      case kBadChecksumEvery:
        f.badChecksumEvery = parseInt(optarg, "--bad-checksum-every");
        break;
      case kWrongAnswer:
        f.wrongAnswers = true;
        break;
      case kGarbage:
        f.garbageBytes = parseInt(optarg, "--garbage");
        break;
      case kShort:
        f.shortAnswers = true;
        break;
      case kOverlong:
        f.overlongAnswers = true;
        break;
      case kDropEvery:
        f.dropEvery = parseInt(optarg, "--drop-every");
        break;
      case kUnplug:
        f.unplugAtMs = parseInt(optarg, "--unplug-after");
        break;
      case kOutage: {
        const auto [from, length] = parsePair(optarg, "--outage");
        f.outageFromMs = parseInt(from.c_str(), "--outage");
        f.outageForMs = parseInt(length.c_str(), "--outage");
        break;
      }
      case kAlarmAfter: {
        const auto [at, code] = parsePair(optarg, "--alarm-after");
        s.laterAlarmAtMs = parseInt(at.c_str(), "--alarm-after");
        s.laterAlarmCode = parseByte(code.c_str(), "--alarm-after");
        break;
      }
      case kPace:
        pace = true;
        break;
      case kLink:
        linkPath = optarg;
        break;
      case kLog:
        log = true;
        break;
      case kHelp:
        std::cout << kUsage;
        return 0;
      default:
        std::cerr << kUsage;
        return 2;
    }
  }
  if (seed != 1) {
    const auto settings = model.settings;
    const auto faults = model.faults;
    model = ControllerModel(settings, seed);
    model.faults = faults;
  }

  int master = -1;
  int slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::perror("orvik-sim: openpty");
    return 1;
  }
  // Raw on our side too, so nothing is echoed or translated before the client sets its own mode.
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  cfsetspeed(&raw, B9600);
  tcsetattr(slave, TCSANOW, &raw);
  // The slave stays open here as well: otherwise the master reports a hang-up whenever no client has it.
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

  if (!linkPath.empty()) {
    ::unlink(linkPath.c_str());
    if (::symlink(name, linkPath.c_str()) != 0) std::perror("orvik-sim: --link");
  }
  std::cout << name << std::endl;

  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  std::signal(SIGPIPE, SIG_IGN);

  const auto start = SteadyClock::now();
  auto msSinceStart = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
  };
  std::deque<Outgoing> outgoing;
  constexpr auto kByteTime = std::chrono::microseconds(1042);

  while (!stopRequested) {
    int timeoutMs = 200;
    if (!outgoing.empty()) {
      const auto wait =
          std::chrono::duration_cast<std::chrono::milliseconds>(outgoing.front().at - SteadyClock::now());
      timeoutMs = static_cast<int>(std::max<long long>(0, wait.count()));
    }
    pollfd p{master, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeoutMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && (p.revents & POLLIN)) {
      std::uint8_t buf[256];
      const ssize_t n = ::read(master, buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i) {
        const auto now = msSinceStart();
        const std::size_t requestsBefore = model.requests().size();
        const auto answer = model.receive(buf[i], now);
        if (answer) {
          auto at = SteadyClock::now() + answer->delay;
          if (!outgoing.empty() && outgoing.back().at > at) at = outgoing.back().at;
          for (auto b : answer->bytes) {
            if (pace) at += kByteTime;
            outgoing.push_back({at, b});
          }
        }
        if (log && model.requests().size() > requestsBefore) {
          std::fprintf(stderr, "%lld ms: request %s -> %s\n", static_cast<long long>(now),
                       hex(model.requests().back()).c_str(),
                       answer ? ("answer " + hex(answer->bytes)).c_str() : "no answer");
          std::fflush(stderr);
        }
      }
    }
    while (!outgoing.empty() && outgoing.front().at <= SteadyClock::now()) {
      std::vector<std::uint8_t> chunk;
      while (!outgoing.empty() && outgoing.front().at <= SteadyClock::now()) {
        chunk.push_back(outgoing.front().byte);
        outgoing.pop_front();
      }
      if (::write(master, chunk.data(), chunk.size()) < 0 && errno != EAGAIN) break;
    }
  }
  if (!linkPath.empty()) ::unlink(linkPath.c_str());
  ::close(slave);
  ::close(master);
  return 0;
}
