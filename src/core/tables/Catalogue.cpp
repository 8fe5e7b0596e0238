#include "core/tables/Catalogue.h"

namespace zelm {
namespace {

struct TIdIndex {
  std::array<int16_t, cMaxParamId + 1> Of{};
  constexpr TIdIndex() {
    for (auto& Entry : Of) Entry = -1;
    for (std::size_t I = 0; I < cParams.size(); ++I) Of[cParams[I].Id] = static_cast<int16_t>(I);
  }
};
constexpr TIdIndex cIdIndex;

constexpr std::array<std::u16string_view, cCycleLength> MakeCycle() {
  std::array<std::u16string_view, cCycleLength> Result{};
  for (const auto& Param : cParams)
    if (Param.CyclePosition >= 0) Result[static_cast<std::size_t>(Param.CyclePosition)] = Param.ValueCode;
  return Result;
}

}  // namespace

const std::array<std::u16string_view, cCycleLength> cLabelCodeCycle = MakeCycle();

int ParamIndexOfId(uint32_t Id) noexcept { return Id <= cMaxParamId ? cIdIndex.Of[Id] : -1; }

}  // namespace zelm
