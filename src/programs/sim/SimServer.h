// The data server's side of the protocol, free of Windows: which window the extension
// announced, which parameters it subscribed, what it answers at once (an Add with the
// parameter's record, a trip read or reset with the trip figures, as the Zelm data
// server answers from inside its window procedure) and what it sends on each tick. The
// values come from a drive source: the simulated car, a recorded drive, or rules. The
// window (programs/sim/ServerWindow.h) feeds it the control records and sends what it asks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocol/Protocol.h"
#include "programs/sim/VehicleModel.h"

namespace zelm::tools {

class TSimSink {
 public:
  virtual ~TSimSink() = default;
  // Sends one value record (dwData = Identifier) to Window. False when that window
  // is gone; the server then forgets it and everything it subscribed.
  virtual bool SendRecord(uint32_t Window, uint32_t Identifier, std::string_view Record) = 0;
  // UTF-16 text in the system's ANSI code page, as the records carry it.
  virtual std::string ToAnsi(std::u16string_view Text) = 0;
  // The window or the subscriptions changed (after the change).
  virtual void StateChanged() {}
};

struct TSimCounters {
  uint64_t Heard = 0;  // every control message
  uint64_t Announcements = 0, Adds = 0, Deletes = 0, TripReads = 0, TripResets = 0, Unknown = 0;
  uint64_t RecordsSent = 0;
};

class TSimServer {
 public:
  TSimServer(TDriveSource& Source, TSimSink& Sink) noexcept : FSource(Source), FSink(Sink) {}

  // One control message from an extension: dwData and its 16-byte record, answered at
  // once.
  void OnControl(uint32_t MessageId, const TCopyData& Data);
  // Advances the drive and sends one record of every subscribed parameter that has a
  // reading now.
  void Tick(double Seconds);

  uint32_t Window() const noexcept { return FWindow; }
  bool IsSubscribed(uint32_t Id) const noexcept { return Id < FSubscribed.size() && FSubscribed[Id]; }
  std::vector<uint32_t> Subscribed() const;
  // "1 2 11": the subscribed live parameters' identifiers in ascending order.
  std::string SubscribedText() const;
  const TSimCounters& Counters() const noexcept { return FCounters; }

  // The record of one parameter as it would go out now; empty when it has no reading.
  std::string RecordOf(uint32_t Id);

 private:
  bool Send(uint32_t Id);
  void SendTripFigures();
  void Forget();

  TDriveSource& FSource;
  TSimSink& FSink;
  uint32_t FWindow = 0;
  std::array<bool, 145> FSubscribed{};
  TSimCounters FCounters;
};

}  // namespace zelm::tools
