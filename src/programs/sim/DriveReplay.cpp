#include "programs/sim/DriveReplay.h"

#include "core/tables/Catalogue.h"
#include "core/tables/LabelCodes.h"
#include "programs/common/Utf.h"

namespace zelm::tools {

TDriveReplay::TDriveReplay(TDrive Drive, bool Loop) : FDrive(std::move(Drive)), FLoop(Loop) {
  FColumnOf.fill(-1);
  FDrive.Titles.resize(FDrive.Codes.size());
  FDrive.Units.resize(FDrive.Codes.size());
  for (std::size_t C = 0; C < FDrive.Codes.size(); ++C) {
    std::u16string Code = FDrive.Codes[C];
    LowerAscii(Code);
    const TLabelCode* Match = FindLabelCode(Code);
    if (Match != nullptr && Match->Kind == TLabelCodeKind::Value)
      FColumnOf[cParams[Match->Index].Id] = static_cast<int>(C);
    else
      FUnknown.push_back(FDrive.Codes[C]);
  }
  const auto& Rows = FDrive.Rows;
  const double Last = Rows.empty() ? 0 : Rows.back().Seconds;
  // One more step of the recording's mean pace, so that the last row is seen too.
  FLength = Last + (Rows.size() > 1 ? (Last - Rows.front().Seconds) / static_cast<double>(Rows.size() - 1) : 1);
  if (FLength <= 0) FLength = 1;
}

void TDriveReplay::Step(double Seconds) {
  if (FEnded || FDrive.Rows.empty()) return;
  FTime += Seconds;
  if (FTime >= FLength) {
    if (!FLoop) {
      FEnded = true;
      return;
    }
    while (FTime >= FLength) FTime -= FLength;
    FRow = 0;
  }
  // The recording keeps milliseconds: a row is due within half of one, so that steps of
  // a frame's time (whose sum a double does not hold exactly) meet the frames' rows.
  constexpr double cHalfMillisecond = 0.0005;
  while (FRow + 1 < FDrive.Rows.size() && FDrive.Rows[FRow + 1].Seconds <= FTime + cHalfMillisecond) ++FRow;
}

std::string TDriveReplay::ValueText(uint32_t Id) const {
  if (Id >= FColumnOf.size() || FColumnOf[Id] < 0 || FDrive.Rows.empty() || FEnded) return {};
  const std::string& Text = FDrive.Rows[FRow].Texts[static_cast<std::size_t>(FColumnOf[Id])];
  return Text == "-" ? std::string() : Text;
}

std::u16string TDriveReplay::RecordedTitleUnit(uint32_t Id) const {
  if (Id >= FColumnOf.size() || FColumnOf[Id] < 0) return {};
  const auto Column = static_cast<std::size_t>(FColumnOf[Id]);
  const std::string& Title = FDrive.Titles[Column];
  const std::string& Unit = FDrive.Units[Column];
  return Title.empty() ? std::u16string() : FromUtf8(Unit.empty() ? Title : Title + "," + Unit);
}

}  // namespace zelm::tools
