// Skin commands, dynamic label slots and widgets through the real DLL, created by its
// ProgID and driven as RideRunner drives it: through the vtable, and for some calls
// through IDispatch::Invoke. The host is the scripted host object of the Wine support,
// given a variable store that carries out the SETVAR/SAVETOSKIN batches we send.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/support/wine/Com.h"

namespace zelm::wine {
namespace {

constexpr HRESULT cUnexpected = static_cast<HRESULT>(0x8000FFFF);
constexpr short cNone = 0;
constexpr short cBreak = 2;

const std::wstring cFirstItem = L"LSTc:\\1.txt\nItem 1";
const std::wstring cSecondItem = L"LSTc:\\2.txt\nItem 2";

std::wstring Numbered(const wchar_t* Stem, int Slot) {
  return Slot == 0 ? std::wstring(Stem) : Stem + (L"_" + std::to_wstring(Slot));
}
std::wstring Variable(int Slot) { return Numbered(L"CheckEngineDinamicLabel", Slot); }
std::wstring LabelStem(int Slot) { return Numbered(L"ce_dinamic_label", Slot); }
std::wstring StepCommand(int Slot) { return Numbered(L"ce_next_dinamic_label", Slot); }
std::wstring UpdateBatch(int Slot, const std::wstring& Code) {
  const std::wstring V = Variable(Slot);
  return L"SETVAR;" + V + L";" + Code + L"||SAVETOSKIN;" + V + L";$" + V + L"$";
}

// --- The object under test ----------------------------------------------------------------

class SkinThroughDll : public ::testing::Test {
 protected:
  void SetUp() override {
    *Object.Out() = CreateByProgId().Detach();
    ASSERT_TRUE(Object);
    SetErrorInfo(0, nullptr);
    Skin.Name = u"OurSkinName";
    Other.Name = u"SomeoneElsesSkin";
  }
  // Whatever the test did, the object let go of every host object it was given.
  void TearDown() override {
    Object.Reset();
    EXPECT_EQ(Host.Refs, 0) << "host";
    EXPECT_EQ(Skin.Refs, 0) << "skin";
    EXPECT_EQ(Other.Refs, 0) << "other skin";
  }

  struct TCommand {
    HRESULT Result = E_FAIL;
    short Exit = -1;
  };

  // ProcessCommand through the vtable. The command BSTR must come back as the same
  // string with the same text, and the skin pointer untouched.
  TCommand Command(TBstr Cmd, IDispatch* SkinArgument = nullptr) {
    const BSTR Before = Cmd.Get();
    const std::wstring Text = Cmd.Text();
    const UINT Length = Cmd.IsNull() ? 0 : SysStringLen(Cmd.Get());
    IDispatch* SkinRef = SkinArgument;
    TCommand Out;
    Out.Exit = 7;  // anything but a valid exit code
    Out.Result = Object->ProcessCommand(Cmd.Ref(), &SkinRef, &Out.Exit);
    EXPECT_EQ(Cmd.Get(), Before) << "the command BSTR was replaced";
    EXPECT_EQ(Cmd.Text(), Text) << "the command text was changed";
    if (!Cmd.IsNull()) {
      EXPECT_EQ(SysStringLen(Cmd.Get()), Length);
    }
    EXPECT_EQ(SkinRef, SkinArgument) << "the skin pointer was changed";
    return Out;
  }
  TCommand Command(const std::wstring& Cmd, IDispatch* SkinArgument = nullptr) {
    return Command(TBstr(Cmd), SkinArgument);
  }

  std::wstring Label(const std::wstring& Code) { return wine::Label(Object.Get(), Code); }
  // The three labels of a slot as the skin shows them: value, title, unit.
  std::vector<std::wstring> SlotLabels(int Slot) {
    const std::wstring Stem = LabelStem(Slot);
    return {Label(Stem), Label(Stem + L"_title"), Label(Stem + L"_unit")};
  }
  // What the three labels show while the slot holds Code and its parameter is not
  // flowing (no data server here): "-", the code itself as title, "-".
  static std::vector<std::wstring> ShowingOff(const std::wstring& Code) { return {L"-", Code, L"-"}; }

  HRESULT Initialize() {
    TBstr Path(L"C:\\Zelm");
    return Object->Initialize(Path.Get());
  }

  std::vector<std::wstring> Batches() const {
    std::vector<std::wstring> Out;
    for (const auto& Call : Host.CallsOf(L"Execute")) Out.push_back(Call.Args.at(0));
    return Out;
  }

