// The object and the host's objects: start-up against the host, the error convention
// when the host fails (a scripted host that fails on request), what the trace says of
// it, the host's answers read as text, and a host that lets go of us inside its call.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "tests/support/wine/Com.h"
#include "tests/support/wine/Pages.h"

namespace zelm::wine {
namespace {

constexpr HRESULT cUnexpected = static_cast<HRESULT>(0x8000FFFF);

// A new object, made by its ProgID as a host makes it, and a host object to hand it
// (declared first: the object, which holds the host, goes first).
class HostBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    Object = CreateByProgId();
    ASSERT_TRUE(Object);
  }
  TScriptedHost Host;
  TComPtr<IRRExtension> Object;
};

// --- Start-up against the host -----------------------------------------------------------------

TEST_F(HostBinding, InitializeReadsTheSixteenVariablesInOrderThenAsksForCeOpen) {
  ASSERT_EQ(Object->Init(&Host), S_OK);
  EXPECT_TRUE(Host.Calls.empty());  // Init only announces us to the data server
  TBstr Path(L"C:\\Zelm");
  ASSERT_EQ(Object->Initialize(Path.Get()), S_OK);

  ASSERT_EQ(Host.Calls.size(), 17u);
  for (int I = 0; I < 16; ++I) {
    const auto& Call = Host.Calls[static_cast<std::size_t>(I)];
    const std::wstring Variable =
        I == 0 ? L"CheckEngineDinamicLabel" : L"CheckEngineDinamicLabel_" + std::to_wstring(I);
    EXPECT_EQ(Call.Name, L"GetInfo");
    EXPECT_EQ(Call.Flags, DISPATCH_METHOD);
    EXPECT_EQ(Call.Types, std::vector<VARTYPE>{VT_BSTR});
    EXPECT_EQ(Call.Args, std::vector<std::wstring>{L"=$" + Variable + L"$"});
  }
  const auto& Open = Host.Calls[16];
  EXPECT_EQ(Open.Name, L"Execute");
  EXPECT_EQ(Open.Flags, DISPATCH_METHOD);
  EXPECT_EQ(Open.Types, (std::vector<VARTYPE>{VT_BSTR, VT_BOOL}));
  EXPECT_EQ(Open.Args, (std::vector<std::wstring>{L"CE_Open", L"false"}));

  // The skin's name goes out as method-or-property-get without arguments.
  TScriptedHost Skin;
  ASSERT_EQ(Object->OnLoadSkin(&Skin), S_OK);
  LONG Count = 0;
  ASSERT_EQ(Object->CommonListItemCount(nullptr, &Count), S_OK);
  EXPECT_EQ(Count, 2);
  ASSERT_EQ(Skin.Calls.size(), 1u);
  EXPECT_EQ(Skin.Calls[0].Name, L"SkinName");
  EXPECT_EQ(Skin.Calls[0].Flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  EXPECT_TRUE(Skin.Calls[0].Args.empty());
}

TEST_F(HostBinding, ScriptObjectsThatOnlyNameThroughDispatchExServeAsHosts) {
  Host.NamesOnlyThroughDispatchEx = true;
  SetVar(Host, L"CheckEngineDinamicLabel", L"ce_enginespeed");
  ASSERT_EQ(Object->Init(&Host), S_OK);
  TBstr Path(L"");
  ASSERT_EQ(Object->Initialize(Path.Get()), S_OK);
  EXPECT_EQ(Host.Calls.size(), 17u);
  TBstr Code(L"ce_dinamic_label_name"), Tip, Result;
  ASSERT_EQ(Object->ReturnLabel(Code.Ref(), Tip.Ref(), Result.Out()), S_OK);
  EXPECT_EQ(Result.Text(), L"ce_enginespeed");
}

// --- Error convention --------------------------------------------------------------------------

TEST_F(HostBinding, InitializeBeforeInitFailsWithErrorInfo) {
  SetErrorInfo(0, nullptr);
  TBstr Path(L"C:\\Zelm");
  EXPECT_EQ(Object->Initialize(Path.Get()), cUnexpected);
  const TErrorInfo Info = TakeErrorInfo();
  ASSERT_TRUE(Info.Present);
  EXPECT_TRUE(IsEqualGUID(Info.Guid, IID_IRRExtension));
  EXPECT_EQ(Info.Source, L"ZelmKvel.RRExtension");
  EXPECT_EQ(Info.Description, L"Invalid variant operation");
  EXPECT_EQ(Info.HelpContext, 0u);

  // Through IDispatch the same failure arrives as an exception.
  const TInvokeAnswer Answer = InvokeMember(Object.Get(), 212, {ByValue(Path.Get())});
  EXPECT_EQ(Answer.Result, DISP_E_EXCEPTION);
  EXPECT_EQ(Answer.Code, cUnexpected);
  EXPECT_EQ(Answer.Description, L"Invalid variant operation");
  EXPECT_EQ(Answer.Source, L"ZelmKvel.RRExtension");

  // The object is still usable afterwards.
  ASSERT_EQ(Object->Init(&Host), S_OK);
  EXPECT_EQ(Object->Initialize(Path.Get()), S_OK);
}

struct THostFailure {
  const char* Case;
  std::function<void(TScriptedHost&)> Arrange;
  HRESULT Code;
  std::wstring Description;
  DWORD HelpContext;
};

TEST_F(HostBinding, HostFailuresBecomeOurErrors) {
  const std::vector<THostFailure> Cases = {
      {"exception",
       [](TScriptedHost& H) {
         H.FailWith[L"GetInfo"] = DISP_E_EXCEPTION;
         H.ExceptionCode = static_cast<HRESULT>(0x80040200);
         H.ExceptionDescription = L"Variable store locked. . ";
         H.ExceptionHelpContext = 77;
       },
       static_cast<HRESULT>(0x80040200), L"Variable store locked", 77},
      {"exception ending in a line break, which is the host's own text",
       [](TScriptedHost& H) {
         H.FailWith[L"GetInfo"] = DISP_E_EXCEPTION;
         H.ExceptionCode = static_cast<HRESULT>(0x80040200);
         H.ExceptionDescription = L"Locked.\r\n";
       },
       static_cast<HRESULT>(0x80040200), L"Locked.\r\n", 0},
      {"exception without a failure code",
       [](TScriptedHost& H) {
         H.FailWith[L"GetInfo"] = DISP_E_EXCEPTION;
         H.ExceptionCode = 0;
         H.ExceptionDescription = L"No code";
       },
       cUnexpected, L"No code", 0},
      {"deferred exception",
       [](TScriptedHost& H) {
         H.FailWith[L"GetInfo"] = DISP_E_EXCEPTION;
         H.DeferredFillIn = true;
       },
       static_cast<HRESULT>(0x80040155), L"Filled in late", 0},
      {"missing method", [](TScriptedHost& H) { H.Missing = {L"GetInfo"}; }, cUnexpected,
       L"Method 'GetInfo' not supported by automation object", 0},
      {"null answer", [](TScriptedHost& H) { H.Answer[L"GetInfo"] = [](VARIANT& V) { V_VT(&V) = VT_NULL; }; },
       cUnexpected, L"Could not convert variant of type (Null) into type (OleStr)", 0},
      {"object answer",
       [](TScriptedHost& H) {
         H.Answer[L"GetInfo"] = [&H](VARIANT& V) {
           V_VT(&V) = VT_DISPATCH;
           V_DISPATCH(&V) = &H;
           H.AddRef();
         };
       },
       cUnexpected, L"Could not convert variant of type (Dispatch) into type (OleStr)", 0},
      {"failed invoke, no system text",
       [](TScriptedHost& H) { H.FailWith[L"GetInfo"] = static_cast<HRESULT>(0x8004DEAD); },
       static_cast<HRESULT>(0x8004DEAD), L"OLE error 8004DEAD", 0},
      // Malformed answers fail the call; the system's own copy would crash on them.
      {"reference to nothing",
       [](TScriptedHost& H) {
         H.Answer[L"GetInfo"] = [](VARIANT& V) {
           V_VT(&V) = VT_BYREF | VT_BSTR;
           V_BSTRREF(&V) = nullptr;
         };
       },
       cUnexpected, L"Could not convert variant of type (OleStr) into type (OleStr)", 0},
      {"type that does not exist",
       [](TScriptedHost& H) { H.Answer[L"GetInfo"] = [](VARIANT& V) { V_VT(&V) = 0x0FFF; }; }, cUnexpected,
       L"Could not convert variant of type ($0FFF) into type (OleStr)", 0},
  };
  TTraceLines Trace;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Case);
    TScriptedHost Scripted;
    TComPtr<IRRExtension> Fresh = CreateByProgId();
    ASSERT_TRUE(Fresh);
    Case.Arrange(Scripted);
    ASSERT_EQ(Fresh->Init(&Scripted), S_OK);
    TBstr Path(L"");
    Trace.Take();
    EXPECT_EQ(Fresh->Initialize(Path.Get()), Case.Code);
    const TErrorInfo Info = TakeErrorInfo();
    ASSERT_TRUE(Info.Present);
    EXPECT_EQ(Info.Description, Case.Description);
    // Said for whoever diagnoses a car, with the host's own words.
    std::wstring Said = Case.Description;
    while (!Said.empty() && (Said.back() == L'\n' || Said.back() == L'\r')) Said.pop_back();
    EXPECT_EQ(Trace.Take(),
              (std::vector<std::string>{"host call GetInfo(=$CheckEngineDinamicLabel$) failed (" +
                                        TraceHex(static_cast<uint32_t>(Case.Code)) + "): " + Narrow(Said)}));
    EXPECT_EQ(Info.HelpContext, Case.HelpContext);
    EXPECT_EQ(Info.Source, L"ZelmKvel.RRExtension");
    // The first read failed: nothing further was asked of the host.
    EXPECT_EQ(Scripted.CallsOf(L"Execute").size(), 0u);
    Fresh.Reset();
    EXPECT_EQ(Scripted.Refs, 0) << "the host was not released";
  }
}

