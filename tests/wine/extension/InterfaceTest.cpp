// The object's interface as a host sees it: created by ProgID through the registry,
// called through its vtable and through IDispatch::Invoke alike, its type information,
// and what it does with null pointers and results.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "tests/support/wine/Com.h"
#include "tests/support/wine/Pages.h"

namespace zelm::wine {
namespace {

constexpr HRESULT cUnexpected = static_cast<HRESULT>(0x8000FFFF);

// --- One road to every method: the vtable or IDispatch -----------------------------------

struct TAnswer {
  HRESULT Result = E_FAIL;
  std::wstring Text;
  bool operator==(const TAnswer& O) const { return Result == O.Result && Text == O.Text; }
};

std::ostream& operator<<(std::ostream& Out, const TAnswer& A) {
  return Out << std::hex << A.Result << std::dec << " '" << Narrow(A.Text) << "'";
}

class TCaller {
 public:
  TCaller(IRRExtension* Object, bool ByDispatch) : FObject(Object), FByDispatch(ByDispatch) {}

  TAnswer ProcessCommand(const wchar_t* Command, IDispatch* Skin) {
    TBstr Cmd(Command);
    TInOutWatch Watch(Cmd);
    if (!FByDispatch) {
      short Result = -1;
      IDispatch* SkinRef = Skin;
      const HRESULT H = FObject->ProcessCommand(Cmd.Ref(), &SkinRef, &Result);
      return {H, std::to_wstring(Result)};
    }
    return Invoke(L"ProcessCommand", {ByRef(Cmd.Ref()), ByValue(Skin)});
  }
  TAnswer ReturnLabel(const wchar_t* Code) {
    TBstr Label(Code), Tip(L"tip");
    TInOutWatch Watch(Label), WatchTip(Tip);
    if (!FByDispatch) {
      TBstr Result;
      const HRESULT H = FObject->ReturnLabel(Label.Ref(), Tip.Ref(), Result.Out());
      return {H, Result.Text()};
    }
    return Invoke(L"ReturnLabel", {ByRef(Label.Ref()), ByRef(Tip.Ref())});
  }
  TAnswer ReturnIndicatorEx(const wchar_t* Code) {
    TBstr Indicator(Code);
    TInOutWatch Watch(Indicator);
    if (!FByDispatch) {
      TBstr Result;
      const HRESULT H = FObject->ReturnIndicatorEx(Indicator.Ref(), Result.Out());
      return {H, Result.Text()};
    }
    return Invoke(L"ReturnIndicatorEx", {ByRef(Indicator.Ref())});
  }
  TAnswer IndicatorClick(const wchar_t* Code) {
    TBstr Indicator(Code);
    TInOutWatch Watch(Indicator);
    if (!FByDispatch) return {FObject->IndicatorClick(Indicator.Ref()), L""};
    return Invoke(L"IndicatorClick", {ByRef(Indicator.Ref())});
  }
  TAnswer ReturnSlider(const wchar_t* Code) {
    TBstr Slider(Code);
    TInOutWatch Watch(Slider);
    if (!FByDispatch) {
      TBstr Result;
      const HRESULT H = FObject->ReturnSlider(Slider.Ref(), Result.Out());
      return {H, Result.Text()};
    }
    return Invoke(L"ReturnSlider", {ByRef(Slider.Ref())});
  }
  TAnswer SetSlider(const wchar_t* Code, LONG Value, const wchar_t* Direction) {
    TBstr Slider(Code), Towards(Direction);
    TInOutWatch Watch(Slider), WatchDirection(Towards);
    const LONG Before = Value;
    TAnswer Answer;
    if (!FByDispatch)
      Answer = {FObject->SetSlider(Slider.Ref(), &Value, Towards.Ref()), L""};
    else
      Answer = Invoke(L"SetSlider", {ByRef(Slider.Ref()), ByRef(&Value), ByRef(Towards.Ref())});
    EXPECT_EQ(Value, Before) << "SetSlider wrote to Value";
    return Answer;
  }
  TAnswer Init(IDispatch* Host) {
    if (!FByDispatch) return {FObject->Init(Host), L""};
    return Invoke(L"Init", {ByValue(Host)});
  }
  TAnswer CommonListItemCount(IDispatch* Skin) {
    if (!FByDispatch) {
      LONG Result = -7;
      const HRESULT H = FObject->CommonListItemCount(Skin, &Result);
      return {H, std::to_wstring(Result)};
    }
    return Invoke(L"CommonListItemCount", {ByValue(Skin)});
  }
  TAnswer CommonListItem(IDispatch* Skin, LONG Index) {
    const LONG Before = Index;
    TAnswer Answer;
    if (!FByDispatch) {
      TBstr Result;
      Answer = {FObject->CommonListItem(Skin, &Index, Result.Out()), Result.Text()};
    } else {
      Answer = Invoke(L"CommonListItem", {ByValue(Skin), ByRef(&Index)});
    }
    EXPECT_EQ(Index, Before);
    return Answer;
  }
  TAnswer OnLoadSkin(IDispatch* Skin) {
    if (!FByDispatch) return {FObject->OnLoadSkin(Skin), L""};
    return Invoke(L"OnLoadSkin", {ByValue(Skin)});
  }
  TAnswer OnUnloadSkin(IDispatch* Skin) {
    if (!FByDispatch) return {FObject->OnUnloadSkin(Skin), L""};
    return Invoke(L"OnUnloadSkin", {ByValue(Skin)});
  }
  TAnswer Initialize(const wchar_t* Path) {
    TBstr Text(Path);
    if (!FByDispatch) return {FObject->Initialize(Text.Get()), L""};
    return Invoke(L"Initialize", {ByValue(Text.Get())});
  }
  TAnswer Enabled(bool State) {
    if (!FByDispatch) return {FObject->Enabled(State ? VARIANT_TRUE : VARIANT_FALSE), L""};
    return Invoke(L"Enabled", {ByValue(State)});
  }
  TAnswer Property(const wchar_t* Item) {
    TBstr Text(Item);
    TInOutWatch Watch(Text);
    if (!FByDispatch) return {FObject->Property(Text.Ref()), L""};
    return Invoke(L"Property", {ByRef(Text.Ref())});
  }

