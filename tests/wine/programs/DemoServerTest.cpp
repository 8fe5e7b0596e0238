// The demo data server that ships (zelm_sim.exe) among hostile programs: whatever any
// process on the desktop sends or posts its window, it goes on serving as the data
// server does. The orders that the tests' own data server takes (rules, hangs,
// silence, quit, counts, the workbench's step) are nothing to it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/protocol/Protocol.h"
#include "tests/support/wine/Com.h"
#include "tests/support/wine/DataServer.h"

namespace zelm::wine {
namespace {

// A window of ours that takes the value records, as the extension's does.
struct TRecords {
  std::vector<uint32_t> Ids;
  std::string Bytes;  // all of them, one after the other
  static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message != WM_COPYDATA) return DefWindowProcW(Window, Message, WParam, LParam);
    const auto* Data = reinterpret_cast<const COPYDATASTRUCT*>(LParam);
    if (GSelf && Data) {
      GSelf->Ids.push_back(static_cast<uint32_t>(Data->dwData));
      if (Data->lpData) GSelf->Bytes.append(static_cast<const char*>(Data->lpData), Data->cbData);
    }
    return TRUE;
  }
  static inline TRecords* GSelf = nullptr;
};

// One control record to the server, as the extension sends it; whether it was taken.
bool Control(HWND Server, uint32_t Id, uint32_t Data1) {
  TCopyData Record{Data1, 0, 0, 0};
  COPYDATASTRUCT Data{Id, sizeof Record, &Record};
  DWORD_PTR Answer = 0;
  return SendMessageTimeoutW(Server, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data), SMTO_NORMAL, 5000, &Answer) != 0;
}

TEST(DemoServer, TakesNoOrderFromAnotherProgramAndGoesOnServing) {
  TChildProcess Demo;
  ASSERT_TRUE(Demo.Start(L"\"" + ProgramFolder() + L"programs\\zelm_sim.exe\""));
  const HWND Server = Demo.ServerWindow();
  ASSERT_NE(Server, nullptr) << "zelm_sim.exe showed no window \"Morvicantrel\"";

  // What the tests' ruled server would obey, and what else any program may try.
  for (const char* Order : {"hang 64 0", "hang 80 0", "silent", "quit", "value 1 999|Forged,x"}) {
    COPYDATASTRUCT Data{cRuleMessageId, static_cast<DWORD>(std::string(Order).size()), const_cast<char*>(Order)};
    DWORD_PTR Answer = 0;
    SendMessageTimeoutW(Server, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data), SMTO_NORMAL, 5000, &Answer);
  }
  const struct {
    UINT Message;
    WPARAM WParam;
    LPARAM LParam;
  } Posted[] = {
      {cCountHeardMessage, 0, 0},
      {cCountSentMessage, 0, 0},
      {WM_APP + 0x100, 3600u * 1000000u, 0},  // the workbench's step: an hour
      {WM_TIMER, 1, 0},                       // the tick it once had
      {WM_TIMER, 1, 0x41414140},              // a "callback" at an address of our choosing
      {WM_APP + 3, 0, 0},                     // the input lines' wake-up it once had
  };
  for (const auto& P : Posted) {
    PostMessageW(Server, P.Message, P.WParam, P.LParam);
    DWORD_PTR Answer = 0;
    EXPECT_NE(SendMessageTimeoutW(Server, P.Message, P.WParam, P.LParam, SMTO_NORMAL, 5000, &Answer), 0u) << P.Message;
    if (P.Message == cCountHeardMessage || P.Message == cCountSentMessage) {
      EXPECT_EQ(Answer, 0u) << "a count told";
    }
  }
  SetWindowLongPtrW(Server, GWLP_USERDATA, 0x41414140);

  // It still serves: an announcement and an Add are answered at once, from inside its
  // window procedure, with the car's reading (not a forged one).
  WNDCLASSEXW Class{};
  Class.cbSize = sizeof Class;
  Class.lpfnWndProc = TRecords::Proc;
  Class.hInstance = GetModuleHandleW(nullptr);
  Class.lpszClassName = L"ZelmDemoServerTestRecords";
  RegisterClassExW(&Class);
  TRecords Records;
  TRecords::GSelf = &Records;
  const TWindow Ours(
      CreateWindowExW(0, Class.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, Class.hInstance, nullptr));
  ASSERT_TRUE(Ours);
  const auto Handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Ours.Get()));
  ASSERT_TRUE(Control(Server, InitConnectionMessageId, Handle)) << "it hangs at an announcement";
  ASSERT_TRUE(Control(Server, AddMessageId, 1)) << "it hangs at an Add";
  EXPECT_EQ(Records.Ids, std::vector<uint32_t>{1}) << "the Add was not answered at once";
  EXPECT_EQ(Records.Bytes.find("Forged"), std::string::npos) << "it served a value another program gave it";
  EXPECT_TRUE(Demo.Running()) << "it quit when another program said so";
  TRecords::GSelf = nullptr;
  Demo.Stop(Server);
}

}  // namespace
}  // namespace zelm::wine
