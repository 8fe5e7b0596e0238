// Out of memory anywhere in a host's session: each allocation and resource call the DLL
// makes is failed in turn, alone and together with the 200 calls after it, each case in
// a fresh load of the DLL. Nothing ends, crashes or hangs the process; every answer is
// one the host may get; when memory returns the object shows fresh values again; the
// host's references are given back and the DLL unloads.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/protocol/Protocol.h"
#include "core/tables/Catalogue.h"
#include "tests/support/native/SkinMix.h"
#include "tests/support/wine/Com.h"
#include "tests/support/wine/DataServer.h"
#include "tests/support/wine/Imports.h"

namespace zelm::wine {
namespace {

// --- The DLL's calls that can fail for want of memory or resources ------------------------

// Numbers the DLL's failable calls from 1 while counting, and fails those in [From, To].
struct TPlan {
  bool Counting = false;
  long Calls = 0, From = 0, To = 0;
  std::map<std::string, long> ByFunction;
  bool Fails(const char* Function) {
    if (!Counting) return false;
    ++ByFunction[Function];
    ++Calls;
    return Calls >= From && Calls <= To;
  }
} GPlan;

decltype(&malloc) RealMalloc;
decltype(&calloc) RealCalloc;
decltype(&realloc) RealRealloc;
decltype(&SysAllocStringLen) RealSysAllocStringLen;
decltype(&VariantCopy) RealVariantCopy;
decltype(&VariantChangeType) RealVariantChangeType;
decltype(&CreateErrorInfo) RealCreateErrorInfo;
decltype(&LoadTypeLibEx) RealLoadTypeLibEx;
decltype(&CreateWindowExW) RealCreateWindowExW;
decltype(&RegisterClassExW) RealRegisterClassExW;
decltype(&SetWindowsHookExW) RealSetWindowsHookExW;

void* __cdecl Malloc(size_t Size) { return GPlan.Fails("malloc") ? nullptr : RealMalloc(Size); }
void* __cdecl Calloc(size_t Count, size_t Size) { return GPlan.Fails("calloc") ? nullptr : RealCalloc(Count, Size); }
void* __cdecl Realloc(void* Block, size_t Size) { return GPlan.Fails("realloc") ? nullptr : RealRealloc(Block, Size); }
BSTR WINAPI AllocString(const OLECHAR* Text, UINT Length) {
  return GPlan.Fails("SysAllocStringLen") ? nullptr : RealSysAllocStringLen(Text, Length);
}
HRESULT WINAPI CopyVariant(VARIANTARG* To, VARIANTARG* From) {
  return GPlan.Fails("VariantCopy") ? E_OUTOFMEMORY : RealVariantCopy(To, From);
}
HRESULT WINAPI ChangeType(VARIANTARG* To, VARIANTARG* From, USHORT Flags, VARTYPE Type) {
  return GPlan.Fails("VariantChangeType") ? E_OUTOFMEMORY : RealVariantChangeType(To, From, Flags, Type);
}
HRESULT WINAPI MakeErrorInfo(ICreateErrorInfo** Out) {
  if (!GPlan.Fails("CreateErrorInfo")) return RealCreateErrorInfo(Out);
  *Out = nullptr;
  return E_OUTOFMEMORY;
}
HRESULT WINAPI LoadLibraryOfTypes(LPCOLESTR Path, REGKIND Kind, ITypeLib** Out) {
  if (!GPlan.Fails("LoadTypeLibEx")) return RealLoadTypeLibEx(Path, Kind, Out);
  *Out = nullptr;
  return E_OUTOFMEMORY;
}
HWND WINAPI MakeWindow(DWORD ExStyle, LPCWSTR Class, LPCWSTR Title, DWORD Style, int X, int Y, int Width, int Height,
                       HWND Parent, HMENU Menu, HINSTANCE Instance, LPVOID Param) {
  if (!GPlan.Fails("CreateWindowExW"))
    return RealCreateWindowExW(ExStyle, Class, Title, Style, X, Y, Width, Height, Parent, Menu, Instance, Param);
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}
ATOM WINAPI MakeClass(const WNDCLASSEXW* Class) {
  return GPlan.Fails("RegisterClassExW") ? 0 : RealRegisterClassExW(Class);
}
HHOOK WINAPI MakeHook(int Kind, HOOKPROC Hook, HINSTANCE Instance, DWORD Thread) {
  return GPlan.Fails("SetWindowsHookExW") ? nullptr : RealSetWindowsHookExW(Kind, Hook, Instance, Thread);
}

// Points the freshly loaded DLL's imports at the failing calls; false when one is missing.
bool PatchAll(HMODULE Dll) {
  bool All = true;
  auto Patch = [&](const char* From, const char* Name, auto*& Real, auto* Replacement) {
    Real = PatchImport(Dll, From, Name, Replacement);
    All = All && Real != nullptr;
  };
  Patch("msvcrt.dll", "malloc", RealMalloc, &Malloc);
  Patch("msvcrt.dll", "calloc", RealCalloc, &Calloc);
  Patch("msvcrt.dll", "realloc", RealRealloc, &Realloc);
  Patch("oleaut32.dll", "SysAllocStringLen", RealSysAllocStringLen, &AllocString);
  Patch("oleaut32.dll", "VariantCopy", RealVariantCopy, &CopyVariant);
  Patch("oleaut32.dll", "VariantChangeType", RealVariantChangeType, &ChangeType);
  Patch("oleaut32.dll", "LoadTypeLibEx", RealLoadTypeLibEx, &LoadLibraryOfTypes);
  Patch("ole32.dll", "CreateErrorInfo", RealCreateErrorInfo, &MakeErrorInfo);
  Patch("user32.dll", "CreateWindowExW", RealCreateWindowExW, &MakeWindow);
  Patch("user32.dll", "RegisterClassExW", RealRegisterClassExW, &MakeClass);
  Patch("user32.dll", "SetWindowsHookExW", RealSetWindowsHookExW, &MakeHook);
  return All;
}

// --- A data server on our thread, with a reading for every parameter ------------------

class TValueServer {
 public:
  TValueServer() {
    for (const TParamInfo& P : cParams)
      FServer.Server().Rule("value " + std::to_string(P.Id) +
                            (P.Kind == TParamKind::Trip ? " 12.5" : " 12|Title,unit"));
  }
  // A new reading of the speed, sent with everything subscribed, as a data server sends
  // them on its own.
  std::wstring Next() {
    FServer.Server().Rule("value 1 v" + std::to_string(++FGeneration) + "|Speed,km/h");
    FServer.Server().Server().Tick(0);
    return L"v" + std::to_wstring(FGeneration);
  }

