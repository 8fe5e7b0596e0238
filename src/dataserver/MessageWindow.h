// The data-server link on Windows: our hidden window, on which the server's value
// records arrive as WM_COPYDATA, and the control messages we send to the server's
// window, found by its title each time.
#pragma once

#include <windows.h>

#include "dataserver/DataServerLink.h"
#include "dataserver/SendGate.h"

namespace zelm {

class TRRExtensionCore;

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

  // The core whose StoreValueRecord takes the records that arrive.
  void Attach(TRRExtensionCore& Core) noexcept { FCore = &Core; }

  uint32_t CreateMessageWindow() override;
  void DestroyMessageWindow(uint32_t Handle) override;
  TSendOutcome Send(uint32_t MessageId, const TCopyData& Record) override;

  // Every message of the hidden window.
  void WndProc(TMessage& Message) noexcept;

 private:
  TTraceLog& FTrace;
  TRRExtensionCore* FCore = nullptr;
  HWND FHandle = nullptr;
  TSendGate FGate;
};

// Gives back the window class when the DLL is unloaded.
void UnregisterMessageWindowClass(HINSTANCE Module) noexcept;

}  // namespace zelm
