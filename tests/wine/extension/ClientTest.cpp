// The object as a host sees it: created by ProgID through the registry, called through
// its vtable and through IDispatch::Invoke, with the error convention, the host
// binding (a C++ host object that fails on request) and its reference counting.
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
class Client : public ::testing::Test {
 protected:
  void SetUp() override {
    Object = CreateByProgId();
    ASSERT_TRUE(Object);
  }
  TScriptedHost Host;
  TComPtr<IRRExtension> Object;
};

// --- Identity, interfaces, type information ---------------------------------------------

TEST_F(Client, CreatedByProgIdAnswersExactlyItsInterfaces) {
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

TEST_F(Client, TypeInformationAndNames) {
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

TEST_F(Client, PutsAndForeignInterfaceIdsFindNoMember) {
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

TEST_F(Client, VtableAndDispatchGiveTheSameAnswers) {
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
TEST_F(Client, TheLabelRequestsOwnDispatchDoesWhatTheGenericOneDoes) {
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

// --- Start-up against the host -----------------------------------------------------------------

TEST_F(Client, InitializeReadsTheSixteenVariablesInOrderThenAsksForCeOpen) {
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

TEST_F(Client, ScriptObjectsThatOnlyNameThroughDispatchExServeAsHosts) {
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

TEST_F(Client, InitializeBeforeInitFailsWithErrorInfo) {
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

TEST_F(Client, HostFailuresBecomeOurErrors) {
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
TEST_F(Client, AFailingHostCallIsSaidOnceHoweverOftenItFails) {
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
TEST_F(Client, AtMostSixtyFourFailingHostCallsAreRemembered) {
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

TEST_F(Client, AFailedInvokeCarriesTheSystemText) {
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

TEST_F(Client, HostAnswersReadAsText) {
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

// --- Pointers, results, lifetime ---------------------------------------------------------------

TEST_F(Client, NullPointersAreRefusedOrIgnoredAsTheyAreUsed) {
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

TEST_F(Client, ResultsAreClearedBeforeAnythingCanFail) {
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

TEST_F(Client, AHostThatDropsUsInsideItsOwnCallDoesNotPullTheRug) {
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