 private:
  TLocalServer FServer;
  long FGeneration = 0;
};

// --- One host's session: a skin's labels (tests/support/native/SkinMix.h), 200 requests --------

// A failed call answers the contract's code, with our error information or none (when
// making it failed too).
void Answered(std::vector<std::string>& Problems, const char* Call, HRESULT Result,
              std::initializer_list<HRESULT> Allowed, bool OurInfo = true) {
  const TErrorInfo Info = TakeErrorInfo();
  bool Known = false;
  for (HRESULT A : Allowed) Known = Known || Result == A;
  char Text[160];
  if (!Known) {
    std::snprintf(Text, sizeof Text, "%s answered 0x%08lX", Call, static_cast<unsigned long>(Result));
    Problems.push_back(Text);
  } else if (FAILED(Result) && Info.Present && OurInfo &&
             (!IsEqualGUID(Info.Guid, IID_IRRExtension) || Info.Source != L"ZelmKvel.RRExtension" ||
              Info.Description.empty())) {
    std::snprintf(Text, sizeof Text, "%s failed with foreign error information '%s'", Call,
                  Narrow(Info.Description).c_str());
    Problems.push_back(Text);
  }
}

struct TOutcome {
  std::vector<std::string> Problems;
  long RequestsToFresh = 0;
};

// Loads the DLL, runs the session with GPlan failing calls From..To (0: none), and answers
// what went wrong. The calls made while the test checks the healing are not counted.
TOutcome RunSession(TValueServer& Server, long From, long To) {
  TOutcome Out;
  auto& Problems = Out.Problems;
  const HMODULE Dll = LoadLibraryW(DllPath().c_str());
  if (!Dll || !PatchAll(Dll)) {
    Problems.push_back("the DLL or one of its imports is missing");
    return Out;
  }
  const auto GetClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(Dll, "DllGetClassObject")));
  const auto CanUnloadNow =
      reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(Dll, "DllCanUnloadNow")));
  GPlan = {true, 0, From, To, {}};
  {
    TScriptedHost Host, Skin;
    TComPtr<IClassFactory> Factory;
    TComPtr<IRRExtension> Object;
    const TBstr Path(L"C:\\Zelm");
    // The start-up calls, made again while healing when they failed.
    HRESULT Init = E_FAIL, Initialize = E_FAIL, LoadSkin = E_FAIL;
    auto StartUp = [&] {
      if (!Factory) {
        const HRESULT Got = GetClassObject(CLSID_RRExtension, IID_IClassFactory, Factory.OutVoid());
        Answered(Problems, "DllGetClassObject", Got, {S_OK, E_OUTOFMEMORY}, false);
      }
      if (Factory && !Object) {
        Answered(Problems, "CreateInstance", Factory->CreateInstance(nullptr, IID_IRRExtension, Object.OutVoid()),
                 {S_OK, E_UNEXPECTED}, false);
        RouteTo(Host, Object.Get());
      }
      if (!Object) return;
      if (FAILED(Init)) Answered(Problems, "Init", Init = Object->Init(&Host), {S_OK, E_UNEXPECTED});
      if (FAILED(Initialize))
        Answered(Problems, "Initialize", Initialize = Object->Initialize(Path.Get()), {S_OK, E_UNEXPECTED});
      if (FAILED(LoadSkin))
        Answered(Problems, "OnLoadSkin", LoadSkin = Object->OnLoadSkin(&Skin), {S_OK, E_UNEXPECTED});
    };
    StartUp();
    if (Object) {
      IRRExtension* X = Object.Get();
      for (std::size_t I = 0; I < 200; ++I) {
        TBstr Code(testing::cSkinMix[I % testing::cSkinMix.size()]), Tip, Label;
        if (I % 20 != 0) {
          Answered(Problems, "ReturnLabel", X->ReturnLabel(Code.Ref(), Tip.Ref(), Label.Out()), {S_OK, E_UNEXPECTED});
          continue;
        }
        // Now and then as a script asks, its variables passed by reference.
        VARIANT CodeVariable = ByValue(Code.Get()), TipVariable = ByValue(Tip.Get());
        TVariant Answer;
        TExcepInfo Exception;
        Answered(Problems, "Invoke(ReturnLabel)",
                 CallDispatch(X, 202, {ByRef(&CodeVariable), ByRef(&TipVariable)}, &Answer.Get(), &Exception),
                 {S_OK, DISP_E_EXCEPTION, E_OUTOFMEMORY}, false);
      }
      short Exit = 0;
      for (const wchar_t* Command : {L"ce_next_dinamic_label", L"ce_close", L"ce_open"}) {
        TBstr Text(Command);
        Answered(Problems, "ProcessCommand", X->ProcessCommand(Text.Ref(), nullptr, &Exit), {S_OK, E_UNEXPECTED});
      }
      TBstr Widget(L"ce_widget"), Answer, Direction(L"up");
      LONG Value = 3, Count = 0, Index = 0;
      Answered(Problems, "ReturnIndicatorEx", X->ReturnIndicatorEx(Widget.Ref(), Answer.Out()), {S_OK, E_UNEXPECTED});
      Answered(Problems, "IndicatorClick", X->IndicatorClick(Widget.Ref()), {S_OK, E_UNEXPECTED});
      Answered(Problems, "ReturnSlider", X->ReturnSlider(Widget.Ref(), Answer.Out()), {S_OK, E_UNEXPECTED});
      Answered(Problems, "SetSlider", X->SetSlider(Widget.Ref(), &Value, Direction.Ref()), {S_OK, E_UNEXPECTED});
      Answered(Problems, "CommonListItemCount", X->CommonListItemCount(&Skin, &Count), {S_OK, E_UNEXPECTED});
      Answered(Problems, "CommonListItem", X->CommonListItem(&Skin, &Index, Answer.Out()), {S_OK, E_UNEXPECTED});
      Answered(Problems, "Enabled", X->Enabled(VARIANT_TRUE), {S_OK, E_UNEXPECTED});
      Answered(Problems, "Property", X->Property(Widget.Ref()), {S_OK, E_UNEXPECTED});
    }

    // Memory is back: a host that saw a start-up call fail makes it again, and within a
    // second of label requests (the host's frames) the values are fresh.
    GPlan.Counting = false;
    StartUp();
    if (!Object || FAILED(Init) || FAILED(Initialize) || FAILED(LoadSkin)) {
      Problems.push_back("the start-up fails after memory came back");
    } else {
      const std::wstring Fresh = Server.Next();
      while (Out.RequestsToFresh < 250 && Label(Object.Get(), L"ce_speed") != Fresh) ++Out.RequestsToFresh;
      if (Out.RequestsToFresh == 250) Problems.push_back("no fresh value within 250 label requests");
    }

    // The end of the session, counted again.
    GPlan.Counting = true;
    if (Object) Answered(Problems, "OnUnloadSkin", Object->OnUnloadSkin(&Skin), {S_OK, E_UNEXPECTED});
    Host.Route = nullptr;
    Object.Reset();
    Factory.Reset();
    GPlan.Counting = false;
    if (Host.Refs != 0 || Skin.Refs != 0) Problems.push_back("the host's objects were not all released");
  }
  if (CanUnloadNow() != S_OK) Problems.push_back("DllCanUnloadNow does not let the DLL go");
  FreeLibrary(Dll);
  if (GetModuleHandleW(L"ZelmKvel.dll") != nullptr) Problems.push_back("the DLL is still loaded");
  return Out;
}

