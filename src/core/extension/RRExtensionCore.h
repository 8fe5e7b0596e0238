// The extension object's state and behaviour, free of Windows: everything that
// decides what ZelmKvel answers. The COM object owns one and converts at its edge.
// Failures are thrown as EZelmError; the COM guard turns them into the caller's error.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/extension/Subscriptions.h"
#include "core/host/HostObject.h"
#include "core/protocol/DataServerLink.h"
#include "core/platform/PlatformText.h"
#include "core/platform/Trace.h"
#include "core/tables/Catalogue.h"
#include "core/tables/SlotTexts.h"

namespace zelm {

struct TLabelCode;

// ProcessCommand's answer, its names spelled as the type library has them.
enum TExtentionProcessCommandExitCode : int16_t {
  ecNone = 0,
  ecExecExit = 1,
  ecBreak = 2,
  ecExcuteCommand = 3,
};

// The texts every parameter has. Whether its values are flowing and how long it has
// gone unasked are the subscriptions' (Subscriptions.h).
struct TParamFields {
  std::u16string Value;  // last value text, ready for display
  std::u16string Title;  // live parameters only
  std::u16string Unit;   // live parameters only
};

// The three fields of a dynamic label slot, and what each of them is among the
// parameters' codes (null: no parameter's code), found once when the field is written
// rather than on every request of the slot.
struct TSlotFields {
  std::u16string Code;   // the value code it shows, e.g. "ce_speed"
  std::u16string Title;  // Code + "_title"
  std::u16string Unit;   // Code + "_unit"
  const TLabelCode* CodeMatch = nullptr;
  const TLabelCode* TitleMatch = nullptr;
  const TLabelCode* UnitMatch = nullptr;
};

// The one class that holds the extension's state. Its methods live beside this header,
// a file for each kind of work: Lifecycle (start-up and the data server's link),
// Labels, Commands, Slots, ValueRecords, Widgets. One class, because what wins when a
// value record arrives in the middle of one of our sends is decided by the order of
// steps over one set of fields.
class TRRExtensionCore final : public TValueRecordSink {
 public:
  // The link owns the hidden window; the core only asks it for the handle. Nothing is
  // sent to the data server when the core goes.
  TRRExtensionCore(TDataServerLink& Link, TPlatformText& Text, TTraceLog& Trace) noexcept;
  ~TRRExtensionCore() override;
  TRRExtensionCore(const TRRExtensionCore&) = delete;
  TRRExtensionCore& operator=(const TRRExtensionCore&) = delete;

  // Lifecycle.
  void Init(THostRef RRAPI);
  void Initialize(std::u16string_view ZelmDSPath);

  // Label requests: the answer stays valid until the next call into the core.
  std::u16string_view ReturnLabel(std::u16string_view LabelCode);

  // Skin commands.
  TExtentionProcessCommandExitCode ProcessCommand(std::u16string_view CMD);

  // Widgets and skin.
  static std::u16string_view ReturnIndicatorEx() noexcept { return u"False"; }
  static std::u16string_view ReturnSlider() noexcept { return {}; }
  void OnLoadSkin(THostRef Skin) noexcept;
  void OnUnloadSkin() noexcept;
  int32_t CommonListItemCount();
  std::u16string_view CommonListItem(int32_t ItemIndex);

  // A value record that arrived on the hidden window (dwData and the copied data).
  // One without data is malformed and ignored.
  void StoreValueRecord(uint32_t Identifier, const void* Data, std::size_t Size) override;

  // The code that follows Code in the label-code cycle; any other text stays as it is.
  static std::u16string_view NextCycleCode(std::u16string_view Code) noexcept;

 private:
  // The tests' view of the state (they define it).
  friend struct TCoreProbe;

  // How a slot is written: whole, or (once, by design) only its code.
  enum class TSlotWrite : unsigned char { Whole, CodeOnly };

  bool IsSkin(std::u16string_view ASkinName);
  uint32_t OwnWindow();
  void AnnounceWindow();
  void SendToServer(uint32_t MessageId, uint32_t Data1);
  std::u16string_view RenderParamCode(const TLabelCode* Match);
  static const TLabelCode* ParamCodeOf(std::u16string_view Field) noexcept;
  void StepSlot(std::size_t Slot);
  void AssignSlot(std::size_t Slot, std::u16string Code, TSlotWrite Write = TSlotWrite::Whole);
  void NoteServerWindow(uint32_t Server);

  TDataServerLink& FLink;
  TPlatformText& FText;
  TTraceLog& FTrace;

  THostRef FRRAPI;
  THostRef FSkin;
  std::u16string FZelmDSPath;     // kept, never read
  uint32_t FOwnWindow = 0;        // the hidden window, once made
  uint32_t FAnnouncedWindow = 0;  // the window Initialize took, which the repeated announcement names
  // Our label requests until the announcement is repeated.
  int32_t FAnnouncementCountdown = 0;
  // The server window that took our last message (0: none found, or none yet). A
  // server that goes away or is replaced knows nothing of our subscriptions.
  uint32_t FServerWindow = 0;
  // Whether the last value record for each parameter (and, last, for any other
  // identifier) was malformed: said once per spell.
  std::array<bool, cParamCount + 1> FMalformed{};
  std::array<TParamFields, cParamCount> FParams;
  TSubscriptions FSubscriptions;
  std::array<TSlotFields, cSlotCount> FSlots;
  // Holds a label answer that is not a field of its own (a slot's name from the host),
  // reused from call to call so that steady label requests allocate nothing.
  std::u16string FLabelAnswer;
  // A value record's text on its way to a field, likewise reused.
  std::u16string FRecordText;
};

}  // namespace zelm
