// The data-server link on Windows: our hidden window, on which the server's value
// records arrive as WM_COPYDATA, and the control messages we send to the server's
// window, found by its title each time.
#pragma once

#include <windows.h>

#include "core/protocol/DataServerLink.h"
#include "core/protocol/SendGate.h"
#include "core/platform/Trace.h"
#include "win/com/Handles.h"
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

  // Every message of the hidden window. Whatever fails in it stops at the window
  // procedure, which lets nothing through.
  void WndProc(TMessage& Message);

  // The link whose window this is, from this process's own table; null for a window
  // that is not (or no longer) bound to one.
  static TMessageWindowLink* Bound(HWND Window) noexcept;

 private:
  // How the server answered the last send that reached it; a change is traced.
  enum class TAnswering : unsigned char { Yes, TimedOut, Refused };
  void SayHowTheServerAnswers(HWND Server, bool Sent, DWORD Error) noexcept;

  // What was refused, to say it once per kind.
  enum class TRefused : unsigned char { None, SysCommand, Redraw, Hotkey, Position, Style, Activation, MinMax };

  // Answers the messages whose default handling would show, move or size the window;
  // false for every other message.
  bool KeepHidden(TMessage& Message) noexcept;
  // The thread's hook: no window of ours is ever activated (so never focused),
  // minimized or maximized, whoever asks.
  static LRESULT CALLBACK RefuseActivation(int Code, WPARAM WParam, LPARAM LParam) noexcept;
  void SayRefused(TRefused Kind, uint32_t Detail) noexcept;

  TTraceLog& FTrace;
  TOutsideCallWatch& FWatch;
  TValueRecordSink* FSink = nullptr;
  TWindow FOwnWindow;                        // ours, hidden; destroyed last
  TMessageWindowLink* FNextBound = nullptr;  // the process's table of bound windows
  TSendGate FGate;
  TAnswering FAnswering = TAnswering::Yes;
  THook FActivationHook;
  uint32_t FRefusalsSaid = 0;  // one bit per kind refused
};

// Gives back the window class when the DLL is unloaded.
void UnregisterMessageWindowClass(HINSTANCE Module) noexcept;

}  // namespace zelm
