// Skin commands and the dynamic label slots through the real DLL: which commands are
// ours, a slot's step, the host failing during one, any text in a host variable, and the
// commands the host hands back while our own call is on its stack.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "tests/wine/extension/SkinFixture.h"

namespace zelm::wine {
namespace {

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
