#include "programs/sim/SimServer.h"

#include "core/protocol/Protocol.h"
#include "core/tables/Catalogue.h"

namespace zelm::tools {

void TSimServer::OnControl(uint32_t MessageId, const TCopyData& Data) {
  ++FCounters.Heard;
  switch (MessageId) {
    case InitConnectionMessageId:
      ++FCounters.Announcements;
      // A handle of 0 names no window (an extension announces before it has one).
      // Another window than the one we send to is another extension object: what the
      // last one subscribed is not its business, and it subscribes afresh.
      if (Data.Data1 != 0 && Data.Data1 != FWindow) {
        if (FWindow != 0) FSubscribed.fill(false);
        FWindow = Data.Data1;
        FSink.StateChanged();
      }
      break;
    case AddMessageId:
      ++FCounters.Adds;
      // A trip figure is subscribed like any other parameter (and goes out on each trip
      // read besides). Its reading goes out at once, while the extension waits.
      if (!TVehicleModel::Knows(Data.Data1)) break;
      if (!FSubscribed[Data.Data1]) {
        FSubscribed[Data.Data1] = true;
        FSink.StateChanged();
      }
      if (FWindow != 0) Send(Data.Data1);
      break;
    case DeleteMessageId:
      ++FCounters.Deletes;
      if (IsSubscribed(Data.Data1)) {
        FSubscribed[Data.Data1] = false;
        FSink.StateChanged();
      }
      break;
    case TripReadMessageId:
      ++FCounters.TripReads;
      SendTripFigures();
      break;
    case TripResetMessageId:
      ++FCounters.TripResets;
      FSource.ResetTrip();
      SendTripFigures();
      break;
    default: ++FCounters.Unknown; break;
  }
}

void TSimServer::SendTripFigures() {
  for (const TParamInfo& P : cParams)
    if (P.Kind == TParamKind::Trip && FWindow != 0) Send(P.Id);
}

void TSimServer::Tick(double Seconds) {
  FSource.Step(Seconds);
  // A control message can arrive while we wait in a send (the extension answers our
  // record while it is itself sending to us), so each parameter is looked at again
  // just before its record goes out: nothing is sent after its Delete.
  for (uint32_t Id = 0; Id < FSubscribed.size() && FWindow != 0; ++Id)
    if (FSubscribed[Id]) Send(Id);
}

std::string TSimServer::RecordOf(uint32_t Id) {
  const std::string Value = FSource.ValueText(Id);
  if (Value.empty()) return {};
  if (TVehicleModel::IsTrip(Id)) return EncodeTripRecord(Value);
  const std::u16string Recorded = FSource.RecordedTitleUnit(Id);
  return EncodeLiveRecord(Value, FSink.ToAnsi(Recorded.empty() ? TVehicleModel::TitleUnit(Id) : Recorded));
}

bool TSimServer::Send(uint32_t Id) {
  const uint32_t Window = FWindow;
  const std::string Record = RecordOf(Id);
  if (Record.empty()) return true;  // nothing to say about it yet
  if (!FSink.SendRecord(Window, Id, Record)) {
    if (FWindow == Window) Forget();
    return false;
  }
  ++FCounters.RecordsSent;
  return true;
}

void TSimServer::Forget() {
  FWindow = 0;
  FSubscribed.fill(false);
  FSink.StateChanged();
}

std::vector<uint32_t> TSimServer::Subscribed() const {
  std::vector<uint32_t> Ids;
  for (uint32_t Id = 0; Id < FSubscribed.size(); ++Id)
    if (FSubscribed[Id]) Ids.push_back(Id);
  return Ids;
}

// The live parameters only: whether a trip figure was subscribed depends on whether its
// value from the trip read came before the skin asked for it, and the status line is to
// read the same whichever way they crossed.
std::string TSimServer::SubscribedText() const {
  std::string Text;
  for (uint32_t Id : Subscribed()) {
    if (TVehicleModel::IsTrip(Id)) continue;
    if (!Text.empty()) Text.push_back(' ');
    Text += std::to_string(Id);
  }
  return Text;
}

}  // namespace zelm::tools