// A skin shows the name of a slot whose variable the host cannot read beside one it
// can, both every frame: the failure is said once.
TEST_F(HostBinding, AFailingHostCallIsSaidOnceHoweverOftenItFails) {
  Host.FailWith[L"GetInfo(=$CheckEngineDinamicLabel_3$)"] = E_ACCESSDENIED;
  ASSERT_EQ(Object->Init(&Host), S_OK);
  TTraceLines Trace;
  for (int Frame = 0; Frame < 20; ++Frame) {
    EXPECT_EQ(Label(Object.Get(), L"ce_dinamic_label_2_name"), L"");
    EXPECT_EQ(Label(Object.Get(), L"ce_dinamic_label_3_name"), L"<hr=0x80070005>");
  }
  const std::vector<std::string> Said = Trace.Take("host call ");
  ASSERT_EQ(Said.size(), 1u);
  EXPECT_EQ(Said[0].rfind("host call GetInfo(=$CheckEngineDinamicLabel_3$) failed (0x80070005): ", 0), 0u) << Said[0];
}

// The calls failing now are remembered to say each once, at most 64 of them: a host
// whose every command fails keeps no ever longer list, and 65 different failing calls
// are said 64 times.
TEST_F(HostBinding, AtMostSixtyFourFailingHostCallsAreRemembered) {
  Host.FailWith[L"Execute"] = E_FAIL;
  ASSERT_EQ(Object->Init(&Host), S_OK);
  TTraceLines Trace;
  // A variable that holds no label code is written back as it is: each batch differs.
  for (int I = 0; I < 65; ++I) {
    SetVar(Host, L"CheckEngineDinamicLabel", L"v" + std::to_wstring(I));
    EXPECT_EQ(Command(Object.Get(), L"ce_next_dinamic_label"), -1);
  }
  EXPECT_EQ(Host.CallsOf(L"Execute").size(), 65u);
  const std::vector<std::string> Said = Trace.Take("host call ");
  ASSERT_EQ(Said.size(), 64u);
  for (int I = 0; I < 64; ++I)
    EXPECT_EQ(Said[static_cast<std::size_t>(I)].rfind(
                  "host call Execute(SETVAR;CheckEngineDinamicLabel;v" + std::to_string(I) + "||", 0),
              0u)
        << Said[static_cast<std::size_t>(I)];
}