 private:
  // An in/out BSTR must come back as the very same string with the same text.
  struct TInOutWatch {
    explicit TInOutWatch(TBstr& Value) : FValue(Value), FPointer(Value.Get()), FText(Value.Text()) {}
    ~TInOutWatch() {
      EXPECT_EQ(FValue.Get(), FPointer) << "an in/out BSTR was replaced";
      EXPECT_EQ(FValue.Text(), FText) << "an in/out BSTR was changed";
    }
    TBstr& FValue;
    BSTR FPointer;
    std::wstring FText;
  };

  TAnswer Invoke(const wchar_t* Name, std::vector<VARIANT> Args) {
    const TInvokeAnswer Answer = InvokeByName(FObject, Name, std::move(Args));
    // A failure carries the method's own code.
    return {Answer.Result == DISP_E_EXCEPTION ? Answer.Code : Answer.Result, Answer.Text()};
  }

  IRRExtension* FObject;
  bool FByDispatch;
};

// A new object, made by its ProgID as a host makes it, and a host object to hand it
// (declared first: the object, which holds the host, goes first).
class Interface : public ::testing::Test {
 protected:
  void SetUp() override {
    Object = CreateByProgId();
    ASSERT_TRUE(Object);
  }
  TScriptedHost Host;
  TComPtr<IRRExtension> Object;
};

// --- Identity, interfaces, type information ---------------------------------------------

TEST_F(Interface, CreatedByProgIdAnswersExactlyItsInterfaces) {
  TComPtr<IUnknown> Identity;
  ASSERT_EQ(Object->QueryInterface(IID_IUnknown, Identity.OutVoid()), S_OK);
  for (const IID* Iid :
       {&IID_IUnknown, &IID_IDispatch, &IID_IRRExtension, &IID_ISupportErrorInfo, &IID_IProvideClassInfo}) {
    TComPtr<IUnknown> Answer, Back;
    EXPECT_EQ(Object->QueryInterface(*Iid, Answer.OutVoid()), S_OK);
    ASSERT_TRUE(Answer);
    Answer->QueryInterface(IID_IUnknown, Back.OutVoid());
    EXPECT_EQ(Back.Get(), Identity.Get());
  }
  for (const IID* Iid : {&IID_IClassFactory, &IID_IPersist, &IID_IConnectionPointContainer, &IID_IMarshal,
                         &__uuidof(IDispatchEx), &IID_IProvideClassInfo2}) {
    void* Answer = reinterpret_cast<void*>(1);
    EXPECT_EQ(Object->QueryInterface(*Iid, &Answer), E_NOINTERFACE);
    EXPECT_EQ(Answer, nullptr);
  }
  EXPECT_EQ(Object->QueryInterface(IID_IDispatch, nullptr), E_POINTER);

  TComPtr<ISupportErrorInfo> Support;
  ASSERT_EQ(Object->QueryInterface(IID_ISupportErrorInfo, Support.OutVoid()), S_OK);
  for (const IID* Iid :
       {&IID_IUnknown, &IID_IDispatch, &IID_IRRExtension, &IID_ISupportErrorInfo, &IID_IProvideClassInfo})
    EXPECT_EQ(Support->InterfaceSupportsErrorInfo(*Iid), S_OK);
  EXPECT_EQ(Support->InterfaceSupportsErrorInfo(IID_IPersist), S_FALSE);
  EXPECT_EQ(Support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);

  TComPtr<IProvideClassInfo> Provide;
  ASSERT_EQ(Object->QueryInterface(IID_IProvideClassInfo, Provide.OutVoid()), S_OK);
  TComPtr<ITypeInfo> Class;
  ASSERT_EQ(Provide->GetClassInfo(Class.Out()), S_OK);
  const TTypeAttr Attr(Class.Get());
  ASSERT_TRUE(Attr);
  EXPECT_EQ(Attr->typekind, TKIND_COCLASS);
  EXPECT_TRUE(IsEqualGUID(Attr->guid, CLSID_RRExtension));
  EXPECT_EQ(Provide->GetClassInfo(nullptr), E_POINTER);
}

TEST_F(Interface, TypeInformationAndNames) {
  UINT Count = 0;
  EXPECT_EQ(Object->GetTypeInfoCount(&Count), S_OK);
  EXPECT_EQ(Count, 1u);

  TComPtr<ITypeInfo> Info;
  ASSERT_EQ(Object->GetTypeInfo(0, 0, Info.Out()), S_OK);
  const TTypeAttr Attr(Info.Get());
  ASSERT_TRUE(Attr);
  EXPECT_EQ(Attr->typekind, TKIND_DISPATCH);  // the dispatch form, as the coclass lists it
  EXPECT_TRUE(IsEqualGUID(Attr->guid, IID_IRRExtension));
  ITypeInfo* Bad = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(Object->GetTypeInfo(1, 0, &Bad), DISP_E_BADINDEX);
  EXPECT_EQ(Bad, nullptr);
  EXPECT_EQ(Object->GetTypeInfo(0, 0, nullptr), E_POINTER);

  const wchar_t* Names[] = {L"ProcessCommand",
                            L"ReturnLabel",
                            L"ReturnIndicatorEx",
                            L"IndicatorClick",
                            L"ReturnSlider",
                            L"SetSlider",
                            L"Init",
                            L"CommonListItemCount",
                            L"CommonListItem",
                            L"OnLoadSkin",
                            L"OnUnloadSkin",
                            L"Initialize",
                            L"Enabled",
                            L"Property"};
  for (int I = 0; I < 14; ++I) EXPECT_EQ(IdOf(Object.Get(), Names[I]), 201 + I);
  for (const wchar_t* Spelling : {L"initialize", L"INITIALIZE", L"iNiTiAlIzE"})
    EXPECT_EQ(IdOf(Object.Get(), Spelling), 212);
  for (const wchar_t* Unknown : {L"Initialize_", L"Property_", L"GetHandle", L"WndProc"}) {
    LPOLESTR Name[] = {const_cast<LPOLESTR>(Unknown)};
    DISPID Id = 0;
    EXPECT_EQ(Object->GetIDsOfNames(IID_NULL, Name, 1, 0, &Id), DISP_E_UNKNOWNNAME);
  }
}

TEST_F(Interface, PutsAndForeignInterfaceIdsFindNoMember) {
  ASSERT_EQ(Object->Init(&Host), S_OK);
  TBstr Path(L"C:\\Zelm");
  for (WORD Flags :
       {WORD(DISPATCH_PROPERTYPUT), WORD(DISPATCH_PROPERTYPUTREF), WORD(DISPATCH_METHOD | DISPATCH_PROPERTYPUT)}) {
    VARIANT Arg = ByValue(Path.Get());
    DISPID Named = DISPID_PROPERTYPUT;
    DISPPARAMS Params = {&Arg, &Named, 1, 1};
    TVariant Result;
    UINT ArgumentError = 0;
    EXPECT_TRUE(FAILED(Object->Invoke(212, IID_NULL, 0, Flags, &Params, &Result.Get(), nullptr, &ArgumentError)))
        << "flags " << Flags;
  }
  // Initialize never ran: the host was not asked for anything.
  EXPECT_TRUE(Host.Calls.empty());

  VARIANT Arg = ByValue(Path.Get());
  DISPPARAMS Params = {&Arg, nullptr, 1, 0};
  EXPECT_EQ(Object->Invoke(212, IID_IRRExtension, 0, DISPATCH_METHOD, &Params, nullptr, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  EXPECT_TRUE(Host.Calls.empty());
  // With IID_NULL the same call goes through.
  EXPECT_EQ(Object->Invoke(212, IID_NULL, 0, DISPATCH_METHOD, &Params, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Host.CallsOf(L"GetInfo").size(), 16u);
}

// --- Both roads agree -------------------------------------------------------------------------

struct TRun {
  std::vector<TAnswer> Answers;
  std::vector<TScriptedHost::TCall> HostCalls;
};

TRun Drive(bool ByDispatch) {
  TRun Run;
  TComPtr<IRRExtension> Object = CreateByProgId();
  if (!Object) return Run;
  TScriptedHost Host, Skin;
  SetVar(Host, L"CheckEngineDinamicLabel", L"CE_Speed");
  SetVar(Host, L"CheckEngineDinamicLabel_3", L"ce_voltage");
  Skin.Name = u"ourskinname";
  // RideRunner hands "CE_Open" back to the extension's ProcessCommand.
  Host.OnExecute = [&](const TScriptedHost::TCall& Call) {
    if (Call.Args.at(0) != L"CE_Open") return;
    TBstr Command(L"CE_Open");
    short Result = -1;
    Object->ProcessCommand(Command.Ref(), nullptr, &Result);
    SetVar(Host, L"opened", std::to_wstring(Result));
  };
  TCaller C(Object.Get(), ByDispatch);
  auto& A = Run.Answers;
  A.push_back(C.ReturnIndicatorEx(L"ce_speed"));
  A.push_back(C.ReturnSlider(L"ce_speed"));
  A.push_back(C.CommonListItemCount(&Skin));  // no skin loaded yet
  A.push_back(C.Init(&Host));
  A.push_back(C.Initialize(L"C:\\Zelm"));
  A.push_back({S_OK, GetVar(Host, L"opened")});
  A.push_back(C.OnLoadSkin(&Skin));
  A.push_back(C.CommonListItemCount(nullptr));
  A.push_back(C.CommonListItem(nullptr, 0));
  A.push_back(C.CommonListItem(&Host, 7));
  A.push_back(C.ReturnLabel(L"ce_dinamic_label_name"));
  A.push_back(C.ReturnLabel(L"CE_DINAMIC_LABEL_3_NAME"));
  A.push_back(C.ReturnLabel(L"ce_speed"));
  A.push_back(C.ReturnLabel(L"ce_speed_title"));
  A.push_back(C.ReturnLabel(L"not ours"));
  A.push_back(C.ReturnLabel(L""));
  A.push_back(C.ProcessCommand(L"ce_next_dinamic_label_3", &Skin));
  A.push_back(C.ProcessCommand(L"CE_CLOSE", &Skin));
  A.push_back(C.ProcessCommand(L"ce_unknown", &Skin));
  A.push_back(C.ProcessCommand(L"", &Skin));
  A.push_back(C.IndicatorClick(L"ce_speed"));
  A.push_back(C.SetSlider(L"volume", 42, L"up"));
  A.push_back(C.Enabled(true));
  A.push_back(C.Property(L"item"));
  A.push_back(C.OnUnloadSkin(&Host));
  A.push_back(C.CommonListItemCount(&Skin));
  A.push_back(C.CommonListItem(&Skin, 0));
  Run.HostCalls = Host.Calls;
  for (const auto& Call : Skin.Calls) Run.HostCalls.push_back(Call);
  return Run;
}

TEST_F(Interface, VtableAndDispatchGiveTheSameAnswers) {
  const TRun ByVtable = Drive(false);
  const TRun ByDispatch = Drive(true);
  ASSERT_EQ(ByVtable.Answers.size(), 27u);
  for (std::size_t I = 0; I < ByVtable.Answers.size(); ++I)
    EXPECT_EQ(ByVtable.Answers[I], ByDispatch.Answers[I]) << "call " << I;

  // And the answers are the extension's, not just equal.
  const auto& A = ByVtable.Answers;
  // clang-format off
  const std::vector<TAnswer> Expected = {
      {S_OK, L"False"}, {S_OK, L""}, {S_OK, L"-1"}, {S_OK, L""}, {S_OK, L""}, {S_OK, L"2"}, {S_OK, L""},
      {S_OK, L"2"}, {S_OK, L"LSTc:\\1.txt\nItem 1"}, {S_OK, L"LSTc:\\2.txt\nItem 2"}, {S_OK, L"ce_speed"},
      {S_OK, L"ce_voltage"}, {S_OK, L"-"}, {S_OK, L"ce_speed"}, {S_OK, L""}, {S_OK, L""}, {S_OK, L"2"},
      {S_OK, L"2"}, {S_OK, L"0"}, {S_OK, L"0"}, {S_OK, L""}, {S_OK, L""}, {S_OK, L""}, {S_OK, L""},
      {S_OK, L""}, {S_OK, L"-1"}, {S_OK, L""}};
  // clang-format on
  for (std::size_t I = 0; I < Expected.size(); ++I) EXPECT_EQ(A[I], Expected[I]) << "call " << I;

  ASSERT_EQ(ByVtable.HostCalls.size(), ByDispatch.HostCalls.size());
  for (std::size_t I = 0; I < ByVtable.HostCalls.size(); ++I) {
    EXPECT_EQ(ByVtable.HostCalls[I].Name, ByDispatch.HostCalls[I].Name) << "host call " << I;
    EXPECT_EQ(ByVtable.HostCalls[I].Args, ByDispatch.HostCalls[I].Args) << "host call " << I;
  }
}

// What an IDispatch::Invoke left behind.
struct TOutcome {
  HRESULT Result;
  VARTYPE Type;
  std::wstring Text, Source, Description;
  SCODE Code;
  bool InfoLeft;
  bool operator==(const TOutcome&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const TOutcome& O) {
  return Out << std::hex << O.Result << std::dec << " vt " << O.Type << " '" << Narrow(O.Text) << "' "
             << Narrow(O.Source) << ": " << Narrow(O.Description) << " (" << std::hex << O.Code << std::dec
             << (O.InfoLeft ? ", error info left)" : ")");
}

// The label request has a dispatch of its own for the shapes hosts use: for the same
// call it must do what the type library's dispatcher does, answers and failures alike.
// Every member and every combination of the four DISPATCH_ flags is called with the
// label's arguments, so that the own road can be taken neither by another member nor
// by another kind of call (a property get alone is no method call).
TEST_F(Interface, TheLabelRequestsOwnDispatchDoesWhatTheGenericOneDoes) {
  SetVar(Host, L"CheckEngineDinamicLabel_2", L"Ce_Voltage");
  ASSERT_EQ(Object->Init(&Host), S_OK);
  // By value and by reference take our own road where it is ours; as VBScript passes
  // its variables (references to variants), the generic one always.
  enum TShape { cByValue, cByReference, cAsVariables };
  auto Call = [&](DISPID Member, WORD Flags, const wchar_t* Text, TShape Shape, bool WithException) {
    TBstr Code(Text), Tip(L"tip");
    VARIANT CodeRef = ByRef(Code.Ref()), TipRef = ByRef(Tip.Ref()), Args[2];
    if (Shape == cByValue) {
      Args[1] = ByValue(Code.Get());
      Args[0] = ByValue(Tip.Get());
    } else if (Shape == cAsVariables) {
      Args[1] = ByRef(&CodeRef);
      Args[0] = ByRef(&TipRef);
    } else {
      Args[1] = CodeRef;
      Args[0] = TipRef;
    }
    DISPPARAMS Params{Args, nullptr, 2, 0};
    TVariant Value;
    TExcepInfo Exception;
    const HRESULT Result = Object->Invoke(Member, IID_NULL, 0, Flags, &Params, &Value.Get(),
                                          WithException ? &Exception : nullptr, nullptr);
    const TInvokeAnswer Answer = ReadAnswer(Result, Value.Get(), Exception);
    TOutcome Out{Result,        Answer.Type(),      Answer.Type() == VT_BSTR ? Answer.Text() : L"",
                 Answer.Source, Answer.Description, Exception.scode,
                 false};
    Out.InfoLeft = TakeErrorInfo().Present;
    EXPECT_EQ(Code.Text(), Text);  // in/out, never written
    return Out;
  };
  constexpr WORD cAllFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
  for (const wchar_t* Code : {L"CE_Speed", L"ce_speed_unit", L"", L"ce_dinamic_label_2_name", L"other"}) {
    for (bool WithException : {true, false}) {
      for (bool HostFails : {false, true}) {
        // The slot's name asks the host, which fails: DISP_E_EXCEPTION, as the dispatcher says it.
        Host.FailWith.clear();
        if (HostFails) Host.FailWith[L"GetInfo"] = DISP_E_EXCEPTION;
        Host.ExceptionCode = static_cast<HRESULT>(0x80040201);
        Host.ExceptionDescription = L"No variables";
        for (DISPID Member = 200; Member <= 215; ++Member) {
          for (WORD Flags = 0; Flags <= cAllFlags; ++Flags) {
            const TOutcome Generic = Call(Member, Flags, Code, cAsVariables, WithException);
            for (TShape Shape : {cByValue, cByReference})
              EXPECT_EQ(Call(Member, Flags, Code, Shape, WithException), Generic)
                  << Narrow(Code) << ", member " << Member << ", flags " << Flags << ", shape " << Shape
                  << (HostFails ? ", failing" : "");
          }
        }
      }
    }
  }
  EXPECT_EQ(LabelByDispatch(Object.Get(), L"ce_dinamic_label_2_name"), L"<hr=0x80020009>");
}

// --- Pointers, results, lifetime ---------------------------------------------------------------

TEST_F(Interface, NullPointersAreRefusedOrIgnoredAsTheyAreUsed) {
  TBstr Code(L"ce_speed"), Result;
  short Short = 0;
  LONG Long = 0;
  EXPECT_EQ(Object->ReturnLabel(Code.Ref(), Code.Ref(), nullptr), E_POINTER);
  EXPECT_EQ(Object->ProcessCommand(Code.Ref(), nullptr, nullptr), E_POINTER);
  EXPECT_EQ(Object->ReturnIndicatorEx(Code.Ref(), nullptr), E_POINTER);
  EXPECT_EQ(Object->ReturnSlider(Code.Ref(), nullptr), E_POINTER);
  EXPECT_EQ(Object->CommonListItemCount(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(Object->CommonListItem(nullptr, &Long, nullptr), E_POINTER);
  EXPECT_EQ(Object->CommonListItem(nullptr, nullptr, Result.Out()), E_POINTER);
  EXPECT_EQ(Object->ReturnLabel(nullptr, nullptr, Result.Out()), E_POINTER);
  EXPECT_EQ(Object->ProcessCommand(nullptr, nullptr, &Short), E_POINTER);
  EXPECT_EQ(Object->GetTypeInfoCount(nullptr), E_POINTER);
  const TErrorInfo Info = TakeErrorInfo();
  EXPECT_TRUE(Info.Present);
  EXPECT_TRUE(IsEqualGUID(Info.Guid, IID_IRRExtension));

  // Parameters a method does not read may be null.
  EXPECT_EQ(Object->ReturnLabel(Code.Ref(), nullptr, Result.Out()), S_OK);
  EXPECT_EQ(Object->ReturnIndicatorEx(nullptr, Result.Out()), S_OK);
  EXPECT_EQ(Result.Text(), L"False");
  EXPECT_EQ(Object->ReturnSlider(nullptr, Result.Out()), S_OK);
  EXPECT_EQ(Object->IndicatorClick(nullptr), S_OK);
  EXPECT_EQ(Object->SetSlider(nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Object->Property(nullptr), S_OK);
  EXPECT_EQ(Object->Initialize(nullptr), cUnexpected);  // a null BSTR is the empty path; no host yet
  EXPECT_EQ(Object->ProcessCommand(Code.Ref(), nullptr, &Short), S_OK);
  EXPECT_EQ(Object->CommonListItem(nullptr, nullptr, Result.Out()), E_POINTER);
}

TEST_F(Interface, ResultsAreClearedBeforeAnythingCanFail) {
  // A label request whose code is missing: the result is null, not left as it was.
  const TBstr Stale(L"stale");
  BSTR Result = Stale.Get();
  EXPECT_EQ(Object->ReturnLabel(nullptr, nullptr, &Result), E_POINTER);
  EXPECT_EQ(Result, nullptr);

  // A step command whose host read fails leaves ecNone behind.
  Host.FailWith[L"GetInfo"] = E_FAIL;
  ASSERT_EQ(Object->Init(&Host), S_OK);
  TBstr Step(L"ce_next_dinamic_label");
  short Exit = 7;
  EXPECT_EQ(Object->ProcessCommand(Step.Ref(), nullptr, &Exit), E_FAIL);
  EXPECT_EQ(Exit, 0);
}

}  // namespace
}  // namespace zelm::wine
