// What the skin tests share: the real DLL created by its ProgID and driven as RideRunner
// drives it, through the vtable and for some calls through IDispatch::Invoke, with the
// scripted host's variable store carrying out the SETVAR/SAVETOSKIN batches we send.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/support/wine/Com.h"

namespace zelm::wine {

inline constexpr HRESULT cUnexpected = static_cast<HRESULT>(0x8000FFFF);
inline constexpr short cNone = 0;
inline constexpr short cBreak = 2;

inline const std::wstring cFirstItem = L"LSTc:\\1.txt\nItem 1";
inline const std::wstring cSecondItem = L"LSTc:\\2.txt\nItem 2";

inline std::wstring Numbered(const wchar_t* Stem, int Slot) {
  return Slot == 0 ? std::wstring(Stem) : Stem + (L"_" + std::to_wstring(Slot));
}
inline std::wstring Variable(int Slot) { return Numbered(L"CheckEngineDinamicLabel", Slot); }
inline std::wstring LabelStem(int Slot) { return Numbered(L"ce_dinamic_label", Slot); }
inline std::wstring StepCommand(int Slot) { return Numbered(L"ce_next_dinamic_label", Slot); }
inline std::wstring UpdateBatch(int Slot, const std::wstring& Code) {
  const std::wstring V = Variable(Slot);
  return L"SETVAR;" + V + L";" + Code + L"||SAVETOSKIN;" + V + L";$" + V + L"$";
}

// The common list as a skin reads it: the count, and the items at these indexes.
struct TList {
  HRESULT CountResult = E_FAIL;
  LONG Count = 0;
  std::vector<std::wstring> Items;  // for the indexes below
  std::vector<bool> Null;           // whether each item came back as a null BSTR
};
inline const LONG cIndexes[] = {0, 1, 2, 7, -1, INT_MAX, INT_MIN};

inline TList ReadList(IRRExtension* Object, IDispatch* Passed) {
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

// The object under test, and the host objects it is given.
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

}  // namespace zelm::wine
