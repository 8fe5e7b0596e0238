// The real DLL under Wine, timed as a host uses it: a realistic skin of 40 labels
// (values, titles, units, slot codes, one other extension's code) polled frame by
// frame with every value flowing, through the vtable and through IDispatch::Invoke.
// The host keeps its label codes as BSTRs and frees each answer, as RideRunner does.
//
//   zelm_wine_bench.exe [--frames N] [--runs R]
//
// It prints, in one run:
//   - label requests in quiet frames (frames in which nothing goes to the data
//     server) beside the floor of the same path: ReturnIndicatorEx, which only answers
//     "False", through the vtable and through the type library's generic dispatcher;
//   - what the repeated announcement adds (every 101st request of ours: two round
//     trips to the data server), apart;
//   - a value record handled, beside a window procedure that ignores it;
//   - as in a car: the stand-in data server in another process, all frames.
// It prints figures; it checks nothing beyond that the values are flowing.
#include <oaidl.h>
#include <windows.h>
#include <x86intrin.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/native/SkinMix.h"
#include "core/protocol/Protocol.h"
#include "tests/support/wine/Com.h"
#include "tests/support/wine/DataServer.h"
#include "win/platform/Names.h"

using namespace zelm::wine;
using zelm::TBstr;
using zelm::TComPtr;
using zelm::TVariant;

namespace {

// --- The label codes, as the host holds them -----------------------------------------

struct TSkin {
  std::vector<TBstr> Codes;
  TBstr ToolTip{L""};
  TSkin() {
    for (auto Code : zelm::testing::cSkinMix) Codes.emplace_back(Code);
  }
};

enum class TPath { Vtable, Dispatch };
enum class TCall { Label, Floor };

long GFailures = 0;  // calls that did not answer S_OK: a figure of failures is no figure

// A ratio against the goal we hold it to: a goal is what to aim at, not a test, and a
// ratio over it fails nothing; it says where to look.
const char* Verdict(double Ratio, double Goal) { return Ratio <= Goal ? "met" : "over it: worth a look"; }

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return Values.empty() ? 0 : Values[Values.size() / 2];
}

// One measured run: ns a request in quiet frames, what a frame that sent something to
// the data server took beyond a quiet one, and how many such frames there were.
struct TTiming {
  double QuietNs = 0;
  double LoudExtraNs = 0;
  long LoudFrames = 0;
};

// Frames of the skin, each timed by the processor's time-stamp counter (cheap enough
// to read around every frame), scaled to nanoseconds by the system clock over the
// whole run. Heard counts what the data server has received so far; null when it
// cannot be asked cheaply, and then every frame counts as quiet.
TTiming Measure(IRRExtension* Ext, TSkin& Skin, TPath Path, TCall Call, int Frames, long (*Heard)()) {
  const std::size_t Count = Skin.Codes.size();
  // The Invoke arguments for each code, built once, last parameter first.
  std::vector<VARIANT> Args(2 * Count);
  std::vector<DISPPARAMS> Params(Count);
  for (std::size_t I = 0; I < Count; ++I) {
    VARIANT* A = &Args[2 * I];
    V_VT(&A[0]) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&A[0]) = Skin.ToolTip.Ref();
    V_VT(&A[1]) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&A[1]) = Skin.Codes[I].Ref();
    // ReturnLabel takes (LabelCode, ToolTip); ReturnIndicatorEx only (IndicatorCode).
    Params[I] = Call == TCall::Label ? DISPPARAMS{A, nullptr, 2, 0} : DISPPARAMS{&A[1], nullptr, 1, 0};
  }
  const DISPID Member = Call == TCall::Label ? 202 : 203;

  unsigned long long QuietTicks = 0, LoudTicks = 0;
  long QuietFrames = 0, LoudFrames = 0;
  const double BeginMs = NowMs();
  const unsigned long long Begin = __rdtsc();
  for (int F = 0; F < Frames; ++F) {
    const long HeardBefore = Heard ? Heard() : 0;
    const unsigned long long FrameBegin = __rdtsc();
    for (std::size_t I = 0; I < Count; ++I) {
      if (Path == TPath::Vtable) {
        TBstr Answer;
        const HRESULT Result = Call == TCall::Label
                                   ? Ext->ReturnLabel(Skin.Codes[I].Ref(), Skin.ToolTip.Ref(), Answer.Out())
                                   : Ext->ReturnIndicatorEx(Skin.Codes[I].Ref(), Answer.Out());
        GFailures += Result != S_OK;
      } else {
        TVariant Answer;
        GFailures += Ext->Invoke(Member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &Params[I], &Answer.Get(),
                                 nullptr, nullptr) != S_OK;
      }
    }
    const unsigned long long Ticks = __rdtsc() - FrameBegin;
    if (Heard && Heard() != HeardBefore) {
      LoudTicks += Ticks;
      ++LoudFrames;
    } else {
      QuietTicks += Ticks;
      ++QuietFrames;
    }
  }
  const double NsPerTick = (NowMs() - BeginMs) * 1e6 / static_cast<double>(__rdtsc() - Begin);
  const double QuietFrameNs =
      QuietFrames ? static_cast<double>(QuietTicks) * NsPerTick / static_cast<double>(QuietFrames) : 0;
  TTiming Timing;
  Timing.QuietNs = QuietFrameNs / static_cast<double>(Count);
  Timing.LoudFrames = LoudFrames;
  if (LoudFrames)
    Timing.LoudExtraNs = static_cast<double>(LoudTicks) * NsPerTick / static_cast<double>(LoudFrames) - QuietFrameNs;
  return Timing;
}

