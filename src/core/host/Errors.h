// Failures inside the core: each carries the HRESULT and message that the interface
// method hands to the caller. The shell's guard turns them into an error-info object.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace zelm {

inline constexpr int32_t cUnexpected = static_cast<int32_t>(0x8000FFFFu);  // E_UNEXPECTED

class EZelmError : public std::exception {
 public:
  EZelmError(int32_t ACode, std::u16string AMessage, uint32_t AHelpContext = 0)
      : Code(ACode), Message(std::move(AMessage)), HelpContext(AHelpContext) {}
  const char* what() const noexcept override { return "ZelmKvel failure"; }

  int32_t Code;
  std::u16string Message;
  uint32_t HelpContext;
};

}  // namespace zelm
