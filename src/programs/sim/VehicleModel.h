// The simulated car behind the workbench's data server: a small petrol hatchback driven
// round a repeating cycle (warm-up idle, pull-away, city stop-and-go, a faster
// stretch, braking). Everything follows from the drive cycle and a seed, so the same
// seed and the same steps give the same readings, to the last digit.
//
// Portable: the Windows server only asks it for texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "programs/sim/DriveSource.h"

namespace zelm::tools {

// A small generator of a fixed algorithm (SplitMix64): the same numbers on every compiler.
class TRandom {
 public:
  explicit TRandom(uint64_t Seed) noexcept : FState(Seed) {}
  uint64_t Next() noexcept;
  double Uniform() noexcept;                         // [0, 1)
  double Between(double Low, double High) noexcept;  // [Low, High)

 private:
  uint64_t FState;
};

enum class TFanState : uint8_t { Off, Low, High };

// The car's physical state after the last step.
struct TVehicleState {
  double Time = 0;               // s since the engine was started
  double Speed = 0;              // km/h
  double Accel = 0;              // m/s², along the road
  int Gear = 0;                  // 0: neutral, 1 to 5
  double Rpm = 0;                // engine speed
  double IdleTarget = 0;         // rpm the idle control aims at
  double Throttle = 0;           // %, 0 = closed
  double Pedal = 0;              // accelerator pedal, %
  double Load = 0;               // calculated load, %
  double AirFlow = 0;            // g/s
  double Manifold = 0;           // kPa
  double FuelRate = 0;           // l/h
  double Power = 0;              // kW at the flywheel
  double InjPulse = 0;           // ms
  double IgnTiming = 0;          // ° before top dead centre
  double KnockRetard = 0;        // °
  double Coolant = 0;            // °C
  double Intake = 0;             // °C
  double FuelTemp = 0;           // °C
  double Ambient = 0;            // °C
  double Battery = 0;            // V
  double FuelLevel = 0;          // % of the tank
  double O2Up[2] = {0, 0};       // V, upstream sensors of banks 1 and 2
  double O2Down[2] = {0, 0};     // V, downstream sensors
  double ShortTrim[2] = {0, 0};  // %
  double LongTrim[2] = {0, 0};   // %
  double ValveTiming = 0;        // ° crank, intake cam advance
  double Purge = 0;              // %, EVAP purge valve
  double EvapPressure = 0;       // kPa
  double AcPressure = 0;         // V, refrigerant pressure sensor
  double O2HeaterDuty = 0;       // %
  bool Cranking = false;
  bool ClosedLoop = false;
  bool FuelCut = false;
  bool AcSwitch = false;  // driver asks for A/C
  bool AcRelay = false;   // compressor clutch engaged
  bool HeaterFan = false;
  bool Brake = false;
  bool IdleLearned = false;
  TFanState Fan = TFanState::Off;
};

// The trip computer: what it has integrated since the last reset.
struct TTripTotals {
  double Seconds = 0;      // engine running
  double Distance = 0;     // km
  double Fuel = 0;         // l
  double MaxSpeed = 0;     // km/h
  double LostFuel = 0;     // l burnt standing still
  double LostSeconds = 0;  // s standing still with the engine running
};

class TVehicleModel final : public TDriveSource {
 public:
  // Hottest the coolant may ever get; the thermostat and the fan keep it well below.
  static constexpr double cCoolantLimit = 105.0;
  // Longest internal step: Step() cuts longer ones into equal pieces of at most this.
  static constexpr double cMaxStep = 0.05;
  static constexpr double cTankLitres = 45.0;

  explicit TVehicleModel(uint64_t Seed);

  // Advances the car by Seconds (at least 0).
  void Step(double Seconds) override;
  void ResetTrip() noexcept override { FTrip = TTripTotals{}; }

  const TVehicleState& State() const noexcept { return FState; }
  const TTripTotals& Trip() const noexcept { return FTrip; }
  uint64_t Seed() const noexcept { return FSeed; }

  // Whether the car answers this parameter identifier: every one of the catalogue,
  // the 56 live readings and the 15 trip figures.
  static bool Knows(uint32_t Id) noexcept;
  static bool IsTrip(uint32_t Id) noexcept;
  // "Title,unit" of a live parameter in UTF-16; empty for any other identifier.
  static std::u16string_view TitleUnit(uint32_t Id) noexcept;
  // The unit a trip figure's number is in ("h:mm:ss" for the time driven); the records
  // carry none. Empty for any other identifier.
  static std::u16string_view TripUnit(uint32_t Id) noexcept;
  // The reading as the data server sends it: plain ASCII, at most 29 characters
  // (numbers with a full stop, switches as ON/OFF and the like). Trip figures are
  // numbers except the time driven, "h:mm:ss". Empty for an unknown identifier.
  std::string ValueText(uint32_t Id) const override;

  // The trip computer's derived figures.
  double AvgSpeed() const noexcept;        // km/h over the running time
  double AvgFuelPerHour() const noexcept;  // l/h
  double AvgFuelPerDist() const noexcept;  // l/100 km, 0 before the first 100 m
  double FuelPerDist() const noexcept;     // l/100 km now, 0 while (nearly) stopped
  double LostDistance() const noexcept;    // km the standing fuel would have driven

 private:
  struct TSegment {
    enum class TKind : uint8_t { Idle, Ramp, Cruise } Kind;
    double Duration;  // s
    double Target;    // km/h at the end
  };
  static constexpr std::size_t cSegmentCount = 18;

  void PlanCycle();
  double TargetSpeed(double CycleTime) const noexcept;
  void SubStep(double Dt);
  void UpdateDriveline(double Dt, double NewSpeed);
  void UpdateEngine(double Dt);
  void UpdateThermal(double Dt);
  void UpdateSensors(double Dt);
  void UpdateTrip(double Dt, double OldSpeed);

  uint64_t FSeed;
  TRandom FRandom;
  TVehicleState FState;
  TTripTotals FTrip;
  std::array<TSegment, cSegmentCount> FCycle{};
  double FCycleLength = 0;
  double FCycleStart = 0;   // time at which the current pass of the cycle began
  double FWobblePhase = 0;  // cruise speed wobble
  double FO2Phase[2] = {0, 0};
  double FChargeDeficit = 1;  // battery charge taken by the start, recovered by the alternator
  double FLongTrimGoal[2] = {0, 0};
  double FAcFrom = 0, FAcTo = 0;  // A/C wanted between these times of each cycle
  double FWarmIdle = 0;           // s of idling while warm, for the idle air volume learning
  double FAcCycle = 0;            // compressor cycling clock
};

}  // namespace zelm::tools
