// Nanoseconds per label request in the core, for a realistic skin of 40 labels in the
// steady state, beside a floor measured in the same run: a loop that only touches the
// same codes.
#include <benchmark/benchmark.h>

#include "tests/support/native/SkinMix.h"
#include "core/protocol/Protocol.h"
#include "core/tables/LabelCodes.h"

namespace zelm::testing {
namespace {

void BM_LabelRequest(benchmark::State& State) {
  TSteadySkin Skin;
  std::size_t I = 0;
  for (auto _ : State) {
    benchmark::DoNotOptimize(Skin.Core.ReturnLabel(cSkinMix[I]).size());
    I = (I + 1) % cSkinMix.size();
  }
  State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_LabelRequest);

void BM_Floor_CodeLengthOnly(benchmark::State& State) {
  std::size_t I = 0;
  for (auto _ : State) {
    benchmark::DoNotOptimize(cSkinMix[I].size());
    I = (I + 1) % cSkinMix.size();
  }
}
BENCHMARK(BM_Floor_CodeLengthOnly);

void BM_CodeLookupOnly(benchmark::State& State) {
  std::size_t I = 0;
  for (auto _ : State) {
    benchmark::DoNotOptimize(FindLabelCode(cSkinMix[I]));
    I = (I + 1) % cSkinMix.size();
  }
}
BENCHMARK(BM_CodeLookupOnly);

// A value record as it arrives on the hidden window (the platform's text faked).
void BM_LiveRecord(benchmark::State& State) {
  TSteadySkin Skin;
  const std::string Record = EncodeLiveRecord("850", "Engine speed,rpm");
  for (auto _ : State) Skin.Core.StoreValueRecord(11, Record.data(), Record.size());
}
BENCHMARK(BM_LiveRecord);

void BM_TripRecord(benchmark::State& State) {
  TSteadySkin Skin;
  const std::string Record = EncodeTripRecord("87.5");
  for (auto _ : State) Skin.Core.StoreValueRecord(135, Record.data(), Record.size());
}
BENCHMARK(BM_TripRecord);

}  // namespace
}  // namespace zelm::testing

BENCHMARK_MAIN();
