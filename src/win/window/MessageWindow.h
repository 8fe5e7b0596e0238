// The data-server link on Windows: our hidden window, on which the server's value
// records arrive as WM_COPYDATA, and the control messages we send to the server's
// window, found by its title each time.
#pragma once

#include <windows.h>

#include "core/protocol/DataServerLink.h"
#include "core/protocol/SendGate.h"
#include "core/protocol/Trace.h"
#include "win/com/OutsideCalls.h"

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
  TMessageWindowLink(TTraceLog& Trace, TOutsideCallWatch& Watch) noexcept : FTrace(Trace), FWatch(Watch) {}
  ~TMessageWindowLink() override;
  TMessageWindowLink(const TMessageWindowLink&) = delete;
  TMessageWindowLink& operator=(const TMessageWindowLink&) = delete;

  // Where the value records that arrive go; after Detach, nowhere.
  void Attach(TValueRecordSink& Sink) noexcept { FSink = &Sink; }
  void Detach() noexcept { FSink = nullptr; }

  // The hidden window, made on first use; destroyed with the link.
  uint32_t MessageWindow() override;
  TSendOutcome Send(uint32_t MessageId, const TCopyData& Record) override;

  // Every message of the hidden window.
  void WndProc(TMessage& Message) noexcept;

 private:
  // How the server answered the last send that reached it; a change is traced.
  enum class TAnswering : unsigned char { Yes, TimedOut, Refused };

  TTraceLog& FTrace;
  TOutsideCallWatch& FWatch;
  TValueRecordSink* FSink = nullptr;
  HWND FHandle = nullptr;
  TSendGate FGate;
  TAnswering FAnswering = TAnswering::Yes;
};

// Gives back the window class when the DLL is unloaded.
void UnregisterMessageWindowClass(HINSTANCE Module) noexcept;

}  // namespace zelm
