// Nanoseconds per label request of the real DLL under Wine, for a realistic skin of 40
// labels (values, titles, units, slot codes, one other extension's code) with every
// value flowing, through the vtable and through IDispatch::Invoke, each beside a floor
// measured in the same run through the same path: ReturnIndicatorEx, which answers
// "False" and does nothing else. The host keeps its label codes as BSTRs and frees each
// answer, as RideRunner does.
//
//   zelm_wine_bench.exe [--frames N] [--runs R]
//
// Two servers, one after the other:
//   stand-in   the stand-in data server in another process, as in a car: every 101st
//              request of ours repeats the announcement and the trip read, and the
//              trip figures come back as 15 cross-process records;
//   listener   a "Morvicantrel" window on the bench's own thread that only listens:
//              what is left is the extension's own cost.
// It prints figures; it checks nothing beyond that the values are flowing.
#include <oaidl.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Rig.h"
#include "SkinMix.h"

using namespace zelm::dstest;

namespace {

// --- The label codes, as the host holds them -----------------------------------------

struct TSkin {
  std::vector<BSTR> Codes;
  BSTR ToolTip = SysAllocString(L"");
  TSkin() {
    for (auto Code : zelm::testing::cSkinMix) {
      std::wstring Wide(Code.begin(), Code.end());
      Codes.push_back(SysAllocStringLen(Wide.data(), static_cast<UINT>(Wide.size())));
    }
  }
  ~TSkin() {
    for (BSTR Code : Codes) SysFreeString(Code);
    SysFreeString(ToolTip);
  }
};

enum class TPath { Vtable, Dispatch };
enum class TCall { Label, Floor };

long GFailures = 0;  // calls that did not answer S_OK: a figure of failures is no figure

// Nanoseconds per call over Frames frames of the skin.
double Measure(IRRExtension* Ext, TSkin& Skin, TPath Path, TCall Call, int Frames) {
  const std::size_t Count = Skin.Codes.size();
  // The Invoke arguments for each code, built once, last parameter first.
  std::vector<VARIANT> Args(2 * Count);
  std::vector<DISPPARAMS> Params(Count);
  for (std::size_t I = 0; I < Count; ++I) {
    VARIANT* A = &Args[2 * I];
    V_VT(&A[0]) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&A[0]) = &Skin.ToolTip;
    V_VT(&A[1]) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&A[1]) = &Skin.Codes[I];
    // ReturnLabel takes (LabelCode, ToolTip); ReturnIndicatorEx only (IndicatorCode).
    Params[I] = Call == TCall::Label ? DISPPARAMS{A, nullptr, 2, 0} : DISPPARAMS{&A[1], nullptr, 1, 0};
  }
  const DISPID Member = Call == TCall::Label ? 202 : 203;

  const double Begin = NowMs();
  for (int F = 0; F < Frames; ++F) {
    for (std::size_t I = 0; I < Count; ++I) {
      if (Path == TPath::Vtable) {
        BSTR Answer = nullptr;
        const HRESULT Result = Call == TCall::Label ? Ext->ReturnLabel(&Skin.Codes[I], &Skin.ToolTip, &Answer)
                                                    : Ext->ReturnIndicatorEx(&Skin.Codes[I], &Answer);
        GFailures += Result != S_OK;
        SysFreeString(Answer);
      } else {
        VARIANT Answer;
        VariantInit(&Answer);
        GFailures += Ext->Invoke(Member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &Params[I], &Answer, nullptr,
                                 nullptr) != S_OK;
        VariantClear(&Answer);
      }
    }
  }
  return (NowMs() - Begin) * 1e6 / (static_cast<double>(Frames) * static_cast<double>(Count));
}

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return Values[Values.size() / 2];
}

// --- The listener: a server window on our own thread ------------------------------

HWND GAnnounced = nullptr;
long GHeard = 0;

LRESULT CALLBACK ListenerProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_COPYDATA) {
    const auto* Data = reinterpret_cast<const COPYDATASTRUCT*>(LParam);
    ++GHeard;
    if (Data->dwData == 64 && Data->cbData >= 4) {
      uint32_t Handle = 0;
      std::memcpy(&Handle, Data->lpData, 4);
      GAnnounced = reinterpret_cast<HWND>(static_cast<uintptr_t>(Handle));
    }
    return 0;
  }
  return DefWindowProcW(Window, Msg, WParam, LParam);
}

