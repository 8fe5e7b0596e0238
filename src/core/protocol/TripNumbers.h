// The trip figures' number forms. Text reads as a number (spaces, sign, digits with
// at most one Separator, exponent, spaces; anything else reads as 0) and is written
// rounded half away from zero to six significant digits in the given form.
#pragma once

#include <string>
#include <string_view>

#include "core/tables/Catalogue.h"

namespace zelm {

double ReadTripNumber(std::u16string_view Text, char16_t Separator) noexcept;
// Writes into Out, whose storage is reused.
void FormatTripNumber(double Value, TValueForm Form, char16_t Separator, std::u16string& Out);
// A received text read and written again: the same as FormatTripNumber of its
// ReadTripNumber, without the trip through binary where the text's own digits suffice.
void FormatTripText(std::u16string_view Text, TValueForm Form, char16_t Separator, std::u16string& Out);

}  // namespace zelm
