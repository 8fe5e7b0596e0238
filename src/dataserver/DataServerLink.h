// The ports through which the core reaches the data server, the platform's text
// services and the trace. The shell implements them with a hidden window, FindWindowW,
// WM_COPYDATA and OutputDebugStringW; tests record the sends (and can deliver value
// records during one) and the trace lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dataserver/Protocol.h"

namespace zelm {

// What came of one control message: whether the server's window was looked for at
// all (a paused link drops the message unseen), and which window took it (0: none).
struct TSendOutcome {
  bool Looked = false;
  uint32_t Server = 0;
};

class TDataServerLink {
 public:
  virtual ~TDataServerLink() = default;
  // Creates the hidden window whose value records reach the core; its handle, or 0
  // when it cannot be made.
  virtual uint32_t CreateMessageWindow() = 0;
  virtual void DestroyMessageWindow(uint32_t Handle) = 0;
  // Sends one control record to the server's window if there is one; silent otherwise.
  virtual TSendOutcome Send(uint32_t MessageId, const TCopyData& Record) = 0;
};

class TPlatformText {
 public:
  virtual ~TPlatformText() = default;
  // 8-bit text in the system's ANSI code page to UTF-16.
  virtual std::u16string FromAnsi(std::string_view Text) = 0;
  // The user's decimal separator, for reading and writing trip figures.
  virtual char16_t DecimalSeparator() = 0;
};

// One line per change of state (never one per label request), for whoever diagnoses a
// car: the shell hands it to the system's debug output.
class TTraceLog {
 public:
  virtual ~TTraceLog() = default;
  virtual void Trace(std::u16string_view Line) = 0;
};

// "0x0001002A": window handles and HRESULTs as the trace shows them; numbers in decimal.
std::u16string HexText(uint32_t Value);
std::u16string DecimalText(uint32_t Value);

}  // namespace zelm