// The value record of the stand-in rules below, delivered by hand.
void Deliver(HWND To, uint32_t Id, bool Live) {
  char Record[64] = {};
  std::strcpy(Record, Live ? "1234.5" : "12.5");
  const char TitleUnit[] = "Some title,unit";
  std::memcpy(Record + 30, TitleUnit, sizeof TitleUnit);
  COPYDATASTRUCT Data{Id, static_cast<DWORD>(30 + sizeof TitleUnit), Record};
  SendMessageW(To, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data));
}

// --- One server ------------------------------------------------------------------------

struct TFigures {
  double Label[2], Floor[2];   // by path
  double MessagesPerThousand;  // control messages the server received
  double RecordsPerThousand;   // value records it sent back
  int Dashes;                  // "-" answers in a frame after the warm-up: 0 when every value flows
};

IRRExtension* Start(THost*& Host) {
  IRRExtension* Ext = nullptr;
  if (FAILED(CreateExtension(&Ext))) return nullptr;
  Host = THost::Create();
  Host->RouteTo = Ext;
  // The slots of the skin mix: a live value, a trip figure, another live value and
  // the trip figure with a Cyrillic letter in its code.
  Host->Variables = {{L"CheckEngineDinamicLabel", L"ce_speed"},
                     {L"CheckEngineDinamicLabel_1", L"ce_avgfuelperhour"},
                     {L"CheckEngineDinamicLabel_2", L"ce_o2b2s2"},
                     {L"CheckEngineDinamicLabel_3", L"ce_\u0440orse_power"}};
  Ext->Init(Host);
  TBstr Path(L"C:\\Zelm");
  Ext->Initialize(Path.B);
  return Ext;
}

void Stop(IRRExtension* Ext, THost* Host) {
  Host->RouteTo = nullptr;
  Ext->Release();
  Host->Release();
}

int CountDashes(IRRExtension* Ext) {
  int Dashes = 0;
  for (auto Code : zelm::testing::cSkinMix)
    Dashes += Label(Ext, std::wstring(Code.begin(), Code.end()).c_str()) == L"-";
  return Dashes;
}

// Heard and Answered count what the server has received and sent back so far.
TFigures Run(IRRExtension* Ext, int Frames, int Runs, long (*Heard)(), long (*Answered)()) {
  TSkin Skin;
  TFigures Figures{};
  for (int F = 0; F < 3; ++F) Measure(Ext, Skin, TPath::Vtable, TCall::Label, 1);  // subscribe, settle
  PumpFor(20);
  Figures.Dashes = CountDashes(Ext);
  long Messages = 0, Records = 0;
  for (int P = 0; P < 2; ++P) {
    const TPath Path = P == 0 ? TPath::Vtable : TPath::Dispatch;
    std::vector<double> Labels, Floors;
    for (int R = 0; R < Runs; ++R) {
      const long HeardBefore = Heard(), AnsweredBefore = Answered();
      Labels.push_back(Measure(Ext, Skin, Path, TCall::Label, Frames));
      Messages += Heard() - HeardBefore;
      Records += Answered() - AnsweredBefore;
      Floors.push_back(Measure(Ext, Skin, Path, TCall::Floor, Frames));
    }
    Figures.Label[P] = Median(Labels);
    Figures.Floor[P] = Median(Floors);
  }
  const double Requests = 2.0 * Runs * Frames * static_cast<double>(Skin.Codes.size());
  Figures.MessagesPerThousand = 1000.0 * static_cast<double>(Messages) / Requests;
  Figures.RecordsPerThousand = 1000.0 * static_cast<double>(Records) / Requests;
  return Figures;
}

void Print(const char* Server, const TFigures& F) {
  const char* Paths[2] = {"vtable", "IDispatch"};
  for (int P = 0; P < 2; ++P)
    std::printf("%-10s %-10s %12.0f %12.0f %12.0f %14.2f %14.2f\n", Server, Paths[P], F.Label[P], F.Floor[P],
                F.Label[P] - F.Floor[P], F.MessagesPerThousand, F.RecordsPerThousand);
  if (F.Dashes != 0) std::printf("  (values not flowing: %d labels answered \"-\")\n", F.Dashes);
}