  TScriptedHost Host, Skin, Other;
  TComPtr<IRRExtension> Object;  // released first: it holds references to the three above
};

// --- Which commands are ours ---------------------------------------------------------------

TEST_F(SkinThroughDll, OpenAndCloseAreOursInAnyCaseWhateverSkinIsPassed) {
  ASSERT_EQ(Object->Init(&Host), S_OK);
  for (const wchar_t* Cmd : {L"ce_open", L"CE_Open", L"CE_OPEN", L"cE_oPeN", L"ce_close", L"CE_Close"}) {
    for (IDispatch* Passed :
         {static_cast<IDispatch*>(nullptr), static_cast<IDispatch*>(&Skin), static_cast<IDispatch*>(&Other)}) {
      const TCommand Answer = Command(std::wstring(Cmd), Passed);
      EXPECT_EQ(Answer.Result, S_OK) << Narrow(Cmd);
      EXPECT_EQ(Answer.Exit, cBreak) << Narrow(Cmd);
    }
  }
  // Opening and closing are the data server's business; neither the host nor any skin
  // object was asked anything, and no skin reference was kept.
  EXPECT_TRUE(Host.Calls.empty());
  EXPECT_TRUE(Skin.Calls.empty());
  EXPECT_TRUE(Other.Calls.empty());
  EXPECT_EQ(Skin.Refs, 0);
  EXPECT_EQ(Other.Refs, 0);

  // Through IDispatch the same: a 16-bit ecBreak.
  TBstr Cmd(L"CE_Open");
  const BSTR Before = Cmd.Get();
  const TInvokeAnswer Answer = InvokeByName(Object.Get(), L"ProcessCommand", {ByRef(Cmd.Ref()), ByValue(&Skin)});
  EXPECT_EQ(Answer.Result, S_OK);
  EXPECT_EQ(Answer.Type(), VT_I2);
  EXPECT_EQ(Answer.Number(), cBreak);
  EXPECT_EQ(Cmd.Get(), Before);
  EXPECT_EQ(Cmd.Text(), L"CE_Open");
}

TEST_F(SkinThroughDll, NearMissesAreLeftToTheHostAndTouchNothing) {
  for (int Slot = 0; Slot < 16; ++Slot) SetVar(Host, Variable(Slot), L"ce_speed");
  ASSERT_EQ(Object->Init(&Host), S_OK);
  ASSERT_EQ(Initialize(), S_OK);
  Host.Calls.clear();

  const std::vector<std::wstring> NearMisses = {
      L"ce_",
      L"ce_open ",
      L" ce_open",
      L"ce_opened",
      L"ce_clos",
      L"ce_next_dinamic_label_0",
      L"ce_next_dinamic_label_16",
      L"ce_next_dinamic_label_",
      L"ce_next_dinamic_label_01",
      L"ce_next_dynamic_label",
      L"ce_next_dinamic_label ",
      L"next_dinamic_label",
      L"",
      std::wstring(L"ce_close\0", 9),  // the length counts, not the first NUL
      std::wstring(L"ce_next_dinamic_label\0_3", 24),
      L"\u0441e_open",  // a Cyrillic letter that looks like c
  };
  for (const auto& Cmd : NearMisses) {
    const TCommand Answer = Command(Cmd, &Skin);
    EXPECT_EQ(Answer.Result, S_OK) << Narrow(Cmd);
    EXPECT_EQ(Answer.Exit, cNone) << Narrow(Cmd);
  }
  const TCommand Null = Command(TBstr(static_cast<const wchar_t*>(nullptr)));
  EXPECT_EQ(Null.Result, S_OK);
  EXPECT_EQ(Null.Exit, cNone);

  EXPECT_TRUE(Host.Calls.empty()) << "a command that is not ours asked the host " << Host.Calls.size() << " times";
  EXPECT_TRUE(Skin.Calls.empty());
  for (int Slot = 0; Slot < 16; ++Slot) EXPECT_EQ(SlotLabels(Slot), ShowingOff(L"ce_speed")) << "slot " << Slot;

  // A null command through IDispatch too.
  TBstr Missing;
  const TInvokeAnswer Answer = InvokeByName(Object.Get(), L"ProcessCommand", {ByRef(Missing.Ref()), ByValue(&Skin)});
  EXPECT_EQ(Answer.Result, S_OK);
  EXPECT_EQ(Answer.Number(), cNone);
  EXPECT_TRUE(Missing.IsNull());
}

TEST_F(SkinThroughDll, CommandsPassedAsVariablesLeaveTheCallersStringsTheirOwn) {
  // VBScript hands a variable to a by-reference parameter as a reference to its own
  // VARIANT. Whatever the dispatcher does with the argument, the string in that
  // VARIANT still belongs to the script afterwards: not freed, not replaced.
  SetVar(Host, Variable(3), L"ce_speed");
  ASSERT_EQ(Object->Init(&Host), S_OK);
  for (const wchar_t* Text : {L"ce_next_dinamic_label_3", L"CE_OPEN", L"somebody_elses"}) {
    SCOPED_TRACE(Narrow(Text));
    TBstr Mine(Text);
    VARIANT Variable;
    V_VT(&Variable) = VT_BSTR;
    V_BSTR(&Variable) = Mine.Get();
    VARIANT SkinVariable = ByValue(&Skin);
    const TInvokeAnswer Answer =
        InvokeByName(Object.Get(), L"ProcessCommand", {ByRef(&Variable), ByRef(&SkinVariable)});
    EXPECT_EQ(Answer.Result, S_OK);
    EXPECT_EQ(Answer.Number(), std::wstring(Text) == L"somebody_elses" ? cNone : cBreak);
    EXPECT_EQ(V_VT(&Variable), VT_BSTR);
    EXPECT_EQ(V_BSTR(&Variable), Mine.Get()) << "the script's string was replaced";
    EXPECT_EQ(V_VT(&SkinVariable), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&SkinVariable), static_cast<IDispatch*>(&Skin));
    // A string freed behind the script's back is the next one of its size handed out.
    std::vector<TBstr> Others;
    for (int I = 0; I < 8; ++I) Others.emplace_back(std::wstring(Mine.Text().size(), L'#'));
    EXPECT_EQ(Mine.Text(), Text) << "the script's string was freed";
    if (V_BSTR(&Variable) != Mine.Get()) Mine.Out();  // do not free it a second time
  }
  EXPECT_EQ(Skin.Refs, 0);
  EXPECT_EQ(SlotLabels(3), ShowingOff(NextInCycle(L"ce_speed")));
}

// --- Stepping a slot -------------------------------------------------------------------

TEST_F(SkinThroughDll, AStepReadsTheVariableSendsOneBatchAndTheSlotLabelsFollow) {
  for (int Slot = 0; Slot < 16; ++Slot) SetVar(Host, Variable(Slot), L"ce_voltage");
  SetVar(Host, Variable(0), L"CE_Speed");
  SetVar(Host, Variable(7), L"ce_accelaration");
  SetVar(Host, Variable(15), L"ce_start_signal");
  ASSERT_EQ(Object->Init(&Host), S_OK);
  ASSERT_EQ(Initialize(), S_OK);

  struct TCase {
    int Slot;
    std::wstring Command;
    std::wstring Next;
  };
  const std::vector<TCase> Cases = {
      {0, L"ce_next_dinamic_label", NextInCycle(L"ce_speed")},  // read in capitals, written back lowered
      {7, L"CE_NEXT_DINAMIC_LABEL_7", NextInCycle(L"ce_accelaration")},
      {15, L"Ce_Next_Dinamic_Label_15", NextInCycle(L"ce_start_signal")},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Narrow(Case.Command));
    Host.Calls.clear();
    const TCommand Answer = Command(Case.Command, &Other);
    ASSERT_EQ(Answer.Result, S_OK);
    EXPECT_EQ(Answer.Exit, cBreak);

    ASSERT_EQ(Host.Calls.size(), 2u);
    EXPECT_EQ(Host.Calls[0].Name, L"GetInfo");
    EXPECT_EQ(Host.Calls[0].Args, std::vector<std::wstring>{L"=$" + Variable(Case.Slot) + L"$"});
    EXPECT_EQ(Host.Calls[1].Name, L"Execute");
    EXPECT_EQ(Host.Calls[1].Flags, DISPATCH_METHOD);
    EXPECT_EQ(Host.Calls[1].Types, std::vector<VARTYPE>{VT_BSTR});
    EXPECT_EQ(Host.Calls[1].Args, std::vector<std::wstring>{UpdateBatch(Case.Slot, Case.Next)});
    EXPECT_TRUE(Host.Faults.empty());
    EXPECT_EQ(Saved(Host, Variable(Case.Slot)), Case.Next);

    EXPECT_EQ(SlotLabels(Case.Slot), ShowingOff(Case.Next));
    EXPECT_EQ(Label(LabelStem(Case.Slot) + L"_name"), Case.Next);
  }
  // The other slots kept what Initialize read.
  for (int Slot : {1, 2, 6, 8, 14}) EXPECT_EQ(SlotLabels(Slot), ShowingOff(L"ce_voltage")) << "slot " << Slot;
  EXPECT_TRUE(Other.Calls.empty()) << "the skin passed with a command was used";

