// The platform's services for the core: the system's ANSI code page, the user's
// decimal separator, and the trace through the system's debug output.
#pragma once

#include "core/platform/PlatformText.h"
#include "core/platform/Trace.h"

namespace zelm {

class TWindowsText final : public TPlatformText {
 public:
  void FromAnsi(std::string_view Text, std::u16string& Out) override;
  char16_t DecimalSeparator() override;  // '.' when the locale does not say
};

// Each line goes to OutputDebugStringW as "ZelmKvel: <line>", where the usual debug
// output viewers show it.
class TDebugTrace final : public TTraceLog {
 public:
  void Trace(std::u16string_view Line) noexcept override;
};

}  // namespace zelm
