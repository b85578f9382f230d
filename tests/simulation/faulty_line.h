#pragma once

#include <chrono>
#include <random>
#include <vector>

#include "simulation/bench.h"

namespace orvik::simulation::bench {

using namespace std::chrono_literals;

class FaultyLine final : public platform::headless::MemorySerialPort::Peer {
 public:
  FaultyLine(Bench& bench, platform::headless::HeadlessUi& ui, platform::headless::MemorySerialPort& port,
             sim::ControllerModel& model)
      : bench_(bench), ui_(ui), port_(port), model_(model) {
    port_.attach(1, *this);
  }

  void hostWrote(std::uint8_t byte) override {
    auto answer = model_.receive(byte, ui_.nowMs());
    if (!answer) return;
    std::mt19937_64 rng(mix(bench_.seed(), ++requests_));
    const auto& request = model_.requests().back();
    bench_.answered(request, answer->bytes);
    std::vector<std::uint8_t> bytes = answer->bytes;
    const int dice = static_cast<int>(rng() % 100);
    const int range = static_cast<int>(rng() % 100);
    const auto delay = std::chrono::milliseconds(range < 70   ? rng() % 60
                                                 : range < 90 ? 100 + rng() % 600
                                                 : range < 98 ? 700 + rng() % 1300
                                                              : 2000 + rng() % 1000);
    const char* fault = dice < 3 || (request[0] == '=' && dice < 7) ? "lost"
                        : dice < 10                                 ? "spoilt"
                        : dice < 13                                 ? "cut short"
                        : dice < 16                                 ? "sent twice"
                                                                    : "";
    bench_.event("line: " + hex(request) + "-> " + hex(bytes) + "after " + std::to_string(delay.count()) +
                 " ms " + fault);
    if (dice < 3 || (request[0] == '=' && dice < 7)) return;
    if (dice < 10) bytes[rng() % bytes.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
    if (dice >= 10 && dice < 13) bytes.resize(1 + rng() % (bytes.size() - 1));
    // Bytes reported in pieces of up to eight; an answer sent twice, as the port reports them one or two
    // at a time (a driver holding them back longer hides the back-to-back repeat: answers do not name
    // their parameter).
    const bool twice = dice >= 13 && dice < 16;
    const int chunk = static_cast<int>(twice ? 1 + rng() % 2 : rng() % 10 == 0 ? 1 + rng() % 8 : 1);
    port_.deliver(bytes, delay, chunk);
    if (twice) port_.deliver(bytes, delay, chunk);  // again, back to back
    if (dice >= 3 && dice < 13) suspects_.push_back(stream_.size());
    stream_.insert(stream_.end(), bytes.begin(), bytes.end());
    if (twice) stream_.insert(stream_.end(), bytes.begin(), bytes.end());
    findFrames();
  }

 private:
  // A spoilt or cut-short answer runs on into what comes after it on the line, and now and then the two
  // make a packet whose checksum holds (one in 256): no receiver can tell it from an answer. Such
  // packets are values the program may take for any parameter.
  void findFrames() {
    for (auto it = suspects_.begin(); it != suspects_.end();) {
      const std::size_t at = *it;
      if (stream_.size() < at + 2) {
        ++it;
        continue;
      }
      const std::size_t length = stream_[at + 1];
      if (length >= 6 && length <= 50 && stream_.size() < at + length + 1) {
        ++it;
        continue;
      }
      if (length >= 6 && length <= 50 && stream_[at] == 'B') {
        unsigned sum = 0;
        for (std::size_t i = at + 1; i < at + length; ++i)
          sum += stream_[i];
        if (static_cast<std::uint8_t>(sum + stream_[at + length]) == 0)
          bench_.framed({stream_[at + 2], stream_[at + 3], stream_[at + 4], stream_[at + 5]});
      }
      it = suspects_.erase(it);
    }
  }

  std::vector<std::uint8_t> stream_;  // every byte sent to the host, in the order it goes out
  std::vector<std::size_t> suspects_;
  Bench& bench_;
  platform::headless::HeadlessUi& ui_;
  platform::headless::MemorySerialPort& port_;
  sim::ControllerModel& model_;
  std::uint64_t requests_ = 0;
};

}  // namespace orvik::simulation::bench