// --- The extension, started as RideRunner starts it ---------------------------------------

// With the slots of the skin mix: a live value, a trip figure, another live value and
// the trip figure with a Cyrillic letter in its code.
struct TStarted {
  TScriptedHost Host;
  TComPtr<IRRExtension> Ext;  // released first: it holds the host
  TStarted() : Ext(CreateByProgId()) {
    if (!Ext) return;
    RouteTo(Host, Ext.Get());
    Host.Variables.Set(u"CheckEngineDinamicLabel", u"ce_speed");
    Host.Variables.Set(u"CheckEngineDinamicLabel_1", u"ce_avgfuelperhour");
    Host.Variables.Set(u"CheckEngineDinamicLabel_2", u"ce_o2b2s2");
    Host.Variables.Set(u"CheckEngineDinamicLabel_3", u"ce_\u0440orse_power");
    Ext->Init(&Host);
    TBstr Path(L"C:\\Zelm");
    Ext->Initialize(Path.Get());
  }
};

int CountDashes(IRRExtension* Ext) {
  int Dashes = 0;
  for (auto Code : zelm::testing::cSkinMix) Dashes += Label(Ext, std::wstring(Code.begin(), Code.end())) == L"-";
  return Dashes;
}

struct TFigures {
  double Label[2], Floor[2];  // ns a request in quiet frames, by path
  double LoudExtra[2];        // ns a frame that sent something took beyond a quiet one
  double LoudPerThousand;     // such frames per 1000 requests
  int Dashes;                 // "-" answers in a frame after the warm-up: 0 when every value flows
};

// Heard counts what the server has received so far (null: not to be asked per frame).
TFigures Run(IRRExtension* Ext, int Frames, int Runs, long (*Heard)()) {
  TSkin Skin;
  TFigures Figures{};
  for (int F = 0; F < 3; ++F) Measure(Ext, Skin, TPath::Vtable, TCall::Label, 1, nullptr);  // subscribe, settle
  PumpWaiting();
  Figures.Dashes = CountDashes(Ext);
  long Loud = 0;
  for (int P = 0; P < 2; ++P) {
    const TPath Path = P == 0 ? TPath::Vtable : TPath::Dispatch;
    std::vector<double> Labels, Floors, Extras;
    for (int R = 0; R < Runs; ++R) {
      const TTiming Label = Measure(Ext, Skin, Path, TCall::Label, Frames, Heard);
      Labels.push_back(Label.QuietNs);
      if (Label.LoudFrames) Extras.push_back(Label.LoudExtraNs);
      Loud += Label.LoudFrames;
      Floors.push_back(Measure(Ext, Skin, Path, TCall::Floor, Frames, nullptr).QuietNs);
    }
    Figures.Label[P] = Median(Labels);
    Figures.Floor[P] = Median(Floors);
    Figures.LoudExtra[P] = Median(Extras);
  }
  Figures.LoudPerThousand =
      1000.0 * static_cast<double>(Loud) / (2.0 * Runs * Frames * static_cast<double>(Skin.Codes.size()));
  return Figures;
}