  // The same step through IDispatch, with a fresh variable set behind our back: the
  // step starts from the host's variable, not from the slot's copy.
  SetVar(Host, Variable(7), L"ce_air_cond_rly");
  Host.Calls.clear();
  TBstr Cmd(L"ce_next_dinamic_label_7");
  const TInvokeAnswer Answer = InvokeByName(Object.Get(), L"ProcessCommand", {ByRef(Cmd.Ref()), ByValue(&Other)});
  EXPECT_EQ(Answer.Result, S_OK);
  EXPECT_EQ(Answer.Number(), cBreak);
  EXPECT_EQ(Batches(), std::vector<std::wstring>{UpdateBatch(7, NextInCycle(L"ce_air_cond_rly"))});
  EXPECT_EQ(SlotLabels(7), ShowingOff(NextInCycle(L"ce_air_cond_rly")));
  EXPECT_EQ(Cmd.Text(), L"ce_next_dinamic_label_7");
}

// The cycle itself is the core's (its native tests walk it); through the DLL, a step
// carries the Cyrillic letter of "ce_\u0440orse_power" into the host's variable and back,
// and the Latin spelling and the relay no step reaches stay where they are.
TEST_F(SkinThroughDll, StepsCarryTheCycleCodesIntoTheHostsVariableAndBack) {
  ASSERT_EQ(Object->Init(&Host), S_OK);
  const struct {
    const wchar_t *Before, *After;
  } Steps[] = {{L"ce_start_signal", L"ce_avgfuelperhour"},  {L"ce_avgfuelperhour", L"ce_\u0440orse_power"},
               {L"ce_\u0440orse_power", L"ce_fuelperdist"}, {L"ce_accelaration", L"ce_speed"},
               {L"ce_porse_power", L"ce_porse_power"},      {L"CE_FUEL_PUMP_RLY", L"ce_fuel_pump_rly"}};
  for (const auto& Step : Steps) {
    SCOPED_TRACE(Narrow(Step.Before));
    SetVar(Host, Variable(0), Step.Before);
    Host.Calls.clear();
    const TCommand Answer = Command(L"ce_next_dinamic_label");
    ASSERT_EQ(Answer.Result, S_OK);
    EXPECT_EQ(Answer.Exit, cBreak);
    EXPECT_EQ(Batches(), std::vector<std::wstring>{UpdateBatch(0, Step.After)});
    EXPECT_EQ(GetVar(Host, Variable(0)), Step.After);
    EXPECT_EQ(Saved(Host, Variable(0)), Step.After);
    EXPECT_EQ(Label(L"ce_dinamic_label_name"), Step.After);
  }
  EXPECT_EQ(SlotLabels(0), ShowingOff(L"ce_fuel_pump_rly"));
  EXPECT_TRUE(Host.Faults.empty());
}

// --- Failures of the host during a step ------------------------------------------------------

