// The data-server link on Windows: our hidden window, on which the server's value
// records arrive as WM_COPYDATA, and the control messages we send to the server's
// window, found by its title each time.
#pragma once

#include <windows.h>

#include "core/protocol/DataServerLink.h"
#include "core/protocol/SendGate.h"
#include "core/protocol/Trace.h"

namespace zelm {

// One window message as the window procedure hands it on; Result goes back.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

inline constexpr const wchar_t* cMessageWindowClass = L"TZelmKvelMessageWindow";

class TMessageWindowLink final : public TDataServerLink {
 public:
  explicit TMessageWindowLink(TTraceLog& Trace) noexcept : FTrace(Trace) {}
  ~TMessageWindowLink() override;
  TMessageWindowLink(const TMessageWindowLink&) = delete;
  TMessageWindowLink& operator=(const TMessageWindowLink&) = delete;

  // Where the value records that arrive go.
  void Attach(TValueRecordSink& Sink) noexcept { FSink = &Sink; }

  // The hidden window, made on first use; destroyed with the link.
  uint32_t MessageWindow() override;
  TSendOutcome Send(uint32_t MessageId, const TCopyData& Record) override;

  // Every message of the hidden window.
  void WndProc(TMessage& Message) noexcept;

 private:
  TTraceLog& FTrace;
  TValueRecordSink* FSink = nullptr;
  HWND FHandle = nullptr;
  TSendGate FGate;
};

// Gives back the window class when the DLL is unloaded.
void UnregisterMessageWindowClass(HINSTANCE Module) noexcept;

}  // namespace zelm
