// The hidden window and the control messages, against the data server on the test's
// own thread. The cross-process protocol (a hung server among it) has tests of its own.
#include <gtest/gtest.h>

#include <cstring>

#include "core/protocol/Protocol.h"
#include "tests/support/wine/Com.h"
#include "tests/wine/DllSuite.h"
#include "tests/support/wine/DataServer.h"
#include "tests/support/wine/Pages.h"
#include "win/platform/Names.h"
#include "programs/common/WideText.h"

namespace zelm::wine {
namespace {

constexpr const wchar_t* cHiddenClass = L"TZelmKvelMessageWindow";

BOOL CALLBACK CountHidden(HWND Window, LPARAM Count) {
  wchar_t Class[64] = {};
  GetClassNameW(Window, Class, 64);
  if (std::wstring(Class) == cHiddenClass) ++*reinterpret_cast<int*>(Count);
  return TRUE;
}

int HiddenWindows() {
  int Count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountHidden, reinterpret_cast<LPARAM>(&Count));
  return Count;
}

class Window : public TDllSuite {
 protected:
  void SetUp() override { ASSERT_NE(Dll->Module, nullptr); }

  // An object past Init and Initialize, its host routing "CE_Open" back to it.
  TComPtr<IRRExtension> Started(TScriptedHost& Host) {
    TComPtr<IRRExtension> Object = Dll->Create();
    EXPECT_TRUE(Object);
    if (!Object) return Object;
    RouteTo(Host, Object.Get());
    EXPECT_EQ(Object->Init(&Host), S_OK);
    TBstr Path(L"C:\\Zelm");
    EXPECT_EQ(Object->Initialize(Path.Get()), S_OK);
    return Object;
  }