TEST_F(SkinThroughDll, AFailedReadFailsTheCommandAndLeavesTheSlotAsItWas) {
  struct TCase {
    const char* Name;
    HRESULT Fail;
    HRESULT Code;  // what the host told us, or what we carry
    std::wstring Description;
    HRESULT Reported;
  };
  const std::vector<TCase> Cases = {
      {"exception", DISP_E_EXCEPTION, static_cast<HRESULT>(0x80040201), L"Variables are locked",
       static_cast<HRESULT>(0x80040201)},
      {"exception without a failure code", DISP_E_EXCEPTION, 0, L"Not now", cUnexpected},
      {"plain failure", static_cast<HRESULT>(0x8004DEAD), 0, L"OLE error 8004DEAD", static_cast<HRESULT>(0x8004DEAD)},
  };
  SetVar(Host, Variable(4), L"ce_speed");
  ASSERT_EQ(Object->Init(&Host), S_OK);
  ASSERT_EQ(Command(L"ce_next_dinamic_label_4").Exit, cBreak);
  ASSERT_EQ(SlotLabels(4), ShowingOff(NextInCycle(L"ce_speed")));

  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    SetVar(Host, Variable(4), L"ce_voltage");  // what a successful step would start from
    Host.FailWith[L"GetInfo"] = Case.Fail;
    Host.ExceptionCode = Case.Code;
    Host.ExceptionDescription = Case.Description + L".";
    Host.Calls.clear();
    SetErrorInfo(0, nullptr);

    const TCommand Answer = Command(L"ce_next_dinamic_label_4");
    EXPECT_EQ(Answer.Result, Case.Reported);
    EXPECT_EQ(Answer.Exit, cNone) << "the exit code must be ecNone after a failure";
    const TErrorInfo Info = TakeErrorInfo();
    ASSERT_TRUE(Info.Present);
    EXPECT_TRUE(IsEqualGUID(Info.Guid, IID_IRRExtension));
    EXPECT_EQ(Info.Source, L"ZelmKvel.RRExtension");
    EXPECT_EQ(Info.Description, Case.Description);

    EXPECT_TRUE(Batches().empty()) << "nothing may be written after a failed read";
    EXPECT_EQ(GetVar(Host, Variable(4)), L"ce_voltage");
    Host.FailWith.clear();
    EXPECT_EQ(SlotLabels(4), ShowingOff(NextInCycle(L"ce_speed")));
  }

  // Through IDispatch the failure is an exception with our source and the host's code.
  Host.FailWith[L"GetInfo"] = DISP_E_EXCEPTION;
  Host.ExceptionCode = static_cast<HRESULT>(0x80040201);
  Host.ExceptionDescription = L"Variables are locked";
  TBstr Cmd(L"ce_next_dinamic_label_4");
  const TInvokeAnswer Answer = InvokeByName(Object.Get(), L"ProcessCommand", {ByRef(Cmd.Ref()), ByValue(&Skin)});
  EXPECT_EQ(Answer.Result, DISP_E_EXCEPTION);
  EXPECT_EQ(Answer.Code, static_cast<HRESULT>(0x80040201));
  EXPECT_EQ(Answer.Description, L"Variables are locked");
  EXPECT_EQ(Answer.Source, L"ZelmKvel.RRExtension");
  Host.FailWith.clear();
  EXPECT_EQ(SlotLabels(4), ShowingOff(NextInCycle(L"ce_speed")));
}

TEST_F(SkinThroughDll, AFailedWriteFailsTheCommandButTheSlotShowsTheNewCode) {
  SetVar(Host, Variable(9), L"ce_maf");
  Host.FailWith[L"Execute"] = DISP_E_EXCEPTION;
  Host.ExceptionCode = static_cast<HRESULT>(0x80040202);
  Host.ExceptionDescription = L"Skin is read-only. ";
  ASSERT_EQ(Object->Init(&Host), S_OK);

  const TCommand Answer = Command(L"ce_next_dinamic_label_9");
  EXPECT_EQ(Answer.Result, static_cast<HRESULT>(0x80040202));
  EXPECT_EQ(Answer.Exit, cNone);
  const TErrorInfo Info = TakeErrorInfo();
  ASSERT_TRUE(Info.Present);
  EXPECT_EQ(Info.Description, L"Skin is read-only");
  EXPECT_EQ(Batches(), std::vector<std::wstring>{UpdateBatch(9, NextInCycle(L"ce_maf"))});
  EXPECT_EQ(SlotLabels(9), ShowingOff(NextInCycle(L"ce_maf")));

  // A host that lacks Execute altogether: the same, with our own message.
  Host.FailWith.clear();
  Host.Missing = {L"Execute"};
  const TCommand Again = Command(L"ce_next_dinamic_label_9");
  EXPECT_EQ(Again.Result, cUnexpected);
  EXPECT_EQ(Again.Exit, cNone);
  EXPECT_EQ(TakeErrorInfo().Description, L"Method 'Execute' not supported by automation object");
  EXPECT_EQ(SlotLabels(9), ShowingOff(NextInCycle(L"ce_maf")));  // the variable still held ce_maf
}

