#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <random>

#include "tests/support/native/Fakes.h"

namespace zelm::testing {
namespace {

using M = TMessage;
constexpr std::size_t cSpeed = 0;  // index of "ce_speed", identifier 1

std::size_t IndexOf(uint32_t Id) { return static_cast<std::size_t>(ParamIndexOfId(Id)); }

class LabelRendering : public ::testing::Test {
 protected:
  void SetUp() override { Rig.Start(); }
  std::u16string Ask(std::u16string_view Code) { return std::u16string(Rig.Core.ReturnLabel(Code)); }
  TRig Rig;
};

TEST_F(LabelRendering, ValueTitleAndUnitFollowTheOnOffRules) {
  EXPECT_EQ(Ask(u"ce_speed"), u"-");
  EXPECT_EQ(Ask(u"CE_Speed"), u"-");
  EXPECT_EQ(Ask(u"ce_speed_title"), u"ce_speed");
  EXPECT_EQ(Ask(u"ce_speed_unit"), u"-");
  EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{AddMessageId, 1}, {AddMessageId, 1}}));

  Rig.Deliver(1, "42", "Speed,km/h");
  Rig.Link.Sent.clear();
  EXPECT_EQ(Ask(u"ce_speed"), u"42");
  EXPECT_EQ(Ask(u"ce_speed_title"), u"Speed");
  EXPECT_EQ(Ask(u"ce_speed_unit"), u"km/h");
  EXPECT_TRUE(Rig.Link.Sent.empty());
}

TEST_F(LabelRendering, TripFiguresAskForATripReadAndHaveNoTitleOrUnit) {
  EXPECT_EQ(Ask(u"ce_avgspeed"), u"-");
  EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{TripReadMessageId, 0}, {AddMessageId, 137}}));
  Rig.Deliver(137, "63.5");
  EXPECT_EQ(Ask(u"ce_avgspeed"), u"64");
  EXPECT_EQ(Ask(u"ce_avgspeed_title"), u"");
  EXPECT_EQ(Ask(u"ce_avgspeed_unit"), u"");
  EXPECT_EQ(Ask(u"ce_\u0440orse_power"), u"-");
  EXPECT_EQ(Ask(u"ce_porse_power"), u"");  // a Latin p is not our code
}

TEST_F(LabelRendering, ForeignAndNearMissCodesAreEmpty) {
  for (auto Code : {u"", u"ce", u"ce_", u"ce_speed ", u" ce_speed", u"other_speed", u"ce_speed_name",
                    u"ce_dinamic_label_16", u"ce_dynamic_label"}) {
    EXPECT_EQ(Ask(Code), u"");
  }
  EXPECT_TRUE(Rig.Link.Sent.empty());
  const std::u16string Huge(100000, u'C');
  EXPECT_EQ(Ask(Huge), u"");
  EXPECT_EQ(Ask(u"CE_" + Huge), u"");
}

TEST_F(LabelRendering, IdleParameterIsDroppedAtTheStartOfThe101stRequest) {
  Rig.Deliver(1, "42", "Speed,km/h");
  EXPECT_EQ(Ask(u"ce_speed"), u"42");  // countdown reloaded to 100
  for (int I = 0; I < 100; ++I) Ask(u"something_else");
  EXPECT_TRUE(Rig.Link.Sent.empty());
  EXPECT_TRUE(Rig.Probe.IsOn(cSpeed));
  // The 101st request drops it first, then, asking for it, subscribes it again.
  EXPECT_EQ(Ask(u"ce_speed"), u"-");
  EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{DeleteMessageId, 1}, {AddMessageId, 1}}));
  EXPECT_FALSE(Rig.Probe.IsOn(cSpeed));
  EXPECT_EQ(Rig.Probe.Param(cSpeed).Value, u"42");  // values are kept after a drop
}

TEST_F(LabelRendering, ShownEveryHundredRequestsItStaysSubscribed) {
  Rig.Deliver(1, "42", "Speed,km/h");
  for (int Round = 0; Round < 5; ++Round) {
    EXPECT_EQ(Ask(u"ce_speed"), u"42");
    for (int I = 0; I < 99; ++I) Ask(u"x");
  }
  EXPECT_TRUE(Rig.Link.Sent.empty());
}

