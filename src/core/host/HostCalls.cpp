#include "core/host/HostCalls.h"

#include "core/host/Errors.h"

namespace zelm {
namespace {

// The held reference is copied first: the call keeps the object alive even if the
// host hands over another one from inside it.
THostRef Held(const THostRef& Host) {
  THostRef Copy = Host;
  if (!Copy) throw EZelmError(cUnexpected, u"Invalid variant operation");
  return Copy;
}

}  // namespace

std::u16string HostGetInfo(const THostRef& Host, std::u16string_view Query) {
  return Held(Host)->Call(u"GetInfo", THostCallKind::Method, {Query});
}

void HostExecute(const THostRef& Host, std::u16string_view Batch) {
  Held(Host)->Call(u"Execute", THostCallKind::Command, {Batch});
}

void HostExecute(const THostRef& Host, std::u16string_view Command, bool Flag) {
  Held(Host)->Call(u"Execute", THostCallKind::Command, {Command, Flag});
}

std::u16string HostSkinName(const THostRef& Skin) {
  return Held(Skin)->Call(u"SkinName", THostCallKind::MethodOrPropertyGet, {});
}

std::u16string MakeUpdateBatch(const TSlotTexts& Slot, std::u16string_view Code) {
  std::u16string Batch;
  Batch.reserve(Slot.UpdateStart.size() + Code.size() + Slot.UpdateEnd.size());
  Batch.append(Slot.UpdateStart).append(Code).append(Slot.UpdateEnd);
  return Batch;
}

}  // namespace zelm