TEST_F(SkinThroughDll, AHostWithoutGetInfoOrNoHostAtAllFailsTheStep) {
  for (bool ScriptLike : {false, true}) {  // names through GetIDsOfNames, or only IDispatchEx
    SCOPED_TRACE(ScriptLike ? "IDispatchEx names" : "IDispatch names");
    TScriptedHost Lacking;
    Lacking.Missing = {L"GetInfo"};
    Lacking.NamesOnlyThroughDispatchEx = ScriptLike;
    EXPECT_EQ(Object->Init(&Lacking), S_OK);
    const TCommand Answer = Command(L"ce_next_dinamic_label_3");
    EXPECT_EQ(Answer.Result, cUnexpected);
    EXPECT_EQ(Answer.Exit, cNone);
    const TErrorInfo Info = TakeErrorInfo();
    EXPECT_TRUE(Info.Present);
    EXPECT_EQ(Info.Description, L"Method 'GetInfo' not supported by automation object");
    EXPECT_EQ(Info.Source, L"ZelmKvel.RRExtension");
    EXPECT_TRUE(Lacking.CallsOf(L"Execute").empty());
    EXPECT_EQ(SlotLabels(3), (std::vector<std::wstring>{L"", L"", L""}));

    // A null host replaces it (and lets it go); a step then has nothing to call.
    EXPECT_EQ(Object->Init(nullptr), S_OK);  // no ASSERT before this: Lacking lives on this stack
    EXPECT_EQ(Lacking.Refs, 0);
    const TCommand NoHost = Command(L"ce_next_dinamic_label_3");
    EXPECT_EQ(NoHost.Result, cUnexpected);
    EXPECT_EQ(NoHost.Exit, cNone);
    EXPECT_EQ(TakeErrorInfo().Description, L"Invalid variant operation");
  }
  // The object is sound afterwards: a working host serves again.
  SetVar(Host, Variable(3), L"ce_speed");
  ASSERT_EQ(Object->Init(&Host), S_OK);
  EXPECT_EQ(Command(L"ce_next_dinamic_label_3").Exit, cBreak);
  EXPECT_EQ(SlotLabels(3), ShowingOff(NextInCycle(L"ce_speed")));
}

// --- Whatever a host variable holds ----------------------------------------------------------

TEST_F(SkinThroughDll, HostVariablesHoldingAnyTextAreNoError) {
  struct TCase {
    std::wstring Value;
    std::wstring Lowered;  // our copy of it: the 26 ASCII capitals lowered, nothing else
    std::wstring Shown;    // what the slot's value label then answers
  };
  const std::wstring Cyrillic = L"\u0421\u041a\u041e\u0420\u041e\u0421\u0422\u042c_\u65e5\u672c_\U0001F697";
  const std::vector<TCase> Cases = {
      {L"", L"", L""},
      {L"ce_speed_title", L"ce_speed_title", L"ce_speed"},  // the title code of a parameter that is off
      {L"CE_Speed_Unit", L"ce_speed_unit", L"-"},           // and its unit code
      {L"ce_porse_power", L"ce_porse_power", L""},          // Latin p: no parameter of ours
      {std::wstring(10000, L'X') + L"ce_", std::wstring(10000, L'x') + L"ce_", L""},
      {L"CE_" + Cyrillic, L"ce_" + Cyrillic, L""},  // Cyrillic capitals, CJK, a car (a surrogate pair)
      {L"ce_next_dinamic_label", L"ce_next_dinamic_label", L""},
      {L"$CheckEngineDinamicLabel$", L"$checkenginedinamiclabel$", L""},
  };
  ASSERT_EQ(Object->Init(&Host), S_OK);
  for (const auto& [Value, Lowered, Shown] : Cases) {
    SCOPED_TRACE(Narrow(Value));
    for (int Slot = 0; Slot < 16; ++Slot) SetVar(Host, Variable(Slot), Value);

    ASSERT_EQ(Initialize(), S_OK);
    EXPECT_EQ(Label(L"ce_dinamic_label_name"), Lowered);  // our copy, lowered
    EXPECT_EQ(Label(L"ce_dinamic_label_5_name"), Value);  // the host's variable as it is

    Host.Calls.clear();
    const TCommand Answer = Command(L"ce_next_dinamic_label_5");
    ASSERT_EQ(Answer.Result, S_OK);
    EXPECT_EQ(Answer.Exit, cBreak);
    // None of these is in the cycle: the step keeps the text, lowered, and still writes.
    EXPECT_EQ(Batches(), std::vector<std::wstring>{UpdateBatch(5, Lowered)});
    // The name shows the host's variable, which the batch set (a "$" in it the host
    // reads as a variable reference of its own).
    EXPECT_EQ(Label(L"ce_dinamic_label_5_name"), GetVar(Host, Variable(5)));
    if (Value.find(L'$') == std::wstring::npos) {
      EXPECT_EQ(Label(L"ce_dinamic_label_5_name"), Lowered);
    }
    EXPECT_EQ(Label(L"ce_dinamic_label_5"), Shown);
    // None of these with "_title" or "_unit" appended is a code of ours.
    EXPECT_EQ(Label(L"ce_dinamic_label_5_title"), L"");
    EXPECT_EQ(Label(L"ce_dinamic_label_5_unit"), L"");
  }
}

// --- Indicators and sliders ------------------------------------------------------------------

