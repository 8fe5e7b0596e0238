// The platform's text services for the core: the system's ANSI code page and the
// user's decimal separator.
#pragma once

#include "dataserver/DataServerLink.h"

namespace zelm {

class TWindowsText final : public TPlatformText {
 public:
  std::u16string FromAnsi(std::string_view Text) override;
  char16_t DecimalSeparator() override;  // '.' when the locale does not say
};

}  // namespace zelm
