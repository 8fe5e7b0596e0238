#include "programs/sim/VehicleModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/tables/Catalogue.h"

namespace zelm::tools {
namespace {

constexpr double cPi = 3.14159265358979323846;
constexpr double cMass = 1250;        // kg with the driver
constexpr double cFuelDensity = 745;  // g/l
constexpr double cFuelEnergy = 43;    // kJ/g
constexpr double cCoolantMass = 36;   // kJ/K: block, head and coolant together
constexpr double cKmhPer1000[6] = {0, 7.5, 13.5, 21, 29, 37};
constexpr double cUpshift[6] = {0, 18, 32, 50, 68, 1e9};
constexpr double cDownshift[6] = {0, 0, 12, 24, 38, 55};

double Clamp(double X, double Low, double High) { return std::min(std::max(X, Low), High); }

// First-order approach of Value to Goal with time constant Tau.
void Approach(double& Value, double Goal, double Dt, double Tau) { Value += (Goal - Value) * std::min(1.0, Dt / Tau); }

struct TTitle {
  uint32_t Id;
  std::u16string_view TitleUnit;
};

// What the car calls each live reading: "Title,unit", as the data server sends it.
constexpr TTitle cTitles[] = {
    {1, u"Vehicle speed,km/h"},
    {2, u"Coolant temperature,\u00B0C"},
    {3, u"Battery voltage,V"},
    {4, u"O2 sensor B1S1,V"},
    {5, u"O2 sensor B1S2,V"},
    {6, u"Ignition timing,\u00B0BTDC"},
    {7, u"Injection pulse B1,ms"},
    {8, u"Manifold pressure,kPa"},
    {9, u"Short term fuel trim B1,%"},
    {10, u"Long term fuel trim B1,%"},
    {11, u"Engine speed,rpm"},
    {12, u"Intake air temperature,\u00B0C"},
    {13, u"Purge volume control valve,%"},
    {14, u"Intake valve timing B1,\u00B0CA"},
    {15, u"Intake valve solenoid B1,%"},
    {16, u"Base fuel schedule,ms"},
    {17, u"Accelerator sensor 1,V"},
    {18, u"Accelerator sensor 2,V"},
    {19, u"Throttle sensor 1,V"},
    {20, u"Throttle sensor 2,V"},
    {21, u"A/C pressure sensor,V"},
    {22, u"O2 sensor heater duty,%"},
    {23, u"Corrected ignition timing,\u00B0BTDC"},
    {24, u"Target idle speed,rpm"},
    {25, u"Base fuel schedule P12,ms"},
    {26, u"MAF sensor B1,V"},
    {27, u"Fuel injection pulse B1,ms"},
    {28, u"Fuel injection pulse B2,ms"},
    {29, u"Fuel temperature,\u00B0C"},
    {30, u"Fuel level,%"},
    {31, u"EVAP system pressure,kPa"},
    {32, u"Calculated load,%"},
    {33, u"O2 sensor B2S1,V"},
    {34, u"O2 sensor B2S2,V"},
    {35, u"Short term fuel trim B2,%"},
    {36, u"Long term fuel trim B2,%"},
    {37, u"Intake valve solenoid B2,%"},
    {38, u"Injection pulse B2,ms"},
    {39, u"Mass air flow,g/s"},
    {50, u"Closed throttle position,state"},
    {51, u"Air conditioner signal,state"},
    {52, u"P/N position switch,state"},
    {53, u"Electrical load signal,state"},
    {54, u"Ignition switch,state"},
    {55, u"Heater fan switch,state"},
    {56, u"Brake switch,state"},
    {57, u"A/C relay,state"},
    {58, u"Fuel pump relay,state"},
    {59, u"Throttle control relay,state"},
    {60, u"Cooling fan,state"},
    {61, u"HO2S1 heater B1,state"},
    {62, u"HO2S2 heater B1,state"},
    {63, u"Idle air volume learning,state"},
    {64, u"HO2S1 monitor B1,state"},
    {65, u"HO2S2 monitor B1,state"},
    {66, u"Start signal,state"},
};

// A number with a fixed count of decimals, full stop as separator, never "-0".
std::string Fixed(double Value, int Decimals) {
  char Buffer[40];
  const double Scale = std::pow(10.0, Decimals);
  double Rounded = std::round(Value * Scale) / Scale;
  if (Rounded == 0 || !std::isfinite(Rounded)) Rounded = 0;
  std::snprintf(Buffer, sizeof Buffer, "%.*f", Decimals, Rounded);
  return Buffer;
}

std::string OnOff(bool On) { return On ? "ON" : "OFF"; }

}  // namespace

uint64_t TRandom::Next() noexcept {
  uint64_t Z = (FState += 0x9E3779B97F4A7C15ull);
  Z = (Z ^ (Z >> 30)) * 0xBF58476D1CE4E5B9ull;
  Z = (Z ^ (Z >> 27)) * 0x94D049BB133111EBull;
  return Z ^ (Z >> 31);
}

double TRandom::Uniform() noexcept { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

double TRandom::Between(double Low, double High) noexcept { return Low + (High - Low) * Uniform(); }

TVehicleModel::TVehicleModel(uint64_t Seed) : FSeed(Seed), FRandom(Seed) {
  FState.Ambient = std::round(FRandom.Between(4, 30) * 10) / 10;
  FState.Coolant = FState.Ambient;
  FState.Intake = FState.Ambient;
  FState.FuelTemp = FState.Ambient;
  FState.FuelLevel = FRandom.Between(35, 85);
  for (int B = 0; B < 2; ++B) {
    FLongTrimGoal[B] = FRandom.Between(-4, 6);
    FState.LongTrim[B] = FLongTrimGoal[B] + FRandom.Between(-1.5, 1.5);
    FO2Phase[B] = FRandom.Between(0, 2 * cPi);
  }
  FWobblePhase = FRandom.Between(0, 2 * cPi);
  FState.Cranking = true;
  FState.Battery = 12.5;
  FState.O2Up[0] = FState.O2Up[1] = 0.45;
  FState.O2Down[0] = FState.O2Down[1] = 0.25;
  FState.O2HeaterDuty = 100;
  FState.AcPressure = 1.0 + 0.02 * FState.Ambient;
  PlanCycle();
}

// One pass of the drive cycle, its times and speeds varied a little each pass.
void TVehicleModel::PlanCycle() {
  using K = TSegment::TKind;
  static constexpr TSegment cBase[cSegmentCount] = {
      {K::Idle, 25, 0},  // parked, warming up
                         // clang-format off
      {K::Ramp, 14, 50},    // pull-away
      {K::Cruise, 12, 50},  // city
      {K::Ramp, 7, 0},      // lights
      {K::Idle, 8, 0},
      {K::Ramp, 8, 35},
      {K::Cruise, 10, 35},
      {K::Ramp, 5, 0},
      {K::Idle, 6, 0},
      {K::Ramp, 9, 45},
      {K::Ramp, 6, 0},
      {K::Idle, 5, 0},
      {K::Ramp, 30, 95},    // out of town
      {K::Cruise, 45, 95},
      {K::Ramp, 12, 110},
      {K::Cruise, 20, 110},
      {K::Ramp, 16, 0},     // braking to a stop
      {K::Idle, 15, 0},
                         // clang-format on
  };
  FCycleLength = 0;
  for (std::size_t I = 0; I < cSegmentCount; ++I) {
    FCycle[I] = cBase[I];
    FCycle[I].Duration *= FRandom.Between(0.85, 1.15);
    if (FCycle[I].Target > 0) FCycle[I].Target = std::round(FCycle[I].Target * FRandom.Between(0.9, 1.1));
    FCycleLength += FCycle[I].Duration;
  }
  // Held at the speed of the cruise before it.
  for (std::size_t I = 1; I < cSegmentCount; ++I)
    if (FCycle[I].Kind == K::Cruise) FCycle[I].Target = FCycle[I - 1].Target;
  FAcFrom = FRandom.Between(30, 70);
  FAcTo = FAcFrom + FRandom.Between(60, 140);
}

double TVehicleModel::TargetSpeed(double CycleTime) const noexcept {
  double Start = 0;
  for (const TSegment& S : FCycle) {
    if (CycleTime < S.Duration) {
      const double U = CycleTime / S.Duration;
      switch (S.Kind) {
        case TSegment::TKind::Idle: return 0;
        case TSegment::TKind::Ramp: return Start + (S.Target - Start) * U;
        case TSegment::TKind::Cruise:
          // A driver never holds a speed exactly; the wobble fades in and out so the
          // speed stays continuous.
          return S.Target + 1.8 * std::sin(FWobblePhase) * std::sin(cPi * U);
      }
    }
    CycleTime -= S.Duration;
    Start = S.Kind == TSegment::TKind::Idle ? 0 : S.Target;
  }
  return 0;
}

void TVehicleModel::Step(double Seconds) {
  if (!(Seconds > 0)) return;
  const int Pieces = static_cast<int>(std::ceil(Seconds / cMaxStep - 1e-9));
  const double Dt = Seconds / Pieces;
  for (int I = 0; I < Pieces; ++I) SubStep(Dt);
}

void TVehicleModel::SubStep(double Dt) {
  FState.Time += Dt;
  if (FState.Time - FCycleStart >= FCycleLength) {
    FCycleStart += FCycleLength;
    PlanCycle();
  }
  FWobblePhase += Dt * 2 * cPi / 17;
  const double OldSpeed = FState.Speed;
  const double NewSpeed = FState.Time < 2 ? 0 : std::max(0.0, TargetSpeed(FState.Time - FCycleStart));
  UpdateDriveline(Dt, NewSpeed);
  UpdateEngine(Dt);
  UpdateThermal(Dt);
  UpdateSensors(Dt);
  UpdateTrip(Dt, OldSpeed);
}

void TVehicleModel::UpdateDriveline(double Dt, double NewSpeed) {
  TVehicleState& S = FState;
  S.Accel = (NewSpeed - S.Speed) / 3.6 / Dt;
  S.Speed = NewSpeed;
  if (S.Speed <= 0) {
    S.Gear = 0;  // standing: neutral, clutch in
  } else {
    if (S.Gear == 0) S.Gear = 1;
    // Pulling hard, the driver holds each gear longer.
    const double Late = S.Accel > 0.6 ? 1.4 : 1.0;
    while (S.Gear < 5 && S.Speed > cUpshift[S.Gear] * Late) ++S.Gear;
    while (S.Gear > 1 && S.Speed < cDownshift[S.Gear]) --S.Gear;
  }
  const bool Parked = S.Time - FCycleStart < FCycle[0].Duration;
  // Held while slowing, and while waiting at a stop (not while parked warming up),
  // let go as the car pulls away.
  S.Brake = S.Accel < -0.4 || (S.Speed <= 0 && S.Accel <= 0 && !Parked && S.Time > 2);
}

void TVehicleModel::UpdateEngine(double Dt) {
  TVehicleState& S = FState;
  S.Cranking = S.Time < 1.2;
  const double Cold = Clamp((60 - S.Coolant) / 60, 0, 1);
  const double Flare = S.Time > 1.2 ? 400 * std::exp(-(S.Time - 1.2) / 2) : 0;
  S.IdleTarget = 800 + 450 * Cold + (S.AcRelay ? 60 : 0) + Flare;

  double Goal = S.IdleTarget;
  if (S.Gear > 0) {
    Goal = std::max(S.IdleTarget, S.Speed / cKmhPer1000[S.Gear] * 1000);
    if (S.Gear == 1 && S.Speed < 10 && S.Accel > 0) Goal = std::max(Goal, 1150 + 40 * S.Speed);  // clutch slipping
  }
  if (S.Cranking) {
    S.Rpm = 240 + FRandom.Between(-15, 15);
  } else {
    if (S.Rpm < 400) S.Rpm = S.IdleTarget;
    Approach(S.Rpm, Goal, Dt, 0.25);
    S.Rpm += FRandom.Between(-6, 6);
  }

  // Power from the road: rolling, air and inertia; the engine's ceiling rises with speed.
  const double V = S.Speed / 3.6;
  const double Force = cMass * 9.81 * 0.012 * (S.Speed > 0 ? 1 : 0) + 0.5 * 1.2 * 0.62 * 2.1 * V * V + cMass * S.Accel;
  const double Wheel = Force * V / 1000;
  const double Accessories = 0.8 + (S.AcRelay ? 2.5 : 0) + (S.Fan != TFanState::Off ? 0.4 : 0);
  const double Ceiling = 85 * Clamp(S.Rpm / 5800, 0.1, 1);
  S.FuelCut = S.Gear > 0 && Wheel < 0 && S.Rpm > 1250;
  S.Throttle = S.FuelCut || S.Cranking ? 0 : Clamp(100 * (Wheel / 0.9) / Ceiling, 0, 100);
  S.Pedal = S.Throttle * 0.95;
  S.Power = S.Cranking ? 0 : std::max(0.0, Wheel / 0.9) + (S.FuelCut ? 0 : Accessories);

  S.Load = S.FuelCut ? 8 : Clamp(16 + 0.84 * S.Throttle + 6 * Cold, 0, 100);
  S.Manifold = S.FuelCut ? 22 : (S.Cranking ? 95 : 22 + 0.78 * S.Load);
  S.AirFlow = S.Rpm / 120 * 1.6 * 1.18 * S.Manifold / 101.3 * 0.75;
  S.ClosedLoop = !S.Cranking && !S.FuelCut && S.Coolant > 35 && S.Time > 25 && S.Throttle < 80;
  const double Afr = S.Throttle >= 80 ? 12.8 : (S.ClosedLoop ? 14.7 : 13.0);
  const double FuelGs = S.FuelCut ? 0 : S.AirFlow / Afr;
  S.FuelRate = FuelGs * 3600 / cFuelDensity;
  S.InjPulse = FuelGs > 0 ? FuelGs / 4 / (S.Rpm / 120) / 3.0 * 1000 + 0.55 : 0;

  S.IgnTiming = S.Cranking    ? 10
                : S.Gear == 0 ? 12 + 3 * Cold
                              : 14 + 24 * Clamp((S.Rpm - 800) / 3000, 0, 1) - 10 * S.Load / 100;
  if (S.Load > 75 && S.Intake > 30)
    S.KnockRetard = std::min(3.0, S.KnockRetard + FRandom.Between(0, 0.5));
  else
    Approach(S.KnockRetard, 0, Dt, 2);
}

void TVehicleModel::UpdateThermal(double Dt) {
  TVehicleState& S = FState;
  // Heat into the coolant is a share of the fuel burnt; the thermostat opens the
  // radiator between 86 and 92 °C; air through it comes from speed and the fan.
  const double FuelKw = S.FuelRate / 3600 * cFuelDensity * cFuelEnergy;
  const double HeatIn = 0.3 * FuelKw + (S.Cranking ? 0 : 0.4);
  const double Open = Clamp((S.Coolant - 86) / 6, 0, 1);
  const double FanAir = S.Fan == TFanState::High ? 2.0 : S.Fan == TFanState::Low ? 1.0 : 0;
  const double Air = 0.08 + S.Speed / 40 + FanAir;
  const double Rise = S.Coolant - S.Ambient;
  const double Radiator = Open * 0.15 * Air * Rise;
  const double Heater = S.HeaterFan && S.Coolant > 50 ? 0.03 * Rise : 0;
  const double Losses = 0.012 * Rise + Radiator + Heater;
  S.Coolant += (HeatIn - Losses) / cCoolantMass * Dt;

  Approach(S.Intake, S.Ambient + 2 + 0.25 * std::max(0.0, S.Coolant - S.Ambient) / (1 + S.Speed / 20), Dt, 40);
  Approach(S.FuelTemp, S.Ambient + 0.12 * std::max(0.0, S.Coolant - S.Ambient), Dt, 600);
  S.FuelLevel = std::max(0.0, S.FuelLevel - S.FuelRate / 3600 * Dt / cTankLitres * 100);

  // Battery: low while cranking, then the alternator puts back what the start took.
  FChargeDeficit *= std::exp(-Dt / 240);
  S.Battery = S.Cranking ? 10.6 + FRandom.Between(-0.05, 0.05)
                         : 13.95 + 0.45 * FChargeDeficit - (S.Fan != TFanState::Off ? 0.12 : 0) -
                               (S.AcRelay ? 0.10 : 0) - (S.HeaterFan ? 0.05 : 0) + FRandom.Between(-0.02, 0.02);
}

void TVehicleModel::UpdateSensors(double Dt) {
  TVehicleState& S = FState;
  for (int B = 0; B < 2; ++B) {
    if (S.ClosedLoop) {
      // The upstream sensor swings rich and lean about once a second, faster with
      // engine speed; the short trim leans while rich and richens while lean.
      FO2Phase[B] += Dt * 2 * cPi * (0.7 + S.Rpm / 2500);
      S.O2Up[B] = 0.46 + 0.38 * std::tanh(3 * std::sin(FO2Phase[B])) + FRandom.Between(-0.02, 0.02);
      S.ShortTrim[B] += Dt * (18 * (S.O2Up[B] > 0.45 ? -1 : 1) - 0.5 * S.ShortTrim[B]);
      S.ShortTrim[B] = Clamp(S.ShortTrim[B], -12, 12);
      Approach(S.LongTrim[B], FLongTrimGoal[B], Dt, 180);
    } else {
      Approach(S.O2Up[B], S.FuelCut ? 0.06 : S.Throttle >= 80 ? 0.82 : 0.45, Dt, 0.3);
      Approach(S.ShortTrim[B], 0, Dt, 0.5);
    }
    const bool CatalystWarm = S.Coolant > 60 && S.Time > 60;
    const double DownGoal = S.FuelCut ? 0.1 : CatalystWarm ? 0.68 + 0.04 * std::sin(0.2 * FO2Phase[B]) : 0.25;
    Approach(S.O2Down[B], DownGoal, Dt, 3);
  }

  const double CamGoal =
      S.Rpm > 1200 && S.Gear > 0 && !S.FuelCut ? Clamp(S.Load / 100 * 38 * (S.Rpm < 4800 ? 1 : 0.5), 0, 35) : 0;
  Approach(S.ValveTiming, CamGoal, Dt, 0.5);

  const bool Warm = S.Coolant > 60 && S.Time > 90;
  S.Purge = !Warm || !S.ClosedLoop ? 0 : S.Gear == 0 ? 6 : std::min(50.0, 10 + 0.4 * S.Load);
  S.EvapPressure = -0.02 * S.Purge + FRandom.Between(-0.05, 0.05);

  const double CycleTime = S.Time - FCycleStart;
  S.AcSwitch = S.Time > 40 && CycleTime >= FAcFrom && CycleTime < FAcTo;
  FAcCycle += Dt;
  const bool CompressorWanted = std::fmod(FAcCycle, 33.0) < 25;  // cycles on its pressure switch
  S.AcRelay = S.AcSwitch && CompressorWanted && S.Coolant < 103 && S.Throttle < 90;
  Approach(S.AcPressure, S.AcRelay ? 1.9 + 0.02 * S.Ambient : 1.0 + 0.02 * S.Ambient, Dt, 5);
  S.HeaterFan = S.AcSwitch || (S.Ambient < 15 && S.Coolant > 45);
  // Fan: low when hot or when the A/C condenser needs air, high when very hot.
  const bool AcNeedsAir = S.AcRelay && S.Speed < 40;
  if (S.Coolant >= 100 || (S.Fan == TFanState::High && S.Coolant >= 97))
    S.Fan = TFanState::High;
  else if (S.Coolant >= 96 || (S.Fan != TFanState::Off && S.Coolant >= 92) || AcNeedsAir)
    S.Fan = TFanState::Low;
  else
    S.Fan = TFanState::Off;

  S.O2HeaterDuty = S.Time < 30 || S.Coolant < 40 ? 100 : S.FuelCut ? 60 : S.Gear == 0 ? 45 : 25;

  if (S.Gear == 0 && S.Coolant > 70 && !S.Cranking) FWarmIdle += Dt;
  S.IdleLearned = S.IdleLearned || FWarmIdle > 10;
}

void TVehicleModel::UpdateTrip(double Dt, double OldSpeed) {
  TTripTotals& T = FTrip;
  T.Seconds += Dt;
  T.Distance += (OldSpeed + FState.Speed) / 2 / 3600 * Dt;
  const double Fuel = FState.FuelRate / 3600 * Dt;
  T.Fuel += Fuel;
  T.MaxSpeed = std::max(T.MaxSpeed, FState.Speed);
  if (FState.Speed < 0.1) {
    T.LostFuel += Fuel;
    T.LostSeconds += Dt;
  }
}

double TVehicleModel::AvgSpeed() const noexcept {
  return FTrip.Seconds > 0 ? FTrip.Distance / (FTrip.Seconds / 3600) : 0;
}
double TVehicleModel::AvgFuelPerHour() const noexcept {
  return FTrip.Seconds > 0 ? FTrip.Fuel / (FTrip.Seconds / 3600) : 0;
}
double TVehicleModel::AvgFuelPerDist() const noexcept {
  return FTrip.Distance >= 0.1 ? FTrip.Fuel / FTrip.Distance * 100 : 0;
}
double TVehicleModel::FuelPerDist() const noexcept {
  return FState.Speed >= 3 ? FState.FuelRate / FState.Speed * 100 : 0;
}
double TVehicleModel::LostDistance() const noexcept {
  const double PerKm = AvgFuelPerDist() / 100;
  return PerKm > 0 ? FTrip.LostFuel / PerKm : 0;
}

bool TVehicleModel::Knows(uint32_t Id) noexcept { return ParamIndexOfId(Id) >= 0; }

bool TVehicleModel::IsTrip(uint32_t Id) noexcept {
  const int Index = ParamIndexOfId(Id);
  return Index >= 0 && cParams[static_cast<std::size_t>(Index)].Kind == TParamKind::Trip;
}

std::u16string_view TVehicleModel::TitleUnit(uint32_t Id) noexcept {
  for (const TTitle& T : cTitles)
    if (T.Id == Id) return T.TitleUnit;
  return {};
}

std::u16string_view TVehicleModel::TripUnit(uint32_t Id) noexcept {
  // As ValueText below works them out.
  switch (Id) {
    case 129: return u"l/h";
    case 130: return u"hp";
    case 131:
    case 132: return u"l/100 km";
    case 133:
    case 138: return u"l";
    case 134:
    case 140: return u"km";
    case 135:
    case 137: return u"km/h";
    case 139:
    case 141: return u"%";
    case 142: return u"h:mm:ss";
    case 143: return u"s";
    case 144: return u"m/s\u00B2";
    default: return {};
  }
}

std::string TVehicleModel::ValueText(uint32_t Id) const {
  const TVehicleState& S = FState;
  const TTripTotals& T = FTrip;
  switch (Id) {
    case 1: return Fixed(S.Speed, 0);
    case 2: return Fixed(S.Coolant, 0);
    case 3: return Fixed(S.Battery, 2);
    case 4: return Fixed(S.O2Up[0], 2);
    case 5: return Fixed(S.O2Down[0], 2);
    case 6: return Fixed(S.IgnTiming, 0);
    case 7: return Fixed(S.InjPulse, 2);
    case 8: return Fixed(S.Manifold, 0);
    case 9: return Fixed(S.ShortTrim[0], 1);
    case 10: return Fixed(S.LongTrim[0], 1);
    case 11: return Fixed(S.Rpm, 0);
    case 12: return Fixed(S.Intake, 0);
    case 13: return Fixed(S.Purge, 0);
    case 14: return Fixed(S.ValveTiming, 0);
    case 15: return Fixed(S.ValveTiming > 0.5 ? 25 + 1.6 * S.ValveTiming : 0, 0);
    case 16: return Fixed(S.InjPulse > 0 ? (S.InjPulse - 0.55) / (1 + (S.ShortTrim[0] + S.LongTrim[0]) / 100) : 0, 2);
    case 17: return Fixed(0.45 + 4.0 * S.Pedal / 100, 2);
    case 18: return Fixed(0.22 + 2.0 * S.Pedal / 100, 2);
    case 19: return Fixed(0.52 + 3.8 * S.Throttle / 100, 2);
    case 20: return Fixed(4.48 - 3.8 * S.Throttle / 100, 2);
    case 21: return Fixed(S.AcPressure, 2);
    case 22: return Fixed(S.O2HeaterDuty, 0);
    case 23: return Fixed(S.IgnTiming - S.KnockRetard, 1);
    case 24: return Fixed(S.IdleTarget, 0);
    case 25: return Fixed(S.InjPulse > 0 ? S.InjPulse - 0.55 : 0, 2);
    case 26: return Fixed(0.9 + 3.2 * std::sqrt(S.AirFlow / 150), 2);
    case 27: return Fixed(S.InjPulse > 0 ? S.InjPulse + 0.2 : 0, 2);
    case 28: return Fixed(S.InjPulse > 0 ? S.InjPulse + 0.15 : 0, 2);
    case 29: return Fixed(S.FuelTemp, 0);
    case 30: return Fixed(S.FuelLevel, 0);
    case 31: return Fixed(S.EvapPressure, 2);
    case 32: return Fixed(S.Load, 0);
    case 33: return Fixed(S.O2Up[1], 2);
    case 34: return Fixed(S.O2Down[1], 2);
    case 35: return Fixed(S.ShortTrim[1], 1);
    case 36: return Fixed(S.LongTrim[1], 1);
    case 37: return Fixed(S.ValveTiming > 0.5 ? 26.5 + 1.6 * S.ValveTiming : 0, 0);
    case 38: return Fixed(S.InjPulse > 0 ? S.InjPulse - 0.05 : 0, 2);
    case 39: return Fixed(S.AirFlow, 1);
    case 50: return OnOff(S.Throttle < 1);
    case 51: return OnOff(S.AcSwitch);
    case 52: return OnOff(S.Gear == 0);
    case 53: return OnOff(S.HeaterFan || S.Ambient < 10);
    case 54: return OnOff(true);
    case 55: return OnOff(S.HeaterFan);
    case 56: return OnOff(S.Brake);
    case 57: return OnOff(S.AcRelay);
    case 58:
    case 59: return OnOff(true);
    case 60: return S.Fan == TFanState::High ? "HIGH" : S.Fan == TFanState::Low ? "LOW" : "OFF";
    case 61: return OnOff(!S.Cranking);
    case 62: return OnOff(S.Time > 20);
    case 63: return S.IdleLearned ? "CMPLT" : "YET";
    case 64: return S.O2Up[0] > 0.45 ? "RICH" : "LEAN";
    case 65: return S.O2Down[0] > 0.5 ? "RICH" : "LEAN";
    case 66: return OnOff(S.Cranking);
    // The trip computer.
    case 129: return Fixed(AvgFuelPerHour(), 3);
    case 130: return Fixed(S.Power * 1.341, 0);  // horse power now
    case 131: return Fixed(FuelPerDist(), 2);
    case 132: return Fixed(AvgFuelPerDist(), 2);
    case 133: return Fixed(T.Fuel, 3);
    case 134: return Fixed(T.Distance, 3);
    case 135: return Fixed(T.MaxSpeed, 1);
    case 137: return Fixed(AvgSpeed(), 1);
    case 138: return Fixed(T.LostFuel, 3);
    case 139: return Fixed(T.Fuel > 0 ? T.LostFuel / T.Fuel * 100 : 0, 2);
    case 140: return Fixed(LostDistance(), 3);
    case 141: return Fixed(T.Distance > 0 ? LostDistance() / T.Distance * 100 : 0, 2);
    case 142: {
      const auto Whole = static_cast<long>(T.Seconds);
      char Buffer[32];
      std::snprintf(Buffer, sizeof Buffer, "%ld:%02ld:%02ld", Whole / 3600, Whole / 60 % 60, Whole % 60);
      return Buffer;
    }
    case 143: return Fixed(T.LostSeconds, 0);
    case 144: return Fixed(S.Accel, 3);
    default: return {};
  }
}

}  // namespace zelm::tools
