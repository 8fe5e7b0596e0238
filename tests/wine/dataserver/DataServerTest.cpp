// The real DLL and a stand-in data server in a second process, on a desktop of our
// own: the exact control messages the server receives, the value records it sends back
// from inside its window procedure, and the labels that result.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ZelmKvelVersion.h"
#include "tests/support/wine/Com.h"
#include "tests/support/wine/DataServer.h"
#include "tests/support/wine/Imports.h"
#include "win/platform/Names.h"

namespace zelm::wine {
namespace {

// The value record the stand-in answers for "ce_speed" (identifier 1).
const std::string cSpeed = "value 1 87|Vehicle speed,km/h";

// The user's decimal separator: trip figures are read and written with it.
std::string Separator() { return Narrow(DecimalSeparator()); }
std::wstring Wide(const std::string& Ascii) { return std::wstring(Ascii.begin(), Ascii.end()); }

std::atomic<long> GFaults{0};

class DataServerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Ext.Reset();
    // On failure, or always with ZELM_SHOW_STANDIN_LOG set: what the server heard.
    if (HasFailure() || std::getenv("ZELM_SHOW_STANDIN_LOG")) {
      std::fprintf(stderr, "--- stand-in log\n");
      for (const auto& Line : Server.Lines()) std::fprintf(stderr, "%s\n", Line.c_str());
    }
    Server.Stop();
  }

  void Serve(const std::vector<std::string>& Rules) { ASSERT_TRUE(Server.Start(Rules)); }

  // The extension, with the scripted host handed to Init; Window is what Init announced.
  void CreateAndInit() {
    Ext = CreateByProgId();
    ASSERT_TRUE(Ext);
    RouteTo(Host, Ext.Get());
    const std::size_t Before = Server.Mark();
    ASSERT_EQ(Ext->Init(&Host), S_OK);
    const auto Sent = Server.ControlsSince(Before);
    ASSERT_EQ(Sent.size(), 1u);
    ASSERT_EQ(Sent[0].Id, 64u);
    Window = reinterpret_cast<HWND>(static_cast<uintptr_t>(Sent[0].D1));
  }
  // Init and Initialize, as RideRunner starts an extension; the messages so far are
  // taken as read.
  void Start() {
    ASSERT_NO_FATAL_FAILURE(CreateAndInit());
    TBstr Path(L"C:\\Zelm");
    ASSERT_EQ(Ext->Initialize(Path.Get()), S_OK);
    Mark = Server.Mark();
  }
  // The control messages since the last look.
  std::string Sent() {
    const auto Since = Server.ControlsSince(Mark);
    Mark += Since.size();
    return Sequence(Since);
  }
  std::string Announcement() const { return Msg(64, Window) + " " + Msg(129); }

  TTraceLines Trace;  // the DLL's trace from the test's start
  TStandIn Server;
  TScriptedHost Host;
  TComPtr<IRRExtension> Ext;  // released first: it holds the host
  HWND Window = nullptr;
  std::size_t Mark = 0;
};

TEST_F(DataServerTest, InitializeOpensTheLinkThroughTheHostsExecute) {
  ASSERT_NO_FATAL_FAILURE(Serve({}));
  ASSERT_NO_FATAL_FAILURE(CreateAndInit());
  SetVar(Host, L"CheckEngineDinamicLabel", L"CE_Speed");
  Mark = Server.Mark();

  // Through IDispatch, as a script host would call it.
  TBstr Path(L"C:\\Zelm");
  ASSERT_EQ(CallDispatch(Ext.Get(), 212, {ByValue(Path.Get())}, nullptr), S_OK);

  // "CE_Open" went to the host, which handed it back to ProcessCommand.
  EXPECT_EQ(Sent(), Announcement());
  ASSERT_EQ(Host.Calls.size(), 17u);
  EXPECT_EQ(Host.Calls.front().Text(), L"GetInfo(=$CheckEngineDinamicLabel$)");
  EXPECT_EQ(Host.Calls[15].Text(), L"GetInfo(=$CheckEngineDinamicLabel_15$)");
  EXPECT_EQ(Host.Calls.back().Text(), L"Execute(CE_Open,false)");
  EXPECT_EQ(Label(Ext.Get(), L"ce_dinamic_label_name"), L"ce_speed");

  // For whoever diagnoses a car: the object, its window, the server it found, its end.
  const std::string Object = TraceHex(Ext.Get());
  EXPECT_EQ(Trace.Take(), (std::vector<std::string>{
                              "object " + Object + " created (ZelmKvel " ZELM_VERSION_TEXT ")",
                              "WM_COPYDATA let into window " + TraceHex(Window) + " from every integrity level",
                              "server window found (" + TraceHex(Server.Window()) + ")",
                          }));
  Ext.Reset();
  EXPECT_EQ(Trace.Take(), (std::vector<std::string>{"object " + Object + " released"}));
}

