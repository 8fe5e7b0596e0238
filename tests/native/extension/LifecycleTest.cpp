#include <gtest/gtest.h>

#include "tests/support/native/Fakes.h"

namespace zelm::testing {
namespace {

using M = TMessage;

TEST(Lifecycle, InitAnnouncesTheWindowAndInitializeReadsAllSlotsThenOpens) {
  TRig Rig;
  Rig.Host->Variables[u"CheckEngineDinamicLabel_3"] = u"CE_Speed\u0414";
  Rig.Core.Init(Rig.Host);
  EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{InitConnectionMessageId, 0x1234}}));
  // The first contact with a server is a find, not a change from one before it.
  EXPECT_EQ(Rig.Trace.Lines, std::vector<std::u16string>{u"server window found (0x00005000)"});
  for (std::size_t I = 0; I < cParamCount; ++I) Rig.Probe.SetCount(I, -7);
  Rig.Core.Initialize(u"C:\\Zelm\\ds.exe");

  EXPECT_EQ(Rig.Link.WindowsCreated, 1);
  EXPECT_EQ(Rig.Probe.AnnouncedWindow(), Rig.Probe.Handle());
  EXPECT_EQ(Rig.Probe.AnnouncementCountdown(), 100);
  EXPECT_EQ(Rig.Probe.ZelmDSPath(), u"C:\\Zelm\\ds.exe");
  for (std::size_t I = 0; I < cParamCount; ++I) EXPECT_EQ(Rig.Probe.Count(I), 100);

  ASSERT_EQ(Rig.Host->Calls.size(), 17u);
  for (std::size_t I = 0; I < cSlotCount; ++I) {
    EXPECT_EQ(Rig.Host->Calls[I].Name, u"GetInfo");
    EXPECT_EQ(Rig.Host->Calls[I].Args.at(0), cSlots[I].ReadQuery);
  }
  EXPECT_EQ(Rig.Host->Calls[1].Args.at(0), u"=$CheckEngineDinamicLabel_1$");
  EXPECT_EQ(Rig.Host->Calls[16].Name, u"Execute");
  EXPECT_EQ(Rig.Host->Calls[16].Args, (std::vector<std::u16string>{u"CE_Open", u"false"}));

  EXPECT_EQ(Rig.Probe.Slot(3).Code, u"ce_speed\u0414");  // Cyrillic capital not lowered
  EXPECT_EQ(Rig.Probe.Slot(3).Title, u"ce_speed\u0414_title");
  EXPECT_EQ(Rig.Probe.Slot(0).Code, u"");
  EXPECT_EQ(Rig.Probe.Slot(0).Title, u"_title");
  EXPECT_EQ(Rig.Probe.Slot(15).Unit, u"_unit");
}

TEST(Lifecycle, InitializeBeforeInitFailsAtTheFirstReadAfterLoadingTheCountdowns) {
  TRig Rig;
  try {
    Rig.Core.Initialize(u"x");
    FAIL() << "no failure";
  } catch (const EZelmError& E) {
    EXPECT_EQ(E.Code, cUnexpected);
    EXPECT_EQ(E.Message, u"Invalid variant operation");
  }
  EXPECT_EQ(Rig.Probe.AnnouncementCountdown(), 100);
  EXPECT_EQ(Rig.Probe.Count(0), 100);
  EXPECT_NE(Rig.Probe.Handle(), 0u);

  // A null host object is stored; later host calls fail the same way.
  Rig.Core.Init(nullptr);
  EXPECT_THROW(Rig.Core.Initialize(u"x"), EZelmError);
  EXPECT_THROW(Rig.Core.ProcessCommand(u"ce_next_dinamic_label"), EZelmError);
}

TEST(Lifecycle, AFailedReadAtSlotKKeepsEarlierSlotsAndSendsNoOpen) {
  TRig Rig;
  for (std::size_t I = 0; I < cSlotCount; ++I) Rig.Host->Variables[std::u16string(cSlots[I].Variable)] = u"ce_speed";
  Rig.Start();
  for (std::size_t I = 0; I < cSlotCount; ++I) Rig.Host->Variables[std::u16string(cSlots[I].Variable)] = u"ce_voltage";
  Rig.Host->FailOn = [](const TFakeHost::TCall& C) { return C.Args.at(0) == u"=$CheckEngineDinamicLabel_5$"; };
  EXPECT_THROW(Rig.Core.Initialize(u"x"), EZelmError);
  EXPECT_EQ(Rig.Probe.Slot(4).Code, u"ce_voltage");
  EXPECT_EQ(Rig.Probe.Slot(4).Title, u"ce_speed_title");  // titles not rebuilt
  EXPECT_EQ(Rig.Probe.Slot(5).Code, u"ce_speed");
  EXPECT_TRUE(Rig.Host->CallsOf(u"Execute").empty());
}

// The link owns the window (and destroys it with itself); the core asks for it once
// it is there, and again after a failure.
TEST(Lifecycle, TheWindowIsAskedForOnceRetriedAfterAFailureAndNothingIsSentOnDestruction) {
  TFakeLink Link;
  TFakeText Text;
  {
    TFakeTrace Trace;
    TRRExtensionCore Core(Link, Text, Trace);
    Link.CreateFails = true;
    EXPECT_EQ(TCoreProbe{Core}.OwnWindow(), 0u);
    Link.CreateFails = false;
    EXPECT_EQ(TCoreProbe{Core}.OwnWindow(), 0x1234u);
    EXPECT_EQ(TCoreProbe{Core}.OwnWindow(), 0x1234u);
    EXPECT_EQ(Link.WindowsCreated, 2);
    Link.Sent.clear();
  }
  EXPECT_TRUE(Link.Sent.empty());  // nothing is sent on destruction
  {
    TFakeTrace Trace;
    TRRExtensionCore Never(Link, Text, Trace);
  }
  EXPECT_EQ(Link.WindowsCreated, 2);  // a core that never needed one asks for none
}

TEST(Lifecycle, HostObjectsAreReleasedWithTheObject) {
  TFakeLink Link;
  TFakeText Text;
  auto Host = std::make_shared<TFakeHost>();
  auto Skin = std::make_shared<TFakeHost>();
  {
    TFakeTrace Trace;
    TRRExtensionCore Core(Link, Text, Trace);
    Core.Init(Host);
    Core.Init(Host);  // again: replaces, announces again
    Core.OnLoadSkin(Skin);
    EXPECT_EQ(Host.use_count(), 2);
    EXPECT_EQ(Skin.use_count(), 2);
  }
  EXPECT_EQ(Host.use_count(), 1);
  EXPECT_EQ(Skin.use_count(), 1);
}

}  // namespace
}  // namespace zelm::testing