TStandIn* GServer = nullptr;
long StandInHeard() { return GServer->CountHeard(); }
long StandInAnswered() { return GServer->CountSent(); }
long ListenerHeard() { return GHeard; }
long ListenerAnswered() { return 0; }  // it only listens

// What one lookup of the server window costs: every control message makes one.
double FindWindowNs() {
  constexpr int cLookups = 20000;
  const double Begin = NowMs();
  for (int I = 0; I < cLookups; ++I) FindWindowW(nullptr, L"Morvicantrel");
  return (NowMs() - Begin) * 1e6 / cLookups;
}

}  // namespace

int main(int argc, char** argv) {
  int Frames = 1000, Runs = 3;
  for (int I = 1; I + 1 < argc; I += 2) {
    if (std::strcmp(argv[I], "--frames") == 0) Frames = std::max(1, std::atoi(argv[I + 1]));
    if (std::strcmp(argv[I], "--runs") == 0) Runs = std::max(1, std::atoi(argv[I + 1]));
  }
  if (EnterPrivateDesktop().empty() || FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fprintf(stderr, "bench: no desktop or apartment of our own\n");
    return 2;
  }
  if (FAILED(RegisterServer())) {
    std::fprintf(stderr, "bench: cannot register the ZelmKvel.dll beside it\n");
    return 2;
  }
  std::printf(
      "ZelmKvel under Wine: ns per label request, skin mix of %u labels, every value flowing;\n"
      "median of %d runs of %d requests each\n",
      static_cast<unsigned>(zelm::testing::cSkinMix.size()), Runs,
      Frames * static_cast<int>(zelm::testing::cSkinMix.size()));
  std::printf("%-10s %-10s %12s %12s %12s %14s %14s\n", "server", "path", "ReturnLabel", "floor", "above floor",
              "msgs/1000 req", "recs/1000 req");

  // The stand-in in another process, answering every parameter.
  {
    std::vector<std::string> Rules;
    for (const auto& P : zelm::cParams)
      Rules.push_back("value " + std::to_string(P.Id) +
                      (P.Kind == zelm::TParamKind::Live ? " 1234.5|Some title,unit" : " 12.5"));
    TStandIn Server;
    GServer = &Server;
    if (!Server.Start(Rules, 600000, /*Quiet=*/true)) {
      std::fprintf(stderr, "bench: the stand-in did not start\n");
      return 2;
    }
    THost* Host = nullptr;
    IRRExtension* Ext = Start(Host);
    if (!Ext) {
      std::fprintf(stderr, "bench: cannot create ZelmKvel.RRExtension\n");
      return 2;
    }
    Print("stand-in", Run(Ext, Frames, Runs, StandInHeard, StandInAnswered));
    Stop(Ext, Host);
  }

  // A listener on our own thread; the values handed over once, by hand.
  {
    WNDCLASSW Class{};
    Class.lpfnWndProc = ListenerProc;
    Class.hInstance = GetModuleHandleW(nullptr);
    Class.lpszClassName = L"ZelmBenchListener";
    RegisterClassW(&Class);
    HWND Listener = CreateWindowExW(WS_EX_TOOLWINDOW, Class.lpszClassName, L"Morvicantrel", WS_POPUP, 0, 0, 0, 0,
                                    nullptr, nullptr, Class.hInstance, nullptr);
    THost* Host = nullptr;
    IRRExtension* Ext = Start(Host);
    if (!Ext || !Listener || !GAnnounced) {
      std::fprintf(stderr, "bench: no listener or no announcement\n");
      return 2;
    }
    for (const auto& P : zelm::cParams) Deliver(GAnnounced, P.Id, P.Kind == zelm::TParamKind::Live);
    Print("listener", Run(Ext, Frames, Runs, ListenerHeard, ListenerAnswered));
    std::printf("FindWindowW(\"Morvicantrel\"), made for every control message: %.0f ns\n", FindWindowNs());
    Stop(Ext, Host);
    DestroyWindow(Listener);
  }
  CoUninitialize();
  if (GFailures != 0) {
    std::printf("calls failed: %ld\n", GFailures);
    return 1;
  }
  return 0;
}
