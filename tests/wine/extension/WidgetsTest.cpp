// The widgets through the real DLL: indicators, sliders, the common list and the skin
// object it is asked for.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "tests/wine/extension/SkinFixture.h"

namespace zelm::wine {
namespace {

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

}  // namespace
}  // namespace zelm::wine
