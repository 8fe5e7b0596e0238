// The extension object's state and behaviour, free of Windows: everything that
// decides what ZelmKvel answers. The COM object owns one and converts at its edge.
// Failures are thrown as EZelmError; the COM guard turns them into the caller's error.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/host/HostObject.h"
#include "core/protocol/DataServerLink.h"
#include "core/protocol/PlatformText.h"
#include "core/protocol/Trace.h"
#include "core/tables/Catalogue.h"
#include "core/tables/SlotTexts.h"

namespace zelm {

struct TLabelCode;

enum TExtentionProcessCommandExitCode : int16_t {
  ecNone = 0,
  ecExecExit = 1,
  ecBreak = 2,
  ecExcuteCommand = 3,
};

// The texts every parameter has. Its other two fields, the on flag (values are
// flowing) and the idle countdown (in label requests), are kept in arrays of their own
// in the object: every label request looks at all 71 countdowns, so they sit together.
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
  void Initialize_(std::u16string_view ZelmDSPath);

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
  bool IsSkin(std::u16string_view ASkinName);

  // The data server's link.
  uint32_t GetHandle();
  void InitConnection();
  void SendParamMaskToServer(uint32_t MessageId, uint32_t Param1, uint32_t Param2 = 0,
                             uint32_t Param3 = 0, uint32_t Param4 = 0);
  // A value record that arrived on the hidden window (dwData and the copied data).
  // One without data is malformed and ignored.
  void StoreValueRecord(uint32_t Identifier, const void* Data, std::size_t Size) override;

  // Dynamic labels.
  static std::u16string_view DinamicLabelNext(std::u16string_view Str) noexcept;
  void StepDinamicLabel(std::size_t Slot);

  // Read-only views of the state, and one setter, for the tests: the shell needs none.
  const TParamFields& Param(std::size_t Index) const noexcept { return FParams[Index]; }
  bool IsOn(std::size_t Index) const noexcept { return FOn[Index]; }
  int32_t Count(std::size_t Index) const noexcept { return static_cast<int32_t>(FZero[Index] - FClock - 1u); }
  void SetCount(std::size_t Index, int32_t Value) noexcept;
  const TSlotFields& Slot(std::size_t Index) const noexcept { return FSlots[Index]; }
  uint32_t Handle() const noexcept { return FHandle; }
  uint32_t ZelmHandle() const noexcept { return FZelmHandle; }
  uint32_t ServerWindow() const noexcept { return FServerWindow; }
  int32_t WaitTimeLeft() const noexcept { return WaitTime; }
  const std::u16string& ZelmDSPath() const noexcept { return FZelmDSPath; }
  bool HasHost() const noexcept { return FRRAPI != nullptr; }
  bool HasSkin() const noexcept { return FSkin != nullptr; }

 private:
  std::u16string_view RenderParamCode(const TLabelCode* Match);
  static const TLabelCode* ParamCodeOf(std::u16string_view Field) noexcept;
  void RunIdleCountdowns();
  void DropDueSubscriptions();
  void LoadCountdown(std::size_t Index, uint32_t Count) noexcept;
  void TurnOn(std::size_t Index) noexcept;
  void NoteServerWindow(uint32_t Server);
  void ForgetSubscriptions();

  TDataServerLink& FLink;
  TPlatformText& FText;
  TTraceLog& FTrace;

  THostRef FRRAPI;
  THostRef FSkin;
  std::u16string FZelmDSPath;
  uint32_t FHandle = 0;
  uint32_t FZelmHandle = 0;
  int32_t WaitTime = 0;
  // The server window that took our last message (0: none found, or none yet). A
  // server that goes away or is replaced knows nothing of our subscriptions.
  uint32_t FServerWindow = 0;
  // Whether the last value record for each parameter (and, last, for any other
  // identifier) was malformed: said once per spell.
  std::array<bool, cParamCount + 1> FMalformed{};
  std::array<TParamFields, cParamCount> FParams;
  std::array<bool, cParamCount> FOn{};
  // The idle countdowns as deadlines on one clock that counts label requests: a
  // countdown loaded with C after request T reads 0 at request T + C + 1, so each
  // parameter keeps only that request's number (FZero), and a request steps all 71
  // countdowns by stepping the clock. FNextDue is at or before the earliest deadline
  // of a parameter that is on: requests before it need not look at any parameter.
  // All of it is 32-bit arithmetic that wraps, as the countdowns it stands for do;
  // the clock starts just short of its wrap, so that every run crosses it.
  uint32_t FClock = 0xFFFFFF00u;
  uint32_t FNextDue = FClock;
  std::array<uint32_t, cParamCount> FZero{};
  std::array<TSlotFields, cSlotCount> FSlots;
  // Holds a label answer that is not a field of its own (a slot's name from the host),
  // reused from call to call so that steady label requests allocate nothing.
  std::u16string FLabelAnswer;
  // A value record's text on its way to a field, likewise reused.
  std::u16string FRecordText;
};

}  // namespace zelm
