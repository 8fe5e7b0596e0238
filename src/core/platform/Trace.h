// One line per change of state (never one per label request), for whoever diagnoses a
// car: the shell hands each line to the system's debug output, tests keep them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zelm {

class TTraceLog {
 public:
  virtual ~TTraceLog() = default;
  virtual void Trace(std::u16string_view Line) noexcept = 0;
};

// A trace line put together on the stack: saying what happened must not fail, or
// allocate, whatever state the heap is in (a longer line is cut).
class TTraceLine {
 public:
  explicit TTraceLine(std::u16string_view Text) noexcept { Add(Text); }
  TTraceLine& Add(std::u16string_view Text) noexcept;
  // Window handles and HRESULTs as "0x0001002A".
  TTraceLine& Hex(uint32_t Value) noexcept;
  TTraceLine& Decimal(uint32_t Value) noexcept;
  // A finished line is handed to the trace as the text it holds.
  operator std::u16string_view() const noexcept { return {FText, FLength}; }  // NOLINT(google-explicit-constructor)

 private:
  static constexpr std::size_t cCapacity = 240;
  char16_t FText[cCapacity];
  std::size_t FLength = 0;
};

}  // namespace zelm