// The case running now, for whoever reads how the process ended.
char GRunning[64] = "";
void SayWhatEnded(int) {
  std::fprintf(stderr, "the process was aborted in the case %s\n", GRunning);
  std::fflush(stderr);
  std::_Exit(3);
}

TEST(OutOfMemory, AnywhereInASessionEndsNothingAndTheObjectHeals) {
  TValueServer Server;
  const TOutcome Clean = RunSession(Server, 0, 0);
  ASSERT_EQ(Clean.Problems, std::vector<std::string>{}) << "the session fails with memory to spare";
  const long Calls = GPlan.Calls;
  std::printf("a session makes %ld calls that can fail:", Calls);
  for (const auto& [Function, Count] : GPlan.ByFunction) std::printf(" %s %ld", Function.c_str(), Count);
  std::printf("\n");
  ASSERT_GT(Calls, 200);

  std::signal(SIGABRT, SayWhatEnded);
  // Every call alone, and every call with the 200 after it (memory short for a while).
  const long Step = Calls > 600 ? Calls / 300 : 1;
  long Cases = 0, SlowestHealing = 0;
  for (const long Run : {0L, 200L}) {
    for (long N = 1; N <= Calls; N += Step) {
      std::snprintf(GRunning, sizeof GRunning, "call %ld failing%s", N, Run ? " with the 200 after it" : " alone");
      const TOutcome Outcome = RunSession(Server, N, N + Run);
      for (const std::string& Problem : Outcome.Problems) ADD_FAILURE() << GRunning << ": " << Problem;
      SlowestHealing = std::max(SlowestHealing, Outcome.RequestsToFresh);
      ++Cases;
    }
  }
  std::signal(SIGABRT, SIG_DFL);
  std::printf(
      "ran %ld cases (every %ld. call, alone and with the 200 after it); fresh values after at most %ld "
      "label requests\n",
      Cases, Step, SlowestHealing);
}

