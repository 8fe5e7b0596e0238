// The workbench end to end: scripts/workbench.sh registers the real DLL in a Wine prefix of
// this test's own (neither the Wine tests' nor that of a bench a user runs meanwhile),
// starts the simulated car and the stand-in host with the default skin, runs a
// bounded number of frames and stops everything. Run twice with one skin-variables
// file, so that a dynamic label chosen in the first run (which asks to keep it) must
// still be chosen in the second. Then a drive is recorded, replayed and charted from
// a folder of its own, by relative names, with a dynamic label stepped that no later
// run may see.
// The frames are the car's clock: the host steps the simulator a frame's time after each
// one, which answers before the next, so every check holds on a busy machine as on an
// idle one; none waits for time to pass.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/tables/Catalogue.h"
#include "core/tables/LabelCodes.h"
#include "core/tables/SlotTexts.h"
#include "programs/common/DriveLog.h"
#include "programs/common/Utf.h"
#include "workbench/host/SkinFile.h"
#include "programs/sim/VehicleModel.h"

namespace zelm::tools {
namespace {

// The default skin's first dynamic label starts at the intake temperature, and a step
// moves it to the code after it in the label-code cycle: the purge volume control valve.
constexpr std::u16string_view cFirstSlot = u"ce_intaketemp", cFirstSlotStepped = u"ce_purg_vol_c_v";

struct TFrame {
  long No = 0;
  std::vector<std::string> Texts;  // one per label of the skin, in its order
  bool HasSubscribed = false;
  std::set<uint32_t> Subscribed;
};

struct TRun {
  int Exit = -1;
  std::string Output;
  std::vector<TFrame> Frames;
};

std::string Shell(const std::string& Command, int& Exit) {
  std::string Output;
  FILE* Pipe = popen((Command + " 2>&1").c_str(), "r");
  if (Pipe == nullptr) return Output;
  char Buffer[4096];
  for (std::size_t N; (N = std::fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;) Output.append(Buffer, N);
  const int Status = pclose(Pipe);
  Exit = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
  return Output;
}

std::vector<TFrame> ParseFrames(const std::string& Output) {
  std::vector<TFrame> Frames;
  std::istringstream In(Output);
  std::string Line;
  while (std::getline(In, Line)) {
    if (Line.rfind("frame ", 0) == 0) {
      Frames.emplace_back();
      Frames.back().No = std::atol(Line.c_str() + 6);
    } else if (!Frames.empty() && Line.rfind("label\t", 0) == 0) {
      const std::size_t Tab = Line.find('\t', 6);
      Frames.back().Texts.push_back(Tab == std::string::npos ? "" : Line.substr(Tab + 1));
    } else if (!Frames.empty() && Line.rfind("subscribed\t", 0) == 0) {
      Frames.back().HasSubscribed = true;
      std::istringstream Ids(Line.substr(11));
      for (uint32_t Id; Ids >> Id;) Frames.back().Subscribed.insert(Id);
    }
  }
  return Frames;
}

// Processes of this Wine prefix still running (their environment names it).
std::vector<std::string> WineLeftovers() {
  std::vector<std::string> Found;
  const std::string Mark = std::string("WINEPREFIX=") + ZELM_WINEPREFIX;
  DIR* Proc = opendir("/proc");
  if (Proc == nullptr) return Found;
  while (dirent* Entry = readdir(Proc)) {
    const std::string Pid = Entry->d_name;
    if (Pid.find_first_not_of("0123456789") != std::string::npos || std::atoi(Pid.c_str()) == getpid()) continue;
    std::ifstream Env("/proc/" + Pid + "/environ", std::ios::binary);
    std::string Text((std::istreambuf_iterator<char>(Env)), std::istreambuf_iterator<char>());
    std::size_t At = 0;
    while ((At = Text.find(Mark, At)) != std::string::npos) {
      const std::size_t End = At + Mark.size();
      if ((At == 0 || Text[At - 1] == '\0') && (End == Text.size() || Text[End] == '\0')) {
        std::ifstream Comm("/proc/" + Pid + "/comm");
        std::string Name;
        std::getline(Comm, Name);
        Found.push_back(Pid + " " + Name);
        break;
      }
      At = End;
    }
  }
  closedir(Proc);
  return Found;
}

// What a label of the skin stands for in a frame.
struct TRole {
  TLabelCodeKind Kind = TLabelCodeKind::Value;  // Value, Title or Unit
  const TParamInfo* Param = nullptr;
};

class WorkbenchEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string Error;
    ASSERT_TRUE(LoadSkin(ZELM_DEFAULT_SKIN, Skin, Error)) << Error;
    Vars = std::string(ZELM_BUILD_DIR) + "/workbench/e2e-skin-variables.txt";
    std::remove(Vars.c_str());
    StepKey = KeyFor(u"ce_next_dinamic_label");
    ResetKey = KeyFor(u"ce_close");
    First = Workbench("--frames 40 --keep-saved --at 15:" + StepKey + " --at 30:" + ResetKey);
    SavedAfterFirst = ReadFile(Vars);
    LeftAfterFirst = WineLeftoversAfterAWhile();
    Second = Workbench("--frames 12");
    LeftAfterSecond = WineLeftoversAfterAWhile();
    // The host by itself, in the prefix in which the workbench registered the DLL.
    Help = Host("--help", "true");
    BadOption = Host("--skin '" + Wine(ZELM_DEFAULT_SKIN) + "' --colour red", "true");
    HostVars = std::string(ZELM_BUILD_DIR) + "/workbench/e2e-host-variables.txt";
    std::remove(HostVars.c_str());
    // A step key, a quit, and quits that keep coming while the host goes away.
    Quits = Host("--skin '" + Wine(ZELM_DEFAULT_SKIN) + "' --vars '" + Wine(HostVars) + "' --format plain",
                 "(printf '" + StepKey + "\\nquit\\n'; yes quit | head -n 20000)");
    // A skin with a mistake, named as the user wrote its path.
    BadSkin = std::string(ZELM_BUILD_DIR) + "/workbench/e2e-bad.skin";
    std::ofstream(BadSkin) << "\xEF\xBB\xBFskin bad\nlabel 0 0 5 ce_speeed\n";
    Check = Host("--check '" + BadSkin + "'", "true");
    SimHelp = Program("programs/zelm_sim.exe", "--help");

    // A drive recorded from the simulated car, served again by the simulator, and the
    // replay recorded and charted, each named from the folder the commands run in.
    const std::string Drives = std::string(ZELM_BUILD_DIR) + "/workbench/e2e-drives";
    Shell("rm -rf '" + Drives + "' && mkdir -p '" + Drives + "'", ChartExit);
    Drive = Drives + "/drive.csv";
    Replay = Drives + "/replay.csv";
    Recorded = Workbench("--frames 30 --time-scale 100 --record drive.csv --at 3:" + StepKey, Drives);
    Replayed = Workbench("--frames 30 --replay drive.csv --record replay.csv", Drives);
    Charted = Shell("cd '" + Drives + "' && '" + std::string(ZELM_REPO) + "/scripts/chart.sh' replay.csv", ChartExit);

    int Ignored = 0;
    Shell(std::string("WINEPREFIX='") + ZELM_WINEPREFIX + "' sh -c 'wineserver -k; wineserver -w'", Ignored);
  }

