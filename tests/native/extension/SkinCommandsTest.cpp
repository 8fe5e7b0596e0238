#include <gtest/gtest.h>

#include "tests/support/native/Fakes.h"

namespace zelm::testing {
namespace {

using M = TMessage;

class SkinCommands : public ::testing::Test {
 protected:
  void SetUp() override { Rig.Start(); }
  TRig Rig;
  std::vector<std::u16string> Batches() const {
    std::vector<std::u16string> Out;
    for (const auto& C : Rig.Host->CallsOf(u"Execute")) Out.push_back(C.Args.at(0));
    return Out;
  }
};

TEST_F(SkinCommands, OpenAndCloseSendTheirMessagesInAnyCase) {
  for (auto Cmd : {u"ce_open", u"CE_Open", u"cE_oPEN"}) {
    Rig.Link.Sent.clear();
    EXPECT_EQ(Rig.Core.ProcessCommand(Cmd), ecBreak);
    EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{InitConnectionMessageId, 0x1234}, {TripReadMessageId, 0}}));
  }
  Rig.Link.Sent.clear();
  EXPECT_EQ(Rig.Core.ProcessCommand(u"CE_CLOSE"), ecBreak);
  EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{TripResetMessageId, 0}}));
}

TEST_F(SkinCommands, NearMissesAreNotOurs) {
  for (auto Cmd : {u"", u"ce_", u" ce_open", u"ce_open ", u"ce_opened", u"ce_next_dinamic_label_0",
                   u"ce_next_dinamic_label_16", u"ce_next_dynamic_label", u"open", u"ce_next_dinamic_label_01"}) {
    EXPECT_EQ(Rig.Core.ProcessCommand(Cmd), ecNone);
  }
  EXPECT_TRUE(Rig.Link.Sent.empty());
  EXPECT_TRUE(Rig.Host->Calls.empty());
}

TEST_F(SkinCommands, OpenMakesTheWindowWhenThereIsNone) {
  TFakeLink Link;
  TFakeText Text;
  TFakeTrace Trace;
  TRRExtensionCore Core(Link, Text, Trace);
  EXPECT_EQ(Core.ProcessCommand(u"ce_open"), ecBreak);
  EXPECT_EQ(Link.WindowsCreated, 1);
  EXPECT_EQ(TCoreProbe{Core}.Handle(), 0x1234u);
}

TEST_F(SkinCommands, StepReadsTheVariableStoresTheNextCodeAndWritesItBack) {
  Rig.Host->Variables[u"CheckEngineDinamicLabel_3"] = u"CE_SPEED";
  EXPECT_EQ(Rig.Core.ProcessCommand(u"CE_NEXT_DINAMIC_LABEL_3"), ecBreak);
  EXPECT_EQ(Rig.Probe.Slot(3).Code, u"ce_coolanttemp");
  EXPECT_EQ(Rig.Probe.Slot(3).Title, u"ce_coolanttemp_title");
  EXPECT_EQ(Rig.Probe.Slot(3).Unit, u"ce_coolanttemp_unit");
  // The slot's labels now answer for the coolant temperature (off: its code, "-", "-").
  EXPECT_EQ(Rig.Core.ReturnLabel(u"ce_dinamic_label_3_title"), u"ce_coolanttemp");
  EXPECT_EQ(Rig.Core.ReturnLabel(u"ce_dinamic_label_3_unit"), u"-");
  EXPECT_EQ(Rig.Core.ReturnLabel(u"ce_dinamic_label_3"), u"-");
  EXPECT_EQ(Batches(),
            std::vector<std::u16string>{u"SETVAR;CheckEngineDinamicLabel_3;ce_coolanttemp"
                                        u"||SAVETOSKIN;CheckEngineDinamicLabel_3;$CheckEngineDinamicLabel_3$"});
  for (std::size_t I = 0; I < cSlotCount; ++I) {
    if (I != 3) {
      EXPECT_EQ(Rig.Probe.Slot(I).Code, u"") << I;
    }
  }
}

TEST_F(SkinCommands, BatchesForTheFirstAndLastSlotAndForAnEmptyVariable) {
  Rig.Core.ProcessCommand(u"ce_next_dinamic_label");
  Rig.Host->Variables[u"CheckEngineDinamicLabel_15"] = u"ce_start_signal";
  Rig.Core.ProcessCommand(u"ce_next_dinamic_label_15");
  EXPECT_EQ(Batches(),
            (std::vector<std::u16string>{
                u"SETVAR;CheckEngineDinamicLabel;||SAVETOSKIN;CheckEngineDinamicLabel;$CheckEngineDinamicLabel$",
                u"SETVAR;CheckEngineDinamicLabel_15;ce_avgfuelperhour||SAVETOSKIN;CheckEngineDinamicLabel_15;"
                u"$CheckEngineDinamicLabel_15$"}));
  EXPECT_EQ(Rig.Probe.Slot(0).Title, u"_title");
}

TEST_F(SkinCommands, StepStartsFromTheHostVariableNotFromOurCopy) {
  Rig.Host->OnExecute = [&](const TFakeHost::TCall&) {};  // the host does not store the SETVAR
  Rig.Host->Variables[u"CheckEngineDinamicLabel"] = u"ce_speed";
  Rig.Core.ProcessCommand(u"ce_next_dinamic_label");
  Rig.Core.ProcessCommand(u"ce_next_dinamic_label");
  EXPECT_EQ(Rig.Probe.Slot(0).Code, u"ce_coolanttemp");
}

