#include "sim/controller_model.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "sim/pic_float.h"

namespace orvik::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes withChecksum(Bytes p) {
  p.push_back(0);
  p.back() = packetChecksum(p);
  return p;
}

std::optional<Answer> send(ControllerModel& m, const Bytes& request, std::int64_t atMs = 0) {
  std::optional<Answer> answer;
  for (auto b : request)
    answer = m.receive(b, atMs);
  return answer;
}

float floatAt(const Bytes& packet, std::size_t index) {
  return fromPicFloat({packet[index], packet[index + 1], packet[index + 2], packet[index + 3]});
}

TEST(ControllerModel, AnswersEveryCommandWithAWellFramedPacket) {
  ControllerModel m;
  struct Row {
    Bytes request;
    std::uint8_t code;
    std::uint8_t length;
  };
  const std::vector<Row> rows = {
      {{0x3E, 0x02, 0xFE}, '>', 31},
      {{0x42, 0x03, 0x12, 0xEB}, 'B', 6},
      {{0x43, 0x02, 0xFE}, 'C', 22},
      {withChecksum({0x3D, 0x07, 0x1E, 0x7F, 0, 0, 0}), '=', 2},
      {withChecksum({0x44, 0x16, 'A', 'B', 'C', ' ', ' ', ' ', ' ', ' ', ' ',
                     ' ',  ' ',  ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '}),
       'D', 2},
  };
  for (const auto& row : rows) {
    auto a = send(m, row.request);
    ASSERT_TRUE(a) << row.code;
    EXPECT_EQ(a->bytes[0], row.code);
    EXPECT_EQ(a->bytes[1], row.length);
    ASSERT_EQ(a->bytes.size(), row.length + 1u);
    EXPECT_EQ(a->bytes.back(), packetChecksum(a->bytes));
  }
  EXPECT_EQ(m.requests().size(), rows.size());
  ASSERT_EQ(m.writes().size(), 2u);
  EXPECT_EQ(m.writes()[1].tag, "ABC                 ");
}

TEST(ControllerModel, IgnoresRequestsWithABadChecksumAndStrayBytes) {
  ControllerModel m;
  EXPECT_FALSE(send(m, {0x3E, 0x02, 0xFD}));
  EXPECT_FALSE(send(m, {0x3E}, 0));
  EXPECT_TRUE(send(m, {0x3E, 0x02, 0xFE}, 500)) << "a request after a pause starts afresh";
  EXPECT_EQ(m.requests().size(), 1u);
  EXPECT_TRUE(m.writes().empty());
}

TEST(ControllerModel, StatusFollowsTheStoredGainsAndOffset) {
  ControllerModel m;
  const Bytes before = m.statusAnswer(10'000);
  m.setParameter(ControllerModel::kBatteryGain, 1.1f);
  m.setParameter(ControllerModel::kTeGain, 0.5f);
  m.setParameter(ControllerModel::kTempOffset, 3.0f);
  const Bytes after = m.statusAnswer(10'000);
  EXPECT_NEAR(floatAt(after, 6), floatAt(before, 6) * 1.1f, 0.01);
  EXPECT_NEAR(floatAt(after, 2), floatAt(before, 2) * 0.5f, 0.01);
  EXPECT_NEAR(floatAt(after, 14), floatAt(before, 14) + 3.0f, 0.001);
  EXPECT_GT(floatAt(before, 6), 12000);
  EXPECT_LT(floatAt(before, 6), 14000);
}

TEST(ControllerModel, ReportsSensorFailuresWithTheExactMarkers) {
  ControllerModel m;
  m.settings.sensor = SensorFault::Open;
  EXPECT_EQ(floatAt(m.statusAnswer(0), 14), -50.0f);
  m.settings.sensor = SensorFault::Shorted;
  EXPECT_EQ(floatAt(m.statusAnswer(0), 14), 150.0f);
  EXPECT_EQ(floatAt(m.statusAnswer(0), 18), 13800.0f) << "the setpoint falls back to its default";
}

TEST(ControllerModel, KeepsItsParametersAndClearsTheLogOnAnyWriteToIt) {
  ControllerModel m;
  m.settings.shutdownCount = 3;
  m.settings.shutdownReason = 2;
  auto a = send(m, {0x42, 0x03, 0x64, 0x99});
  EXPECT_EQ(Bytes(a->bytes.begin() + 2, a->bytes.begin() + 6), (Bytes{2, 0, 3, 17}));
  send(m, {0x3D, 0x07, 0x64, 0x00, 0x00, 0x00, 0x00, 0x95});
  a = send(m, {0x42, 0x03, 0x64, 0x99});
  EXPECT_EQ(Bytes(a->bytes.begin() + 2, a->bytes.begin() + 6), (Bytes{0, 0, 0, 17}));
  a = send(m, withChecksum({0x42, 0x03, 77}));
  EXPECT_EQ(Bytes(a->bytes.begin() + 2, a->bytes.begin() + 6), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}))
      << "a parameter never stored reads as all ones";
  send(m, {0x3D, 0x07, 0x00, 0x00, 0x02, 0x0F, 0x05, 0xE3});
  const Bytes status = m.statusAnswer(0);
  EXPECT_EQ(Bytes(status.begin() + 28, status.begin() + 31), (Bytes{2, 15, 5}));
}

TEST(ControllerModel, LineFaultsShapeTheAnswer) {
  struct Row {
    const char* what;
    void (*set)(ControllerFaults&);
    std::size_t size;
    bool checksumGood;
  };
  const std::vector<Row> rows = {
      {"first byte only", [](ControllerFaults& f) { f.firstBytesOnly = 1; }, 1, false},
      {"bad checksum", [](ControllerFaults& f) { f.badChecksum = true; }, 32, false},
      {"short", [](ControllerFaults& f) { f.shortAnswers = true; }, 16, true},
      {"overlong", [](ControllerFaults& f) { f.overlongAnswers = true; }, 60, false},
      {"garbage", [](ControllerFaults& f) { f.garbageBytes = 5; }, 37, false},
  };
  for (const auto& row : rows) {
    ControllerModel m;
    row.set(m.faults);
    auto a = send(m, {0x3E, 0x02, 0xFE});
    ASSERT_TRUE(a) << row.what;
    EXPECT_EQ(a->bytes.size(), row.size) << row.what;
    if (row.checksumGood) {
      EXPECT_EQ(a->bytes.back(), packetChecksum(a->bytes)) << row.what;
    }
  }
  ControllerModel silent;
  silent.faults.silent = true;
  EXPECT_FALSE(send(silent, {0x3E, 0x02, 0xFE}));
  ControllerModel dropping;
  dropping.faults.dropEvery = 2;
  EXPECT_TRUE(send(dropping, {0x3E, 0x02, 0xFE}, 0));
  EXPECT_FALSE(send(dropping, {0x3E, 0x02, 0xFE}, 200));
  EXPECT_TRUE(send(dropping, {0x3E, 0x02, 0xFE}, 400));
  ControllerModel unplugged;
  unplugged.faults.unplugAtMs = 1000;
  EXPECT_TRUE(send(unplugged, {0x3E, 0x02, 0xFE}, 999));
  EXPECT_FALSE(send(unplugged, {0x3E, 0x02, 0xFE}, 1000));
  ControllerModel outage;
  outage.faults.outageFromMs = 1000;
  outage.faults.outageForMs = 500;
  outage.settings.laterAlarmAtMs = 1400;
  outage.settings.laterAlarmCode = 3;
  EXPECT_TRUE(send(outage, {0x3E, 0x02, 0xFE}, 999));
  EXPECT_FALSE(send(outage, {0x3E, 0x02, 0xFE}, 1499));
  const auto back = send(outage, {0x3E, 0x02, 0xFE}, 1500);
  ASSERT_TRUE(back) << "answered again after the outage";
  EXPECT_EQ(back->bytes[23], 3) << "with the alarm that came during it";
  EXPECT_EQ(outage.statusAnswer(1399)[23], 0);
}

}  // namespace
}  // namespace orvik::sim