TEST_F(HostBinding, AFailedInvokeCarriesTheSystemText) {
  Host.FailWith[L"GetInfo"] = DISP_E_TYPEMISMATCH;
  ASSERT_EQ(Object->Init(&Host), S_OK);
  TBstr Path(L"");
  EXPECT_EQ(Object->Initialize(Path.Get()), DISP_E_TYPEMISMATCH);
  const TErrorInfo Info = TakeErrorInfo();
  ASSERT_TRUE(Info.Present);
  ASSERT_FALSE(Info.Description.empty());
  EXPECT_NE(Info.Description.back(), L'.');
  EXPECT_NE(Info.Description.back(), L'\n');
  EXPECT_NE(Info.Description.back(), L' ');
  wchar_t System[256] = {};
  if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(DISP_E_TYPEMISMATCH), 0, System, 256, nullptr) > 0)
    EXPECT_EQ(std::wstring(System).rfind(Info.Description, 0), 0u) << "not the system's text";
  else
    EXPECT_EQ(Info.Description, L"OLE error 80020005");
}

// An answer by reference to a value that ends where the readable page ends: reading one
// byte past it faults.
template <class T>
std::function<void(VARIANT&)> AtPageEnd(VARTYPE Type, T Value) {
  return [Type, Value](VARIANT& V) {
    void* Place = LastBytesOfAPage(sizeof Value);
    std::memcpy(Place, &Value, sizeof Value);
    V_VT(&V) = static_cast<VARTYPE>(Type | VT_BYREF);
    V_BYREF(&V) = Place;
  };
}

