#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/protocol/Protocol.h"
#include "programs/sim/DriveReplay.h"
#include "programs/sim/SimServer.h"
#include "tests/support/native/ToolsTestSupport.h"

namespace zelm::tools {
namespace {

struct TSent {
  uint32_t Window, Id;
  std::string Record;
};

// Records what the server sends; can play a window that is gone, and can run
// something in the middle of a send, as the extension does when it sends to us
// while our record is being delivered.
class TRecordingSink final : public TSimSink {
 public:
  std::vector<TSent> Sent;
  uint32_t DeadWindow = 0;
  std::function<void(uint32_t Id)> DuringSend;
  int Changes = 0;

  bool SendRecord(uint32_t Window, uint32_t Id, std::string_view Record) override {
    if (Window == DeadWindow) return false;
    Sent.push_back({Window, Id, std::string(Record)});
    if (DuringSend) DuringSend(Id);
    return true;
  }
  std::string ToAnsi(std::u16string_view Text) override {
    std::string Out;
    for (char16_t C : Text) Out.push_back(C < 0x100 ? static_cast<char>(C) : '?');  // Latin-1
    return Out;
  }
  void StateChanged() override { ++Changes; }

  std::vector<uint32_t> Ids() const {
    std::vector<uint32_t> Out;
    for (const auto& S : Sent) Out.push_back(S.Id);
    return Out;
  }
};

TCopyData Data(uint32_t Data1) { return TCopyData{Data1, 0, 0, 0}; }
const std::string cCoolantTitle = std::string("Coolant temperature,\xB0") + "C";  // ANSI, not UTF-8

class SimServerTest : public ::testing::Test {
 protected:
  TVehicleModel Model{4};
  TRecordingSink Sink;
  TSimServer Server{Model, Sink};
};

TEST_F(SimServerTest, SendsNothingUntilAWindowIsAnnounced) {
  Server.OnControl(AddMessageId, Data(1));
  Server.OnControl(TripReadMessageId, Data(0));
  Server.Tick(0.1);
  EXPECT_TRUE(Sink.Sent.empty());
  // An announcement without a window (an extension not yet initialised) names none.
  Server.OnControl(InitConnectionMessageId, Data(0));
  Server.Tick(0.1);
  EXPECT_TRUE(Sink.Sent.empty());
  EXPECT_EQ(Server.Window(), 0u);

  Server.OnControl(InitConnectionMessageId, Data(0x1234));
  Server.Tick(0.1);
  ASSERT_EQ(Sink.Sent.size(), 1u);
  EXPECT_EQ(Sink.Sent[0].Window, 0x1234u);
  EXPECT_EQ(Sink.Sent[0].Id, 1u);
}

TEST_F(SimServerTest, AnswersEachAddAtOnceAndSendsEachSubscribedParameterOncePerTickUntilItsDelete) {
  Server.OnControl(InitConnectionMessageId, Data(77));
  for (uint32_t Id : {11u, 2u, 137u}) Server.OnControl(AddMessageId, Data(Id));
  Server.OnControl(AddMessageId, Data(2));  // twice is still once, answered again
  // Identifiers of no parameter are no subscription; a trip figure (137) is one, but
  // not on the status line, which lists the live parameters.
  for (uint32_t Id : {0u, 45u, 136u, 145u, 0xFFFFFFFFu}) Server.OnControl(AddMessageId, Data(Id));
  EXPECT_EQ(Server.SubscribedText(), "2 11");
  EXPECT_EQ(Sink.Ids(), (std::vector<uint32_t>{11, 2, 137, 2}));

  Sink.Sent.clear();
  Server.Tick(0.1);
  Server.Tick(0.1);
  EXPECT_EQ(Sink.Ids(), (std::vector<uint32_t>{2, 11, 137, 2, 11, 137}));

  Sink.Sent.clear();
  Server.OnControl(DeleteMessageId, Data(11));
  Server.OnControl(DeleteMessageId, Data(40));  // not subscribed: nothing happens
  Server.Tick(0.1);
  EXPECT_EQ(Sink.Ids(), (std::vector<uint32_t>{2, 137}));
  EXPECT_EQ(Server.SubscribedText(), "2");
  EXPECT_EQ(Server.Counters().Adds, 9u);
  EXPECT_EQ(Server.Counters().Deletes, 2u);
}

TEST_F(SimServerTest, ADeleteArrivingDuringASendStopsThatParameterAtOnce) {
  Server.OnControl(InitConnectionMessageId, Data(5));
  for (uint32_t Id : {1u, 2u, 3u}) Server.OnControl(AddMessageId, Data(Id));
  Sink.Sent.clear();
  // While record 1 is delivered, the extension drops 2 and adds 4 (answered at once).
  Sink.DuringSend = [&](uint32_t Id) {
    if (Id != 1) return;
    Server.OnControl(DeleteMessageId, Data(2));
    Server.OnControl(AddMessageId, Data(4));
  };
  Server.Tick(0.1);
  EXPECT_EQ(Sink.Ids(), (std::vector<uint32_t>{1, 4, 3, 4}));
}

TEST_F(SimServerTest, RecordsCarryTheCarsTextsInTheLayoutTheExtensionReads) {
  Server.OnControl(InitConnectionMessageId, Data(9));
  Server.OnControl(AddMessageId, Data(2));
  Sink.Sent.clear();
  Model.Step(100);
  Server.Tick(0.1);
  Server.OnControl(TripReadMessageId, Data(0));
  ASSERT_EQ(Sink.Sent.size(), 16u);
  ASSERT_EQ(Sink.Sent[13].Id, 142u);

  const std::string& Live = Sink.Sent[0].Record;
  const TParamValueData Coolant = DecodeParamValueData(Live.data(), Live.size());
  EXPECT_EQ(Coolant.ValueText, Model.ValueText(2));
  EXPECT_EQ(Coolant.TitleUnitText, cCoolantTitle);
  EXPECT_EQ(Live.size(), cValueTextSize + Coolant.TitleUnitText.size() + 1);

  const std::string& Trip = Sink.Sent[13].Record;
  EXPECT_EQ(Trip.size(), cValueTextSize);
  EXPECT_EQ(DecodeParamValueData(Trip.data(), Trip.size()).ValueText, Model.ValueText(142));
}

TEST_F(SimServerTest, TripReadSendsAllFifteenFiguresAtOnceAndResetStartsThemAgain) {
  Server.OnControl(InitConnectionMessageId, Data(3));
  Model.Step(300);
  Server.OnControl(TripReadMessageId, Data(0));
  EXPECT_EQ(Sink.Ids(),
            (std::vector<uint32_t>{129, 130, 131, 132, 133, 134, 135, 137, 138, 139, 140, 141, 142, 143, 144}));
  const std::string Distance = Sink.Sent[5].Record;
  EXPECT_NE(DecodeParamValueData(Distance.data(), Distance.size()).ValueText, "0.000");

  Sink.Sent.clear();
  Server.OnControl(TripResetMessageId, Data(0));
  EXPECT_EQ(Model.Trip().Distance, 0.0);
  ASSERT_EQ(Sink.Sent.size(), 15u);  // the reset figures go out too
  EXPECT_EQ(DecodeParamValueData(Sink.Sent[5].Record.data(), cValueTextSize).ValueText, "0.000");
}

TEST_F(SimServerTest, ANewWindowOrAGoneOneDropsTheOldSubscriptions) {
  Server.OnControl(InitConnectionMessageId, Data(10));
  Server.OnControl(AddMessageId, Data(1));
  Server.OnControl(AddMessageId, Data(3));
  // The same window again (the periodic announcement) keeps everything.
  Server.OnControl(InitConnectionMessageId, Data(10));
  EXPECT_EQ(Server.SubscribedText(), "1 3");
  // Another extension object: it subscribes for itself.
  const int Before = Sink.Changes;
  Server.OnControl(InitConnectionMessageId, Data(20));
  EXPECT_EQ(Server.SubscribedText(), "");
  EXPECT_EQ(Server.Window(), 20u);
  EXPECT_GT(Sink.Changes, Before);

  Server.OnControl(AddMessageId, Data(1));
  Sink.Sent.clear();
  const uint64_t Sent = Server.Counters().RecordsSent;
  Sink.DeadWindow = 20;  // the host went away
  Server.Tick(0.1);
  EXPECT_EQ(Server.Window(), 0u);
  EXPECT_EQ(Server.SubscribedText(), "");
  Server.Tick(0.1);
  EXPECT_TRUE(Sink.Sent.empty());
  EXPECT_EQ(Server.Counters().RecordsSent, Sent);
}

// A replay sends each reading with the title and unit it was recorded with; a reading
// recorded without them goes with the car's.
TEST(SimServerReplay, SendsTheRecordedTitleAndUnit) {
  TDrive Drive;
  ASSERT_TRUE(Parsed("seconds,ce_speed,ce_coolanttemp\ntitle,Speed,\nunit,mph,\n0,12,19\n", Drive));
  TDriveReplay Replay(Drive, false);
  TRecordingSink Sink;
  TSimServer Server(Replay, Sink);
  Server.OnControl(InitConnectionMessageId, Data(1));
  for (uint32_t Id : {1u, 2u}) Server.OnControl(AddMessageId, Data(Id));
  ASSERT_EQ(Sink.Sent.size(), 2u);
  EXPECT_EQ(DecodeParamValueData(Sink.Sent[0].Record.data(), Sink.Sent[0].Record.size()).TitleUnitText, "Speed,mph");
  EXPECT_EQ(DecodeParamValueData(Sink.Sent[1].Record.data(), Sink.Sent[1].Record.size()).TitleUnitText, cCoolantTitle);
}

}  // namespace
}  // namespace zelm::tools