TEST_F(LabelRendering, DropsGoOutInIdentifierOrder) {
  for (uint32_t Id : {144u, 2u, 60u}) Rig.Deliver(Id, "1", "x,y");
  for (int I = 0; I <= 100; ++I) Ask(u"x");
  EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{DeleteMessageId, 2}, {DeleteMessageId, 60}, {DeleteMessageId, 144}}));
}

// A subscription whose countdown ran below zero while the parameter was off, and that
// is then never shown, is still dropped: the Add reloads the countdown.
TEST_F(LabelRendering, ASubscriptionNeverShownIsStillDropped) {
  for (int I = 0; I < 150; ++I) Ask(u"x");  // speed's countdown is now far below zero
  EXPECT_EQ(Ask(u"ce_speed"), u"-");        // Add goes out
  Rig.Deliver(1, "42", "Speed,km/h");       // server starts sending; nobody shows it
  Rig.Link.Sent.clear();
  for (int I = 0; I < 101; ++I) Ask(u"x");
  EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{DeleteMessageId, 1}}));
  EXPECT_FALSE(Rig.Probe.IsOn(cSpeed));
}

TEST_F(LabelRendering, LostDistancePercentsBehavesLikeEveryOtherTripFigure) {
  const std::size_t P = IndexOf(141);
  EXPECT_EQ(Ask(u"ce_lostdistancepercents"), u"-");
  EXPECT_FALSE(Rig.Probe.IsOn(P));
  EXPECT_EQ(Ask(u"ce_lostdistancepercents"), u"-");  // no empty text before a value
  Rig.Deliver(141, "12.34");
  Rig.Link.Sent.clear();
  for (int I = 0; I < 300; ++I) EXPECT_EQ(Ask(u"ce_lostdistancepercents"), u"12.3");
  for (const auto& S : Rig.Link.Sent) EXPECT_NE(S.MessageId, DeleteMessageId);  // shown: never dropped
}

TEST_F(LabelRendering, AnnouncementRepeatsOnEvery101stOwnRequest) {
  for (int I = 0; I < 100; ++I) Ask(u"ce_nothing");
  for (int I = 0; I < 500; ++I) Ask(u"foreign");  // not ours: no step of the announcement
  EXPECT_TRUE(Rig.Link.Sent.empty());
  Ask(u"ce_nothing");
  EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{InitConnectionMessageId, 0x1234}, {TripReadMessageId, 0}}));
  EXPECT_EQ(Rig.Probe.AnnouncementCountdown(), 100);
}

// A server that goes away or is replaced knows nothing of our subscriptions: found out
// on a message sent anyway (here the repeated announcement), everything counts as off.
class ServerWindow : public LabelRendering {
 protected:
  void SetUp() override {
    LabelRendering::SetUp();
    Ask(u"ce_speed");
    Ask(u"ce_avgspeed");
    Rig.Deliver(1, "42", "Speed,km/h");
    Rig.Deliver(137, "63.5");
    Rig.Link.Sent.clear();
  }
  // Shows both values until a request has sent the announcement.
  void ShowUntilAnnounced() {
    for (int I = 0; I < 200 && Rig.Link.Sent.empty(); ++I) Ask(I % 2 ? u"ce_speed" : u"ce_avgspeed");
    ASSERT_FALSE(Rig.Link.Sent.empty());
  }
};

TEST_F(ServerWindow, TheSameServerKeepsEverySubscription) {
  for (int I = 0; I < 1000; ++I) {
    EXPECT_EQ(Ask(u"ce_speed"), u"42");
    EXPECT_EQ(Ask(u"ce_avgspeed"), u"64");
  }
  for (const auto& Sent : Rig.Link.Messages()) EXPECT_NE(Sent.MessageId, AddMessageId);
  EXPECT_EQ(Rig.Link.Sent.size(), 2u * 19);  // the announcement pairs, nothing else
  EXPECT_TRUE(Rig.Trace.Lines.empty());
}