  static std::string KeyFor(std::u16string_view Command) {
    for (const TSkinButton& B : Skin.Buttons)
      if (B.Command == Command) return ToUtf8(std::u16string(1, B.Key));
    return "?";
  }

  // The workbench run from Folder (the build folder unless named).
  static TRun Workbench(const std::string& Arguments, const std::string& Folder = ZELM_BUILD_DIR) {
    TRun Run;
    Run.Output = Shell("cd '" + Folder + "' && ZELM_WORKBENCH_WINEPREFIX='" + ZELM_WINEPREFIX + "' '" + ZELM_REPO +
                           "/scripts/workbench.sh' --build '" + ZELM_BUILD_DIR + "' --vars '" + Vars +
                           "' --format list " + Arguments,
                       Run.Exit);
    Run.Frames = ParseFrames(Run.Output);
    return Run;
  }

  static std::string Wine(const std::string& Path) {
    std::string Out = "Z:" + Path;
    std::replace(Out.begin(), Out.end(), '/', '\\');
    return Out;
  }

  // zelm_host with what Input (a shell command) writes on its standard input.
  static TRun Host(const std::string& Arguments, const std::string& Input) {
    return Program("workbench/zelm_host.exe", Arguments, Input);
  }
  static std::string HostOut() { return std::string(ZELM_BUILD_DIR) + "/workbench/e2e-host.out"; }

