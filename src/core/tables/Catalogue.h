// The 71 vehicle parameters: identifiers, field stems, label codes, kinds and their
// place in the label-code cycle. One constant table; the per-parameter fields live in
// the extension object in arrays indexed like this table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelm {

enum class TParamKind : uint8_t { Live, Trip };

// How a trip figure is stored when it arrives (live values are always kept as sent).
enum class TValueForm : uint8_t { AsSent, Fixed0, Fixed1, Fixed3, General };

// One row per parameter, in identifier order:
//   identifier, field stem, code name (the part after "ce_"), kind, cycle position
//   (-1: not in the cycle), stored form.
// The stem and code of parameter 130 begin with CYRILLIC SMALL LETTER ER (U+0440).
// clang-format off
#define ZELM_PARAMETERS(P)                                                        \
  P(1, VHCL_SPEED_SE, "speed", Live, 15, AsSent)                                  \
  P(2, COOLAN_TEMP, "coolanttemp", Live, 16, AsSent)                              \
  P(3, BATTERY_VOLT, "voltage", Live, 17, AsSent)                                 \
  P(4, HO2S1_B1, "o2b1s1", Live, 18, AsSent)                                      \
  P(5, HO2S2_B1, "o2b1s2", Live, 19, AsSent)                                      \
  P(6, IGN_TIMING, "ignitiontiming", Live, 20, AsSent)                            \
  P(7, INJ_PULSE_B1, "injtime", Live, 21, AsSent)                                 \
  P(8, MAP_SE_B1, "maf", Live, 22, AsSent)                                        \
  P(9, S_FUEL_TRIM_B1, "s_fuel_trim_b1", Live, 23, AsSent)                        \
  P(10, L_FUEL_TRIM_B1, "l_fuel_trim_b1", Live, 24, AsSent)                       \
  P(11, ENGINE_RPM, "enginespeed", Live, 25, AsSent)                              \
  P(12, INT_A_TEMP_SE, "intaketemp", Live, 26, AsSent)                            \
  P(13, PURG_VOL_C_V, "purg_vol_c_v", Live, 27, AsSent)                           \
  P(14, INT_V_TIM_B1, "int_v_tim_b1", Live, 28, AsSent)                           \
  P(15, INT_V_SOL_B1, "int_v_sol_b1", Live, 29, AsSent)                           \
  P(16, B_FUEL_SCHDL, "b_fuel_schdl", Live, 30, AsSent)                           \
  P(17, ACCEL_SEN_1, "accel_sen_1", Live, 31, AsSent)                             \
  P(18, ACCEL_SEN_2, "accel_sen_2", Live, 32, AsSent)                             \
  P(19, THRTL_SEN_1, "thrtl_sen_1", Live, 33, AsSent)                             \
  P(20, THRTL_SEN_2, "thrtl_sen_2", Live, 34, AsSent)                             \
  P(21, AC_PRESS_SEN, "ac_press_sen", Live, 35, AsSent)                           \
  P(22, O2SEN_HTR_DTY, "o2sen_htr_dty", Live, 36, AsSent)                         \
  P(23, CORR_IGN_TIMING, "corr_ign_timing", Live, 37, AsSent)                     \
  P(24, CORR_IDLE_RPM, "corr_idle_rpm", Live, 38, AsSent)                         \
  P(25, B_FUEL_SCHDL_P12, "b_fuel_schdl_p12", Live, 39, AsSent)                   \
  P(26, MAS_A_F_SE_B1, "mas_a_f_se_b1", Live, 40, AsSent)                         \
  P(27, FUEL_INJ_PLS_B1, "fuel_inj_pls_b1", Live, 41, AsSent)                     \
  P(28, FUEL_INJ_PLS_B2, "fuel_inj_pls_b2", Live, 42, AsSent)                     \
  P(29, FUEL_TEMP, "fuel_temp", Live, 43, AsSent)                                 \
  P(30, FUEL_LEVEL, "fuellevel", Live, 44, AsSent)                                \
  P(31, EVAP_SYS_PRESS, "evap_sys_press", Live, 45, AsSent)                       \
  P(32, CAL_LD_VALUE, "cal_ld_value", Live, 46, AsSent)                           \
  P(33, HO2S1_B2, "o2b2s1", Live, 47, AsSent)                                     \
  P(34, HO2S2_B2, "o2b2s2", Live, 48, AsSent)                                     \
  P(35, S_FUEL_TRIM_B2, "s_fuel_trim_b2", Live, 49, AsSent)                       \
  P(36, L_FUEL_TRIM_B2, "l_fuel_trim_b2", Live, 50, AsSent)                       \
  P(37, INT_V_SOL_B2, "int_v_sol_b2", Live, 51, AsSent)                           \
  P(38, INJ_PULSE_B2, "inj_pulse_b2", Live, 52, AsSent)                           \
  P(39, MAF_GM_S, "maf_gm_s", Live, 53, AsSent)                                   \
  P(50, CLSD_THL_POS, "clsd_thl_pos", Live, 54, AsSent)                           \
  P(51, AIR_COND_SIG, "air_cond_sig", Live, 55, AsSent)                           \
  P(52, P_N_POSI_SW, "p_n_posi_sw", Live, 56, AsSent)                             \
  P(53, LOAD_SIGNAL, "load_signal", Live, 57, AsSent)                             \
  P(54, IGNITION_SW, "ignition_sw", Live, 58, AsSent)                             \
  P(55, HEATER_FAN_SW, "heater_fan_sw", Live, 59, AsSent)                         \
  P(56, BRAKE_SW, "brake_sw", Live, 60, AsSent)                                   \
  P(57, AIR_COND_RLY, "air_cond_rly", Live, 61, AsSent)                           \
  P(58, FUEL_PUMP_RLY, "fuel_pump_rly", Live, -1, AsSent)                         \
  P(59, THRTL_RELAY, "thrtl_relay", Live, 62, AsSent)                             \
  P(60, COOLING_FAN, "cooling_fan", Live, 63, AsSent)                             \
  P(61, HO2S1_HTR_B1, "ho2s1_htr_b1", Live, 64, AsSent)                           \
  P(62, HO2S2_HTR_B1, "ho2s2_htr_b1", Live, 65, AsSent)                           \
  P(63, IDLE_A_V_LEARN, "idle_a_v_learn", Live, 66, AsSent)                       \
  P(64, HO2S1_MNTR_B1, "ho2s1_mntr_b1", Live, 67, AsSent)                         \
  P(65, HO2S2_MNTR_B1, "ho2s2_mntr_b1", Live, 68, AsSent)                         \
  P(66, START_SIGNAL, "start_signal", Live, 69, AsSent)                           \
  P(129, avgfuelperhour, "avgfuelperhour", Trip, 0, Fixed1)                       \
  P(130, рorse_power, "\u0440orse_power", Trip, 1, AsSent)                        \
  P(131, fuelperdist, "fuelperdist", Trip, 2, Fixed1)                             \
  P(132, avgfuelperdist, "avgfuelperdist", Trip, 3, Fixed1)                       \
  P(133, fuelconsumed, "fuelconsumed", Trip, 5, Fixed1)                           \
  P(134, distancewent, "distancewent", Trip, 4, General)                          \
  P(135, maxspeed, "maxspeed", Trip, 6, Fixed0)                                   \
  P(137, avgspeed, "avgspeed", Trip, 7, Fixed0)                                   \
  P(138, lostfuel, "lostfuel", Trip, 8, AsSent)                                   \
  P(139, lostfuelpercents, "lostfuelpercents", Trip, 9, Fixed1)                   \
  P(140, lostdistance, "lostdistance", Trip, 10, General)                         \
  P(141, lostdistancepercents, "lostdistancepercents", Trip, 11, Fixed1)          \
  P(142, timewent, "timewent", Trip, 12, AsSent)                                  \
  P(143, lostseconds, "lostseconds", Trip, 13, AsSent)                            \
  P(144, accelaration, "accelaration", Trip, 14, Fixed3)