// --- What each load leaves behind ------------------------------------------------------------

SIZE_T BusyHeap() {
  HANDLE Heaps[64];
  const DWORD Count = GetProcessHeaps(64, Heaps);
  SIZE_T Busy = 0;
  for (DWORD I = 0; I < Count && I < 64; ++I) {
    PROCESS_HEAP_ENTRY Entry{};
    HeapLock(Heaps[I]);
    while (HeapWalk(Heaps[I], &Entry))
      if (Entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) Busy += Entry.cbData;
    HeapUnlock(Heaps[I]);
  }
  return Busy;
}

int OpenHandles() {
  int Open = 0;
  for (ULONG_PTR Handle = 4; Handle < 0x10000; Handle += 4) {
    DWORD Flags = 0;
    Open += GetHandleInformation(reinterpret_cast<HANDLE>(Handle), &Flags) != FALSE;
  }
  return Open;
}

// A front-end that loads and unloads its extensions for months: each load, with a failure
// thrown inside, leaves no heap behind (the runtime's emergency pool of exceptions is
// given back), and at most the one semaphore that the unwinder makes when the DLL's
// tables are registered at load, which nothing can close.
TEST(OutOfMemory, EachUnloadGivesBackWhatTheRuntimeTook) {
  auto Cycle = [] {
    TLoadedServer Dll(DllPath());
    TComPtr<IRRExtension> Object = Dll.Create();
    ASSERT_TRUE(Object);
    const TBstr Path(L"");
    EXPECT_EQ(Object->Initialize(Path.Get()), static_cast<HRESULT>(0x8000FFFF));  // before Init: thrown inside
    TakeErrorInfo();
  };
  Cycle();  // what the system keeps from the first load on
  const SIZE_T Heap = BusyHeap();
  const int Handles = OpenHandles();
  constexpr int cLoads = 10;
  for (int I = 0; I < cLoads; ++I) Cycle();
  EXPECT_LT(static_cast<long long>(BusyHeap()) - static_cast<long long>(Heap), 1024)
      << "heap left behind by " << cLoads << " loads";
  EXPECT_LE(OpenHandles() - Handles, cLoads) << "handles left behind by " << cLoads << " loads";
  EXPECT_EQ(GetModuleHandleW(L"ZelmKvel.dll"), nullptr);
}

}  // namespace
}  // namespace zelm::wine