  // One of the programs by itself. Its output goes through a file (Wine's helpers hold
  // on to inherited pipes).
  static TRun Program(const std::string& Exe, const std::string& Arguments, const std::string& Input = "true") {
    TRun Run;
    Run.Output = Shell(std::string("(export WINEPREFIX='") + ZELM_WINEPREFIX +
                           "' WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=; " + Input + " | wine '" +
                           ZELM_BUILD_DIR + "/cross/" + Exe + "' " + Arguments + " >'" + HostOut() +
                           "' 2>&1; Exit=$?; cat '" + HostOut() + "'; exit $Exit)",
                       Run.Exit);
    return Run;
  }

  static std::string ReadFile(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  }

  static std::vector<std::string> WineLeftoversAfterAWhile() {
    std::vector<std::string> Left;
    for (int I = 0; I < 50; ++I) {
      Left = WineLeftovers();
      if (Left.empty()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return Left;
  }

  static const TParamInfo* ParamOfCode(std::u16string_view ValueCode) {
    const TLabelCode* Code = FindLabelCode(ValueCode);
    return Code && Code->Kind == TLabelCodeKind::Value ? &cParams[Code->Index] : nullptr;
  }

  // Slot number -> the value code it holds; the label's role follows from it.
  static TRole RoleOf(const TSkinLabel& Label, const std::map<std::size_t, std::u16string>& Slots) {
    const TLabelCode* Code = FindLabelCode(Label.Code);
    TRole Role;
    if (Code == nullptr) return Role;
    switch (Code->Kind) {
      case TLabelCodeKind::Value:
      case TLabelCodeKind::Title:
      case TLabelCodeKind::Unit:
        Role.Kind = Code->Kind;
        Role.Param = &cParams[Code->Index];
        break;
      case TLabelCodeKind::SlotValue:
      case TLabelCodeKind::SlotTitle:
      case TLabelCodeKind::SlotUnit:
        Role.Kind = Code->Kind == TLabelCodeKind::SlotValue   ? TLabelCodeKind::Value
                    : Code->Kind == TLabelCodeKind::SlotTitle ? TLabelCodeKind::Title
                                                              : TLabelCodeKind::Unit;
        Role.Param = ParamOfCode(Slots.at(Code->Index));
        break;
      default: break;
    }
    return Role;
  }

  static std::map<std::size_t, std::u16string> StartingSlots() {
    std::map<std::size_t, std::u16string> Slots;
    for (const TSkinVariable& V : Skin.Variables)
      for (std::size_t I = 0; I < cSlotCount; ++I)
        if (cSlots[I].Variable == V.Name) Slots[I] = V.Value;
    return Slots;
  }

  static std::string Title(const TParamInfo& P) {
    const std::u16string_view T = TVehicleModel::TitleUnit(P.Id);
    return ToUtf8(T.substr(0, T.find(u',')));
  }
  static std::string Unit(const TParamInfo& P) {
    const std::u16string_view T = TVehicleModel::TitleUnit(P.Id);
    return ToUtf8(T.substr(T.find(u',') + 1));
  }

  static bool LooksLikeAValue(const TParamInfo& P, const std::string& Text) {
    if (Text.empty() || Text == "-") return false;
    if (P.Id == Kvel_timewent) return Text.find(':') != std::string::npos;
    if (Text.find_first_of("0123456789") != std::string::npos) return true;
    return Text == "ON" || Text == "OFF" || Text == "LOW" || Text == "HIGH" || Text == "RICH" || Text == "LEAN" ||
           Text == "YET" || Text == "CMPLT";
  }

  static std::size_t LabelIndex(std::u16string_view Code) {
    for (std::size_t I = 0; I < Skin.Labels.size(); ++I)
      if (Skin.Labels[I].Code == Code) return I;
    return Skin.Labels.size();
  }

  // Checks one run: every label from "-" to its value with title and unit, and the
  // data server sending exactly what is shown at the end.
  static void CheckRun(const TRun& Run, long Frames,
                       const std::map<long, std::map<std::size_t, std::u16string>>& SlotsFrom) {
    ASSERT_EQ(Run.Exit, 0) << Run.Output;
    ASSERT_EQ(Run.Frames.size(), static_cast<std::size_t>(Frames)) << Run.Output;
    auto SlotsAt = [&](long Frame) { return std::prev(SlotsFrom.upper_bound(Frame))->second; };
    for (std::size_t L = 0; L < Skin.Labels.size(); ++L) {
      const std::string Code = ToUtf8(Skin.Labels[L].Code);
      long ShownFrom = 0;  // first frame of the current parameter showing a value
      for (const TFrame& F : Run.Frames) {
        ASSERT_EQ(F.Texts.size(), Skin.Labels.size()) << "frame " << F.No;
        const TRole Role = RoleOf(Skin.Labels[L], SlotsAt(F.No));
        ASSERT_NE(Role.Param, nullptr) << Code;
        const bool NewParam = F.No == 1 || RoleOf(Skin.Labels[L], SlotsAt(F.No - 1)).Param != Role.Param;
        if (NewParam) ShownFrom = 0;
        const std::string& Text = F.Texts[L];
        if (Role.Kind != TLabelCodeKind::Value) continue;
        if (Role.Param->Kind == TParamKind::Live && NewParam) {
          EXPECT_EQ(Text, "-") << Code << " in frame " << F.No << ": subscribed only when asked for";
        }
        if (LooksLikeAValue(*Role.Param, Text)) {
          if (ShownFrom == 0) ShownFrom = F.No;
        } else {
          EXPECT_TRUE(Text == "-" && ShownFrom == 0) << Code << " in frame " << F.No << ": '" << Text << "'";
        }
      }
      const TRole Last = RoleOf(Skin.Labels[L], SlotsAt(Frames));
      const std::string& Text = Run.Frames.back().Texts[L];
      if (Last.Kind == TLabelCodeKind::Value) {
        EXPECT_NE(ShownFrom, 0) << Code << " never showed a value";
        EXPECT_LT(ShownFrom, Frames - 2) << Code << " took too long";
      } else if (Last.Param->Kind == TParamKind::Live) {
        // The title and unit the car sent, through its ANSI code page and back.
        EXPECT_EQ(Text, Last.Kind == TLabelCodeKind::Title ? Title(*Last.Param) : Unit(*Last.Param)) << Code;
      }
    }

    // The data server sends exactly the live parameters shown, and of the trip
    // figures (which flow from the start on the trip read) no others.
    const TFrame& End = Run.Frames.back();
    ASSERT_TRUE(End.HasSubscribed) << Run.Output;
    std::set<uint32_t> LiveShown, TripShown, LiveSubscribed, TripSubscribed;
    for (const TSkinLabel& Label : Skin.Labels) {
      const TRole Role = RoleOf(Label, SlotsAt(Frames));
      if (Role.Kind == TLabelCodeKind::Value) {
        (Role.Param->Kind == TParamKind::Live ? LiveShown : TripShown).insert(Role.Param->Id);
      }
    }
    for (uint32_t Id : End.Subscribed) (TVehicleModel::IsTrip(Id) ? TripSubscribed : LiveSubscribed).insert(Id);
    EXPECT_EQ(LiveSubscribed, LiveShown);
    for (uint32_t Id : TripSubscribed) EXPECT_EQ(TripShown.count(Id), 1u) << Id;
  }

  static inline TSkin Skin;
  static inline std::string Vars, HostVars, StepKey, ResetKey;
  static inline TRun First, Second, Help, BadOption, Quits, Check, SimHelp, Recorded, Replayed;
  static inline std::string BadSkin, Drive, Replay, Charted, SavedAfterFirst;
  static inline int ChartExit = -1;
  static inline std::vector<std::string> LeftAfterFirst, LeftAfterSecond;
};

TEST_F(WorkbenchEndToEnd, EveryLabelGoesFromADashToItsValueTitleAndUnit) {
  auto Slots = StartingSlots();
  ASSERT_EQ(Slots.size(), 4u);
  ASSERT_EQ(Slots[0], cFirstSlot);
  auto Stepped = Slots;
  Stepped[0] = cFirstSlotStepped;
  CheckRun(First, 40, {{1, Slots}, {15, Stepped}});
  CheckRun(Second, 12, {{1, Stepped}});
}

TEST_F(WorkbenchEndToEnd, SteppingADynamicLabelChangesItAndTheChoiceSurvivesARestart) {
  const auto Slots = StartingSlots();
  ASSERT_EQ(Slots.at(0), cFirstSlot);
  const TParamInfo* Before = ParamOfCode(Slots.at(0));
  ASSERT_NE(Before, nullptr);
  const std::u16string After(cFirstSlotStepped);
  const TParamInfo* Next = ParamOfCode(After);
  ASSERT_NE(Next, nullptr);
  const std::size_t TitleLabel = LabelIndex(u"ce_dinamic_label_title");
  ASSERT_LT(TitleLabel, Skin.Labels.size());
  ASSERT_EQ(First.Frames.size(), 40u) << First.Output;
  ASSERT_EQ(Second.Frames.size(), 12u) << Second.Output;

  EXPECT_EQ(First.Frames[13].Texts[TitleLabel], Title(*Before));
  // Right after the step the slot asks for its new parameter, not yet flowing: its
  // title shows the code, then the car's title.
  EXPECT_EQ(First.Frames[14].Texts[TitleLabel], ToUtf8(After));
  EXPECT_EQ(First.Frames.back().Texts[TitleLabel], Title(*Next));

  // The choice was saved into the skin and is read again by the restarted host; the
  // later scripted runs, one of which stepped it again, left it so.
  EXPECT_NE(SavedAfterFirst.find("CheckEngineDinamicLabel=" + ToUtf8(After) + "\n"), std::string::npos)
      << SavedAfterFirst;
  EXPECT_EQ(ReadFile(Vars), SavedAfterFirst);
  EXPECT_EQ(Second.Frames.front().Texts[TitleLabel], ToUtf8(After));
  EXPECT_EQ(Second.Frames.back().Texts[TitleLabel], Title(*Next));
  EXPECT_EQ(Second.Frames.back().Texts[LabelIndex(u"ce_dinamic_label_1_title")], Title(*ParamOfCode(Slots.at(1))));
}

// When the drop comes (the request count) is the core's rule, proven natively; end to
// end, the parameter the step left stays subscribed while shown, goes some frames after
// the step, and stays gone.
TEST_F(WorkbenchEndToEnd, AParameterNoLongerShownIsUnsubscribedSoonAfter) {
  const TParamInfo* Left = ParamOfCode(cFirstSlot);
  ASSERT_NE(Left, nullptr);
  ASSERT_EQ(First.Frames.size(), 40u) << First.Output;
  bool Dropped = false;
  for (const TFrame& F : First.Frames) {
    ASSERT_TRUE(F.HasSubscribed) << "frame " << F.No;
    if (F.No < 3) continue;  // values still starting
    const bool Subscribed = F.Subscribed.count(Left->Id) != 0;
    EXPECT_TRUE(Subscribed || F.No > 14) << "shown, yet dropped in frame " << F.No;
    EXPECT_FALSE(Dropped && Subscribed) << "subscribed again in frame " << F.No;
    Dropped = Dropped || !Subscribed;
  }
  EXPECT_TRUE(Dropped) << "still subscribed after 25 frames without being shown";
}

TEST_F(WorkbenchEndToEnd, TheTripResetKeyStartsTheTripAgain) {
  ASSERT_EQ(First.Frames.size(), 40u) << First.Output;
  const std::size_t Time = LabelIndex(u"ce_timewent");
  ASSERT_LT(Time, Skin.Labels.size());
  auto Seconds = [](const std::string& Text) {
    int H = 0, M = 0, S = 0;
    return std::sscanf(Text.c_str(), "%d:%d:%d", &H, &M, &S) == 3 ? H * 3600 + M * 60 + S : -1;
  };
  // Pressed before frame 30: three seconds of trip before, one at most after.
  const int BeforeReset = Seconds(First.Frames[28].Texts[Time]);
  const int AtEnd = Seconds(First.Frames.back().Texts[Time]);
  EXPECT_GE(BeforeReset, 2);
  EXPECT_GE(AtEnd, 0);
  EXPECT_LT(AtEnd, BeforeReset);
}

TEST_F(WorkbenchEndToEnd, NothingIsLeftRunning) {
  EXPECT_TRUE(LeftAfterFirst.empty()) << LeftAfterFirst.front();
  EXPECT_TRUE(LeftAfterSecond.empty()) << LeftAfterSecond.front();
  EXPECT_NE(First.Output.find("zelm_host: 40 frames"), std::string::npos) << First.Output;
}

// Its command line as Windows hands it over, and the input thread: a step key, a quit,
// and more quits that come while the host is going away.
TEST_F(WorkbenchEndToEnd, TheHostAnswersHelpNamesABadOptionAndQuitsOnItsInput) {
  EXPECT_EQ(Help.Exit, 0) << Help.Output;
  EXPECT_EQ(Help.Output.rfind("usage: zelm_host --skin FILE", 0), 0u) << Help.Output;
  EXPECT_EQ(BadOption.Exit, 2) << BadOption.Output;
  EXPECT_NE(BadOption.Output.find("unknown option '--colour'; the options are --skin"), std::string::npos)
      << BadOption.Output;
  EXPECT_EQ(Quits.Exit, 0) << Quits.Output;
  EXPECT_NE(Quits.Output.find(" frames, "), std::string::npos) << Quits.Output;
  // The step key came through the input thread: the step saved its choice.
  const std::string Saved = ReadFile(HostVars);
  EXPECT_NE(Saved.find("CheckEngineDinamicLabel="), std::string::npos) << Quits.Output;
  // Read again now that the prefix's processes have ended. A reader writing into a
  // freed host faults here in some runs only; the native test of the input lines is
  // the certain one.
  const std::string Late = ReadFile(HostOut());
  EXPECT_EQ(Late.find("page fault"), std::string::npos) << Late;
}

// The check under Wine takes the byte-order mark, names the file as the user wrote
// it, and fails; the simulator answers --help.
TEST_F(WorkbenchEndToEnd, TheCheckNamesTheSkinAsWrittenAndTheSimulatorAnswersHelp) {
  EXPECT_EQ(Check.Exit, 1) << Check.Output;
  EXPECT_EQ(Check.Output.rfind(BadSkin + ":2: label code 'ce_speeed'", 0), 0u) << Check.Output;
  EXPECT_EQ(SimHelp.Exit, 0) << SimHelp.Output;
  EXPECT_EQ(SimHelp.Output.rfind("usage: zelm_sim", 0), 0u) << SimHelp.Output;
}

// The replay shows the recording frame for frame (a run of frames keeps the frames'
// clock: the car's, the recording's and the replay's), both recordings hold the title
// and unit the car sent, and a chart is drawn.
TEST_F(WorkbenchEndToEnd, ADriveRecordedFromTheCarIsServedAgainAndCharted) {
  ASSERT_EQ(Recorded.Exit, 0) << Recorded.Output;
  ASSERT_EQ(Replayed.Exit, 0) << Replayed.Output;
  TDrive Drives[2];
  std::vector<std::string> Speeds[2];
  for (int File = 0; File < 2; ++File) {
    std::string Error;
    ASSERT_TRUE(ParseDrive(ReadFile(File == 0 ? Drive : Replay), "drive", Drives[File], Error)) << Error;
    ASSERT_EQ(Drives[File].Rows.size(), 30u);
    const auto Column = std::find(Drives[File].Codes.begin(), Drives[File].Codes.end(), u"ce_speed");
    ASSERT_NE(Column, Drives[File].Codes.end());
    const auto At = static_cast<std::size_t>(Column - Drives[File].Codes.begin());
    for (const TDriveRow& Row : Drives[File].Rows) Speeds[File].push_back(Row.Texts[At]);
    EXPECT_EQ(Drives[File].Titles[At], Title(cParams[0]));
    EXPECT_EQ(Drives[File].Units[At], Unit(cParams[0]));
  }
  EXPECT_EQ(Speeds[1], Speeds[0]);
  std::set<std::string> Moving;
  for (const std::string& Speed : Speeds[0])
    if (Speed != "-" && Speed != "0") Moving.insert(Speed);
  EXPECT_GE(Moving.size(), 10u) << "the recording holds hardly any of the drive";

  EXPECT_EQ(ChartExit, 0) << Charted;
  const std::string Png = ReadFile(std::string(ZELM_BUILD_DIR) + "/workbench/e2e-drives/replay.png");
  EXPECT_GT(Png.size(), 1000u);
  EXPECT_EQ(Png.substr(0, 4), "\x89PNG");
}

}  // namespace
}  // namespace zelm::tools
