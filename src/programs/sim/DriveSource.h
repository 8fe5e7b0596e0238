// Where the workbench's data server takes its readings from: the simulated car, or a
// recorded drive played back.
#pragma once

#include <cstdint>
#include <string>

namespace zelm::tools {

class TDriveSource {
 public:
  virtual ~TDriveSource() = default;
  // Advances the drive by Seconds (at least 0).
  virtual void Step(double Seconds) = 0;
  virtual void ResetTrip() = 0;
  // The reading as the data server sends it now; empty when there is none to send.
  virtual std::string ValueText(uint32_t Id) const = 0;
  // The title and unit sent with a live reading ("Vehicle speed,km/h"); empty: the
  // simulated car's.
  virtual std::u16string RecordedTitleUnit(uint32_t /*Id*/) const { return {}; }
};

}  // namespace zelm::tools
