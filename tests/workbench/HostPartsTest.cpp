#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <string>

#include "core/host/HostCalls.h"
#include "core/tables/Catalogue.h"
#include "core/tables/LabelCodes.h"
#include "core/tables/SlotTexts.h"
#include "programs/common/SkinCodes.h"
#include "programs/common/Utf.h"
#include "workbench/host/Dashboard.h"
#include "workbench/host/SavedVariables.h"
#include "programs/common/HostVariables.h"
#include "programs/common/InputLines.h"
#include "workbench/host/Options.h"
#include "workbench/host/SkinCheck.h"
#include "workbench/host/SkinFile.h"
#include "tests/support/native/ToolsTestSupport.h"

namespace zelm::tools {
namespace {

TEST(SkinFile, ReadsEveryElement) {
  const char* Text =
      "# a comment\n"
      "skin \"Our Skin\"\n"
      "size 10 40\r\n"
      "var CheckEngineDinamicLabel \"ce_speed\"\n"
      "text 0 0 \"Say \\\"hi\\\" \\\\ there\"  # trailing comment\n"
      "label 2 3 8 ce_speed right\n"
      "label 3 3 8 ce_\xD1\x80orse_power\n"
      "\n"
      "button 1 \"ce_next_dinamic_label\" \"next\"\n";
  TSkin Skin;
  std::string Error;
  ASSERT_TRUE(ParseSkin(Text, "t.skin", Skin, Error)) << Error;
  EXPECT_EQ(Skin.Name, u"Our Skin");
  EXPECT_EQ(Skin.Rows, 10);
  EXPECT_EQ(Skin.Cols, 40);
  ASSERT_EQ(Skin.Variables.size(), 1u);
  EXPECT_EQ(Skin.Variables[0].Value, u"ce_speed");
  ASSERT_EQ(Skin.Texts.size(), 1u);
  EXPECT_EQ(Skin.Texts[0].Text, u"Say \"hi\" \\ there");
  ASSERT_EQ(Skin.Labels.size(), 2u);
  EXPECT_TRUE(Skin.Labels[0].AlignRight);
  EXPECT_EQ(Skin.Labels[1].Code, u"ce_\u0440orse_power");
  EXPECT_FALSE(Skin.Labels[1].AlignRight);
  ASSERT_NE(Skin.ButtonFor(u'1'), nullptr);
  EXPECT_EQ(Skin.ButtonFor(u'1')->Command, u"ce_next_dinamic_label");
  EXPECT_EQ(Skin.ButtonFor(u'2'), nullptr);
}

TEST(SkinFile, NamesTheLineOfEachFault) {
  struct {
    const char* Text;
    const char* Fault;
  } Cases[] = {
      {"skin a\nlable 1 1 5 ce_speed\n", "t:2: unknown element 'lable'"},
      {"skin a\nlabel 1 1 5\n", "t:2: label takes"},
      {"skin a\nsize 5 20\nlabel 5 0 5 ce_speed\n", "t:3: label takes"},   // row outside the skin
      {"skin a\nsize 5 20\nlabel 1 15 6 ce_speed\n", "t:3: label takes"},  // runs past the edge
      {"skin a\nlabel 1 1 5 ce_speed middle\n", "t:2: label alignment"},
      {"skin a\ntext 1 1 \"open\n", "t:2: unterminated quote"},
      {"skin a\nlabel 1 1 5 ce_speed\nbutton q \"quit\" \"quit\"\nbutton q \"x\" \"y\"\n", "t:4: key q"},
      {"skin a\nbutton qq \"quit\" \"quit\"\nlabel 1 1 5 ce_speed\n", "t:2: button takes"},
      {"skin a\nlabel 1 1 5 ce_speed\nsize 5 20\n", "t:3: size must come before"},
      {"label 1 1 5 ce_speed\n", "t: the skin has no name"},
      {"skin a\n", "t: the skin has no label"},
      {" \r\n\n", "t: the file is empty"},
      {"skin a\nsize 0 20\n", "t:2: size takes"},
  };
  for (const auto& C : Cases) {
    TSkin Skin;
    std::string Error;
    EXPECT_FALSE(ParseSkin(C.Text, "t", Skin, Error)) << C.Text;
    EXPECT_EQ(Error.rfind(C.Fault, 0), 0u) << "got: " << Error;
  }
}

TEST(SkinFile, SaysEveryFaultAtOnceAndReadsUtf8AndUtf16WithTheirMarks) {
  TSkin Skin;
  std::string Error;
  EXPECT_FALSE(
      ParseSkin("\xEF\xBB\xBFskin a\nlable 1 1 5 ce_speed\nlabel 1 1 5 ce_speed\nsize 5 20\n", "t", Skin, Error));
  EXPECT_EQ(Error,
            "t:2: unknown element 'lable'; the elements are skin, size, var, text, label and button\n"
            "t:4: size must come before the elements");
  // Read alike in each encoding; bytes of another encoding are named as such, not shown raw.
  const std::string Utf8 = "skin a\ntext 0 0 \"\xC2\xB0\"\nlabel 1 1 5 ce_speed\n";
  for (const std::string& Bytes : {Utf8, "\xEF\xBB\xBF" + Utf8, Utf16(Utf8, true), Utf16(Utf8, false)}) {
    ASSERT_TRUE(ParseSkin(Bytes, "t", Skin, Error)) << Error;
    EXPECT_EQ(Skin.Name + Skin.Texts.at(0).Text, u"a\u00B0");
  }
  const std::pair<std::string, const char*> Faults[] = {
      {Utf16(Utf8, true).substr(2), "t: the file holds NUL bytes: it is UTF-16 without a byte-order mark"},
      {"skin a\ntext 0 0 \"Temp\xE9rature\"\nlabel 1 1 5 ce_speed\n", "t:2: the line is not UTF-8"}};
  for (const auto& [Bytes, Fault] : Faults) {
    EXPECT_FALSE(ParseSkin(Bytes, "t", Skin, Error));
    EXPECT_EQ(Error.rfind(Fault, 0), 0u) << Error;
  }
}

// What reading found and what the check finds, in one list in the order of the file.
TEST(SkinCheck, SaysTheFaultsOfReadingAndTheProblemsOfWhatWasReadTogether) {
  TSkin Skin;
  std::vector<TSkinProblem> Faults;
  EXPECT_FALSE(
      ParseSkin("skin a\nvar CheckEngineDinamicLabel \"ce_speeed\"\nlable 0 0 5 ce_speed\n"
                "label 1 0 5 ce_rpmm\nlabel 2 0 5 ce_dinamic_label\ntext 3 0 \"open\n"
                "button x \"ce_opne\" \"open\"\n",
                "s", Skin, Faults));
  const auto Problems = CheckSkin(Skin, "s", Faults);
  ASSERT_EQ(Problems.size(), 5u) << ::testing::PrintToString(Problems);
  const char* Starts[] = {"s:2: dynamic label", "s:3: unknown element", "s:4: label code 'ce_rpmm'",
                          "s:6: unterminated quote", "s:7: button x runs 'ce_opne'"};
  for (std::size_t I = 0; I < 5; ++I) EXPECT_EQ(Problems[I].rfind(Starts[I], 0), 0u) << Problems[I];
}

// One skin with each kind of problem, and one per slot in each way a slot can fail to
// step; slots 4 and 5 are used but fine.
TEST(SkinCheck, NamesEachUnknownCodeCommandAndSlotThatNeverStepsWithItsLineAndFix) {
  TSkin Skin;
  ASSERT_TRUE(
      Parsed("skin a\n"
             "var CheckEngineDinamicLabel_1 \"\"\n"                  // 2: empty
             "var CheckEngineDinamicLabel_2 \"ce_speeed\"\n"         // 3: unknown
             "var CheckEngineDinamicLabel_3 \"CE_FUEL_PUMP_RLY\"\n"  // 4: not in the cycle
             "var CheckEngineDinamicLabel_4 \"CE_Speed\"\n"
             "var CheckEngineDinamicLabel_5 \"ce_rpm\"\n"  // 6: unused slot
             "label 0 0 5 ce_speeed\n"                     // 7
             "label 1 0 5 CE_SPEED_unit\n"
             "label 2 0 5 ce_dinamic_label_1\n"
             "label 3 0 5 ce_dinamic_label_2_title\n"
             "label 4 0 5 ce_dinamic_label_3_name\n"
             "label 5 0 5 ce_dinamic_label_4\n"
             "button 1 \"ce_next_dinamic_label_6\" \"x\"\n"    // 13: slot 6 not set
             "button 2 \"SETVAR;A;1||ce_opne||quit\" \"x\"\n"  // 14
             "button 3 \"CE_CLOSE||exit||SAVETOSKIN;A;1\" \"x\"\n",
             Skin));
  const auto Problems = CheckSkin(Skin, "my.skin");
  ASSERT_EQ(Problems.size(), 6u) << ::testing::PrintToString(Problems);
  auto Has = [&Problems](std::size_t I, std::initializer_list<const char*> Parts) {
    for (const char* Part : Parts) EXPECT_NE(Problems[I].find(Part), std::string::npos) << Problems[I] << " / " << Part;
  };
  Has(0, {"my.skin:2: dynamic label ce_dinamic_label_1 ", "is empty", "var CheckEngineDinamicLabel_1 \"ce_speed\""});
  Has(1, {"my.skin:3: ", "'ce_speeed', which is no value code", "var CheckEngineDinamicLabel_2 \"ce_speed\""});
  Has(2, {"my.skin:4: ", "'CE_FUEL_PUMP_RLY', which its step never moves it from"});
  Has(3, {"my.skin:7: label code 'ce_speeed' is none of the extension's", "did you mean 'ce_speed'?"});
  Has(4, {"my.skin:13: dynamic label ce_dinamic_label_6 ", "is not set"});
  Has(5, {"my.skin:14: button 2 runs 'ce_opne'", "did you mean 'ce_open'?"});

  EXPECT_EQ(Closest(u"xyz", {u"ce_speed"}), u"");
  std::string Error;
  ASSERT_TRUE(LoadSkin(ZELM_DEFAULT_SKIN, Skin, Error)) << Error;
  EXPECT_EQ(CheckSkin(Skin, "default.skin"), std::vector<std::string>());
}

TEST(DefaultSkin, ShowsOnlyCodesTheExtensionAnswersAndStartsItsSlotsOnParametersShownNowhereElse) {
  TSkin Skin;
  std::string Error;
  ASSERT_TRUE(LoadSkin(ZELM_DEFAULT_SKIN, Skin, Error)) << Error;
  std::set<std::u16string> Fixed;
  std::size_t Slots = 0;
  for (const TSkinLabel& L : Skin.Labels) {
    const TLabelCode* Code = FindLabelCode(L.Code);
    ASSERT_NE(Code, nullptr) << ToUtf8(L.Code);
    if (Code->Kind == TLabelCodeKind::Value) Fixed.insert(L.Code);
    if (Code->Kind == TLabelCodeKind::SlotValue) ++Slots;
  }
  EXPECT_EQ(Slots, 4u);
  EXPECT_TRUE(Fixed.count(u"ce_speed") && Fixed.count(u"ce_enginespeed") && Fixed.count(u"ce_coolanttemp") &&
              Fixed.count(u"ce_voltage"));
  // Each slot starts on a parameter of its own, and its first step leads to one too,
  // so what a slot shows (and subscribes) is never shown by another label.
  std::set<std::u16string> Chosen;
  for (const TSkinVariable& V : Skin.Variables) {
    EXPECT_EQ(Fixed.count(V.Value), 0u) << ToUtf8(V.Value);
    EXPECT_NE(FindLabelCode(V.Value), nullptr) << ToUtf8(V.Value);
    Chosen.insert(V.Value);
  }
  EXPECT_EQ(Chosen.size(), 4u);
  // Every key fires one of the extension's commands, or quits.
  std::set<std::u16string> Commands = {u"ce_open", u"ce_close", u"quit"};
  for (const TSlotTexts& S : cSlots) Commands.insert(std::u16string(S.StepCommand));
  for (const TSkinButton& B : Skin.Buttons) EXPECT_EQ(Commands.count(B.Command), 1u) << ToUtf8(B.Command);
}

TEST(HostVariables, AnswersQueriesAndRunsTheExtensionsBatch) {
  THostVariables Vars;
  Vars.Set(u"A", u"x");
  EXPECT_EQ(Vars.Query(u"=$A$"), u"x");
  EXPECT_EQ(Vars.Query(u"=$Missing$"), u"");
  EXPECT_EQ(Vars.Query(u"=[$A$|$A$]"), u"[x|x]");
  EXPECT_EQ(Vars.Query(u"=5$"), u"5$");    // a lone "$" is kept
  EXPECT_EQ(Vars.Query(u"=$$x"), u"$$x");  // so is an empty name
  EXPECT_EQ(Vars.Query(u"$A$"), u"");      // not a query

  // The batch a step sends: the save must see the value the SETVAR before it set.
  std::vector<std::string> Faults;
  const std::u16string Batch = MakeUpdateBatch(cSlots[3], u"ce_coolanttemp");
  EXPECT_TRUE(Vars.RunBatch(Batch, Faults).empty());
  EXPECT_TRUE(Faults.empty());
  EXPECT_EQ(Vars.Query(u"=$CheckEngineDinamicLabel_3$"), u"ce_coolanttemp");
  ASSERT_EQ(Vars.Saved().count(u"CheckEngineDinamicLabel_3"), 1u);
  EXPECT_EQ(Vars.Saved().at(u"CheckEngineDinamicLabel_3"), u"ce_coolanttemp");

  // Other commands come back in order for the host to route; verbs ignore case.
  const auto Others = Vars.RunBatch(u"CE_Open||setvar;B;1;2||quit||||SAVETOSKIN;;x", Faults);
  EXPECT_EQ(Others, (std::vector<std::u16string>{u"CE_Open", u"quit"}));
  EXPECT_EQ(Vars.Get(u"B"), u"1;2");
  ASSERT_EQ(Faults.size(), 1u);  // the save without a name
}

TEST(HostVariables, SavedVariablesSurviveInTheFileAndNothingElseDoes) {
  const std::string Path = ::testing::TempDir() + "zelm-host-vars-test.txt";
  std::remove(Path.c_str());
  std::remove((Path + ".new").c_str());
  {
    THostVariables Vars;
    std::string Error;
    ASSERT_TRUE(LoadSavedVariables(Path, Vars, Error)) << Error;  // none yet: nothing loaded
    SaveEachTimeTo(Path, Vars);
    std::vector<std::string> Faults;
    Vars.RunBatch(
        u"SETVAR;Temporary;1||SETVAR;CheckEngineDinamicLabel;ce_\u0440orse_power||"
        u"SAVETOSKIN;CheckEngineDinamicLabel;$CheckEngineDinamicLabel$||SAVETOSKIN;Odd;a=b\nc",
        Faults);
    EXPECT_TRUE(Faults.empty());
  }
  THostVariables Again;
  std::string Error;
  ASSERT_TRUE(LoadSavedVariables(Path, Again, Error)) << Error;
  EXPECT_EQ(Again.Get(u"CheckEngineDinamicLabel"), u"ce_\u0440orse_power");
  EXPECT_EQ(Again.Get(u"Odd"), u"a=b c");  // one line a variable
  EXPECT_FALSE(Again.Has(u"Temporary"));
  EXPECT_EQ(Again.Saved().size(), 2u);
  // A host stopped between removing the old file and renaming the new one.
  std::rename(Path.c_str(), (Path + ".new").c_str());
  THostVariables Interrupted;
  ASSERT_TRUE(LoadSavedVariables(Path, Interrupted, Error));
  EXPECT_EQ(Interrupted.Get(u"CheckEngineDinamicLabel"), u"ce_\u0440orse_power");
  std::remove((Path + ".new").c_str());
  EXPECT_EQ(ParseSavedVariables(u"# c\r\n=x\nnoequals\nA=1\r\n"),
            (std::map<std::u16string, std::u16string>{{u"A", u"1"}}));
}

// Each skin its own file of saved choices; an edit of its var lines starts it afresh;
// a scripted run reads them but writes only when asked.
TEST(HostVariables, EachSkinKeepsItsOwnSavedChoicesAndAScriptedRunLeavesThemAlone) {
  const std::vector<TSkinVariable> Vars = {{u"CheckEngineDinamicLabel", u"ce_speed", 3}};
  const std::u16string Name = SavedVariablesName(u"Z:\\skins\\My Skin.v2.skin", Vars);
  EXPECT_EQ(Name.rfind(u"My_Skin_v2-", 0), 0u) << ToUtf8(Name);
  EXPECT_EQ(Name.size(), std::u16string(u"My_Skin_v2-12345678.vars").size());
  EXPECT_EQ(SavedVariablesName(u"z:\\SKINS\\my skin.v2.skin", Vars).substr(11), Name.substr(11));  // one file, any case
  EXPECT_EQ(SavedVariablesName(u"Z:\\skins\\My Skin.v2.skin", {{u"CheckEngineDinamicLabel", u"ce_speed", 9}}), Name);
  for (const std::u16string& Other :
       {SavedVariablesName(u"Z:\\other\\My Skin.v2.skin", Vars), SavedVariablesName(u"Z:\\skins\\My Skin.v2.skin", {}),
        SavedVariablesName(u"Z:\\skins\\My Skin.v2.skin", {{u"CheckEngineDinamicLabel", u"ce_rpm", 3}})})
    EXPECT_NE(Other, Name);

  TSkin Skin;
  Skin.Variables = Vars;
  struct {
    std::initializer_list<const char*> Words;
    std::u16string Path;
    bool Write;
  } Cases[] = {
      {{"--skin", "s"}, u"", false},
      {{"--skin", "s", "--vars", "v.txt"}, u"v.txt", true},
      {{"--skin", "s", "--vars", "v.txt", "--frames", "3"}, u"v.txt", false},
      {{"--skin", "s", "--saved-in", "d", "--frames", "3", "--keep-saved"}, u"d/" + Name, true},
      {{"--skin", "s", "--saved-in", "d"}, u"d/" + Name, true},
  };
  for (const auto& C : Cases) {
    TOptions O;
    std::string Fault;
    ASSERT_EQ(ParseOptions(Args(C.Words), O, Fault), TParsed::Run) << Fault;
    const TSavedFile Saved = SavedFile(O, u"Z:\\skins\\My Skin.v2.skin", Skin);
    EXPECT_EQ(Saved.Path, C.Path);
    EXPECT_EQ(Saved.Write, C.Write) << ToUtf8(C.Path);
  }
}

TEST(Dashboard, PlacesLabelsCutsThemToTheirWidthAndKeepsControlCodesOut) {
  TSkin Skin;
  ASSERT_TRUE(Parsed(
      "skin s\nsize 3 24\ntext 0 0 \"Speed\"\nlabel 0 8 5 ce_speed right\nlabel 0 14 4 ce_speed_unit\n"
      "label 1 0 6 ce_coolanttemp_title\nbutton q \"quit\" \"quit\"\nbutton 1 \"ce_next_dinamic_label\" \"next\"\n",
      Skin));
  const std::vector<std::u16string> Texts = {u"87", u"km/h", u"Cool\u00B0\x1B[2Jant"};
  const auto Lines = ComposeFrame(Skin, Texts, {u"status", u"a message longer than the skin is wide"});
  ASSERT_EQ(Lines.size(), 7u);
  EXPECT_EQ(Lines[0], u"Speed      87 km/h");
  EXPECT_EQ(Lines[1], u"Cool\u00B0");  // cut to 6 cells, the escape a (trimmed) blank
  EXPECT_EQ(Lines[2], u"");
  EXPECT_EQ(Lines[3], u"[q] quit  [1] next");
  EXPECT_EQ(Lines[4], u"status");
  EXPECT_EQ(Lines[5], u"a message longer than");  // wrapped at a blank
  EXPECT_EQ(Lines[6], u"the skin is wide");
  EXPECT_EQ(Wrap(u"abcdefgh ij", 4), (std::vector<std::u16string>{u"abcd", u"efgh", u"ij"}));

  // A character outside the basic plane takes one cell, as it does on a terminal.
  TGrid Grid(1, 6);
  Grid.Put(0, 0, 3, u"\U0001F697ab");
  Grid.Put(0, 3, 3, u"xyzw", true);
  EXPECT_EQ(Grid.Lines()[0], u"\U0001F697abxyz");

  const std::string Subscribed = "1 2";
  EXPECT_EQ(ListFrame(4, Skin, {u"87", u"a\tb"}, &Subscribed),
            "frame 4\nlabel\tce_speed\t87\nlabel\tce_speed_unit\ta b\nlabel\tce_coolanttemp_title\t\n"
            "subscribed\t1 2\nend\n");
  EXPECT_EQ(AnsiFrame({u"ab", u"c"}), "\x1b[Hab\x1b[K\r\nc\x1b[K\x1b[J");  // no line break after the last
  EXPECT_EQ(CodesOfIds("1 11 130 77"), "ce_speed ce_enginespeed ce_\xD1\x80orse_power 77");
}

TEST(Dashboard, FitsTheTerminalOrSaysWhatTheSkinNeeds) {
  TSkin Skin;
  ASSERT_TRUE(Parsed("skin s\nsize 2 10\ntext 0 0 \"title\"\nlabel 1 0 4 ce_speed\n", Skin));
  const std::vector<std::u16string> Lines = {u"title", u"rule", u"keys", u"status 1234567890", u"more"};
  struct {
    int Rows, Cols;
    std::vector<std::u16string> Shown;
  } Cases[] = {
      {0, 0, Lines},  // the size is not known
      {5, 20, Lines},
      {4, 20, {u"title", u"rule", u"keys", u"(2 more lines: a tal"}},
      {4, 12, {u"title", u"rule", u"keys", u"(2 more line"}},
      {3, 9, {u"The skin", u"title", u"(4 more l"}},
      {1, 80, {u"The skin needs 2x10; this terminal is 1x80."}},
  };
  for (const auto& C : Cases) EXPECT_EQ(FitScreen(Lines, Skin, C.Rows, C.Cols), C.Shown) << C.Rows << "x" << C.Cols;

  int Rows = 0, Cols = 0;
  EXPECT_TRUE(ReadResize(u"\x1b[8;24;80t", Rows, Cols));
  EXPECT_EQ(Rows * 1000 + Cols, 24080);
  for (const char16_t* Other : {u"\x1b[8;24t", u"\x1b[8;0;80t", u"\x1b[8;24;80", u"x[8;24;80t", u"\x1b[8;"})
    EXPECT_FALSE(ReadResize(Other, Rows, Cols)) << ToUtf8(Other);
}

TEST(Dashboard, SaysWhatACommandDidInWords) {
  THostVariables Vars;
  Vars.Set(u"CheckEngineDinamicLabel_2", u"ce_maf");
  EXPECT_EQ(CommandOutcome(u"CE_Next_Dinamic_Label_2", 2, Vars),
            "CE_Next_Dinamic_Label_2: ce_dinamic_label_2 now shows ce_maf");
  EXPECT_EQ(CommandOutcome(u"ce_close", 2, Vars), "ce_close: the trip computer starts again from zero");
  EXPECT_EQ(CommandOutcome(u"ce_next", 0, Vars), "nobody took the command 'ce_next'");
}

TEST(HostOptions, ReadsEveryOptionAndHelpWhereverItStands) {
  TOptions O;
  std::string Fault;
  ASSERT_EQ(ParseOptions(Args({"--skin",   "s.skin",    "--vars",       "v.txt",    "--fps",     "2.5",
                               "--frames", "30",        "--format",     "list",     "--at",      "3:1",
                               "--at",     "3:ce_open", "--sim-status", "st",       "--ds-path", "Z:\\d",
                               "--record", "d.csv",     "--keep-saved", "--screen", "24x80",     "--step-server"}),
                         O, Fault),
            TParsed::Run)
      << Fault;
  EXPECT_EQ(O.SkinFile, u"s.skin");
  EXPECT_EQ(O.VarsFile, u"v.txt");
  EXPECT_EQ(O.Fps, 2.5);
  EXPECT_EQ(O.Frames, 30);
  EXPECT_EQ(O.Format, TFormat::List);
  EXPECT_EQ(O.At, (std::multimap<long, std::u16string>{{3, u"1"}, {3, u"ce_open"}}));
  EXPECT_EQ(O.SimStatus, u"st");
  EXPECT_EQ(O.DsPath, u"Z:\\d");
  EXPECT_EQ(O.RecordFile, u"d.csv");
  EXPECT_TRUE(O.KeepSaved && O.StepServer);
  EXPECT_EQ(O.ScreenRows * 1000 + O.ScreenCols, 24080);
  EXPECT_FALSE(O.CheckOnly);
  ASSERT_EQ(ParseOptions(Args({"--check", "c.skin"}), O, Fault), TParsed::Run) << Fault;
  EXPECT_TRUE(O.CheckOnly);
  EXPECT_EQ(O.SkinFile, u"c.skin");

  EXPECT_EQ(ParseOptions(Args({"--help"}), O, Fault), TParsed::Help);
  EXPECT_EQ(ParseOptions(Args({"--skin", "s", "-h", "--bogus"}), O, Fault), TParsed::Help);
  for (const char* Option : {"--skin FILE", "--fps N", "--format F", "--at FRAME:INPUT", "--ds-path TEXT", "--help"})
    EXPECT_NE(Usage().find(Option), std::string::npos) << Option;
}

TEST(HostOptions, EachFaultNamesTheOptionAndWhatItTakes) {
  struct {
    std::initializer_list<const char*> Words;
    const char* Fault;
  } Cases[] = {
      {{"--skin", "s", "--bogus", "1"},
       "unknown option '--bogus'; the options are --skin --check --vars --saved-in --keep-saved --fps --frames "
       "--format --screen --at --record --sim-status --step-server --ds-path and --help"},
      {{"--skin", "s", "--fps"}, "--fps needs a value: a number from 1 to 60"},
      {{"--skin"}, "--skin needs a value: a file name"},
      {{"--skin", "s", "--fps", "fast"}, "--fps takes a number from 1 to 60, not 'fast'"},
      {{"--skin", "s", "--fps", "0.5"}, "--fps takes a number from 1 to 60, not '0.5'"},
      {{"--skin", "s", "--fps", "nan"}, "--fps takes a number from 1 to 60, not 'nan'"},
      {{"--skin", "s", "--frames", "-1"}, "--frames takes a count, 0 or more, not '-1'"},
      {{"--skin", "s", "--frames", "5x"}, "--frames takes a count, 0 or more, not '5x'"},
      {{"--skin", "s", "--format", "html"}, "--format takes ansi, plain or list, not 'html'"},
      {{"--skin", "s", "--at", "0:q"}, "--at takes FRAME:INPUT with FRAME from 1, not '0:q'"},
      {{"--skin", "s", "--at", "4:"}, "--at takes FRAME:INPUT with FRAME from 1, not '4:'"},
      {{"--frames", "3"}, "--skin is required: the skin description to show"},
      {{"--skin", ""}, "--skin takes a file name, not ''"},
      {{"--skin", "s", "--screen", "24"}, "--screen takes ROWSxCOLS, such as 24x80, not '24'"},
      {{"--skin", "s", "--screen", "0x80"}, "--screen takes ROWSxCOLS, such as 24x80, not '0x80'"},
      {{"--skin", "s", "--vars", "v", "--saved-in", "d"},
       "--vars and --saved-in do not go together: one place to save"},
      {{"--skin", "s", "--step-server"}, "--step-server goes with --frames: a live run keeps real time"},
  };
  for (const auto& C : Cases) {
    TOptions O;
    std::string Fault;
    EXPECT_EQ(ParseOptions(Args(C.Words), O, Fault), TParsed::Fault) << C.Fault;
    EXPECT_EQ(Fault, C.Fault);
  }
}

TEST(HostInput, LinesComeInOrderAndOutliveTheLoopUntilTheReaderEnds) {
  int Wakes = 0;
  const auto Wake = [&Wakes] { ++Wakes; };
  std::function<void()> Reader;
  auto Keep = [&Reader](std::function<void()> Body) {
    Reader = std::move(Body);
    return true;
  };
  std::istringstream In("1\nce_\xD1\x80orse_power\r\n");
  auto Lines = StartReadingLines<std::mutex>(In, Wake, Keep);
  std::deque<std::u16string> Taken;
  EXPECT_FALSE(Lines->Take(Taken));
  Reader();
  EXPECT_TRUE(Lines->Take(Taken));
  EXPECT_EQ(Taken, (std::deque<std::u16string>{u"1", u"ce_\u0440orse_power\r"}));
  EXPECT_EQ(Wakes, 3);  // each line and the end

  // The loop and its host are gone before the reader takes its last lines.
  std::istringstream Late("quit\nquit\n");
  Lines = StartReadingLines<std::mutex>(Late, Wake, Keep);
  const std::weak_ptr<TInputLines<std::mutex>> Watch = Lines;
  Lines.reset();
  ASSERT_FALSE(Watch.expired());
  Reader();
  Reader = nullptr;  // the reader's thread ends: nothing is kept
  EXPECT_TRUE(Watch.expired());

  // Without a reader, the input has ended.
  Lines = StartReadingLines<std::mutex>(In, Wake, [](std::function<void()>) { return false; });
  EXPECT_TRUE(Lines->Take(Taken));
}

TEST(Utf, RoundTripsAndReplacesWhatIsBroken) {
  const std::u16string Text = u"ce_\u0440orse_power \u00B0C \U0001F697";
  EXPECT_EQ(FromUtf8(ToUtf8(Text)), Text);
  EXPECT_EQ(ToUtf8(u"\u00B0"), "\xC2\xB0");
  EXPECT_EQ(FromUtf8("a\xC0\xAFz"), u"a\uFFFD\uFFFDz");        // overlong
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // a surrogate
  EXPECT_EQ(FromUtf8("x\xE2\x82"), u"x\uFFFD\uFFFD");          // cut short
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(DisplayWidth(u"a\U0001F697b"), 3u);
}

}  // namespace
}  // namespace zelm::tools
