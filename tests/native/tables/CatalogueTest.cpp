#include <gtest/gtest.h>

#include <set>

#include "core/tables/Catalogue.h"
#include "core/tables/LabelCodes.h"

namespace zelm {
namespace {

TEST(Catalogue, IdentifiersKindsAndCodesAreTheFixedOnes) {
  EXPECT_EQ(cParams.size(), 71u);
  std::set<uint32_t> Ids;
  std::size_t Live = 0;
  for (const auto& P : cParams) {
    Ids.insert(P.Id);
    const bool IsLive = (P.Id >= 1 && P.Id <= 39) || (P.Id >= 50 && P.Id <= 66);
    EXPECT_EQ(P.Kind == TParamKind::Live, IsLive) << P.Id;
    Live += IsLive;
    EXPECT_EQ(P.TitleCode, std::u16string(P.ValueCode) + u"_title");
    EXPECT_EQ(P.UnitCode, std::u16string(P.ValueCode) + u"_unit");
    EXPECT_EQ(P.Constant, u"Kvel_" + std::u16string(P.FieldStem));
    EXPECT_EQ(ParamIndexOfId(P.Id), &P - cParams.data());
  }
  EXPECT_EQ(Ids.size(), 71u);
  EXPECT_EQ(Live, cLiveCount);
  for (uint32_t Id : {0u, 40u, 49u, 67u, 80u, 128u, 136u, 145u, 163u, 200u, 0xFFFFFFFFu})
    EXPECT_EQ(ParamIndexOfId(Id), -1) << Id;
  EXPECT_EQ(Kvel_VHCL_SPEED_SE, 1u);
  EXPECT_EQ(Kvel_рorse_power, 130u);
  EXPECT_EQ(Kvel_accelaration, 144u);
}

TEST(Catalogue, PorsePowerIsSpelledWithTheCyrillicEr) {
  const auto& P = cParams[static_cast<std::size_t>(ParamIndexOfId(130))];
  EXPECT_EQ(P.ValueCode, u"ce_\u0440orse_power");
  EXPECT_EQ(P.FieldStem, u"\u0440orse_power");
  EXPECT_NE(FindLabelCode(u"ce_\u0440orse_power"), nullptr);
  EXPECT_EQ(FindLabelCode(u"ce_porse_power"), nullptr);
}

TEST(Catalogue, LabelCodeCycleHoldsSeventyValueCodesWithoutTheFuelPumpRelay) {
  EXPECT_EQ(cLabelCodeCycle[0], u"ce_avgfuelperhour");
  EXPECT_EQ(cLabelCodeCycle[1], u"ce_\u0440orse_power");
  EXPECT_EQ(cLabelCodeCycle[4], u"ce_distancewent");
  EXPECT_EQ(cLabelCodeCycle[5], u"ce_fuelconsumed");
  EXPECT_EQ(cLabelCodeCycle[14], u"ce_accelaration");
  EXPECT_EQ(cLabelCodeCycle[15], u"ce_speed");
  EXPECT_EQ(cLabelCodeCycle[61], u"ce_air_cond_rly");
  EXPECT_EQ(cLabelCodeCycle[62], u"ce_thrtl_relay");
  EXPECT_EQ(cLabelCodeCycle[69], u"ce_start_signal");
  std::set<std::u16string_view> Distinct(cLabelCodeCycle.begin(), cLabelCodeCycle.end());
  EXPECT_EQ(Distinct.size(), 70u);
  EXPECT_EQ(Distinct.count(u"ce_fuel_pump_rly"), 0u);
}

TEST(LabelCodes, EveryCodeIsFoundAndNearMissesAreNot) {
  std::size_t Found = 0;
  for (const auto& P : cParams)
    for (auto Code : {P.ValueCode, P.TitleCode, P.UnitCode}) {
      const TLabelCode* M = FindLabelCode(Code);
      ASSERT_NE(M, nullptr);
      EXPECT_EQ(M->Code, Code);
      EXPECT_EQ(M->Index, &P - cParams.data());
      ++Found;
    }
  const TLabelCode* Slot = FindLabelCode(u"ce_dinamic_label_15_unit");
  ASSERT_NE(Slot, nullptr);
  EXPECT_EQ(Slot->Kind, TLabelCodeKind::SlotUnit);
  EXPECT_EQ(Slot->Index, 15);
  EXPECT_EQ(Found, 213u);
  for (auto Miss : {u"", u"ce_", u"ce_speed ", u"CE_SPEED", u"ce_speed_name", u"ce_dinamic_label_16",
                    u"ce_dinamic_label_0", u"ce_dynamic_label", u"xce_speed"})
    EXPECT_EQ(FindLabelCode(Miss), nullptr)
        << std::string(Miss, Miss + std::char_traits<char16_t>::length(Miss)).size();
}

TEST(LabelCodes, LoweringTouchesOnlyAsciiCapitals) {
  TLoweredCode Code(u"CE_Speed\u0414");
  EXPECT_EQ(Code.View(), u"ce_speed\u0414");
  TLoweredCode Long(std::u16string(100, u'A'));
  EXPECT_TRUE(Long.TooLong());
  EXPECT_EQ(Long.Find(), nullptr);
  TLoweredCode LongOurs(u"CE_" + std::u16string(100, u'x'));
  EXPECT_TRUE(LongOurs.HasPrefix(u"ce_"));
  EXPECT_FALSE(LongOurs.Is(u"ce_"));
  std::u16string Text = u"ABC_xyz_\u0410";
  LowerAscii(Text);
  EXPECT_EQ(Text, u"abc_xyz_\u0410");
}

// Lowered and hashed in one pass: every code of ours, written in capitals (odd and
// even lengths alike), is found as itself.
TEST(LabelCodes, EveryCodeInCapitalsIsFoundAsItself) {
  std::size_t Found = 0;
  for (const auto& P : cParams) {
    for (std::u16string_view Code : {P.ValueCode, P.TitleCode, P.UnitCode}) {
      std::u16string Upper(Code);
      for (auto& C : Upper) C = (C >= u'a' && C <= u'z') ? char16_t(C - 32) : C;
      const TLabelCode* Match = TLoweredCode(Upper).Find();
      ASSERT_NE(Match, nullptr) << Upper.size();
      EXPECT_EQ(Match->Code, Code);
      ++Found;
    }
  }
  EXPECT_EQ(Found, 213u);
}

}  // namespace
}  // namespace zelm
