// One line per change of state (never one per label request), for whoever diagnoses a
// car: the shell hands each line to the system's debug output, tests keep them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelm {

class TTraceLog {
 public:
  virtual ~TTraceLog() = default;
  virtual void Trace(std::u16string_view Line) = 0;
};

// "0x0001002A": window handles and HRESULTs as the trace shows them; numbers in decimal.
std::u16string HexText(uint32_t Value);
std::u16string DecimalText(uint32_t Value);

}  // namespace zelm
