#include "tools/host/Recorder.h"

#include <algorithm>

#include "core/tables/Catalogue.h"
#include "core/tables/LabelCodes.h"
#include "core/tables/SlotTexts.h"

namespace zelm::bench {

std::vector<TDriveColumn> DriveColumns(const TSkin& Skin, const THostVariables& Variables) {
  std::vector<TDriveColumn> Columns;
  auto Add = [&Columns](const std::u16string& Code, int Label) {
    const TLabelCode* Match = FindLabelCode(Code);
    if (Match == nullptr || Match->Kind != TLabelCodeKind::Value) return;
    for (TDriveColumn& C : Columns)
      if (C.Code == Code) {
        if (C.Label < 0) C.Label = Label;
        return;
      }
    Columns.push_back({Code, Label});
  };
  for (std::size_t I = 0; I < Skin.Labels.size(); ++I) {
    const std::u16string Code = LowerAsciiCopy(Skin.Labels[I].Code);
    const TLabelCode* Match = FindLabelCode(Code);
    if (Match == nullptr) continue;
    if (Match->Kind == TLabelCodeKind::Value) Add(Code, static_cast<int>(I));
    if (Match->Kind == TLabelCodeKind::SlotValue)
      Add(LowerAsciiCopy(Variables.Get(cSlots[Match->Index].Variable)), -1);
  }
  return Columns;
}

}  // namespace zelm::bench
