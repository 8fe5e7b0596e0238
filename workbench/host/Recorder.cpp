#include "workbench/host/Recorder.h"

#include <algorithm>
#include <utility>

#include "core/tables/Catalogue.h"
#include "core/tables/LabelCodes.h"
#include "core/tables/SlotTexts.h"
#include "programs/common/DriveLog.h"

namespace zelm::tools {

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
    if (Match->Kind == TLabelCodeKind::SlotValue) Add(LowerAsciiCopy(Variables.Get(cSlots[Match->Index].Variable)), -1);
  }
  return Columns;
}

TDriveWriter::TDriveWriter(std::vector<TDriveColumn> Columns)
    : FColumns(std::move(Columns)), FTitles(FColumns.size()), FUnits(FColumns.size()) {
  for (const TDriveColumn& C : FColumns) {
    const TLabelCode* Match = FindLabelCode(C.Code);
    FWanted.push_back(Match != nullptr && Match->Kind == TLabelCodeKind::Value &&
                      cParams[Match->Index].Kind == TParamKind::Live);
  }
}

bool TDriveWriter::Wants(std::size_t I, std::u16string_view Text) const {
  return !FStarted && FWanted[I] && !Text.empty() && Text != u"-" && Text != u"!";
}

void TDriveWriter::Learn(std::size_t I, std::u16string Title, std::u16string Unit) {
  FTitles[I] = std::move(Title);
  FUnits[I] = Unit == u"-" ? std::u16string() : std::move(Unit);
  FWanted[I] = false;
}

std::string TDriveWriter::Head() {
  FStarted = true;
  std::vector<std::u16string> Codes;
  for (const TDriveColumn& C : FColumns) Codes.push_back(C.Code);
  return DriveHeader(Codes) + DriveHeadRow("title", FTitles) + DriveHeadRow("unit", FUnits) +
         std::exchange(FWaiting, {});
}

std::string TDriveWriter::Row(double Seconds, const std::vector<std::u16string>& Texts) {
  const std::string Line = DriveRow(Seconds, Texts);
  if (FStarted) return Line;
  FWaiting += Line;
  const bool Known = std::find(FWanted.begin(), FWanted.end(), true) == FWanted.end();
  return Known || Seconds >= cTitleWait ? Head() : std::string();
}

std::string TDriveWriter::Finish() { return FStarted ? std::string() : Head(); }

}  // namespace zelm::tools
