#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "core/tables/Catalogue.h"
#include "programs/sim/VehicleModel.h"

namespace zelm::tools {
namespace {

constexpr double cDt = 0.1;  // the simulator's tick at 10 records a second

// Drives a model for Seconds in ticks of cDt, calling Check after each.
template <typename TCheck>
void Drive(TVehicleModel& Model, double Seconds, TCheck&& Check) {
  for (int I = 0, N = static_cast<int>(std::lround(Seconds / cDt)); I < N; ++I) {
    Model.Step(cDt);
    Check(Model);
  }
}

TEST(VehicleModel, SameSeedGivesTheSameReadingsAndAnotherSeedOtherOnes) {
  TVehicleModel A(7), B(7), C(8);
  std::string TextsA, TextsB, TextsC;
  for (int I = 0; I < 3000; ++I) {
    A.Step(cDt);
    B.Step(cDt);
    C.Step(cDt);
    if (I % 50 != 0) continue;
    for (const TParamInfo& P : cParams) {
      TextsA += A.ValueText(P.Id) + ";";
      TextsB += B.ValueText(P.Id) + ";";
      TextsC += C.ValueText(P.Id) + ";";
    }
  }
  EXPECT_EQ(TextsA, TextsB);
  EXPECT_NE(TextsA, TextsC);
  // Cutting the same time into other steps changes nothing but rounding.
  TVehicleModel Coarse(7), Fine(7);
  Coarse.Step(60);
  for (int I = 0; I < 600; ++I) Fine.Step(0.1);
  EXPECT_NEAR(Coarse.State().Time, Fine.State().Time, 1e-6);
  EXPECT_NEAR(Coarse.Trip().Distance, Fine.Trip().Distance, 1e-6);
}

TEST(VehicleModel, EveryCatalogueParameterAnswersWithATextThatFitsTheRecord) {
  TVehicleModel Model(3);
  Model.Step(200);
  std::size_t Live = 0, Trip = 0;
  for (const TParamInfo& P : cParams) {
    ASSERT_TRUE(TVehicleModel::Knows(P.Id)) << P.Id;
    const std::string Value = Model.ValueText(P.Id);
    EXPECT_FALSE(Value.empty()) << P.Id;
    EXPECT_LE(Value.size(), 29u) << P.Id;
    for (char C : Value) EXPECT_TRUE(C >= 0x20 && C < 0x7F) << P.Id << ": " << Value;
    if (P.Kind == TParamKind::Live) {
      ++Live;
      const std::u16string_view TitleUnit = TVehicleModel::TitleUnit(P.Id);
      const std::size_t Comma = TitleUnit.find(u',');
      // "Title,unit": a title, one comma, a unit, and no second comma to confuse the split.
      ASSERT_NE(Comma, std::u16string_view::npos) << P.Id;
      EXPECT_GT(Comma, 0u) << P.Id;
      EXPECT_LT(Comma + 1, TitleUnit.size()) << P.Id;
      EXPECT_EQ(TitleUnit.find(u',', Comma + 1), std::u16string_view::npos) << P.Id;
      EXPECT_TRUE(TVehicleModel::TripUnit(P.Id).empty()) << P.Id;
    } else {
      ++Trip;
      EXPECT_TRUE(TVehicleModel::TitleUnit(P.Id).empty()) << P.Id;
      EXPECT_FALSE(TVehicleModel::TripUnit(P.Id).empty()) << P.Id;
    }
  }
  EXPECT_EQ(Live, 56u);
  EXPECT_EQ(Trip, 15u);
  for (uint32_t Id : {0u, 40u, 49u, 67u, 128u, 136u, 145u}) EXPECT_FALSE(TVehicleModel::Knows(Id)) << Id;
  EXPECT_TRUE(Model.ValueText(136).empty());
}

TEST(VehicleModel, StandsStillInNeutralWhileIdlingAndMovesInGearOtherwise) {
  TVehicleModel Model(11);
  std::size_t Idle = 0, Moving = 0;
  Drive(Model, 900, [&](const TVehicleModel& M) {
    const TVehicleState& S = M.State();
    if (S.Gear == 0) {
      ++Idle;
      EXPECT_EQ(S.Speed, 0.0) << S.Time;
      EXPECT_EQ(M.ValueText(52), "ON") << S.Time;  // park/neutral switch
      if (!S.Cranking) {
        EXPECT_NEAR(S.Rpm, S.IdleTarget, 150) << S.Time;
        EXPECT_EQ(S.Throttle, 0.0) << S.Time;
        EXPECT_EQ(M.ValueText(50), "ON") << S.Time;  // closed throttle
      }
    } else {
      ++Moving;
      EXPECT_GT(S.Speed, 0.0) << S.Time;
      EXPECT_GE(S.Rpm, 700) << S.Time;
      EXPECT_LE(S.Rpm, 6500) << S.Time;
    }
  });
  // The cycle has both, and the first seconds are the start.
  EXPECT_GT(Idle, 1000u);
  EXPECT_GT(Moving, 4000u);
  TVehicleModel Fresh(11);
  Fresh.Step(0.5);
  EXPECT_TRUE(Fresh.State().Cranking);
  EXPECT_EQ(Fresh.ValueText(66), "ON");
  EXPECT_EQ(Fresh.State().Speed, 0.0);
}

TEST(VehicleModel, CoolantWarmsToTheThermostatAndNeverPassesItsLimit) {
  for (uint64_t Seed = 1; Seed <= 12; ++Seed) {
    TVehicleModel Model(Seed);
    const double Ambient = Model.State().Ambient;
    EXPECT_NEAR(Model.State().Coolant, Ambient, 1e-9);
    double Hottest = -100, LastCoolant = Ambient;
    bool FanRan = false;
    Drive(Model, 3600, [&](const TVehicleModel& M) {
      const TVehicleState& S = M.State();
      Hottest = std::max(Hottest, S.Coolant);
      LastCoolant = S.Coolant;
      FanRan = FanRan || S.Fan != TFanState::Off;
      if (S.Fan == TFanState::High) {
        EXPECT_GE(S.Coolant, 97.0) << Seed;
      }
      if (S.Fan == TFanState::Low && !(S.AcRelay && S.Speed < 40)) {
        EXPECT_GE(S.Coolant, 92.0) << Seed;
      }
    });
    EXPECT_LE(Hottest, TVehicleModel::cCoolantLimit) << "seed " << Seed;
    EXPECT_GT(LastCoolant, 82.0) << "seed " << Seed << " never warmed up";
    EXPECT_LT(LastCoolant, 100.0) << "seed " << Seed;
    EXPECT_TRUE(FanRan) << "seed " << Seed;
  }
}

TEST(VehicleModel, TripDistanceAndFuelAreTheIntegralsOfSpeedAndConsumption) {
  TVehicleModel Model(5);
  double Distance = 0, Fuel = 0, Standing = 0, Top = 0;
  double Speed = Model.State().Speed, Rate = Model.State().FuelRate;
  Drive(Model, 1200, [&](const TVehicleModel& M) {
    const TVehicleState& S = M.State();
    Distance += (Speed + S.Speed) / 2 * cDt / 3600;  // trapezoids over the ticks
    Fuel += (Rate + S.FuelRate) / 2 * cDt / 3600;
    if (S.Speed == 0) Standing += cDt;
    Top = std::max(Top, S.Speed);
    Speed = S.Speed;
    Rate = S.FuelRate;
  });
  const TTripTotals& T = Model.Trip();
  EXPECT_GT(T.Distance, 5.0);  // twenty minutes of the cycle go somewhere
  EXPECT_NEAR(T.Distance, Distance, 0.002 * Distance);
  EXPECT_NEAR(T.Fuel, Fuel, 0.02 * Fuel);
  EXPECT_NEAR(T.Seconds, 1200, 1e-6);
  EXPECT_NEAR(T.LostSeconds, Standing, 3.0);
  EXPECT_GE(T.MaxSpeed, Top);  // it also sees the speeds between the ticks
  EXPECT_NEAR(T.MaxSpeed, Top, 0.5);
  EXPECT_LE(T.LostFuel, T.Fuel);
  EXPECT_NEAR(Model.AvgSpeed(), T.Distance / (1200.0 / 3600), 1e-9);
  // A small car: between 4 and 12 litres per 100 km over a mixed cycle.
  EXPECT_GT(Model.AvgFuelPerDist(), 4.0);
  EXPECT_LT(Model.AvgFuelPerDist(), 12.0);
  EXPECT_EQ(Model.ValueText(134), [&] {
    char B[32];
    std::snprintf(B, sizeof B, "%.3f", T.Distance);
    return std::string(B);
  }());
}

TEST(VehicleModel, TripResetStartsTheFiguresAgainButNotTheCar) {
  TVehicleModel Model(9);
  Model.Step(400);
  const double Coolant = Model.State().Coolant;
  Model.ResetTrip();
  EXPECT_EQ(Model.ValueText(134), "0.000");
  EXPECT_EQ(Model.ValueText(133), "0.000");
  EXPECT_EQ(Model.ValueText(142), "0:00:00");
  EXPECT_EQ(Model.ValueText(135), "0.0");
  EXPECT_EQ(Model.State().Coolant, Coolant);
  Model.Step(3725);
  const std::string Time = Model.ValueText(142);
  EXPECT_EQ(Time, "1:02:05");
}

TEST(VehicleModel, SwitchesFollowTheCar) {
  TVehicleModel Model(21);
  bool SawBrake = false, SawAc = false, SawLean = false, SawRich = false, Learned = false;
  double MinVolt = 99, MaxVolt = 0;
  Drive(Model, 1500, [&](const TVehicleModel& M) {
    const TVehicleState& S = M.State();
    // The brake is on whenever the car slows hard, and the car never speeds up with it on.
    if (S.Accel < -0.5) {
      EXPECT_EQ(M.ValueText(56), "ON") << S.Time;
    }
    if (S.Brake) {
      EXPECT_LE(S.Accel, 1e-9) << S.Time;
    }
    SawBrake = SawBrake || S.Brake;
    if (S.AcRelay) {
      SawAc = true;
      EXPECT_EQ(M.ValueText(51), "ON");
      EXPECT_EQ(M.ValueText(55), "ON");  // the blower runs with the A/C
    }
    if (S.ClosedLoop) {
      const double O2 = S.O2Up[0];
      EXPECT_GE(O2, 0.0);
      EXPECT_LE(O2, 1.0);
      (O2 > 0.45 ? SawRich : SawLean) = true;
      EXPECT_EQ(M.ValueText(64), O2 > 0.45 ? "RICH" : "LEAN");
      EXPECT_LE(std::abs(S.ShortTrim[0]), 12.0);
    }
    if (S.FuelCut) {
      EXPECT_EQ(S.FuelRate, 0.0);
    }
    if (!S.Cranking && S.Time > 5) {
      MinVolt = std::min(MinVolt, S.Battery);
      MaxVolt = std::max(MaxVolt, S.Battery);
    }
    Learned = Learned || M.ValueText(63) == "CMPLT";
  });
  EXPECT_TRUE(SawBrake);
  EXPECT_TRUE(SawAc);
  EXPECT_TRUE(SawRich && SawLean);
  EXPECT_TRUE(Learned);
  // Charging voltage: above a resting battery, below an overcharge.
  EXPECT_GT(MinVolt, 13.5);
  EXPECT_LT(MaxVolt, 14.6);
}

}  // namespace
}  // namespace zelm::tools
