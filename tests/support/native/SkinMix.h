// A realistic skin's labels, as the host polls them each frame: values, titles and
// units of live and trip figures, dynamic label slots, and one other extension's code.
#pragma once

#include <array>
#include <string_view>

#include "tests/support/native/Fakes.h"

namespace zelm::testing {

// clang-format off
inline constexpr std::array<std::u16string_view, 40> cSkinMix = {
    u"ce_speed",          u"ce_speed_unit",          u"ce_enginespeed",     u"ce_enginespeed_unit",
    u"ce_coolanttemp",    u"ce_coolanttemp_title",   u"ce_coolanttemp_unit", u"ce_voltage",
    u"ce_voltage_unit",   u"ce_fuellevel",           u"ce_fuellevel_unit",   u"ce_intaketemp",
    u"ce_maf_gm_s",       u"ce_cal_ld_value",        u"ce_ignitiontiming",  u"ce_s_fuel_trim_b1",
    u"ce_l_fuel_trim_b1", u"ce_o2b1s1",              u"ce_brake_sw",        u"ce_cooling_fan",
    u"ce_distancewent",   u"ce_fuelconsumed",        u"ce_avgspeed",        u"ce_maxspeed",
    u"ce_avgfuelperdist", u"ce_timewent",            u"ce_accelaration",    u"CE_Speed",
    u"ce_dinamic_label",  u"ce_dinamic_label_title", u"ce_dinamic_label_unit", u"ce_dinamic_label_1",
    u"ce_dinamic_label_1_title", u"ce_dinamic_label_1_unit", u"ce_dinamic_label_2", u"ce_dinamic_label_2_unit",
    u"ce_dinamic_label_3", u"ce_dinamic_label_3_title", u"ce_dinamic_label_name", u"clock_time",
};
// clang-format on

// A link that only counts: the steady state must not allocate, and neither may this.
class TCountingLink : public TDataServerLink {
 public:
  uint32_t MessageWindow() override { return 0x42; }
  TSendOutcome Send(uint32_t, const TCopyData&) override {
    ++Sends;
    return {true, 0x5000};
  }
  long Sends = 0;
};

// A core showing the mix with every parameter's values flowing.
struct TSteadySkin {
  TCountingLink Link;
  TFakeText Text;
  TFakeTrace Trace;
  std::shared_ptr<TFakeHost> Host = std::make_shared<TFakeHost>();
  TRRExtensionCore Core{Link, Text, Trace};

  TSteadySkin() {
    Host->Variables = {{u"CheckEngineDinamicLabel", u"ce_speed"},
                       {u"CheckEngineDinamicLabel_1", u"ce_avgfuelperhour"},
                       {u"CheckEngineDinamicLabel_2", u"ce_o2b2s2"},
                       {u"CheckEngineDinamicLabel_3", u"ce_\u0440orse_power"}};
    Core.Init(Host);
    Core.Initialize(u"C:\\Zelm");
    for (const auto& P : cParams) {
      const std::string Record =
          P.Kind == TParamKind::Live ? EncodeLiveRecord("1234.5", "Some title,unit") : EncodeTripRecord("12.5");
      Core.StoreValueRecord(P.Id, Record.data(), Record.size());
    }
  }
  // One frame: every label once; the total length of the answers.
  std::size_t Frame() {
    std::size_t Length = 0;
    for (auto Code : cSkinMix) Length += Core.ReturnLabel(Code).size();
    return Length;
  }
};

}  // namespace zelm::testing