TEST_F(HostBinding, HostAnswersReadAsText) {
  struct TCase {
    const char* Name;
    std::function<void(VARIANT&)> Answer;
    std::wstring Code;  // what slot 0 then holds, lowered
  };
  static TBstr Shared(L"CE_Voltage");
  const std::vector<TCase> Cases = {
      {"integer",
       [](VARIANT& V) {
         V_VT(&V) = VT_I4;
         V_I4(&V) = -42;
       },
       L"-42"},
      {"byte",
       [](VARIANT& V) {
         V_VT(&V) = VT_UI1;
         V_UI1(&V) = 200;
       },
       L"200"},
      {"boolean", [](VARIANT& V) { V = ByValue(true); }, L"true"},
      {"empty", [](VARIANT& V) { V_VT(&V) = VT_EMPTY; }, L""},
      {"by reference", [](VARIANT& V) { V = ByRef(Shared.Ref()); }, L"ce_voltage"},
      {"number by reference",
       [](VARIANT& V) {
         static LONG N = 7;
         V = ByRef(&N);
       },
       L"7"},
      {"variant by reference",
       [](VARIANT& V) {
         static VARIANT Inner = ByValue(Shared.Get());
         V = ByRef(&Inner);
       },
       L"ce_voltage"},
      {"byte at a page's end", AtPageEnd(VT_UI1, BYTE{200}), L"200"},
      {"short at a page's end", AtPageEnd(VT_I2, SHORT{-7}), L"-7"},
      {"Boolean at a page's end", AtPageEnd(VT_BOOL, VARIANT_TRUE), L"true"},
      {"long at a page's end", AtPageEnd(VT_I4, LONG{123456}), L"123456"},
      {"double at a page's end", AtPageEnd(VT_R8, 2.5), L"2.5"},
      {"64-bit integer at a page's end", AtPageEnd(VT_I8, LONGLONG{-9000000000}), L"-9000000000"},
      {"decimal at a page's end", AtPageEnd(VT_DECIMAL, DECIMAL{0, {{1, 0}}, 0, {{125, 0}}}), L"12.5"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TScriptedHost Scripted;
    TComPtr<IRRExtension> Fresh = CreateByProgId();
    ASSERT_TRUE(Fresh);
    Scripted.Answer[L"GetInfo"] = Case.Answer;
    ASSERT_EQ(Fresh->Init(&Scripted), S_OK);
    TBstr Path(L"");
    ASSERT_EQ(Fresh->Initialize(Path.Get()), S_OK);
    TBstr Code(L"ce_dinamic_label_name"), Tip, Result;
    ASSERT_EQ(Fresh->ReturnLabel(Code.Ref(), Tip.Ref(), Result.Out()), S_OK);
    EXPECT_EQ(Result.Text(), Case.Code);
    // Execute's answer is never used, so no place for one is handed over.
    ASSERT_EQ(Scripted.CallsOf(L"Execute").size(), 1u);
    EXPECT_FALSE(Scripted.CallsOf(L"Execute")[0].AnswerAsked);
    EXPECT_TRUE(Scripted.CallsOf(L"GetInfo")[0].AnswerAsked);
  }
}

TEST_F(HostBinding, AHostThatDropsUsInsideItsOwnCallDoesNotPullTheRug) {
  IRRExtension* Raw = Object.Get();
  ASSERT_EQ(Raw->Init(&Host), S_OK);
  // The host lets go of the extension (its last reference) while we wait for a
  // variable's value; the step still writes the slot and asks the host to save it.
  ULONG Left = 0;
  Host.Answer[L"GetInfo"] = [&](VARIANT& V) {
    Left = Object.Detach()->Release();  // the object holds itself meanwhile
    V_VT(&V) = VT_BSTR;
    V_BSTR(&V) = SysAllocString(L"ce_speed");
  };
  TBstr Step(L"ce_next_dinamic_label_2");
  short Exit = -1;
  EXPECT_EQ(Raw->ProcessCommand(Step.Ref(), nullptr, &Exit), S_OK);
  EXPECT_EQ(Exit, 2);
  EXPECT_GT(Left, 0u);
  ASSERT_EQ(Host.CallsOf(L"Execute").size(), 1u);
  EXPECT_EQ(Host.CallsOf(L"Execute")[0].Args.at(0),
            L"SETVAR;CheckEngineDinamicLabel_2;" + NextInCycle(L"ce_speed") +
                L"||SAVETOSKIN;CheckEngineDinamicLabel_2;$CheckEngineDinamicLabel_2$");
  // The object went once the call was done, and let go of the host.
  EXPECT_EQ(Host.Refs, 0);
}

}  // namespace
}  // namespace zelm::wine