TEST_F(ServerWindow, AServerGoneLeavesEveryParameterOffUntilOneIsThere) {
  Rig.Link.Server = 0;
  ShowUntilAnnounced();
  EXPECT_EQ(Rig.Link.Sent.front().MessageId, InitConnectionMessageId);
  EXPECT_FALSE(Rig.Probe.IsOn(cSpeed));
  Rig.Link.Sent.clear();
  EXPECT_EQ(Ask(u"ce_speed"), u"-");
  EXPECT_EQ(Ask(u"ce_speed_title"), u"ce_speed");
  EXPECT_EQ(Ask(u"ce_speed_unit"), u"-");
  EXPECT_EQ(Ask(u"ce_avgspeed"), u"-");
  EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{AddMessageId, 1}, {TripReadMessageId, 0}, {AddMessageId, 137}}));
  // A server is back: the next message finds it, and its values show again.
  Rig.Link.Server = 0x6000;
  EXPECT_EQ(Ask(u"ce_speed"), u"-");
  Rig.Deliver(1, "43", "Speed,km/h");
  EXPECT_EQ(Ask(u"ce_speed"), u"43");
  EXPECT_EQ(Rig.Trace.Lines, (std::vector<std::u16string>{u"server window lost (was 0x00005000)",
                                                          u"subscriptions forgotten (2 parameters were on)",
                                                          u"server window found (0x00006000)"}));
}

TEST_F(ServerWindow, AnotherServerGetsOneAddForEachValueShown) {
  // The new server answers each Add with a value while we wait in the send.
  Rig.Link.DuringSend = [this](uint32_t Id, const TCopyData& Record) {
    if (Id == AddMessageId) Rig.Deliver(Record.Data1, Record.Data1 == 1 ? "7" : "12", "Speed,km/h");
  };
  Rig.Link.Server = 0x6000;
  std::vector<std::u16string> Answers;
  for (int I = 0; I < 400; ++I) Answers.emplace_back(Ask(I % 2 ? u"ce_speed" : u"ce_avgspeed"));
  // Nothing of the old server's is shown as live once the new one is found.
  const auto New = std::find(Answers.begin(), Answers.end(), u"-");
  ASSERT_NE(New, Answers.end());
  EXPECT_TRUE(std::all_of(New + 2, Answers.end(), [](const auto& A) { return A == u"7" || A == u"12"; }));
  const auto Sent = Rig.Link.Messages();
  EXPECT_EQ(std::count(Sent.begin(), Sent.end(), M{AddMessageId, 1}), 1);
  EXPECT_EQ(std::count(Sent.begin(), Sent.end(), M{AddMessageId, 137}), 1);
  EXPECT_EQ(Rig.Trace.Lines.front(), u"server window changed (0x00005000 -> 0x00006000)");
}

// A value that arrives while no server window can be found came from no server we can
// reach: the next lookup that finds none forgets it too.
TEST_F(ServerWindow, WhileNoServerIsFoundEveryLookupForgets) {
  Rig.Link.Server = 0;
  ShowUntilAnnounced();
  Rig.Deliver(1, "42", "Speed,km/h");
  EXPECT_TRUE(Rig.Probe.IsOn(cSpeed));
  EXPECT_EQ(Ask(u"ce_avgspeed"), u"-");  // its Add finds no server either
  EXPECT_FALSE(Rig.Probe.IsOn(cSpeed));
}

TEST_F(ServerWindow, ADroppedSendTellsNothing) {
  Rig.Link.Paused = true;
  ShowUntilAnnounced();
  EXPECT_EQ(Ask(u"ce_speed"), u"42");
  EXPECT_TRUE(Rig.Trace.Lines.empty());
}

