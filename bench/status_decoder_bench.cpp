// Cost of showing one status record: decoding its fields and turning them into the ten live texts.
#include <benchmark/benchmark.h>

#include "link/run_state.h"
#include "link/status_decoder.h"
#include "link/status_view.h"
#include "link/subs.h"

namespace {

using orvik::link::FloatBytesArray;

void putFloat(orvik::link::RunState& state, int index, float value) {
  FloatBytesArray bytes{};
  orvik::link::FloatToBytes(value, bytes);
  std::copy(bytes.begin(), bytes.end(), state.RxBuffer.begin() + index);
}

void BM_DecodeStatusRecord(benchmark::State& bench) {
  // A charging controller at hardware revision 5 with alarm 3 standing: every step writes its label.
  orvik::link::RunState state;
  auto& rx = state.RxBuffer;
  rx[0] = '>';
  rx[1] = 31;
  putFloat(state, 2, 13512.0f);
  putFloat(state, 6, 13245.0f);
  putFloat(state, 14, 77.4f);
  putFloat(state, 18, 14100.0f);
  const std::uint8_t tail[] = {1, 3, 0x01, 0x90, 5, 12, 2, 15, 5};
  std::copy(std::begin(tail), std::end(tail), rx.begin() + 22);
  rx[31] = orvik::link::PacketChecksum(rx);
  const auto steady = rx;
  // The next poll: the readings have drifted, so each label changes.
  putFloat(state, 2, 13498.0f);
  putFloat(state, 6, 13251.0f);
  putFloat(state, 14, 78.1f);
  putFloat(state, 18, 14120.0f);
  rx[22] = 0;
  rx[23] = 2;
  rx[25] = 0x91;
  rx[31] = orvik::link::PacketChecksum(rx);
  const auto drifted = rx;
  const bool drift = bench.range(0) != 0;
  // The previous poll, which told the window the hardware revision.
  rx = steady;
  orvik::link::LiveView view = orvik::link::StatusView(orvik::link::DecodeStatusRecord(rx), {});

  bool odd = false;
  for (auto _ : bench) {
    rx = drift && odd ? drifted : steady;
    odd = !odd;
    view = orvik::link::StatusView(orvik::link::DecodeStatusRecord(rx), view);
    benchmark::DoNotOptimize(view);
  }
  if (view.teVolts.text.empty() || view.teVolts.text == "-" || view.alarm.empty() ||
      view.calDate != "15-Feb-05")
    bench.SkipWithError("the record was not decoded");
}
// 0: the same record every poll; 1: readings that change from one poll to the next.
BENCHMARK(BM_DecodeStatusRecord)->ArgName("drift")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