TEST_F(SkinThroughDll, IndicatorsAreFalseSlidersEmptyAndTheirCallsChangeNothing) {
  SetVar(Host, Variable(0), L"ce_speed");
  ASSERT_EQ(Object->Init(&Host), S_OK);
  ASSERT_EQ(Initialize(), S_OK);
  ASSERT_EQ(Object->OnLoadSkin(&Skin), S_OK);
  Host.Calls.clear();

  const std::vector<std::wstring> Codes = {L"",
                                           L"ce_speed",
                                           L"CE_OPEN",
                                           L"ce_next_dinamic_label",
                                           L"ce_dinamic_label",
                                           L"True",
                                           std::wstring(5000, L'i'),
                                           L"\u0440orse"};
  for (const auto& Code : Codes) {
    SCOPED_TRACE(Narrow(Code));
    TBstr Indicator(Code);
    const BSTR Before = Indicator.Get();
    // The answers go where a stale string of the caller's was: written over, not freed.
    const TBstr Stale(L"stale");
    BSTR Result = Stale.Get();
    ASSERT_EQ(Object->ReturnIndicatorEx(Indicator.Ref(), &Result), S_OK);
    TBstr Answer;
    if (Result != Stale.Get()) *Answer.Out() = Result;
    EXPECT_EQ(Answer.Text(), L"False");

    Result = Stale.Get();
    ASSERT_EQ(Object->ReturnSlider(Indicator.Ref(), &Result), S_OK);
    EXPECT_EQ(Result, nullptr) << "the empty text is a null BSTR";

    EXPECT_EQ(Object->IndicatorClick(Indicator.Ref()), S_OK);
    TBstr Direction(L"up");
    LONG Value = 42;
    EXPECT_EQ(Object->SetSlider(Indicator.Ref(), &Value, Direction.Ref()), S_OK);
    EXPECT_EQ(Value, 42);
    EXPECT_EQ(Direction.Text(), L"up");
    EXPECT_EQ(Indicator.Get(), Before);
    EXPECT_EQ(Indicator.Text(), Code);
  }
  TBstr Result;
  ASSERT_EQ(Object->ReturnIndicatorEx(nullptr, Result.Out()), S_OK);  // a null pointer to the code
  EXPECT_EQ(Result.Text(), L"False");
  TBstr NullCode;
  ASSERT_EQ(Object->ReturnIndicatorEx(NullCode.Ref(), Result.Out()), S_OK);  // a null code
  EXPECT_EQ(Result.Text(), L"False");

  // Nothing that clicks and slides did is visible: no host or skin call, the slot and
  // the list answer as before.
  EXPECT_TRUE(Host.Calls.empty());
  EXPECT_TRUE(Skin.Calls.empty());
  EXPECT_EQ(SlotLabels(0), ShowingOff(L"ce_speed"));
  LONG Count = 0;
  EXPECT_EQ(Object->CommonListItemCount(nullptr, &Count), S_OK);
  EXPECT_EQ(Count, 2);

  // Through IDispatch.
  TBstr Code(L"ce_speed");
  const TInvokeAnswer Indicator = InvokeByName(Object.Get(), L"ReturnIndicatorEx", {ByRef(Code.Ref())});
  EXPECT_EQ(Indicator.Result, S_OK);
  EXPECT_EQ(Indicator.Type(), VT_BSTR);
  EXPECT_EQ(Indicator.Text(), L"False");
  const TInvokeAnswer Slider = InvokeByName(Object.Get(), L"ReturnSlider", {ByRef(Code.Ref())});
  EXPECT_EQ(Slider.Result, S_OK);
  EXPECT_EQ(Slider.Text(), L"");
}

// --- The common list and the skin object ------------------------------------------------------

struct TList {
  HRESULT CountResult = E_FAIL;
  LONG Count = 0;
  std::vector<std::wstring> Items;  // for the indexes below
  std::vector<bool> Null;           // whether each item came back as a null BSTR
};
const LONG cIndexes[] = {0, 1, 2, 7, -1, INT_MAX, INT_MIN};

TList ReadList(IRRExtension* Object, IDispatch* Passed) {
  TList Out;
  Out.CountResult = Object->CommonListItemCount(Passed, &Out.Count);
  for (LONG Index : cIndexes) {
    LONG Asked = Index;
    TBstr Item;
    EXPECT_EQ(Object->CommonListItem(Passed, &Asked, Item.Out()), S_OK);
    EXPECT_EQ(Asked, Index);
    Out.Null.push_back(Item.IsNull());
    Out.Items.push_back(Item.Text());
  }
  return Out;
}

TEST_F(SkinThroughDll, TheListIsServedOnlyToASkinNamedOurSkinNameInAnyAsciiCase) {
  ASSERT_EQ(Object->OnLoadSkin(&Skin), S_OK);
  EXPECT_GE(Skin.Refs, 1) << "the skin object is held";
  for (const char16_t* Name : {u"OurSkinName", u"OURSKINNAME", u"ourskinname", u"oUrSkInNaMe"}) {
    SCOPED_TRACE(Narrow(reinterpret_cast<const wchar_t*>(Name)));
    Skin.Name = Name;
    for (IDispatch* Passed :
         {static_cast<IDispatch*>(nullptr), static_cast<IDispatch*>(&Skin), static_cast<IDispatch*>(&Other)}) {
      const TList List = ReadList(Object.Get(), Passed);
      EXPECT_EQ(List.CountResult, S_OK);
      EXPECT_EQ(List.Count, 2);
      ASSERT_EQ(List.Items[0], cFirstItem);
      for (std::size_t I = 1; I < List.Items.size(); ++I) EXPECT_EQ(List.Items[I], cSecondItem) << cIndexes[I];
    }
  }
  // The first item, character by character: 18 of them, a real backslash and a line feed.
  const std::wstring First = ReadList(Object.Get(), nullptr).Items[0];
  ASSERT_EQ(First.size(), 18u);
  EXPECT_EQ(First[5], L'\\');
  EXPECT_EQ(First[11], L'\n');
  EXPECT_TRUE(Other.Calls.empty()) << "the skin passed to a list call was used";

  for (const char16_t* Name : {u"OurSkinName ", u" OurSkinName", u"Our Skin Name", u"OurSkinNames", u"OurSkin", u"",
                               u"OurSkinNam\u0435", u"\u041eurSkinName"}) {
    SCOPED_TRACE(Narrow(reinterpret_cast<const wchar_t*>(Name)));
    Skin.Name = Name;
    const TList List = ReadList(Object.Get(), &Skin);  // passing it changes nothing either
    EXPECT_EQ(List.CountResult, S_OK);
    EXPECT_EQ(List.Count, -1);
    for (std::size_t I = 0; I < List.Items.size(); ++I) EXPECT_TRUE(List.Null[I]) << cIndexes[I];
  }

  // Through IDispatch: the held skin counts, not the argument.
  Skin.Name = u"OURSKINNAME";
  LONG Index = 0;
  const TInvokeAnswer Item = InvokeByName(Object.Get(), L"CommonListItem", {ByValue(&Other), ByRef(&Index)});
  EXPECT_EQ(Item.Result, S_OK);
  EXPECT_EQ(Item.Text(), cFirstItem);
  const TInvokeAnswer Answer =
      InvokeByName(Object.Get(), L"CommonListItemCount", {ByValue(static_cast<IDispatch*>(nullptr))});
  EXPECT_EQ(Answer.Result, S_OK);
  EXPECT_EQ(Answer.Type(), VT_I4);
  EXPECT_EQ(Answer.Number(), 2);
}