// clang-format on

// The identifiers as named constants: Kvel_VHCL_SPEED_SE = 1, ...
enum TParamId : uint32_t {
#define ZELM_DECLARE_ID(Id, Stem, Code, Kind, Cycle, Form) Kvel_##Stem = (Id),
  ZELM_PARAMETERS(ZELM_DECLARE_ID)
#undef ZELM_DECLARE_ID
};

struct TParamInfo {
  uint32_t Id;
  std::u16string_view Constant;   // "Kvel_VHCL_SPEED_SE"
  std::u16string_view FieldStem;  // "VHCL_SPEED_SE"
  std::u16string_view ValueCode;  // "ce_speed"
  std::u16string_view TitleCode;  // "ce_speed_title"
  std::u16string_view UnitCode;   // "ce_speed_unit"
  TParamKind Kind;
  int8_t CyclePosition;  // -1: no slot steps to it
  TValueForm Form;
};

inline constexpr std::size_t cParamCount = 71;
inline constexpr std::size_t cLiveCount = 56;

inline constexpr std::array<TParamInfo, cParamCount> cParams = {{
// clang-format off
#define ZELM_DESCRIBE(Id, Stem, Code, Kind, Cycle, Form)                                  \
  {Id,         u"Kvel_" #Stem,    u"" #Stem,         u"ce_" Code, u"ce_" Code "_title", \
   u"ce_" Code "_unit", TParamKind::Kind, Cycle, TValueForm::Form},
    ZELM_PARAMETERS(ZELM_DESCRIBE)
#undef ZELM_DESCRIBE
    // clang-format on
}};

// How many label requests a parameter may go unasked before it is dropped: the reload
// value of every idle countdown.
inline constexpr int32_t cIdleRequests = 100;

// Highest identifier that names a parameter; value records name identifiers up to it.
inline constexpr uint32_t cMaxParamId = 144;

// Index into cParams of the parameter with this identifier, or -1 for an identifier
// that belongs to no parameter (0, 40..49, 67..128, 136, 145 and above).
int ParamIndexOfId(uint32_t Id) noexcept;

// The label-code cycle through which the dynamic label slots step: 70 value codes, trip
// figures first, then the live parameters in identifier order, without the fuel pump
// relay.
inline constexpr std::size_t cCycleLength = 70;
extern const std::array<std::u16string_view, cCycleLength> cLabelCodeCycle;

}  // namespace zelm