TEST_F(DataServerTest, LiveValueArrivesDuringTheAddAndShowsFromTheNextRequest) {
  ASSERT_NO_FATAL_FAILURE(Serve({cSpeed}));
  ASSERT_NO_FATAL_FAILURE(Start());

  // Off: the title code answers itself, the unit "-", and neither sends anything.
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed_title"), L"ce_speed");
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed_unit"), L"-");
  EXPECT_EQ(Sent(), "");

  // The server answers the Add from inside its window procedure: the record is taken
  // while we wait in the send, yet the request that sent the Add says "-".
  const std::size_t RecordsBefore = Server.RecordsSent();
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed"), L"-");
  EXPECT_EQ(Sent(), Msg(80, 1));
  EXPECT_EQ(Server.RecordsSent(), RecordsBefore + 1);

  // No message loop ran since: the value was stored during the Add.
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed"), L"87");
  EXPECT_EQ(Label(Ext.Get(), L"CE_Speed"), L"87");
  EXPECT_EQ(LabelByDispatch(Ext.Get(), L"CE_SPEED"), L"87");
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed_title"), L"Vehicle speed");
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed_unit"), L"km/h");
  EXPECT_EQ(LabelByDispatch(Ext.Get(), L"ce_speed_unit"), L"km/h");
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed "), L"");
  EXPECT_EQ(Sent(), "");
}

TEST_F(DataServerTest, TripFiguresArriveFormattedWithTheTripRead) {
  const std::string S = Separator();
  ASSERT_NO_FATAL_FAILURE(Serve({"value 135 87" + S + "5", "value 144 1" + S + "5", "value 131 -0" + S + "04",
                                 "value 142 01:23:45", "value 134 120" + S + "25"}));
  ASSERT_NO_FATAL_FAILURE(Start());  // Initialize's trip read brought them in

  EXPECT_EQ(Label(Ext.Get(), L"ce_maxspeed"), L"88");
  EXPECT_EQ(Label(Ext.Get(), L"ce_accelaration"), Wide("1" + S + "500"));
  EXPECT_EQ(Label(Ext.Get(), L"ce_fuelperdist"), Wide("0" + S + "0"));
  EXPECT_EQ(Label(Ext.Get(), L"ce_timewent"), L"01:23:45");
  EXPECT_EQ(Label(Ext.Get(), L"ce_distancewent"), Wide("120" + S + "25"));
  // A trip figure has no title or unit of its own.
  EXPECT_EQ(Label(Ext.Get(), L"ce_maxspeed_title"), L"");
  EXPECT_EQ(Label(Ext.Get(), L"ce_maxspeed_unit"), L"");
  EXPECT_EQ(Sent(), "");

  // One without a value asks for the trip figures, then subscribes.
  EXPECT_EQ(Label(Ext.Get(), L"ce_avgspeed"), L"-");
  EXPECT_EQ(Sent(), Msg(129) + " " + Msg(80, 137));
}

// When it is dropped (the core counts the requests), the Delete reaches the server in its
// exact form.
TEST_F(DataServerTest, AnIdleParameterIsDeletedAtTheServer) {
  ASSERT_NO_FATAL_FAILURE(Serve({cSpeed}));
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed"), L"-");
  EXPECT_EQ(Sent(), Msg(80, 1));
  for (int I = 0; I < 101; ++I) Label(Ext.Get(), L"clock_time");
  EXPECT_EQ(Sent(), Msg(96, 1));
}

TEST_F(DataServerTest, OpenAndCloseCommands) {
  ASSERT_NO_FATAL_FAILURE(Serve({}));
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Command(Ext.Get(), L"ce_close"), 2);
  EXPECT_EQ(Sent(), Msg(130));
  EXPECT_EQ(Command(Ext.Get(), L"CE_Open"), 2);
  EXPECT_EQ(Sent(), Announcement());
  EXPECT_EQ(Command(Ext.Get(), L"ce_opened"), 0);
  EXPECT_EQ(Command(Ext.Get(), L"open"), 0);
  EXPECT_EQ(Sent(), "");

  // Through IDispatch.
  TBstr Cmd(L"ce_close");
  IDispatch* NoSkin = nullptr;
  VARIANT SkinRef;
  V_VT(&SkinRef) = VT_DISPATCH | VT_BYREF;
  V_DISPATCHREF(&SkinRef) = &NoSkin;
  TVariant Exit;
  ASSERT_EQ(CallDispatch(Ext.Get(), 201, {ByRef(Cmd.Ref()), SkinRef}, &Exit.Get()), S_OK);
  EXPECT_EQ(V_VT(&Exit.Get()), VT_I2);
  EXPECT_EQ(V_I2(&Exit.Get()), 2);
  EXPECT_EQ(Sent(), Msg(130));
}

