// The owner of one of the system's handles: a registry key, a kernel object, a C file,
// a window. TKind names the handle's type (TValue), the value that holds nothing
// (Empty) and how a handle is given back (Close); win/com/Handles.h has the system's
// kinds. Whatever path a function leaves by, the handle goes with its owner. No
// Windows header here: the owner itself is tested natively.
#pragma once

namespace zelm {

template <class TKind>
class TOwned {
 public:
  using TValue = typename TKind::TValue;

  TOwned() noexcept = default;
  explicit TOwned(TValue Value) noexcept : FValue(Value) {}
  ~TOwned() { Reset(); }
  TOwned(const TOwned&) = delete;
  TOwned& operator=(const TOwned&) = delete;
  TOwned(TOwned&& Other) noexcept : FValue(Other.Detach()) {}
  TOwned& operator=(TOwned&& Other) noexcept {
    Reset(Other.Detach());
    return *this;
  }

  TValue Get() const noexcept { return FValue; }
  explicit operator bool() const noexcept { return FValue != TKind::Empty(); }
  // For an out parameter: what was held goes first.
  TValue* Out() noexcept {
    Reset();
    return &FValue;
  }
  // Gives back what is held and holds Value instead.
  void Reset(TValue Value = TKind::Empty()) noexcept {
    const TValue Old = FValue;
    FValue = Value;
    if (Old != TKind::Empty()) TKind::Close(Old);
  }
  // Hands the handle over: this owner then holds nothing.
  TValue Detach() noexcept {
    const TValue Old = FValue;
    FValue = TKind::Empty();
    return Old;
  }

 private:
  TValue FValue = TKind::Empty();
};

}  // namespace zelm
