// The ports between the core and the data server: the link through which the core
// sends its control messages, and the sink into which the hidden window hands the
// value records that arrive. The shell's side is a hidden window, FindWindowW and
// WM_COPYDATA; tests record the sends and can deliver value records during one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/protocol/Protocol.h"

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
  // The hidden window on which value records arrive, made on first use and owned by
  // the link for its whole life; its handle, or 0 when it cannot be made (the next
  // call tries again).
  virtual uint32_t MessageWindow() = 0;
  // Sends one control record to the server's window if there is one; silent otherwise.
  virtual TSendOutcome Send(uint32_t MessageId, const TCopyData& Record) = 0;
};

class TValueRecordSink {
 public:
  virtual ~TValueRecordSink() = default;
  // One WM_COPYDATA that reached the hidden window: its dwData and the copied data.
  virtual void StoreValueRecord(uint32_t Identifier, const void* Data, std::size_t Size) = 0;
};

}  // namespace zelm