TEST_F(SkinThroughDll, WithoutAHeldSkinThereIsNoListAndNoSkinIsCalled) {
  auto ExpectNoList = [&](const char* When) {
    SCOPED_TRACE(When);
    const TList List = ReadList(Object.Get(), &Skin);  // our skin passed, but not held
    EXPECT_EQ(List.CountResult, S_OK);
    EXPECT_EQ(List.Count, -1);
    for (bool Null : List.Null) EXPECT_TRUE(Null);
  };
  ExpectNoList("before any skin was loaded");
  ASSERT_EQ(Object->OnLoadSkin(nullptr), S_OK);
  ExpectNoList("after a null skin was loaded");
  ASSERT_EQ(Object->OnLoadSkin(&Skin), S_OK);
  ASSERT_EQ(ReadList(Object.Get(), nullptr).Count, 2);
  Skin.Calls.clear();
  ASSERT_EQ(Object->OnUnloadSkin(&Skin), S_OK);
  EXPECT_EQ(Skin.Refs, 0);
  ExpectNoList("after the skin was unloaded");
  EXPECT_TRUE(Skin.Calls.empty()) << "a skin that is not held was asked its name";
}

TEST_F(SkinThroughDll, UnloadingReleasesTheHeldSkinWhicheverSkinIsNamed) {
  ASSERT_EQ(Object->OnLoadSkin(&Skin), S_OK);
  const long Held = Skin.Refs;
  EXPECT_GE(Held, 1);
  ASSERT_EQ(Object->OnUnloadSkin(&Other), S_OK);
  EXPECT_EQ(Skin.Refs, 0) << "the held skin was not released";
  EXPECT_EQ(Other.Refs, 0);
  EXPECT_EQ(ReadList(Object.Get(), nullptr).Count, -1);

  ASSERT_EQ(Object->OnLoadSkin(&Skin), S_OK);
  ASSERT_EQ(Object->OnUnloadSkin(nullptr), S_OK);
  EXPECT_EQ(Skin.Refs, 0);

  // A second load replaces the first and lets it go.
  ASSERT_EQ(Object->OnLoadSkin(&Other), S_OK);
  ASSERT_EQ(Object->OnLoadSkin(&Skin), S_OK);
  EXPECT_EQ(Other.Refs, 0);
  EXPECT_EQ(Skin.Refs, Held);
  EXPECT_EQ(ReadList(Object.Get(), nullptr).Count, 2);
  // Unloading twice is harmless.
  ASSERT_EQ(Object->OnUnloadSkin(&Skin), S_OK);
  ASSERT_EQ(Object->OnUnloadSkin(&Skin), S_OK);
  EXPECT_EQ(Skin.Refs, 0);
}

