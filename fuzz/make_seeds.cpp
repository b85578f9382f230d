// orvik-fuzz-seeds DIR: writes the seed corpora of the fuzz targets into DIR/<target>: for the receive
// side, the controller model's real answers (status records of several controllers and moments, every
// parameter, the tag name, the acknowledgements, and the model's line faults); numbers as typed; a
// backup file.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "backup/backup_file.h"
#include "fuzz_link.h"
#include "sim/controller_model.h"

namespace {

using orvik::fuzz::Bytes;
using orvik::sim::ControllerFaults;
using orvik::sim::ControllerModel;
using orvik::sim::ControllerSettings;
namespace fs = std::filesystem;

// The model's answer to `request` at `nowMs`, with whatever line faults it has.
Bytes answer(ControllerModel& model, const Bytes& request, std::int64_t nowMs) {
  for (std::size_t i = 0; i + 1 < request.size(); ++i)
    model.receive(request[i], nowMs);
  const auto a = model.receive(request.back(), nowMs);
  return a ? a->bytes : Bytes{};
}

Bytes request(std::uint8_t code, Bytes payload) {
  Bytes p{code, static_cast<std::uint8_t>(payload.size() + 2)};
  p.insert(p.end(), payload.begin(), payload.end());
  p.push_back(0);
  p.back() = orvik::fuzz::checksumOf(p);
  return p;
}

void write(const fs::path& file, const Bytes& bytes) {
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: orvik-fuzz-seeds DIR\n");
    return 2;
  }
  const fs::path receiveDir = fs::path(argv[1]) / "receive_bytes";
  const fs::path packetsDir = fs::path(argv[1]) / "valid_packets";
  fs::create_directories(receiveDir);
  fs::create_directories(packetsDir);

  // The commands of the link, as requests, with the op that sends each in a receive-bytes input.
  struct Ask {
    Bytes request;
    int op;
    std::uint8_t arg;
  };
  std::vector<Ask> asks = {{request('>', {}), 0, 0}, {request('C', {}), 2, 0}};
  for (int number : {0, 18, 22, 26, 30, 100, 104, 108, 116}) {
    const auto p = static_cast<std::uint8_t>(number);
    asks.push_back({request('B', {p}), 1, p});
  }
  asks.push_back({request('=', {30, 0x7F, 0, 0, 0}), 3, 30});
  Bytes tag = {'D', 22};
  tag.resize(22, ' ');
  tag.push_back(0);
  tag.back() = orvik::fuzz::checksumOf(tag);
  asks.push_back({tag, 4, 20});

  std::vector<ControllerSettings> controllers(4);
  controllers[1].hardwareRevision = 4;
  controllers[1].sensor = orvik::sim::SensorFault::Open;
  controllers[2].alarmCode = 6;
  controllers[2].chargeMode = 4;
  controllers[2].sensor = orvik::sim::SensorFault::Shorted;
  controllers[3].calMonth = 0;
  controllers[3].chargeMode = 2;

  std::vector<std::pair<std::string, void (*)(ControllerFaults&)>> faults = {
      {"clean", [](ControllerFaults&) {}},
      {"badsum", [](ControllerFaults& f) { f.badChecksum = true; }},
      {"garbage", [](ControllerFaults& f) { f.garbageBytes = 7; }},
      {"short", [](ControllerFaults& f) { f.shortAnswers = true; }},
      {"overlong", [](ControllerFaults& f) { f.overlongAnswers = true; }},
      {"firstbyte", [](ControllerFaults& f) { f.firstBytesOnly = 1; }},
  };

  int written = 0;
  for (std::size_t c = 0; c < controllers.size(); ++c) {
    for (const auto& [faultName, setFault] : faults) {
      ControllerModel model(controllers[c], static_cast<std::uint32_t>(c + 1));
      setFault(model.faults);
      Bytes stream;  // one input with every exchange in turn, as a session of polls and reads goes
      for (std::size_t k = 0; k < asks.size(); ++k) {
        const Ask& ask = asks[k];
        const Bytes bytes = answer(model, ask.request, static_cast<std::int64_t>(2000 * (k + 1)));
        if (bytes.empty()) continue;
        const int chunk = static_cast<int>(1 + (k * 7 + c) % 33);
        Bytes single;
        orvik::fuzz::appendCommand(single, ask.op, ask.arg);
        orvik::fuzz::appendArrival(single, bytes, chunk);
        const std::string name = "c" + std::to_string(c) + "-" + faultName + "-" + std::to_string(k);
        write(receiveDir / (name + ".bin"), single);
        ++written;
        stream.insert(stream.end(), single.begin(), single.end());
        orvik::fuzz::appendPause(stream, 2000);

        if (faultName == "clean") {
          Bytes record;
          orvik::fuzz::appendPacketRecord(record, static_cast<std::uint8_t>(k % 3), bytes);
          write(packetsDir / (name + ".bin"), record);
          ++written;
        }
      }
      write(receiveDir / ("c" + std::to_string(c) + "-" + faultName + "-session.bin"), stream);
      ++written;
    }
  }
  // Numbers as people type them and as the programs write them, and a backup file.
  const fs::path numbersDir = fs::path(argv[1]) / "number_text";
  const fs::path backupDir = fs::path(argv[1]) / "backup_file";
  fs::create_directories(numbersDir);
  fs::create_directories(backupDir);
  int n = 0;
  for (const char* text : {"12.5", " 14.6\t", "-50", ".5", "5.", "1e-11", "1.01247367568443", "12,5", "abc",
                           "-0", "3e38", "1e400", "0x10", "nan", "+5", "12.346 V"}) {
    std::ofstream(numbersDir / ("n" + std::to_string(n++))) << text;
    ++written;
  }
  orvik::backup::BackupFile file;
  file.unit.tag = "BAY 4";
  file.unit.hardwareRevision = 5;
  file.unit.constants = {{18, {0x7F, 0x01, 0x96, 0x53}},
                         {22, {0x7F, 0, 0, 0}},
                         {26, {0x7F, 0, 0, 1}},
                         {30, {0xFF, 0xFF, 0xFF, 0xFF}}};
  std::ofstream(backupDir / "backup.json") << orvik::backup::BackupJson(file);
  ++written;
  std::printf("%d seed inputs in %s\n", written, argv[1]);
  return 0;
}
