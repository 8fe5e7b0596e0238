// The platform's text services, as the core needs them for the data server's records.
// The shell answers with the system's ANSI code page and the user's locale.
#pragma once

#include <string>
#include <string_view>

namespace zelm {

class TPlatformText {
 public:
  virtual ~TPlatformText() = default;
  // 8-bit text in the system's ANSI code page to UTF-16, into Out (whose storage is
  // reused: a value that arrives again and again costs no allocation).
  virtual void FromAnsi(std::string_view Text, std::u16string& Out) = 0;
  // The user's decimal separator, for reading and writing trip figures.
  virtual char16_t DecimalSeparator() = 0;
};

}  // namespace zelm
