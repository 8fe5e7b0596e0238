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

#include "SkinMix.h"
#include "core/protocol/Protocol.h"
#include "tests/wine/support/Com.h"
#include "tests/wine/support/DataServer.h"
#include "tests/wine/support/TestHost.h"

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

// Nanoseconds per call over Frames frames of the skin.
double Measure(IRRExtension* Ext, TSkin& Skin, TPath Path, TCall Call, int Frames) {
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

  const double Begin = NowMs();
  for (int F = 0; F < Frames; ++F) {
    for (std::size_t I = 0; I < Count; ++I) {
      if (Path == TPath::Vtable) {
        TBstr Answer;
        const HRESULT Result = Call == TCall::Label
                                   ? Ext->ReturnLabel(Skin.Codes[I].Ref(), Skin.ToolTip.Ref(), Answer.Out())
                                   : Ext->ReturnIndicatorEx(Skin.Codes[I].Ref(), Answer.Out());
        GFailures += Result != S_OK;
      } else {
        TVariant Answer;
        GFailures += Ext->Invoke(Member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &Params[I], &Answer, nullptr,
                                 nullptr) != S_OK;
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

TServerWindow* GListener = nullptr;

// The value record of the stand-in rules below, delivered by hand.
void Deliver(HWND To, uint32_t Id, bool Live) {
  SendRecord(To, Id, Live ? zelm::EncodeLiveRecord("1234.5", "Some title,unit") : zelm::EncodeTripRecord("12.5"));
}

// --- One server ------------------------------------------------------------------------

struct TFigures {
  double Label[2], Floor[2];   // by path
  double MessagesPerThousand;  // control messages the server received
  double RecordsPerThousand;   // value records it sent back
  int Dashes;                  // "-" answers in a frame after the warm-up: 0 when every value flows
};

// The extension as RideRunner starts it, with the slots of the skin mix: a live value, a
// trip figure, another live value and the trip figure with a Cyrillic letter in its code.
struct TStarted {
  TTestHost Host;
  TComPtr<IRRExtension> Ext;  // released first: it holds the host
  TStarted() : Ext(CreateByProgId()) {
    if (!Ext) return;
    Host.RouteTo = Ext.Get();
    Host.Variables = {{L"CheckEngineDinamicLabel", L"ce_speed"},
                      {L"CheckEngineDinamicLabel_1", L"ce_avgfuelperhour"},
                      {L"CheckEngineDinamicLabel_2", L"ce_o2b2s2"},
                      {L"CheckEngineDinamicLabel_3", L"ce_\u0440orse_power"}};
    Ext->Init(&Host);
    TBstr Path(L"C:\\Zelm");
    Ext->Initialize(Path.Get());
  }
};

int CountDashes(IRRExtension* Ext) {
  int Dashes = 0;
  for (auto Code : zelm::testing::cSkinMix)
    Dashes += Label(Ext, std::wstring(Code.begin(), Code.end())) == L"-";
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
long ListenerHeard() { return static_cast<long>(GListener->Received.size()); }
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
  if (const char* Failed = SetUpOwnDesktop()) {
    std::fprintf(stderr, "bench: %s\n", Failed);
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
    TStarted Started;
    if (!Started.Ext) {
      std::fprintf(stderr, "bench: cannot create ZelmKvel.RRExtension\n");
      return 2;
    }
    Print("stand-in", Run(Started.Ext.Get(), Frames, Runs, StandInHeard, StandInAnswered));
  }

  // A listener on our own thread; the values handed over once, by hand.
  {
    TServerWindow Listener;
    GListener = &Listener;
    TStarted Started;
    const HWND Announced = Listener.Announced();
    if (!Started.Ext || !Listener.Window() || !Announced) {
      std::fprintf(stderr, "bench: no listener or no announcement\n");
      return 2;
    }
    for (const auto& P : zelm::cParams) Deliver(Announced, P.Id, P.Kind == zelm::TParamKind::Live);
    Print("listener", Run(Started.Ext.Get(), Frames, Runs, ListenerHeard, ListenerAnswered));
    std::printf("FindWindowW(\"Morvicantrel\"), made for every control message: %.0f ns\n", FindWindowNs());
  }
  CoUninitialize();
  if (GFailures != 0) {
    std::printf("calls failed: %ld\n", GFailures);
    return 1;
  }
  return 0;
}