TEST_F(DataServerTest, WithoutAServerSendsReturnAtOnceAndAServerStartedLaterIsTold) {
  ASSERT_EQ(FindWindowW(nullptr, ServerWindowTitle()), nullptr);
  Ext = CreateByProgId();
  ASSERT_TRUE(Ext);
  RouteTo(Host, Ext.Get());
  ASSERT_EQ(Ext->Init(&Host), S_OK);
  TBstr Path(L"C:\\Zelm");
  ASSERT_EQ(Ext->Initialize(Path.Get()), S_OK);
  int Wrong = 0;
  // 250 requests of ours: an Add each (a trip read too for the trip figure), and the
  // announcement pair on the 101st and the 202nd.
  for (int I = 0; I < 249; ++I) Wrong += Label(Ext.Get(), L"ce_speed") != L"-";
  Wrong += Label(Ext.Get(), L"ce_avgspeed") != L"-";
  Wrong += Command(Ext.Get(), L"ce_close") != 2;
  EXPECT_EQ(Wrong, 0);

  // A server that starts now learns our window from the next "ce_open".
  ASSERT_NO_FATAL_FAILURE(Serve({cSpeed}));
  EXPECT_EQ(Command(Ext.Get(), L"ce_open"), 2);
  const auto Sent = Server.Controls();
  ASSERT_EQ(Sent.size(), 2u);
  Window = reinterpret_cast<HWND>(static_cast<uintptr_t>(Sent[0].D1));
  EXPECT_EQ(Sequence(Sent), Announcement());
  EXPECT_EQ(Sent[0].Owner, GetCurrentProcessId());
  EXPECT_EQ(GetWindowThreadProcessId(Window, nullptr), GetCurrentThreadId());
  Mark = Sent.size();
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed"), L"-");
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed"), L"87");
  EXPECT_EQ(this->Sent(), Msg(80, 1));
}

// A data server stopped and started again knows nothing of our subscriptions: the
// next announcement finds the new window, which gets it and one Add for each value shown.
TEST_F(DataServerTest, ARestartedServerIsSubscribedAgainAndShowsItsValues) {
  ASSERT_NO_FATAL_FAILURE(Serve({cSpeed, "value 3 12.5|Battery,V"}));
  ASSERT_NO_FATAL_FAILURE(Start());
  for (int I = 0; I < 2; ++I) Label(Ext.Get(), L"ce_speed"), Label(Ext.Get(), L"ce_voltage");
  ASSERT_EQ(Label(Ext.Get(), L"ce_speed"), L"87");
  const std::string First = TraceHex(Server.Window());
  Server.Stop();

  TStandIn Second;
  ASSERT_TRUE(Second.Start({"value 1 55|Vehicle speed,km/h", "value 3 13.9|Battery,V"}));
  const std::string Then = TraceHex(Second.Window());
  Trace.Take();
  int Requests = 0;
  while (Second.Controls().empty() && Requests++ < 110) Label(Ext.Get(), L"ce_speed"), Label(Ext.Get(), L"ce_voltage");
  for (int I = 0; I < 2; ++I) Label(Ext.Get(), L"ce_speed"), Label(Ext.Get(), L"ce_voltage");
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed"), L"55");
  EXPECT_EQ(Label(Ext.Get(), L"ce_voltage"), L"13.9");
  const std::string Heard = Sequence(Second.Controls());
  EXPECT_TRUE(Heard == Announcement() + " " + Msg(80, 1) + " " + Msg(80, 3) ||
              Heard == Announcement() + " " + Msg(80, 3) + " " + Msg(80, 1))
      << Heard;
  EXPECT_EQ(Trace.Take(), (std::vector<std::string>{"server window changed (" + First + " -> " + Then + ")",
                                                    "subscriptions forgotten (2 parameters were on)"}));

  // Gone for good: from the next announcement on, nothing is shown as live.
  Second.Stop();
  for (int I = 0; I < 101; ++I) Label(Ext.Get(), L"ce_speed");
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed"), L"-");
  EXPECT_EQ(Label(Ext.Get(), L"ce_voltage"), L"-");
  EXPECT_EQ(Trace.Take(), (std::vector<std::string>{"server window lost (was " + Then + ")",
                                                    "subscriptions forgotten (2 parameters were on)"}));
}