// --- A data server on our own thread that only listens ------------------------------------

TLocalServer* GListener = nullptr;
long ListenerHeard() { return static_cast<long>(GListener->Server().Server().Counters().Heard); }

// The value records of every parameter, handed over once by hand.
void DeliverAll(HWND To) {
  for (const auto& P : zelm::cParams)
    SendRecord(To, P.Id,
               P.Kind == zelm::TParamKind::Live ? zelm::EncodeLiveRecord("1234.5", "Some title,unit")
                                                : zelm::EncodeTripRecord("12.5"));
}

// What one lookup of the server window costs: every control message makes one.
double FindWindowNs() {
  constexpr int cLookups = 20000;
  const double Begin = NowMs();
  for (int I = 0; I < cLookups; ++I) FindWindowW(nullptr, zelm::ServerWindowTitle());
  return (NowMs() - Begin) * 1e6 / cLookups;
}

// --- Value records ----------------------------------------------------------------------

LRESULT CALLBACK IgnoreRecords(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  return Msg == WM_COPYDATA ? 0 : DefWindowProcW(Window, Msg, WParam, LParam);
}

double NsPerRecord(HWND To, uint32_t Id, const std::string& Record) {
  constexpr int cRecords = 20000;
  const double Begin = NowMs();
  for (int I = 0; I < cRecords; ++I) SendRecord(To, Id, Record);
  return (NowMs() - Begin) * 1e6 / cRecords;
}

// A record sent to the extension's hidden window, beside the same sent to a window
// whose procedure ignores it.
void PrintRecords(HWND Hidden, int Runs) {
  WNDCLASSW Class{};
  Class.lpfnWndProc = IgnoreRecords;
  Class.hInstance = GetModuleHandleW(nullptr);
  Class.lpszClassName = L"ZelmBenchIgnoresRecords";
  RegisterClassW(&Class);
  const zelm::TWindow IgnoringWindow(
      CreateWindowExW(0, Class.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, Class.hInstance, nullptr));
  const HWND Ignoring = IgnoringWindow.Get();
  const std::string Live = zelm::EncodeLiveRecord("850", "Engine speed,rpm");
  const std::string Trip = zelm::EncodeTripRecord("87.5");
  std::vector<double> Floor, LiveNs, TripNs;
  for (int R = 0; R < Runs; ++R) {
    Floor.push_back(NsPerRecord(Ignoring, 11, Live));
    LiveNs.push_back(NsPerRecord(Hidden, 11, Live));
    TripNs.push_back(NsPerRecord(Hidden, 135, Trip));
  }
  const double F = Median(Floor);
  std::printf("\nvalue record, WM_COPYDATA sent to a window, ns                ratio  goal\n");
  std::printf("  to a window procedure that ignores it   %8.0f\n", F);
  const double LiveRatio = Median(LiveNs) / F, TripRatio = Median(TripNs) / F;
  std::printf("  a live value (850, Engine speed,rpm)    %8.0f          %5.2f   2     %s\n", Median(LiveNs), LiveRatio,
              Verdict(LiveRatio, 2));
  std::printf("  a trip figure (87.5, stored as 88)      %8.0f          %5.2f   2     %s\n", Median(TripNs), TripRatio,
              Verdict(TripRatio, 2));
}

}  // namespace

