// The trip figures' number forms. Text reads as a number (spaces, sign, digits with
// at most one Separator, exponent, spaces; anything else reads as 0) and is written
// rounded half away from zero to six significant digits in the given form.
#pragma once

#include <string>
#include <string_view>

#include "core/tables/Catalogue.h"

namespace zelm {

double ReadTripNumber(std::u16string_view Text, char16_t Separator) noexcept;
std::u16string FormatTripNumber(double Value, TValueForm Form, char16_t Separator);

}  // namespace zelm
