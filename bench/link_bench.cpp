// Throughput of the receive parser and cost of the float conversions, on the headless backend.
#include <benchmark/benchmark.h>

#include <vector>

#include "link/subs.h"
#include "sim/controller_model.h"
#include "support/link_rig.h"

namespace {

using orvik::platform::headless::HeadlessUi;
using orvik::testing::LinkRig;

void BM_ReceiveParserBytesPerSecond(benchmark::State& state) {
  HeadlessUi ui;
  LinkRig rig(ui);
  int handled = 0;
  rig.onStatus = [&] { ++handled; };
  orvik::sim::ControllerModel model;
  const std::vector<std::uint8_t> answer = model.statusAnswer(1000);
  const auto chunk = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    for (std::size_t i = 0; i < answer.size(); i += chunk) {
      rig.port.receiveNow({answer.begin() + static_cast<long>(i),
                           answer.begin() + static_cast<long>(std::min(i + chunk, answer.size()))});
    }
  }
  if (handled != static_cast<int>(state.iterations())) state.SkipWithError("a packet was not accepted");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_ReceiveParserBytesPerSecond)->Arg(1)->Arg(8)->Arg(32);

void BM_FloatFromBytes(benchmark::State& state) {
  const orvik::link::FloatBytesArray bytes{0x8C, 0x57, 0xA0, 0x00};
  for (auto _ : state) {
    benchmark::DoNotOptimize(bytes);
    benchmark::DoNotOptimize(orvik::link::FloatFromBytes(bytes));
  }
}
BENCHMARK(BM_FloatFromBytes);

void BM_FloatToBytes(benchmark::State& state) {
  orvik::link::FloatBytesArray bytes{};
  float v = 13800.0f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(v);
    orvik::link::FloatToBytes(v, bytes);
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_FloatToBytes);

}  // namespace

BENCHMARK_MAIN();