int main(int argc, char** argv) {
  int Frames = 2000, Runs = 5;
  bool Flowing = true;
  for (int I = 1; I + 1 < argc; I += 2) {
    if (std::strcmp(argv[I], "--frames") == 0) Frames = std::max(1, std::atoi(argv[I + 1]));
    if (std::strcmp(argv[I], "--runs") == 0) Runs = std::max(1, std::atoi(argv[I + 1]));
  }
  if (const char* Failed = SetUpOwnDesktop()) {
    std::fprintf(stderr, "bench: %s\n", Failed);
    return 2;
  }
  const auto Labels = static_cast<double>(zelm::testing::cSkinMix.size());
  std::printf(
      "ZelmKvel under Wine: a skin of %.0f labels polled frame by frame, every value flowing;\n"
      "medians of %d runs of %d frames\n\n",
      Labels, Runs, Frames);

  // The extension's own cost: a data server on our own thread that only listens.
  {
    TLocalServer Listener({}, /*Quiet=*/true);
    GListener = &Listener;
    TStarted Started;
    const HWND Hidden = Listener.Announced();
    if (!Started.Ext || !Listener.Window() || !Hidden) {
      std::fprintf(stderr, "bench: no listener or no announcement\n");
      return 2;
    }
    DeliverAll(Hidden);
    const TFigures F = Run(Started.Ext.Get(), Frames, Runs, ListenerHeard);
    std::printf("(a goal is a ratio to aim at: one over it fails nothing, it says where to look)\n\n");
    std::printf("label request in a quiet frame, ns        floor  ReturnLabel  ratio  goal\n");
    const double Vtable = F.Label[0] / F.Floor[0], Dispatch = F.Label[1] / F.Floor[1];
    std::printf("  through the vtable                  %9.0f  %11.0f  %5.2f   1.5   %s\n", F.Floor[0], F.Label[0],
                Vtable, Verdict(Vtable, 1.5));
    std::printf("  through IDispatch::Invoke           %9.0f  %11.0f  %5.2f   0.5   %s\n", F.Floor[1], F.Label[1],
                Dispatch, Verdict(Dispatch, 0.5));
    std::printf(
        "  (floor: ReturnIndicatorEx, which only answers \"False\"; by Invoke through the\n"
        "  type library's generic dispatcher)\n");
    if (F.Dashes != 0) std::printf("  (values not flowing: %d labels answered \"-\")\n", F.Dashes);
    Flowing = Flowing && F.Dashes == 0;
    std::printf("\nthe repeated announcement apart (64 and 129, each after a FindWindowW):\n");
    std::printf(
        "  a frame that sends it takes %.0f ns more (%.0f by Invoke); %.2f such frames a 1000\n"
        "  requests: %.0f ns a request on average. FindWindowW(\"Morvicantrel\") alone: %.0f ns\n",
        F.LoudExtra[0], F.LoudExtra[1], F.LoudPerThousand, F.LoudExtra[0] * F.LoudPerThousand / 1000.0, FindWindowNs());
    PrintRecords(Hidden, Runs);
  }

  // As in a car: the stand-in data server in another process, answering every
  // parameter; its records cross processes, and every announcement brings the 15 trip
  // figures back. All frames count.
  {
    std::vector<std::string> Rules;
    for (const auto& P : zelm::cParams)
      Rules.push_back("value " + std::to_string(P.Id) +
                      (P.Kind == zelm::TParamKind::Live ? " 1234.5|Some title,unit" : " 12.5"));
    TStandIn Server;
    if (!Server.Start(Rules, 600000, /*Quiet=*/true)) {
      std::fprintf(stderr, "bench: the stand-in did not start\n");
      return 2;
    }
    TStarted Started;
    if (!Started.Ext) {
      std::fprintf(stderr, "bench: cannot create ZelmKvel.RRExtension\n");
      return 2;
    }
    const int CarFrames = Frames / 4 + 1;
    const long HeardBefore = Server.CountHeard(), SentBefore = Server.CountSent();
    const TFigures F = Run(Started.Ext.Get(), CarFrames, Runs, nullptr);
    const double Requests = (4.0 * Runs * CarFrames + 4) * Labels;  // both paths, labels and floors, the warm-up
    std::printf("\nas in a car (the stand-in data server in another process), ns a request, all frames:\n");
    std::printf("  vtable %.0f, IDispatch %.0f; per 1000 requests %.1f control messages, %.1f value records\n",
                F.Label[0], F.Label[1], 1000.0 * static_cast<double>(Server.CountHeard() - HeardBefore) / Requests,
                1000.0 * static_cast<double>(Server.CountSent() - SentBefore) / Requests);
    if (F.Dashes != 0) std::printf("  (values not flowing: %d labels answered \"-\")\n", F.Dashes);
    Flowing = Flowing && F.Dashes == 0;
  }
  CoUninitialize();
  if (GFailures != 0) std::printf("calls failed: %ld\n", GFailures);
  // Figures taken while calls fail or values do not flow measure something else.
  return GFailures == 0 && Flowing ? 0 : 1;
}