  // A server window, a host, and an object started and announced to it.
  struct TRunning {
    TLocalServer Server;
    TScriptedHost Host;
    TComPtr<IRRExtension> Object;
    HWND Hidden = nullptr;
  };
  bool Start(TRunning& Run) {
    Run.Object = Started(Run.Host);
    if (!Run.Object || Run.Server.Controls().empty()) return false;
    Run.Hidden = reinterpret_cast<HWND>(static_cast<uintptr_t>(Run.Server.Controls()[0].D1));
    return true;
  }
};

TEST_F(Window, OneHiddenWindowIsAnnouncedToTheServer) {
  TLocalServer Server;
  TScriptedHost Host;
  ASSERT_EQ(HiddenWindows(), 0);
  TComPtr<IRRExtension> Object = Dll->Create();
  ASSERT_TRUE(Object);
  EXPECT_EQ(HiddenWindows(), 0);  // made when first needed
  ASSERT_EQ(Object->Init(&Host), S_OK);

  ASSERT_EQ(Server.Controls().size(), 1u);
  const TControl Hello = Server.Controls()[0];
  EXPECT_EQ(Hello.Id, 64u);
  EXPECT_EQ(Hello.Cb, 16u);
  EXPECT_EQ(Hello.Wp, 0u);
  EXPECT_EQ(Hello.D2 | Hello.D3 | Hello.D4, 0u);
  EXPECT_EQ(Hello.Owner, GetCurrentProcessId());  // the server sees it as ours
  HWND Hidden = reinterpret_cast<HWND>(static_cast<uintptr_t>(Hello.D1));
  ASSERT_TRUE(IsWindow(Hidden));
  EXPECT_EQ(HiddenWindows(), 1);

  // Hidden for good: a popup tool window of no size, no title, no parent, never shown.
  wchar_t Class[64] = {};
  GetClassNameW(Hidden, Class, 64);
  EXPECT_STREQ(Class, cHiddenClass);
  EXPECT_EQ(GetWindowThreadProcessId(Hidden, nullptr), GetCurrentThreadId());
  EXPECT_FALSE(IsWindowVisible(Hidden));
  EXPECT_TRUE(static_cast<DWORD>(GetWindowLongW(Hidden, GWL_STYLE)) & WS_POPUP);
  EXPECT_TRUE(GetWindowLongW(Hidden, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetWindowTextLengthW(Hidden), 0);
  EXPECT_EQ(GetParent(Hidden), nullptr);
  RECT Box = {1, 1, 1, 1};
  GetWindowRect(Hidden, &Box);
  EXPECT_EQ(Box.right - Box.left, 0);
  EXPECT_EQ(Box.bottom - Box.top, 0);

  // Init again announces the same window again. Initialize: its "CE_Open" comes back as
  // a command, which does it once more and asks for the trip figures. Still one window.
  ASSERT_EQ(Object->Init(&Host), S_OK);
  RouteTo(Host, Object.Get());
  TBstr Path(L"C:\\Zelm");
  ASSERT_EQ(Object->Initialize(Path.Get()), S_OK);
  EXPECT_EQ(Sequence(Server.Controls()),
            Msg(64, Hello.D1) + " " + Msg(64, Hello.D1) + " " + Msg(64, Hello.D1) + " " + Msg(129));
  EXPECT_EQ(HiddenWindows(), 1);

  EXPECT_EQ(Command(Object.Get(), L"ce_close"), 2);
  const std::size_t Heard = Server.Mark();
  // The last release destroys the window and sends nothing.
  Object.Reset();
  EXPECT_FALSE(IsWindow(Hidden));
  EXPECT_EQ(HiddenWindows(), 0);
  EXPECT_EQ(Server.Mark(), Heard);
}

TEST_F(Window, ValueRecordsReachTheLabels) {
  TRunning Run;
  ASSERT_TRUE(Start(Run));
  auto& [Server, Host, Object, Hidden] = Run;
  const std::size_t Mark = Server.Mark();

  // Asking subscribes; the answer comes as a record on the hidden window.
  EXPECT_EQ(Label(Object.Get(), L"ce_enginespeed"), L"-");
  EXPECT_EQ(Sequence(Server.ControlsSince(Mark)), Msg(80, 11));
  EXPECT_EQ(SendRecord(Hidden, 11, EncodeLiveRecord("850", "Engine speed,rpm")), 0);
  EXPECT_EQ(Label(Object.Get(), L"ce_enginespeed"), L"850");
  EXPECT_EQ(Label(Object.Get(), L"ce_enginespeed_title"), L"Engine speed");
  EXPECT_EQ(Label(Object.Get(), L"ce_enginespeed_unit"), L"rpm");

  // Trip figures are formatted as they arrive.
  EXPECT_EQ(SendRecord(Hidden, 135, EncodeTripRecord("87.5")), 0);
  EXPECT_EQ(Label(Object.Get(), L"ce_maxspeed"), L"88");

  // Texts are in the system's ANSI code page.
  EXPECT_EQ(SendRecord(Hidden, 2,
                       EncodeLiveRecord("90\x80",
                                        "Coolant,\xB0"
                                        "C")),
            0);
  std::u16string Expected;
  tools::FromCodePage("90\x80", Expected, CP_ACP, false);
  EXPECT_EQ(Label(Object.Get(), L"ce_coolanttemp"), tools::ViewWide(Expected));
  if (GetACP() == 1252) {
    EXPECT_EQ(Label(Object.Get(), L"ce_coolanttemp"), L"90\u20AC");
    EXPECT_EQ(Label(Object.Get(), L"ce_coolanttemp_unit"), L"\u00B0C");
  }

  // An identifier that is no parameter of ours changes nothing and answers 0.
  const std::string Stray = EncodeLiveRecord("1", "");
  for (ULONG_PTR Id : {0u, 80u, 136u, 163u, 200u}) EXPECT_EQ(SendRecord(Hidden, Id, Stray), 0);
  EXPECT_EQ(Label(Object.Get(), L"ce_enginespeed"), L"850");
}

// Trip figures are read and written with the user's decimal separator, as the
// system reports it when the record arrives.
TEST_F(Window, TripFiguresUseTheUsersDecimalSeparator) {
  TRunning Run;
  ASSERT_TRUE(Start(Run));
  auto& [Server, Host, Object, Hidden] = Run;
  const std::wstring Before = DecimalSeparator();
  {
    const TDecimalSeparator Comma(L",");
    ASSERT_TRUE(Comma.Set());
    SendRecord(Hidden, 144, EncodeTripRecord("1,5"));
    EXPECT_EQ(Label(Object.Get(), L"ce_accelaration"), L"1,500");
    SendRecord(Hidden, 144, EncodeTripRecord("1.5"));  // a full stop is no number now
    EXPECT_EQ(Label(Object.Get(), L"ce_accelaration"), L"0,000");
  }
  EXPECT_EQ(DecimalSeparator(), Before);
}

// Any process may post to our window: it is closed and retitled by nobody but us.
TEST_F(Window, TheWindowIsOursAlone) {
  TRunning Run;
  ASSERT_TRUE(Start(Run));
  auto& [Server, Host, Object, Hidden] = Run;
  EXPECT_EQ(SendMessageW(Hidden, WM_NCHITTEST, 0, 0), DefWindowProcW(Hidden, WM_NCHITTEST, 0, 0));
  EXPECT_TRUE(PostMessageW(Hidden, WM_CLOSE, 0, 0));
  EXPECT_EQ(SendMessageW(Hidden, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
  EXPECT_EQ(SendMessageW(Hidden, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ServerWindowTitle())), FALSE);
  MSG Msg;
  while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&Msg);
  ASSERT_TRUE(IsWindow(Hidden));
  EXPECT_EQ(GetWindowTextLengthW(Hidden), 0);

  // With the server gone, our own window is not taken for it: nothing comes back.
  DestroyWindow(Server.Window());
  EXPECT_EQ(FindWindowW(nullptr, ServerWindowTitle()), nullptr);
  EXPECT_EQ(Label(Object.Get(), L"ce_speed"), L"-");
  EXPECT_EQ(Label(Object.Get(), L"ce_speed"), L"-");
  // Values still arrive.
  EXPECT_EQ(SendRecord(Hidden, 1, EncodeLiveRecord("88", "Speed,km/h")), 0);
  EXPECT_EQ(Label(Object.Get(), L"ce_speed"), L"88");
}

// While we wait in a send, the thread's other windows take the messages sent to them:
// the host may let us go from one of them. The object stays until its call is done.
TEST_F(Window, LetGoDuringOneOfOurSendsTheObjectStaysUntilTheCallIsDone) {
  TRunning Run;
  ASSERT_TRUE(Start(Run));
  auto& [Server, Host, Object, Hidden] = Run;
  ULONG Left = 0;
  bool Alive = false;
  // (Through Run: a lambda may not name what a structured binding declared.)
  Server.Server().OnControl = [&](uint32_t Id, const TCopyData&) {
    if (Id != AddMessageId || !Run.Object) return;
    Left = Run.Object.Detach()->Release();
    Alive = IsWindow(Run.Hidden) != FALSE;
  };
  IRRExtension* Raw = Object.Get();
  TBstr Code(L"ce_speed"), Tip, Answer;
  EXPECT_EQ(Raw->ReturnLabel(Code.Ref(), Tip.Ref(), Answer.Out()), S_OK);
  EXPECT_EQ(Answer.Text(), L"-");
  EXPECT_GT(Left, 0u);
  EXPECT_TRUE(Alive);
  EXPECT_FALSE(IsWindow(Hidden));  // gone with the object, once the call was done
  EXPECT_EQ(Host.Refs, 0);
}

TEST_F(Window, MalformedRecordsAreHarmless) {
  TRunning Run;
  ASSERT_TRUE(Start(Run));
  auto& [Server, Host, Object, Hidden] = Run;
  TTraceLines Trace;

  EXPECT_EQ(SendMessageW(Hidden, WM_COPYDATA, 0, 0), 0);  // no COPYDATASTRUCT at all
  EXPECT_EQ(SendRecord(Hidden, 11, nullptr, 100), 0);     // no data behind a size
  EXPECT_EQ(SendRecord(Hidden, 135, nullptr, 0), 0);
  const char Short[] = {'1', '2'};
  EXPECT_EQ(SendRecord(Hidden, 3, Short, 2), 0);  // shorter than the value text, no NUL
  EXPECT_EQ(Label(Object.Get(), L"ce_voltage"), L"12");

  // A record without any NUL that ends right at an inaccessible page: reading one
  // byte past cbData would fault.
  for (DWORD Size : {10u, 30u, 45u}) {
    auto* Data = reinterpret_cast<char*>(LastBytesOfAPage(Size));
    std::memset(Data, 'A', Size);
    if (Size > 30) Data[33] = ',';
    EXPECT_EQ(SendRecord(Hidden, 4, Data, Size), 0);
    EXPECT_EQ(SendRecord(Hidden, 130, Data, Size), 0);
  }
  EXPECT_EQ(Label(Object.Get(), L"ce_o2b1s1"), std::wstring(30, L'A'));
  EXPECT_EQ(Label(Object.Get(), L"ce_o2b1s1_title"), L"AAA");
  EXPECT_EQ(Label(Object.Get(), L"ce_o2b1s1_unit"), std::wstring(11, L'A'));
  // Said once for each parameter while they keep coming, for whoever diagnoses a car.
  EXPECT_EQ(Trace.Take(), (std::vector<std::string>{"value record ignored as malformed: no data (identifier 0)",
                                                    "value record ignored as malformed: no data (identifier 11)",
                                                    "value record ignored as malformed: no data (identifier 135)"}));
}

// Whatever would show, move or activate the window is refused, and said once for each
// kind in its own words, whoever asks.
TEST_F(Window, EachRefusalIsSaidOnceInItsOwnWords) {
  TRunning Run;
  ASSERT_TRUE(Start(Run));
  const HWND Hidden = Run.Hidden;
  const LONG Style = GetWindowLongW(Hidden, GWL_STYLE);
  const struct {
    const char* What;
    void (*Ask)(HWND Window, LONG Style);
  } Cases[] = {
      {"WM_SYSCOMMAND 0x0000F030", [](HWND W, LONG) { SendMessageW(W, WM_SYSCOMMAND, SC_MAXIMIZE, 0); }},
      {"WM_SETREDRAW", [](HWND W, LONG) { SendMessageW(W, WM_SETREDRAW, TRUE, 0); }},
      {"WM_SETHOTKEY", [](HWND W, LONG) { SendMessageW(W, WM_SETHOTKEY, 'Z' | (2 << 8) /* Ctrl */, 0); }},
      {"WM_WINDOWPOSCHANGING",
       [](HWND W, LONG) { SetWindowPos(W, nullptr, 10, 10, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE); }},
      {"WM_STYLECHANGING", [](HWND W, LONG S) { SetWindowLongW(W, GWL_STYLE, S | WS_CAPTION); }},
      {"activation", [](HWND W, LONG) { SetActiveWindow(W); }},
      {"minimizing or maximizing", [](HWND W, LONG) { ShowWindow(W, SW_MINIMIZE); }},
  };
  TTraceLines Trace;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.What);
    Case.Ask(Hidden, Style);
    EXPECT_EQ(Trace.Take(), (std::vector<std::string>{"hidden window " + TraceHex(Hidden) + ": " + Case.What +
                                                      " refused: it is never shown, moved or activated"}));
    Case.Ask(Hidden, Style);
    EXPECT_EQ(Trace.Take(), std::vector<std::string>{}) << "said again";
  }
  EXPECT_FALSE(IsWindowVisible(Hidden));
  EXPECT_EQ(GetWindowLongW(Hidden, GWL_STYLE), Style);
}

}  // namespace
}  // namespace zelm::wine