TEST(NextCycleCode, WalksTheCycleAndLeavesOtherTextsAlone) {
  EXPECT_EQ(TRRExtensionCore::NextCycleCode(u"ce_speed"), u"ce_coolanttemp");
  EXPECT_EQ(TRRExtensionCore::NextCycleCode(u"ce_accelaration"), u"ce_speed");
  EXPECT_EQ(TRRExtensionCore::NextCycleCode(u"ce_air_cond_rly"), u"ce_thrtl_relay");
  EXPECT_EQ(TRRExtensionCore::NextCycleCode(u"ce_ho2s2_htr_b1"), u"ce_idle_a_v_learn");
  EXPECT_EQ(TRRExtensionCore::NextCycleCode(u"ce_idle_a_v_learn"), u"ce_ho2s1_mntr_b1");
  EXPECT_EQ(TRRExtensionCore::NextCycleCode(u"ce_start_signal"), u"ce_avgfuelperhour");
  EXPECT_EQ(TRRExtensionCore::NextCycleCode(u"ce_avgfuelperhour"), u"ce_\u0440orse_power");
  EXPECT_EQ(TRRExtensionCore::NextCycleCode(u"ce_distancewent"), u"ce_fuelconsumed");
  for (auto Fixed : {u"ce_fuel_pump_rly", u"ce_porse_power", u"ce_speed_title", u"", u"CE_SPEED", u"whatever"})
    EXPECT_EQ(TRRExtensionCore::NextCycleCode(Fixed), Fixed);
  for (auto Start : cLabelCodeCycle) {
    std::u16string_view Code = Start;
    for (int I = 0; I < 70; ++I) {
      Code = TRRExtensionCore::NextCycleCode(Code);
      if (I < 69) {
        EXPECT_NE(Code, Start);
      }
    }
    EXPECT_EQ(Code, Start);
  }
}

TEST_F(SkinCommands, AFailedReadChangesNothingAndAFailedExecuteKeepsTheNewFields) {
  Rig.Host->Variables[u"CheckEngineDinamicLabel_2"] = u"ce_speed";
  Rig.Core.ProcessCommand(u"ce_next_dinamic_label_2");
  Rig.Host->Calls.clear();

  Rig.Host->FailOn = [](const TFakeHost::TCall& C) { return C.Name == u"GetInfo"; };
  EXPECT_THROW(Rig.Core.ProcessCommand(u"ce_next_dinamic_label_2"), EZelmError);
  EXPECT_EQ(Rig.Probe.Slot(2).Code, u"ce_coolanttemp");
  EXPECT_TRUE(Batches().empty());

  Rig.Host->Variables[u"CheckEngineDinamicLabel_2"] = u"ce_voltage";
  Rig.Host->FailOn = [](const TFakeHost::TCall& C) { return C.Name == u"Execute"; };
  EXPECT_THROW(Rig.Core.ProcessCommand(u"ce_next_dinamic_label_2"), EZelmError);
  EXPECT_EQ(Rig.Probe.Slot(2).Code, u"ce_o2b1s1");
  EXPECT_EQ(Rig.Probe.Slot(2).Unit, u"ce_o2b1s1_unit");
}

TEST_F(SkinCommands, OpenRoutedBackByTheHostDuringInitializeAnnouncesAndReadsTrips) {
  Rig.Host->OnExecute = [&](const TFakeHost::TCall& C) {
    if (C.Args.at(0) == u"CE_Open") Rig.Core.ProcessCommand(C.Args.at(0));
  };
  Rig.Link.Sent.clear();
  Rig.Core.Initialize(u"x");
  EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{InitConnectionMessageId, 0x1234}, {TripReadMessageId, 0}}));
}

TEST_F(SkinCommands, CommonListIsServedOnlyToOurSkin) {
  auto Skin = std::make_shared<TFakeHost>();
  EXPECT_EQ(Rig.Core.CommonListItemCount(), -1);  // no skin yet
  Rig.Core.OnLoadSkin(nullptr);
  EXPECT_EQ(Rig.Core.CommonListItemCount(), -1);
  Rig.Core.OnLoadSkin(Skin);
  for (auto Name : {u"OurSkinName", u"OURSKINNAME", u"oURskinNAME"}) {
    Skin->Name_ = Name;
    EXPECT_EQ(Rig.Core.CommonListItemCount(), 2);
    EXPECT_EQ(Rig.Core.CommonListItem(0), u"LSTc:\\1.txt\nItem 1");
    for (int32_t Index : {1, 2, 7, -1}) EXPECT_EQ(Rig.Core.CommonListItem(Index), u"LSTc:\\2.txt\nItem 2");
  }
  for (auto Name : {u"OurSkinName ", u"Our Skin Name", u"", u"OurSkinNam\u0435"}) {
    Skin->Name_ = Name;
    EXPECT_EQ(Rig.Core.CommonListItemCount(), -1);
    EXPECT_EQ(Rig.Core.CommonListItem(0), u"");
  }
  Skin->Calls.clear();
  Rig.Core.OnUnloadSkin();
  EXPECT_EQ(Rig.Core.CommonListItemCount(), -1);
  EXPECT_EQ(Rig.Core.CommonListItem(1), u"");
  EXPECT_TRUE(Skin->Calls.empty());
  EXPECT_EQ(Skin.use_count(), 1);

  Rig.Core.OnLoadSkin(Skin);
  Skin->FailOn = [](const TFakeHost::TCall&) { return true; };
  EXPECT_THROW(Rig.Core.CommonListItemCount(), EZelmError);
  EXPECT_THROW(Rig.Core.CommonListItem(0), EZelmError);
}

}  // namespace
}  // namespace zelm::testing
