// Scripted stand-ins for the core's ports: a data-server link that records every send
// (and can deliver value records in the middle of one), fixed platform texts, and a
// host object with variables and a call log.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/extension/RRExtensionCore.h"
#include "core/host/Errors.h"
#include "core/protocol/Protocol.h"

namespace zelm::testing {

struct TSent {
  uint32_t MessageId;
  TCopyData Record;
  bool operator==(const TSent& O) const {
    return MessageId == O.MessageId && Record.Data1 == O.Record.Data1 && Record.Data2 == O.Record.Data2 &&
           Record.Data3 == O.Record.Data3 && Record.Data4 == O.Record.Data4;
  }
};

// A sent message as (message id, Data1); the other fields are checked to be 0.
struct TMessage {
  uint32_t MessageId;
  uint32_t Data1;
  bool operator==(const TMessage& O) const { return MessageId == O.MessageId && Data1 == O.Data1; }
};

class TFakeLink : public TDataServerLink {
 public:
  uint32_t MessageWindow() override {
    ++WindowsCreated;
    return CreateFails ? 0 : NextHandle;
  }
  TSendOutcome Send(uint32_t MessageId, const TCopyData& Record) override {
    Sent.push_back({MessageId, Record});
    if (DuringSend) DuringSend(MessageId, Record);
    return {!Paused, Paused ? 0 : Server};
  }
  // The sends as (id, Data1) pairs; fails the test's expectation if Data2..4 are not 0.
  std::vector<TMessage> Messages() const {
    std::vector<TMessage> Out;
    for (const auto& S : Sent) {
      if (S.Record.Data2 || S.Record.Data3 || S.Record.Data4) Out.push_back({0xFFFFFFFF, 0xFFFFFFFF});
      Out.push_back({S.MessageId, S.Record.Data1});
    }
    return Out;
  }

  uint32_t Server = 0x5000;  // the window that takes each message; 0: no server
  bool Paused = false;       // sends dropped unseen, as during a back-off
  uint32_t NextHandle = 0x1234;
  bool CreateFails = false;
  int WindowsCreated = 0;
  std::vector<TSent> Sent;
  std::function<void(uint32_t, const TCopyData&)> DuringSend;
};

// Bytes map to the code points of the same value (Latin-1), the separator is settable.
class TFakeText : public TPlatformText {
 public:
  void FromAnsi(std::string_view Text, std::u16string& Out) override {
    Out.clear();
    for (char C : Text) Out.push_back(char16_t(static_cast<unsigned char>(C)));
  }
  char16_t DecimalSeparator() override { return Separator; }
  char16_t Separator = u'.';
};

class TFakeTrace : public TTraceLog {
 public:
  void Trace(std::u16string_view Line) noexcept override { Lines.emplace_back(Line); }
  std::vector<std::u16string> Lines;
};

class TFakeHost : public THostObject {
 public:
  struct TCall {
    std::u16string Name;
    std::vector<std::u16string> Args;  // texts as they are, Booleans as "true"/"false"
  };
  std::u16string Call(std::u16string_view Name, THostCallKind, std::initializer_list<THostArg> Args) override {
    TCall Record{std::u16string(Name), {}};
    for (const auto& A : Args)
      Record.Args.push_back(A.Kind == THostArg::TKind::Text ? std::u16string(A.Text)
                                                            : std::u16string(A.Boolean ? u"true" : u"false"));
    Calls.push_back(Record);
    if (FailOn && FailOn(Record)) throw EZelmError(FailCode, FailMessage);
    if (Name == u"GetInfo") {
      const auto& Query = Record.Args.at(0);  // "=$V$"
      auto It = Variables.find(Query.substr(2, Query.size() - 3));
      return It == Variables.end() ? std::u16string() : It->second;
    }
    if (Name == u"SkinName") return Name_;
    if (Name == u"Execute" && OnExecute) OnExecute(Record);
    return {};
  }
  // Calls with this name, in order.
  std::vector<TCall> CallsOf(std::u16string_view Name) const {
    std::vector<TCall> Out;
    for (const auto& C : Calls)
      if (C.Name == Name) Out.push_back(C);
    return Out;
  }

  std::map<std::u16string, std::u16string> Variables;
  std::u16string Name_;
  std::vector<TCall> Calls;
  std::function<bool(const TCall&)> FailOn;
  int32_t FailCode = static_cast<int32_t>(0x80020009u);
  std::u16string FailMessage = u"host failed";
  std::function<void(const TCall&)> OnExecute;
};

}  // namespace zelm::testing

namespace zelm {

// What the tests read of a core's state, and the one thing they set: the product's
// code never looks at any of it.
struct TCoreProbe {
  TRRExtensionCore& Core;
  const TParamFields& Param(std::size_t I) const { return Core.FParams[I]; }
  const TSlotFields& Slot(std::size_t I) const { return Core.FSlots[I]; }
  bool IsOn(std::size_t I) const { return Core.FSubscriptions.IsOn(I); }
  int32_t Count(std::size_t I) const { return Core.FSubscriptions.Countdown(I); }
  void SetCount(std::size_t I, int32_t Value) { Core.FSubscriptions.Load(I, static_cast<uint32_t>(Value)); }
  uint32_t OwnWindow() { return Core.OwnWindow(); }  // made if there is none
  uint32_t Handle() const { return Core.FOwnWindow; }
  uint32_t AnnouncedWindow() const { return Core.FAnnouncedWindow; }
  int32_t AnnouncementCountdown() const { return Core.FAnnouncementCountdown; }
  const std::u16string& ZelmDSPath() const { return Core.FZelmDSPath; }
};

}  // namespace zelm

namespace zelm::testing {

// A core wired to the fakes.
struct TRig {
  TFakeLink Link;
  TFakeText Text;
  TFakeTrace Trace;
  std::shared_ptr<TFakeHost> Host = std::make_shared<TFakeHost>();
  TRRExtensionCore Core{Link, Text, Trace};
  TCoreProbe Probe{Core};

  // A value record as the data server sends it: a trip figure's, or with a title and
  // unit a live parameter's.
  void Deliver(uint32_t Id, std::string_view Value) { Store(Id, EncodeTripRecord(Value)); }
  void Deliver(uint32_t Id, std::string_view Value, std::string_view TitleUnit) {
    Store(Id, EncodeLiveRecord(Value, TitleUnit));
  }
  void Store(uint32_t Id, const std::string& Record) { Core.StoreValueRecord(Id, Record.data(), Record.size()); }
  // Init with the fake host and Initialize; the sends and trace so far are forgotten.
  void Start() {
    Core.Init(Host);
    Core.Initialize(u"C:\\Zelm");
    Link.Sent.clear();
    Host->Calls.clear();
    Trace.Lines.clear();
  }
};

}  // namespace zelm::testing