// A script host is a front-end too: DataServerScenario.js creates the object with cscript
// and drives it against the same data server. What the server hears is the script's.
TEST_F(DataServerTest, AScriptClientIsServedAsAFrontEndIs) {
  ASSERT_NO_FATAL_FAILURE(Serve({cSpeed}));
  const TRunOutput Run = RunToEnd(L"cscript.exe //nologo DataServerScenario.js", ProgramFolder());
  ASSERT_TRUE(Run.Finished);
  EXPECT_EQ(Run.Exit, 0u);
  EXPECT_NE(Run.Output.find("ZELM-SCRIPT-OK"), std::string::npos) << Run.Output;
  // The announcement of a window of the script's process, Init's and Initialize's, the
  // trip read, the Add and the close.
  const auto Heard = Server.Controls();
  ASSERT_FALSE(Heard.empty());
  EXPECT_EQ(Heard[0].Id, 64u);
  EXPECT_NE(Heard[0].Owner, GetCurrentProcessId());
  EXPECT_EQ(Sequence(Heard),
            Msg(64, Heard[0].D1) + " " + Msg(64, Heard[0].D1) + " " + Msg(129) + " " + Msg(80, 1) + " " + Msg(130));
}

// What the DLL hands SendMessageTimeoutW, counted, and passed on.
int GSends = 0;
UINT GBound = 0, GFlags = 0;
decltype(&SendMessageTimeoutW) GRealSend;
LRESULT WINAPI CountedSend(HWND To, UINT Msg, WPARAM WParam, LPARAM LParam, UINT Flags, UINT Bound, PDWORD_PTR Out) {
  ++GSends;
  GBound = Bound;
  GFlags = Flags;
  return GRealSend(To, Msg, WParam, LParam, Flags, Bound, Out);
}

// The DLL's clock stands still unless the test moves it: a server that hangs costs one
// send, bounded by the system, and for two seconds of that clock nothing more is sent.
TEST_F(DataServerTest, HungServerCostsOneBoundedSendThenSendsPauseForTheBackOff) {
  ASSERT_NO_FATAL_FAILURE(Serve({"hang 80", cSpeed}));
  ASSERT_NO_FATAL_FAILURE(Start());
  TDllClock Clock(LoadedDll());
  const TImportPatch Sends(LoadedDll(), "user32.dll", "SendMessageTimeoutW", reinterpret_cast<void*>(&CountedSend));
  ASSERT_TRUE(Clock && Sends);
  GRealSend = reinterpret_cast<decltype(GRealSend)>(Sends.Real());
  GSends = 0;
  const long Heard = Server.CountHeard();
  const std::string Hung = "server window " + TraceHex(Server.Window());
  Trace.Take();

  // The server blocks in its window procedure: the request gives up on it at the bound,
  // which also gives up on a server the system sees hung.
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed"), L"-");
  EXPECT_EQ(Sent(), Msg(80, 1));
  EXPECT_EQ(GSends, 1);
  EXPECT_EQ(GBound, 250u);
  EXPECT_EQ(GFlags & (SMTO_ABORTIFHUNG | SMTO_BLOCK), static_cast<UINT>(SMTO_ABORTIFHUNG));
  EXPECT_EQ(Trace.Take(),
            (std::vector<std::string>{Hung + ": a send timed out after 250 ms; sends paused for 2000 ms at a time "
                                             "while it does not answer"}));

  // For the back-off nothing is sent, not even the commands.
  for (const DWORD Step : {0u, 1000u, 999u}) {
    Clock.Advance(Step);
    EXPECT_EQ(Label(Ext.Get(), L"ce_voltage"), L"-");
    EXPECT_EQ(Command(Ext.Get(), L"ce_close"), 2);
    for (int I = 0; I < 5; ++I) EXPECT_EQ(Command(Ext.Get(), L"ce_open"), 2);
    EXPECT_EQ(GSends, 1) << "sent " << Step << " ms into the back-off";
  }

  // The server wakes and sends the record it owed; the host's loop takes it.
  Server.Release();
  EXPECT_EQ(Server.CountHeard(), Heard + 1);  // the Add, and no message from the back-off
  PumpWaiting();
  // Sends come back once the pause is over.
  Clock.Advance(1);
  EXPECT_EQ(Label(Ext.Get(), L"ce_voltage"), L"-");
  EXPECT_EQ(GSends, 2);
  EXPECT_EQ(Sent(), Msg(80, 3));  // none of the paused sends reached the server
  EXPECT_EQ(Label(Ext.Get(), L"ce_speed"), L"87");
  EXPECT_EQ(Trace.Take(), (std::vector<std::string>{Hung + " answers again"}));
}