// The repeated announcement names the handle Initialize took, and none when it took
// none: before Initialize, or when the window could not be made then ("ce_open" made it
// later and announced it itself). Window 0 is never announced; the trip figures are
// still asked for, and the countdown reloads.
TEST(LabelRenderingAnnouncement, NamesOnlyAWindowInitializeTook) {
  struct TCase {
    bool Initialize, CreateFails;
    std::vector<M> Expected;
  };
  for (const TCase& C : {TCase{true, false, {{InitConnectionMessageId, 0x1234}, {TripReadMessageId, 0}}},
                         TCase{true, true, {{TripReadMessageId, 0}}}, TCase{false, false, {{TripReadMessageId, 0}}}}) {
    TRig Rig;
    Rig.Link.CreateFails = C.CreateFails;
    if (C.Initialize) Rig.Start();
    Rig.Link.CreateFails = false;
    Rig.Core.ProcessCommand(u"ce_open");
    ASSERT_EQ(Rig.Probe.Handle(), 0x1234u);
    Rig.Link.Sent.clear();
    for (int I = 0; I <= (C.Initialize ? 100 : 0); ++I) EXPECT_EQ(Rig.Core.ReturnLabel(u"ce_nothing"), u"");
    EXPECT_EQ(Rig.Link.Messages(), C.Expected) << C.Initialize << C.CreateFails;
    EXPECT_EQ(Rig.Probe.AnnouncementCountdown(), 100);
  }
}

TEST_F(LabelRendering, SlotCodesAnswerForTheCodeTheSlotHolds) {
  Rig.Host->Variables = {{u"CheckEngineDinamicLabel", u"CE_Speed"},
                         {u"CheckEngineDinamicLabel_2", u"ce_coolanttemp"},
                         {u"CheckEngineDinamicLabel_8", u"Ce_Voltage"},
                         {u"CheckEngineDinamicLabel_9", u"ce_dinamic_label"}};
  Rig.Start();
  EXPECT_EQ(Ask(u"ce_dinamic_label"), u"-");
  EXPECT_EQ(Rig.Link.Messages(), (std::vector<M>{{AddMessageId, 1}}));
  EXPECT_EQ(Ask(u"ce_dinamic_label_name"), u"ce_speed");  // slot 0: our lowered copy
  EXPECT_EQ(Ask(u"CE_DINAMIC_LABEL_2_TITLE"), u"ce_coolanttemp");
  Rig.Deliver(2, "88", "Coolant,C");
  EXPECT_EQ(Ask(u"ce_dinamic_label_2_title"), u"Coolant");
  EXPECT_EQ(Ask(u"ce_dinamic_label_2_unit"), u"C");
  EXPECT_EQ(Ask(u"ce_dinamic_label_2"), u"88");
  Rig.Host->Calls.clear();
  EXPECT_EQ(Ask(u"ce_dinamic_label_8_name"), u"Ce_Voltage");  // slots 1..15: the host's text as is
  ASSERT_EQ(Rig.Host->Calls.size(), 1u);
  EXPECT_EQ(Rig.Host->Calls[0].Args, std::vector<std::u16string>{u"=$CheckEngineDinamicLabel_8$"});
  EXPECT_EQ(Ask(u"ce_dinamic_label_5"), u"");  // empty slot
  EXPECT_EQ(Ask(u"ce_dinamic_label_5_title"), u"");
  EXPECT_EQ(Ask(u"ce_dinamic_label_9"), u"");  // a slot code in a slot is no parameter
}

TEST_F(LabelRendering, AFailingSlotNameFailsTheRequestAfterTheCountdowns) {
  Rig.Host->FailOn = [](const TFakeHost::TCall& C) { return C.Name == u"GetInfo"; };
  const int32_t Before = Rig.Probe.Count(cSpeed);
  try {
    Ask(u"ce_dinamic_label_3_name");
    FAIL() << "no failure";
  } catch (const EZelmError& E) {
    EXPECT_EQ(E.Code, Rig.Host->FailCode);
    EXPECT_EQ(E.Message, u"host failed");
  }
  EXPECT_EQ(Rig.Probe.Count(cSpeed), Before - 1);
  EXPECT_EQ(Rig.Probe.AnnouncementCountdown(), 99);
}

