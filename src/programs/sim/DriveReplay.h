// A recorded drive served again (zelm_sim --replay): each parameter of the recording
// reads what it read at the same time of the drive, with the title and unit it was
// recorded with (or the simulated car's). Parameters the recording lacks,
// and those still without a value ("-"), have nothing to send. The trip figures go on
// as recorded: a trip reset cannot change what was driven.
#pragma once

#include <array>
#include <cstdint>

#include "programs/common/DriveLog.h"
#include "programs/sim/DriveSource.h"

namespace zelm::tools {

class TDriveReplay final : public TDriveSource {
 public:
  // Loop: from the start again after the last row (one row's time after it).
  TDriveReplay(TDrive Drive, bool Loop);

  void Step(double Seconds) override;
  void ResetTrip() override {}
  std::string ValueText(uint32_t Id) const override;
  std::u16string RecordedTitleUnit(uint32_t Id) const override;

  // Seconds into the recording, and whether it ended (never while looping).
  double Time() const noexcept { return FTime; }
  bool Ended() const noexcept { return FEnded; }
  // The recording's value codes that name no parameter: nothing is served for them.
  const std::vector<std::u16string>& Unknown() const noexcept { return FUnknown; }
  // The length of one pass.
  double Length() const noexcept { return FLength; }

 private:
  TDrive FDrive;
  bool FLoop;
  std::array<int, 145> FColumnOf;  // parameter identifier -> column, -1: not recorded
  std::vector<std::u16string> FUnknown;
  double FLength = 0;
  double FTime = 0;
  std::size_t FRow = 0;
  bool FEnded = false;
};

}  // namespace zelm::tools