// Faults raised anywhere in this process, also those the system swallows in the path
// of a sent message.
LONG CALLBACK CountFault(EXCEPTION_POINTERS* Info) {
  if ((Info->ExceptionRecord->ExceptionCode & 0xC0000000u) == 0xC0000000u) ++GFaults;
  return EXCEPTION_CONTINUE_SEARCH;
}

// The front-end's window, which counts each time it loses the activation or the focus.
int GFrontLost = 0;
LRESULT CALLBACK FrontEntry(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  GFrontLost += Msg == WM_KILLFOCUS || (Msg == WM_ACTIVATE && LOWORD(WParam) == WA_INACTIVE);
  return DefWindowProcW(Window, Msg, WParam, LParam);
}

// Any process on the desktop can write to our hidden window's user data and extra
// bytes, and send or post it whatever would show or activate it. Nothing faults, the
// window stays hidden where it was, the front-end's window never loses the activation
// or the focus, not even for a moment, and values keep arriving.
TEST_F(DataServerTest, NoOtherProcessSteersTheHiddenWindow) {
  ASSERT_NO_FATAL_FAILURE(Serve({cSpeed, "value 11 850|Engine speed,rpm"}));
  ASSERT_NO_FATAL_FAILURE(Start());
  WNDCLASSW Class{};
  Class.lpfnWndProc = FrontEntry;
  Class.lpszClassName = L"ZelmTestFrontEnd";
  RegisterClassW(&Class);
  const TWindow FrontWindow(CreateWindowExW(0, Class.lpszClassName, L"front-end", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                                            50, 200, 100, nullptr, nullptr, nullptr, nullptr));
  const HWND Front = FrontWindow.Get();
  ASSERT_NE(Front, nullptr);
  SetForegroundWindow(Front);
  SetFocus(Front);
  PumpWaiting();
  ASSERT_EQ(GetActiveWindow(), Front);
  ASSERT_EQ(GetFocus(), Front);
  const LONG Style = GetWindowLongW(Window, GWL_STYLE), ExStyle = GetWindowLongW(Window, GWL_EXSTYLE);
  RECT Box = {1, 1, 1, 1};
  GetWindowRect(Window, &Box);
  void* Handler = AddVectoredExceptionHandler(1, CountFault);
  GFaults = 0;
  GFrontLost = 0;

  const struct {
    const char* Rule;
    const wchar_t* Code;
    const wchar_t* Value;
  } Steps[] = {{"meddle pointer", L"ce_speed", L"87"}, {"meddle show", L"ce_enginespeed", L"850"}};
  for (const auto& Step : Steps) {
    SCOPED_TRACE(Step.Rule);
    // The stand-in has done all it does before the rule's message returns; whatever it
    // posted waits in our queue.
    ASSERT_TRUE(Server.Rule(Step.Rule));
    PumpWaiting();
    EXPECT_EQ(Label(Ext.Get(), Step.Code), L"-");  // subscribes; the value comes during the Add
    EXPECT_EQ(Label(Ext.Get(), Step.Code), Step.Value);
    EXPECT_FALSE(IsWindowVisible(Window));
    EXPECT_EQ(GetWindowLongW(Window, GWL_STYLE), Style);
    EXPECT_EQ(GetWindowLongW(Window, GWL_EXSTYLE), ExStyle);
    RECT Now = {};
    GetWindowRect(Window, &Now);
    EXPECT_TRUE(EqualRect(&Now, &Box));
    EXPECT_EQ(SendMessageW(Window, WM_GETHOTKEY, 0, 0), 0);
    EXPECT_EQ(GetActiveWindow(), Front);
    EXPECT_EQ(GetFocus(), Front);
    EXPECT_EQ(GFrontLost, 0);
  }
  RemoveVectoredExceptionHandler(Handler);
  EXPECT_EQ(GFaults.load(), 0);
  // Each kind refused is said once, however often it was asked.
  const std::string Refused = "hidden window " + TraceHex(Window) + ": ";
  std::vector<std::string> Lines = Trace.Take();
  std::sort(Lines.begin(), Lines.end());
  EXPECT_EQ(std::adjacent_find(Lines.begin(), Lines.end()), Lines.end()) << "a refusal said twice";
  for (const char* Kind : {"WM_SYSCOMMAND 0x0000F030", "WM_SETHOTKEY", "activation"})
    EXPECT_TRUE(std::binary_search(Lines.begin(), Lines.end(),
                                   Refused + Kind + " refused: it is never shown, moved or activated"))
        << Kind;
}

}  // namespace
}  // namespace zelm::wine
