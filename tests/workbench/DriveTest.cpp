// Recording a drive (its CSV and which values it keeps), serving it again, and the
// simulator's command line that asks for that.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/tables/Catalogue.h"
#include "programs/common/DriveLog.h"
#include "programs/common/Utf.h"
#include "workbench/host/Recorder.h"
#include "programs/sim/DriveReplay.h"
#include "programs/sim/SimOptions.h"
#include "workbench/sim/WorkbenchSimOptions.h"
#include "tests/support/native/ToolsTestSupport.h"

namespace zelm::tools {
namespace {

TEST(DriveLog, RowsReadBackAsWrittenAndABrokenFileIsNamedByLine) {
  const std::string Text = DriveHeader({u"ce_speed", u"ce_timewent"}) + DriveRow(0, {u"-", u"-"}) +
                           DriveRow(0.1004, {u"12", u"0:00:01"}) + DriveRow(2.5, {u"1,5", u"say \"x\""});
  EXPECT_EQ(Text, "seconds,ce_speed,ce_timewent\n0.000,-,-\n0.100,12,0:00:01\n2.500,\"1,5\",\"say \"\"x\"\"\"\n");
  TDrive Drive;
  std::string Error;
  ASSERT_TRUE(ParseDrive("\xEF\xBB\xBF" + Text, "d.csv", Drive, Error)) << Error;
  EXPECT_EQ(Drive.Codes, (std::vector<std::u16string>{u"ce_speed", u"ce_timewent"}));
  ASSERT_EQ(Drive.Rows.size(), 3u);
  EXPECT_EQ(Drive.Rows[1].Seconds, 0.1);
  EXPECT_EQ(Drive.Rows[2].Texts, (std::vector<std::string>{"1,5", "say \"x\""}));

  // Every field the writer writes reads back: line breaks, a lone CR, quotes and commas
  // in a title, a unit or a value, with the rows after it where they were.
  const std::vector<std::u16string> Odd = {u"two\nlines", u"crlf\r\nand \"q\", c\r"};
  ASSERT_TRUE(ParseDrive(DriveHeader({u"ce_speed", u"ce_timewent"}) + DriveHeadRow("title", Odd) +
                             DriveHeadRow("unit", {u"\n", u""}) + DriveRow(1, Odd) + DriveRow(2, {u"\"", u","}),
                         "d.csv", Drive, Error))
      << Error;
  EXPECT_EQ(Drive.Titles, (std::vector<std::string>{"two\nlines", "crlf\r\nand \"q\", c\r"}));
  EXPECT_EQ(Drive.Units, (std::vector<std::string>{"\n", ""}));
  ASSERT_EQ(Drive.Rows.size(), 2u);
  EXPECT_EQ(Drive.Rows[0].Texts, Drive.Titles);
  EXPECT_EQ(Drive.Rows[1].Texts, (std::vector<std::string>{"\"", ","}));

  struct {
    const char* Text;
    const char* Error;
  } Cases[] = {
      {"", "d.csv: the file is empty"},
      {"seconds,ce_speed\n", "d.csv: the recording has no row"},
      {"time,ce_speed\n0,1\n", "d.csv:1: not a recorded drive"},
      {"seconds,ce_speed\n0,1\n1\n", "d.csv:3: 1 fields where the header has 2"},
      {"seconds,ce_speed\n1,1\n0.5,1\n", "d.csv:3: the seconds '0.5' are no time after the row before"},
      {"seconds,ce_speed\nx,1\n", "d.csv:2: the seconds 'x'"},
      {"seconds,ce_speed\n0,\"1\n", "d.csv:2: a quoted field is not closed"},
      {"seconds,ce_speed\n0,\"1\"x\n", "d.csv:2: a quoted field is not closed"},
      {"seconds,ce_speed\n0,\"a\nb\"\n1\n", "d.csv:4: 1 fields where the header has 2"},
  };
  for (const auto& C : Cases) {
    EXPECT_FALSE(ParseDrive(C.Text, "d.csv", Drive, Error)) << C.Text;
    EXPECT_EQ(Error.rfind(C.Error, 0), 0u) << Error;
  }
}

TEST(DriveLog, KeepsEachValueTheSkinShowsOnceWithTheLabelThatShowsIt) {
  TSkin Skin;
  ASSERT_TRUE(
      Parsed("skin s\nlabel 0 0 5 ce_speed_title\nlabel 1 0 5 CE_Speed\nlabel 2 0 5 ce_dinamic_label\n"
             "label 3 0 5 ce_dinamic_label_1\nlabel 4 0 5 ce_speed\nlabel 5 0 5 ce_nothing\n",
             Skin));
  THostVariables Vars;
  Vars.Set(u"CheckEngineDinamicLabel", u"ce_Coolanttemp");
  Vars.Set(u"CheckEngineDinamicLabel_1", u"ce_speed");
  const auto Columns = DriveColumns(Skin, Vars);
  ASSERT_EQ(Columns.size(), 2u);
  EXPECT_EQ(Columns[0].Code, u"ce_speed");
  EXPECT_EQ(Columns[0].Label, 1);
  EXPECT_EQ(Columns[1].Code, u"ce_coolanttemp");
  EXPECT_EQ(Columns[1].Label, -1);  // asked for apart: the slot may step away from it
}

// The rows wait until the data server's titles and units are known (or five seconds
// of the drive have gone), and the replay sends them again.
TEST(DriveLog, WritesTheTitlesAndUnitsTheDataServerSentAndTheReplayServesThem) {
  const std::vector<TDriveColumn> Columns = {{u"ce_speed", 0}, {u"ce_timewent", 1}, {u"ce_coolanttemp", 2}};
  const std::string Head = "seconds,ce_speed,ce_timewent,ce_coolanttemp\n";
  TDriveWriter Writer(Columns);
  EXPECT_EQ(Writer.Row(0, {u"-", u"0:00:00", u"-"}), "");
  EXPECT_FALSE(Writer.Wants(0, u"-"));
  EXPECT_FALSE(Writer.Wants(1, u"0:00:00"));  // a trip figure comes without either
  ASSERT_TRUE(Writer.Wants(0, u"12"));
  Writer.Learn(0, u"Speed", u"mph");
  EXPECT_FALSE(Writer.Wants(0, u"12"));
  EXPECT_EQ(Writer.Row(0.1, {u"12", u"0:00:00", u"-"}), "");
  Writer.Learn(2, u"Coolant, engine", u"-");
  EXPECT_EQ(Writer.Row(0.2, {u"12", u"0:00:00", u"19"}),
            Head +
                "title,Speed,,\"Coolant, engine\"\nunit,mph,,\n0.000,-,0:00:00,-\n0.100,12,0:00:00,-\n"
                "0.200,12,0:00:00,19\n");
  EXPECT_EQ(Writer.Row(0.3, {u"13", u"0:00:01", u"19"}), "0.300,13,0:00:01,19\n");
  EXPECT_EQ(Writer.Finish(), "");
  // A parameter that never sends: the rows wait five seconds, or to the end.
  TDriveWriter Silent(Columns), Short(Columns);
  EXPECT_EQ(Silent.Row(4.9, {u"-", u"-", u"-"}), "");
  EXPECT_EQ(Silent.Row(5, {u"-", u"-", u"-"}), Head + "title,,,\nunit,,,\n4.900,-,-,-\n5.000,-,-,-\n");
  EXPECT_EQ(Short.Row(1, {u"-", u"-", u"-"}), "");
  EXPECT_EQ(Short.Finish(), Head + "title,,,\nunit,,,\n1.000,-,-,-\n");

  TDrive Drive;
  ASSERT_TRUE(Parsed("seconds,ce_speed,ce_coolanttemp,ce_voltage\ntitle,Speed,Coolant,\nunit,mph,,\n0,1,2,3\n", Drive));
  ASSERT_EQ(Drive.Rows.size(), 1u);
  TDriveReplay Replay(Drive, false);
  EXPECT_EQ(Replay.RecordedTitleUnit(Kvel_VHCL_SPEED_SE), u"Speed,mph");
  EXPECT_EQ(Replay.RecordedTitleUnit(Kvel_COOLAN_TEMP), u"Coolant");
  EXPECT_EQ(Replay.RecordedTitleUnit(Kvel_BATTERY_VOLT), u"");  // the car's own
  ASSERT_TRUE(Parsed("seconds,ce_speed\n0,1\n", Drive));        // before titles were kept
  EXPECT_EQ(TDriveReplay(Drive, false).RecordedTitleUnit(Kvel_VHCL_SPEED_SE), u"");
}

TEST(DriveReplay, ServesEachRowAtItsTimeAndNothingWithoutAValue) {
  TDrive Drive;
  std::string Error;
  ASSERT_TRUE(ParseDrive("seconds,ce_speed,CE_TIMEWENT,ce_nothing\n0,-,0:00:00,a\n1,10,0:00:01,b\n2,20,0:00:02,c\n",
                         "d", Drive, Error))
      << Error;
  TDriveReplay Once(Drive, false), Again(Drive, true);
  EXPECT_EQ(Once.Unknown(), (std::vector<std::u16string>{u"ce_nothing"}));
  EXPECT_EQ(Once.Length(), 3);
  EXPECT_EQ(Once.ValueText(Kvel_VHCL_SPEED_SE), "");  // "-": nothing to send yet
  EXPECT_EQ(Once.ValueText(Kvel_timewent), "0:00:00");
  EXPECT_EQ(Once.ValueText(Kvel_COOLAN_TEMP), "");  // not recorded
  Once.Step(0.99);
  EXPECT_EQ(Once.ValueText(Kvel_VHCL_SPEED_SE), "");
  Once.Step(0.02);
  EXPECT_EQ(Once.ValueText(Kvel_VHCL_SPEED_SE), "10");
  Once.Step(1.5);  // the last row holds for one step of the drive's pace
  EXPECT_EQ(Once.ValueText(Kvel_VHCL_SPEED_SE), "20");
  EXPECT_FALSE(Once.Ended());
  Once.Step(0.5);
  EXPECT_TRUE(Once.Ended());
  EXPECT_EQ(Once.ValueText(Kvel_VHCL_SPEED_SE), "");

  Again.Step(3.0 + 1.2);  // round once, then into the second row
  EXPECT_FALSE(Again.Ended());
  EXPECT_EQ(Again.ValueText(Kvel_VHCL_SPEED_SE), "10");
}

// Stepped a frame's time at a time, the replay meets each row of a drive recorded a row
// a frame, though a sum of tenths is no exact tenth.
TEST(DriveReplay, FrameStepsMeetTheRowsOfADriveRecordedAFrameARow) {
  std::string Text = "seconds,ce_speed\n";
  for (int Row = 0; Row < 30; ++Row) Text += DriveRow(Row / 10.0, {FromUtf8(std::to_string(Row))});
  TDrive Drive;
  ASSERT_TRUE(Parsed(Text, Drive));
  TDriveReplay Replay(Drive, false);
  for (int Step = 1; Step < 30; ++Step) {
    Replay.Step(0.1);
    EXPECT_EQ(Replay.ValueText(Kvel_VHCL_SPEED_SE), std::to_string(Step));
  }
}

// The demo that ships takes its own options only; the workbench's data server takes
// them and its own switches.
TEST(SimOptions, TheDemoTakesItsOwnOptionsAndTheWorkbenchsServerAddsItsSwitches) {
  TWorkbenchSimOptions O;
  std::string Fault;
  ASSERT_EQ(ParseWorkbenchSimOptions(
                Args({"--rate", "20", "--seed", "123456789012", "--time-scale", "0.5", "--status", "st",
                      "--quit-on-eof", "--run-seconds", "3", "--verbose", "--replay", "d.csv", "--loop", "--stepped"}),
                O, Fault),
            TParsed::Run)
      << Fault;
  EXPECT_EQ(O.Sim.Rate, 20);
  EXPECT_EQ(O.Sim.Seed, 123456789012u);
  EXPECT_EQ(O.Sim.TimeScale, 0.5);
  EXPECT_EQ(O.StatusFile, u"st");
  EXPECT_TRUE(O.QuitOnEof && O.Sim.Verbose && O.Sim.Loop && O.Stepped);
  EXPECT_EQ(O.RunSeconds, 3);
  EXPECT_EQ(O.Sim.ReplayFile, u"d.csv");
  EXPECT_EQ(ParseWorkbenchSimOptions(Args({"--loop"}), O, Fault), TParsed::Fault);
  EXPECT_EQ(Fault, "--loop goes with --replay FILE: it repeats a recording");

  TSimOptions Demo;
  EXPECT_EQ(ParseSimOptions(Args({"--rate", "3", "--help"}), Demo, Fault), TParsed::Help);
  EXPECT_NE(SimUsage().find("  --replay FILE"), std::string::npos);
  for (const char* Switch : {"--status", "--quit-on-eof", "--run-seconds", "--stepped", "(tests)"})
    EXPECT_EQ(SimUsage().find(Switch), std::string::npos) << Switch;
  EXPECT_NE(WorkbenchSimUsage().find("  --stepped"), std::string::npos);

  struct {
    std::initializer_list<const char*> Words;
    const char* Fault;
  } Cases[] = {
      {{"--rate", "0"}, "--rate takes a number from 1 to 50, not '0'"},
      {{"--seed", "-1"}, "--seed takes a count from 0 to 999999999999999, not '-1'"},
      {{"--time-scale"}, "--time-scale needs a value: a number from 0.1 to 100"},
      {{"--loop"}, "--loop goes with --replay FILE: it repeats a recording"},
      {{"--stepped"},
       "unknown option '--stepped'; the options are --rate --seed --time-scale --verbose --replay --loop and --help"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(ParseSimOptions(Args(C.Words), Demo, Fault), TParsed::Fault) << C.Fault;
    EXPECT_EQ(Fault, C.Fault);
  }
}

}  // namespace
}  // namespace zelm::tools
