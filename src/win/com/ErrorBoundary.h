// The one place where a failure stops: every entry point of the DLL (the interface
// methods, the class factory, registration, the window procedure) runs its body under
// Guard, which turns whatever escapes into a code and a message by one rule. Portable
// on purpose (no Windows header): the rule is tested natively; what an entry point
// does with the failure (an error-info object, E_FAIL, nothing) is its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iterator>
#include <new>

#include "core/host/Errors.h"

namespace zelm {

// What every entry point says when memory ran out.
inline constexpr char16_t cOutOfMemoryText[] = u"Out of memory";

// The code a failure carries out of an entry point: the host's own when a host call
// failed with one (negative), E_UNEXPECTED for everything else.
constexpr int32_t CarriedCode(int32_t Code) noexcept { return Code < 0 ? Code : cUnexpected; }

// Runs Body. A failure that escapes it goes to Report(Code, Message, HelpContext), a
// noexcept callable whose answer Guard answers; the message lives only during that
// call. Answers 0 when Body completed. Out of memory is said without allocating.
template <class TBody, class TReport>
int32_t Guard(TBody&& Body, TReport&& Report) noexcept {
  try {
    Body();
    return 0;
  } catch (const EZelmError& Error) {
    return Report(CarriedCode(Error.Code), Error.Message.c_str(), Error.HelpContext);
  } catch (const std::bad_alloc&) {
    return Report(cUnexpected, static_cast<const char16_t*>(cOutOfMemoryText), uint32_t{0});
  } catch (const std::exception& Error) {
    char16_t Message[256] = {};
    const char* What = Error.what();
    for (std::size_t I = 0; What && What[I] && I + 1 < std::size(Message); ++I)
      Message[I] = static_cast<unsigned char>(What[I]);
    return Report(cUnexpected, static_cast<const char16_t*>(Message), uint32_t{0});
  } catch (...) {
    return Report(cUnexpected, u"Unexpected failure", uint32_t{0});
  }
}

// Runs Body where nobody can be told of a failure (a window procedure, a trace): it
// stops here. Answers the code it carried, 0 when Body completed.
template <class TBody>
int32_t Contain(TBody&& Body) noexcept {
  return Guard(Body, [](int32_t Code, const char16_t*, uint32_t) noexcept { return Code; });
}

}  // namespace zelm