// Value records can arrive while we wait in a send: the order of steps decides.
TEST_F(LabelRendering, ARecordDuringTheDeleteDoesNotLeaveTheParameterOn) {
  Rig.Deliver(1, "42", "Speed,km/h");
  for (int I = 0; I < 100; ++I) Ask(u"x");
  Rig.Link.DuringSend = [&](uint32_t Id, const TCopyData&) {
    if (Id == DeleteMessageId) Rig.Deliver(1, "43", "Speed,km/h");
  };
  Ask(u"x");
  EXPECT_FALSE(Rig.Probe.IsOn(cSpeed));
  EXPECT_EQ(Rig.Probe.Param(cSpeed).Value, u"43");
}

TEST_F(LabelRendering, TheRequestThatSendsTheAddAnswersDashEvenIfTheValueArrives) {
  Rig.Link.DuringSend = [&](uint32_t Id, const TCopyData& R) {
    if (Id == AddMessageId) Rig.Deliver(R.Data1, "42", "Speed,km/h");
  };
  EXPECT_EQ(Ask(u"ce_speed"), u"-");
  EXPECT_TRUE(Rig.Probe.IsOn(cSpeed));
  EXPECT_EQ(Ask(u"ce_speed"), u"42");
}

TEST_F(LabelRendering, ValueRecordsSetExactlyTheirOwnParameter) {
  Rig.Deliver(11, "850", "Engine speed,rpm");
  const std::size_t Rpm = IndexOf(11);
  EXPECT_EQ(Rig.Probe.Param(Rpm).Value, u"850");
  EXPECT_EQ(Rig.Probe.Param(Rpm).Title, u"Engine speed");
  EXPECT_EQ(Rig.Probe.Param(Rpm).Unit, u"rpm");
  EXPECT_TRUE(Rig.Probe.IsOn(Rpm));
  for (std::size_t I = 0; I < cParamCount; ++I) EXPECT_TRUE(I == Rpm || !Rig.Probe.IsOn(I)) << I;

  for (uint32_t Id : {0u, 40u, 80u, 96u, 136u, 145u, 163u, 200u}) Rig.Deliver(Id, "1", "a,b");
  for (std::size_t I = 0; I < cParamCount; ++I) EXPECT_TRUE(I == Rpm || !Rig.Probe.IsOn(I)) << I;

  Rig.Deliver(64, "0.45", "O2 monitor,V");  // 64, 129, 130 are parameters here, not messages
  EXPECT_EQ(Rig.Probe.Param(IndexOf(64)).Title, u"O2 monitor");
  Rig.Deliver(142, "01:23:45");
  EXPECT_EQ(Rig.Probe.Param(IndexOf(142)).Value, u"01:23:45");
  Rig.Deliver(129, "abc");
  EXPECT_EQ(Rig.Probe.Param(IndexOf(129)).Value, u"0.0");
  EXPECT_TRUE(Rig.Probe.Param(IndexOf(129)).Title.empty());
  Rig.Deliver(135, "87.5");
  EXPECT_EQ(Rig.Probe.Param(IndexOf(135)).Value, u"88");
  Rig.Deliver(134, "120.25");
  EXPECT_EQ(Rig.Probe.Param(IndexOf(134)).Value, u"120.25");
  Rig.Deliver(144, "1.5");
  EXPECT_EQ(Rig.Probe.Param(IndexOf(144)).Value, u"1.500");
  // A record without data is malformed: ignored, and traced once for its identifier
  // while they keep coming, whatever comes for other identifiers in between.
  Rig.Core.StoreValueRecord(3, nullptr, 30);
  Rig.Deliver(4, "0.5", "O2,V");
  Rig.Core.StoreValueRecord(3, "12", 0);
  EXPECT_FALSE(Rig.Probe.IsOn(IndexOf(3)));
  Rig.Deliver(3, "12.5", "Battery,V");
  Rig.Core.StoreValueRecord(3, nullptr, 0);
  EXPECT_EQ(Rig.Probe.Param(IndexOf(3)).Value, u"12.5");
  EXPECT_EQ(Rig.Trace.Lines,
            (std::vector<std::u16string>{u"value record ignored as malformed: no data (identifier 3)",
                                         u"value record ignored as malformed: no data (identifier 3)"}));
}

}  // namespace
}  // namespace zelm::testing
