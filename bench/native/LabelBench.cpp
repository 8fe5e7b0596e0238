// Nanoseconds per label request in the core, for a realistic skin of 40 labels in the
// steady state, beside a floor measured in the same run: a loop that only touches the
// same codes.
#include <benchmark/benchmark.h>

#include "SkinMix.h"
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

}  // namespace
}  // namespace zelm::testing

BENCHMARK_MAIN();