TEST_F(SkinThroughDll, ASkinWhoseNameCannotBeHadFailsTheListCalls) {
  struct TCase {
    const char* Name;
    std::function<void(TScriptedHost&)> Arrange;
    HRESULT Code;
    std::wstring Description;
  };
  const std::vector<TCase> Cases = {
      {"exception",
       [](TScriptedHost& S) {
         S.FailWith[L"SkinName"] = DISP_E_EXCEPTION;
         S.ExceptionCode = static_cast<HRESULT>(0x80040203);
         S.ExceptionDescription = L"Skin is closing...";
       },
       static_cast<HRESULT>(0x80040203), L"Skin is closing"},
      {"missing", [](TScriptedHost& S) { S.Missing = {L"SkinName"}; }, cUnexpected,
       L"Method 'SkinName' not supported by automation object"},
      {"null name", [](TScriptedHost& S) { S.Answer[L"SkinName"] = [](VARIANT& V) { V_VT(&V) = VT_NULL; }; },
       cUnexpected, L"Could not convert variant of type (Null) into type (OleStr)"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TScriptedHost Broken;
    Case.Arrange(Broken);
    EXPECT_EQ(Object->OnLoadSkin(&Broken), S_OK);

    LONG Count = 5;
    EXPECT_EQ(Object->CommonListItemCount(nullptr, &Count), Case.Code);
    TErrorInfo Info = TakeErrorInfo();
    EXPECT_TRUE(Info.Present);
    EXPECT_TRUE(IsEqualGUID(Info.Guid, IID_IRRExtension));
    EXPECT_EQ(Info.Source, L"ZelmKvel.RRExtension");
    EXPECT_EQ(Info.Description, Case.Description);

    LONG Index = 0;
    const TBstr Stale(L"stale");
    BSTR Item = Stale.Get();
    EXPECT_EQ(Object->CommonListItem(nullptr, &Index, &Item), Case.Code);
    EXPECT_EQ(Item, nullptr) << "a failed item call leaves the null text behind";
    Info = TakeErrorInfo();
    EXPECT_TRUE(Info.Present);
    EXPECT_EQ(Info.Description, Case.Description);

    EXPECT_EQ(Object->OnUnloadSkin(nullptr), S_OK);  // no ASSERT before this: Broken lives on this stack
    EXPECT_EQ(Broken.Refs, 0);
  }
  // A missing index pointer is refused before anything else.
  ASSERT_EQ(Object->OnLoadSkin(&Skin), S_OK);
  const TBstr Stale(L"stale");
  BSTR Item = Stale.Get();
  EXPECT_EQ(Object->CommonListItem(&Skin, nullptr, &Item), E_POINTER);
  EXPECT_EQ(Item, nullptr);
  EXPECT_TRUE(TakeErrorInfo().Present);
  LONG Index = 1;
  EXPECT_EQ(Object->CommonListItem(&Skin, &Index, nullptr), E_POINTER);
}

// --- Start-up: "CE_Open" comes back through the host -------------------------------------------

TEST_F(SkinThroughDll, CeOpenRoutedBackFromInsideExecuteCompletesInitialize) {
  for (int Slot = 0; Slot < 16; ++Slot) SetVar(Host, Variable(Slot), L"ce_speed");
  struct TRouted {
    HRESULT Result = E_FAIL;
    long Exit = -1;
    std::size_t HostCallsBefore = 0;
  };
  std::vector<TRouted> Routed;
  bool ByDispatch = false;
  // RideRunner hands its own command to every extension, ours included, while our
  // Execute call is still on the stack.
  Host.OnExecute = [&](const TScriptedHost::TCall& Call) {
    if (Call.Args.at(0) != L"CE_Open") return;
    TRouted R;
    R.HostCallsBefore = Host.Calls.size();
    TBstr Cmd(Call.Args.at(0));
    if (ByDispatch) {
      const TInvokeAnswer Answer = InvokeByName(Object.Get(), L"ProcessCommand", {ByRef(Cmd.Ref()), ByValue(&Host)});
      R.Result = Answer.Result;
      R.Exit = Answer.Number();
    } else {
      short Exit = -1;
      IDispatch* SkinRef = &Skin;
      R.Result = Object->ProcessCommand(Cmd.Ref(), &SkinRef, &Exit);
      R.Exit = Exit;
    }
    EXPECT_EQ(Cmd.Text(), L"CE_Open");
    Routed.push_back(R);
  };
  ASSERT_EQ(Object->Init(&Host), S_OK);

  ASSERT_EQ(Initialize(), S_OK);
  ASSERT_EQ(Routed.size(), 1u);
  EXPECT_EQ(Routed[0].Result, S_OK);
  EXPECT_EQ(Routed[0].Exit, cBreak);
  EXPECT_EQ(Routed[0].HostCallsBefore, 17u) << "routed after the 16 reads, from inside the 17th call";
  EXPECT_EQ(Host.Calls.size(), 17u) << "the routed command asked the host nothing";

  // Initialize may run again, this time with the host routing through IDispatch.
  ByDispatch = true;
  SetVar(Host, Variable(2), L"ce_voltage");
  TBstr Path(L"C:\\Zelm");
  const TInvokeAnswer Again = InvokeByName(Object.Get(), L"Initialize", {ByValue(Path.Get())});
  EXPECT_EQ(Again.Result, S_OK);
  ASSERT_EQ(Routed.size(), 2u);
  EXPECT_EQ(Routed[1].Result, S_OK);
  EXPECT_EQ(Routed[1].Exit, cBreak);

  // The object is sound afterwards: slots read at start-up, a step, the list.
  EXPECT_EQ(SlotLabels(2), ShowingOff(L"ce_voltage"));
  EXPECT_EQ(SlotLabels(11), ShowingOff(L"ce_speed"));
  Host.Calls.clear();
  EXPECT_EQ(Command(L"ce_next_dinamic_label_2").Exit, cBreak);
  EXPECT_EQ(Batches(), std::vector<std::wstring>{UpdateBatch(2, NextInCycle(L"ce_voltage"))});
  EXPECT_EQ(SlotLabels(2), ShowingOff(NextInCycle(L"ce_voltage")));
  EXPECT_EQ(Routed.size(), 2u) << "a step batch is no CE_Open";
  ASSERT_EQ(Object->OnLoadSkin(&Skin), S_OK);
  EXPECT_EQ(ReadList(Object.Get(), nullptr).Count, 2);
  EXPECT_GE(Skin.Refs, 1);
}

TEST_F(SkinThroughDll, AStepRoutedBackFromInsideAStepLeavesBothDone) {
  // A host that turns one slot's batch into another step command, re-entrantly: the
  // outer step has already stored its slot, so both slots end on their new codes.
  SetVar(Host, Variable(1), L"ce_speed");
  SetVar(Host, Variable(2), L"ce_maf");
  Host.OnExecute = [&](const TScriptedHost::TCall& Call) {
    if (Call.Args.at(0).find(L"SETVAR;" + Variable(1) + L";") == 0) {
      short Exit = -1;
      TBstr Cmd(StepCommand(2));
      EXPECT_EQ(Object->ProcessCommand(Cmd.Ref(), nullptr, &Exit), S_OK);
      EXPECT_EQ(Exit, cBreak);
    }
  };
  ASSERT_EQ(Object->Init(&Host), S_OK);
  const TCommand Answer = Command(StepCommand(1));
  EXPECT_EQ(Answer.Result, S_OK);
  EXPECT_EQ(Answer.Exit, cBreak);
  const std::wstring First = NextInCycle(L"ce_speed"), Second = NextInCycle(L"ce_maf");
  EXPECT_EQ(Batches(), (std::vector<std::wstring>{UpdateBatch(1, First), UpdateBatch(2, Second)}));
  EXPECT_EQ(SlotLabels(1), ShowingOff(First));
  EXPECT_EQ(SlotLabels(2), ShowingOff(Second));
  EXPECT_EQ(Saved(Host, Variable(1)), First);
  EXPECT_EQ(Saved(Host, Variable(2)), Second);
}

}  // namespace
}  // namespace zelm::wine
