// The host's objects (RideRunner's API object and its skin object) as the core sees
// them: something to call by name with text or Boolean arguments that answers a text
// or fails. The shell binds it to IDispatch; tests script it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace zelm {

// One argument of a late-bound call: a text or a Boolean.
struct THostArg {
  enum class TKind : uint8_t { Text, Boolean } Kind;
  std::u16string_view Text;
  bool Boolean = false;
  // Implicit by design: a call's arguments are written as the texts and Booleans they are.
  THostArg(std::u16string_view AText) : Kind(TKind::Text), Text(AText) {}  // NOLINT(google-explicit-constructor)
  THostArg(const char16_t* AText) : Kind(TKind::Text), Text(AText) {}      // NOLINT(google-explicit-constructor)
  THostArg(bool AValue) : Kind(TKind::Boolean), Boolean(AValue) {}         // NOLINT(google-explicit-constructor)
};

enum class THostCallKind : uint8_t {
  Method,              // GetInfo: its answer is the text
  Command,             // Execute: no answer is asked for, none is read
  MethodOrPropertyGet  // SkinName
};

class THostObject {
 public:
  virtual ~THostObject() = default;
  // Calls Name late-bound and answers the result as text. A failure throws EZelmError
  // with the host's code and the message the error convention hands on.
  virtual std::u16string Call(std::u16string_view Name, THostCallKind Kind, std::initializer_list<THostArg> Args) = 0;
};

// A held host object: null when none was handed over (or a null one was). Shared so
// that a call in progress keeps the object alive even if the host swaps it meanwhile.
using THostRef = std::shared_ptr<THostObject>;

}  // namespace zelm
