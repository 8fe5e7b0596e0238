// The fixed texts of the 16 dynamic label slots: their label codes, host variable,
// the query that reads it, the two halves of the batch that rewrites it, and the skin
// command that steps the slot.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace zelm {

struct TSlotTexts {
  std::u16string_view ValueCode;    // "ce_dinamic_label_1"
  std::u16string_view NameCode;     // "ce_dinamic_label_1_name"
  std::u16string_view TitleCode;    // "ce_dinamic_label_1_title"
  std::u16string_view UnitCode;     // "ce_dinamic_label_1_unit"
  std::u16string_view Variable;     // "CheckEngineDinamicLabel_1"
  std::u16string_view ReadQuery;    // "=$CheckEngineDinamicLabel_1$"
  std::u16string_view UpdateStart;  // "SETVAR;CheckEngineDinamicLabel_1;"
  std::u16string_view UpdateEnd;    // "||SAVETOSKIN;CheckEngineDinamicLabel_1;$CheckEngineDinamicLabel_1$"
  std::u16string_view StepCommand;  // "ce_next_dinamic_label_1"
};

inline constexpr std::size_t cSlotCount = 16;

// clang-format off
#define ZELM_SLOT(N)                                                                      \
  {u"ce_dinamic_label" N,         u"ce_dinamic_label" N "_name",                         \
   u"ce_dinamic_label" N "_title", u"ce_dinamic_label" N "_unit",                         \
   u"CheckEngineDinamicLabel" N,  u"=$CheckEngineDinamicLabel" N "$",                    \
   u"SETVAR;CheckEngineDinamicLabel" N ";",                                               \
   u"||SAVETOSKIN;CheckEngineDinamicLabel" N ";$CheckEngineDinamicLabel" N "$",          \
   u"ce_next_dinamic_label" N}

inline constexpr std::array<TSlotTexts, cSlotCount> cSlots = {{
    ZELM_SLOT(""), ZELM_SLOT("_1"), ZELM_SLOT("_2"), ZELM_SLOT("_3"), ZELM_SLOT("_4"),
    ZELM_SLOT("_5"), ZELM_SLOT("_6"), ZELM_SLOT("_7"), ZELM_SLOT("_8"), ZELM_SLOT("_9"),
    ZELM_SLOT("_10"), ZELM_SLOT("_11"), ZELM_SLOT("_12"), ZELM_SLOT("_13"),
    ZELM_SLOT("_14"), ZELM_SLOT("_15"),
}};
#undef ZELM_SLOT
// clang-format on

}  // namespace zelm
