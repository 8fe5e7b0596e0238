// The ports through which the core reaches the data server and the platform's text
// services. The shell implements them with a hidden window, FindWindowW and
// WM_COPYDATA; tests record the sends and can deliver value records during one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dataserver/Protocol.h"

namespace zelm {

class TDataServerLink {
 public:
  virtual ~TDataServerLink() = default;
  // Creates the hidden window whose value records reach the core; its handle, or 0
  // when it cannot be made.
  virtual uint32_t CreateMessageWindow() = 0;
  virtual void DestroyMessageWindow(uint32_t Handle) = 0;
  // Sends one control record to the server's window if there is one; silent otherwise.
  virtual void Send(uint32_t MessageId, const TCopyData& Record) = 0;
};

class TPlatformText {
 public:
  virtual ~TPlatformText() = default;
  // 8-bit text in the system's ANSI code page to UTF-16.
  virtual std::u16string FromAnsi(std::string_view Text) = 0;
  // The user's decimal separator, for reading and writing trip figures.
  virtual char16_t DecimalSeparator() = 0;
};

}  // namespace zelm
