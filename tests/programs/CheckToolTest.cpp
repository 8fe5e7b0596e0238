// The owner's check tool's portable half: the codes it finds in skin files of any
// format, the verdict from what it saw, its command line, and the checksums it checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "programs/check/CodesReport.h"
#include "programs/check/Options.h"
#include "programs/check/Verdict.h"
#include "programs/check/VerifyReport.h"
#include "programs/common/Sha256.h"
#include "programs/common/SkinCodes.h"
#include "programs/common/Utf.h"
#include "programs/sim/SimOptions.h"
#include "tests/support/native/ToolsTestSupport.h"

namespace zelm::tools {
namespace {

std::vector<std::string> Lines(std::string_view Bytes, unsigned CodePage = 1251) {
  return FileCheckLines("s", CheckSkinBytes(Bytes, FakeCodePages(CodePage)));
}

TEST(SkinCodes, NamesEachUnknownCodeWithTheCodeItLooksLikeOrOnlyANearOne) {
  // A front-end's own skin format, XML-ish, with codes in attributes, variables and
  // command batches; known ones in any case pass.
  const std::string Skin =
      "<label code=\"CE_Speed\"/> <label code='ce_speeed'/>\r\n"
      "nice_one notce_speed center ce_ ce_panel\r\n"
      "$ce_enginespeed$||CE_NEXT_DINAMIC_LABEL_3||ce_opne\n"
      "ce_dinamic_label_16_title ce_\xD1\x80orse_power ce_porse_power Ce_Voltage_Unit\n"
      "ce_s\xD1\x80\xD0\xB5"
      "ed CE_\xD0\xA0ORSE_POWER_unit \xD1\x81\xD0\xB5_voltage";
  const std::vector<std::string> Expected = {
      "s:1: 'ce_speeed' is no ZelmKvel code; nearest: ce_speed",
      "s:2: 'ce_' is no ZelmKvel code, and none is near it",
      "s:2: 'ce_panel' is no ZelmKvel code, and none is near it",
      "s:3: 'ce_opne' is no ZelmKvel code; nearest: ce_open",
      "s:4: 'ce_dinamic_label_16_title' is no ZelmKvel code; nearest: ce_dinamic_label_1_title",
      "s:4: 'ce_porse_power' is no ZelmKvel code, but looks like ce_\u0440orse_power:",
      "  its character 4 is the Latin p (U+0070),",
      "  where the code has the Cyrillic er (U+0440)",
      "s:5: 'ce_s\u0440\u0435ed' is no ZelmKvel code, but looks like ce_speed:",
      "  its character 5 is the Cyrillic er (U+0440),",
      "  where the code has the Latin p (U+0070)",
      "  its character 6 is the Cyrillic ie (U+0435),",
      "  where the code has the Latin e (U+0065)",
      "s:5: 'CE_\u0420ORSE_POWER_unit' is no ZelmKvel code, but looks like ce_\u0440orse_power_unit:",
      "  its character 4 is the Cyrillic capital Er (U+0420),",
      "  where the code has the Cyrillic er (U+0440)",
      "s:5: '\u0441\u0435_voltage' is no ZelmKvel code, but looks like ce_voltage:",
      "  its character 1 is the Cyrillic es (U+0441),",
      "  where the code has the Latin c (U+0063)",
      "  its character 2 is the Cyrillic ie (U+0435),",
      "  where the code has the Latin e (U+0065)",
      "s: 9 of 14 ce_ codes unknown (5 lines, read as UTF-8)"};
  EXPECT_EQ(Lines(Skin), Expected);
  // A console's 80 columns, as both programs' help texts and a look-alike's
  // explanation keep them (a finding's first line is as long as its file's name).
  std::vector<std::string> Shown;
  std::copy_if(Expected.begin(), Expected.end(), std::back_inserter(Shown),
               [](const std::string& Line) { return Line.rfind("  ", 0) == 0; });
  for (const std::string& Help : {CheckUsage(), SimUsage()})
    for (std::size_t At = 0, End; At < Help.size(); At = End + 1)
      Shown.push_back(Help.substr(At, (End = Help.find('\n', At)) - At));
  for (const std::string& Line : Shown) EXPECT_LE(DisplayWidth(FromUtf8(Line)), 80u) << Line;
  EXPECT_EQ(Lines("ce_close ce_open ce_next_dinamic_label\nce_dinamic_label_name\n"),
            std::vector<std::string>{"s: 4 ce_ codes, all known (2 lines, read as ASCII)"});
}

// Each file read as the front-end reads it, and said what came of it, in its own words
// and with its own exit code.
TEST(SkinCodes, ReadsEachEncodingAsTheFrontEndDoesAndSaysWhatItRead) {
  const std::string Typo = "<a>ce_spedd</a>\n";
  const std::string Le = Utf16(Typo, true), Be = Utf16(Typo, false);
  struct TCase {
    std::string Bytes;
    std::string Says;
    int Exit;
  };
  for (const TCase& C :
       {TCase{Le.substr(2), "s: 1 of 1 ce_ code unknown (1 line, read as UTF-16 LE without a byte-order mark)", 13},
        TCase{Be.substr(2), "s: 1 of 1 ce_ code unknown (1 line, read as UTF-16 BE without a byte-order mark)", 13},
        TCase{Le, "s: 1 of 1 ce_ code unknown (1 line, read as UTF-16 LE with a byte-order mark)", 13},
        TCase{Be + Be.substr(2), "s: 2 of 2 ce_ codes unknown (2 lines, read as UTF-16 BE with a byte-order mark)", 13},
        TCase{Utf16("x=ce_\xD1\x80orse_power\n", true).substr(2),
              "s: 1 ce_ code, known (1 line, read as UTF-16 LE without a byte-order mark)", 0},
        TCase{Utf16("ce_speed \xF0\x9F\x98\x80", true),
              "s: 1 ce_ code, known (1 line, read as UTF-16 LE with a byte-order mark)", 0},
        TCase{"\xEF\xBB\xBF"
              "ce_\xD1\x80orse_power",
              "s: 1 ce_ code, known (1 line, read as UTF-8 with a byte-order mark)", 0},
        TCase{"x=ce_\xD1\x80orse_power\r\nce_speed", "s: 2 ce_ codes, all known (2 lines, read as UTF-8)", 0},
        // Not UTF-8: the system's code page, where F0 is the er of the code.
        TCase{"x=ce_\xF0orse_power\n", "s: 1 ce_ code, known (1 line, read as the system's ANSI code page, 1251)", 0},
        TCase{"title=Bienvenue\r\r", "s: no ce_ code in it, so nothing to check (2 lines, read as ASCII)", 11},
        TCase{"", "s: empty, so nothing to check", 12}, TCase{"\xFF\xFE", "s: empty, so nothing to check", 12}}) {
    const TFileCheck Check = CheckSkinBytes(C.Bytes, FakeCodePages(1251));
    EXPECT_EQ(FileCheckLines("s", Check).back(), C.Says);
    EXPECT_EQ(CodesExitCode({Check.Verdict}), C.Exit) << C.Says;
  }
  // CR alone, LF and CR LF each end a line, in the count and at each finding.
  EXPECT_EQ(Lines("ce_spedd\rx\r\rce_spedd\r\n\nce_spedd"),
            (std::vector<std::string>{"s:1: 'ce_spedd' is no ZelmKvel code; nearest: ce_speed",
                                      "s:4: 'ce_spedd' is no ZelmKvel code; nearest: ce_speed",
                                      "s:6: 'ce_spedd' is no ZelmKvel code; nearest: ce_speed",
                                      "s: 3 of 3 ce_ codes unknown (6 lines, read as ASCII)"}));
}

// What the check cannot read in full it does not judge, and says why.
TEST(SkinCodes, RefusesWhatItCannotReadInFullAndSaysWhy) {
  const std::string Le = Utf16("<a>ce_spedd</a>\n", true).substr(2), Be = Utf16("<a>ce_spedd</a>\n", false).substr(2);
  const std::string Foreign = ", which RideRunner does not read";
  const std::pair<std::string, std::string> cCases[] = {
      {Le.substr(0, 5).insert(0, "\xFF\xFE"), "UTF-16 LE by its byte-order mark, but of an odd number of bytes"},
      {Le + "\n", "UTF-16 LE by its NUL bytes, but of an odd number of bytes"},
      {std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16),
       "it holds NUL bytes, as no text file does: an image or another binary file?"},
      {"\xEF\xBB\xBF"
       "ce_speed\rce_\xF0x",
       "UTF-8 by its byte-order mark, but bytes on line 2 are not UTF-8"},
      {"ce_\x98x", "it is neither UTF-8 nor text in the system's ANSI code page, 1251 (Cyrillic)"},
      // Marks of what RideRunner does not read, and marks the bytes after them do not fit.
      {std::string("\xFF\xFE\0\0c\0\0\0", 8),
       "it begins with the byte-order mark of UTF-32 LE (FF FE 00 00)" + Foreign},
      {std::string("\0\0\xFE\xFF\0\0\0c", 8),
       "it begins with the byte-order mark of UTF-32 BE (00 00 FE FF)" + Foreign},
      {"+/v8-ce_speed", "it begins with the byte-order mark of UTF-7 (2B 2F 76 38)" + Foreign},
      {"\xFF\xFE" + Be, "UTF-16 LE by its byte-order mark, but the bytes after it are UTF-16 BE"},
      {"\xFE\xFF" + Le, "UTF-16 BE by its byte-order mark, but the bytes after it are UTF-16 LE"},
      {"\xEF\xBB\xBF" + Le, "UTF-8 by its byte-order mark, but the bytes after it are UTF-16 LE"},
      {"\xFF\xFE<a>ce_spedd</a>\n",
       "UTF-16 LE by its byte-order mark, but not one character after it is ASCII: 8-bit text behind a wrong mark?"},
      // A NUL character, whatever the mark; half of a surrogate pair.
      {std::string("\xEF\xBB\xBF"
                   "a\nce_speed\0",
                   14),
       "UTF-8 by its byte-order mark, but line 2 holds a NUL character, as no text does"},
      {Utf16("a\r\rb", true) + std::string(2, '\0'),
       "UTF-16 LE by its byte-order mark, but line 3 holds a NUL character, as no text does"},
      {Utf16("x\n", false) + std::string("\xDC\x01\0y", 4),
       "UTF-16 BE by its byte-order mark, but line 2 holds half of a surrogate pair (U+DC01) without its other half"},
      {Utf16("x\r\n", true) + "\x3D\xD8",
       "UTF-16 LE by its byte-order mark, but line 2 holds half of a surrogate pair (U+D83D) without its other half"}};
  for (const auto& [Bytes, Why] : cCases) {
    const TFileCheck Check = CheckSkinBytes(Bytes, FakeCodePages(1251));
    EXPECT_EQ(FileCheckLines("s", Check), std::vector<std::string>{"s: cannot be decoded: " + Why});
    EXPECT_EQ(CodesExitCode({Check.Verdict}), 16) << Why;
  }
  // A text with no ANSI code page to fall back on is not read as one.
  EXPECT_FALSE(DecodeSkinText("ce_\xF0", {}).Decoded);
}

// A skin saved in another ANSI code page than the system's: a word that is a code there
// is named with both code pages; a long word is shown by its start.
TEST(SkinCodes, SaysWhenAWordIsACodeInAnotherCodePageAndCutsALongWord) {
  const std::string Er1251 = "x=ce_\xF0orse_power ce_\xE9 CE_\xD0ORSE_POWER\n";
  EXPECT_EQ(
      Lines(Er1251, 1252),
      (std::vector<std::string>{"s:1: 'ce_\xC3\xB0orse_power' is no ZelmKvel code, but would be ce_\xD1\x80orse_power:",
                                "  it was read in the system's ANSI code page, 1252 (Western European),",
                                "  and is that code in 1251 (Cyrillic): saved in another code page?",
                                "s:1: 'ce_\xC3\xA9' is no ZelmKvel code, and none is near it",
                                "s:1: 'CE_\xC3\x90ORSE_POWER' is no ZelmKvel code; nearest: ce_\xD1\x80orse_power",
                                "s: 3 of 3 ce_ codes unknown (1 line, read as the system's ANSI code page, 1252)"}));
  EXPECT_EQ(Lines(Er1251, 1251).front(), "s:1: 'ce_\xD0\xB9' is no ZelmKvel code, and none is near it");
  const std::string Long = "ce_" + std::string(100000, 'a') + "\xD0\xB9";
  EXPECT_EQ(Lines(Long).front(), "s:1: 'ce_" + std::string(37, 'a') +
                                     "\xE2\x80\xA6' (100004 characters) is no ZelmKvel code, and none is near it");
  const std::string Fits = "ce_" + std::string(37, 'a');
  EXPECT_EQ(Lines(Fits).front(), "s:1: '" + Fits + "' is no ZelmKvel code, and none is near it");
}

// The exit code rises with the gravity of what became of a name given, so that a batch
// file's "if errorlevel N" holds for N and every graver verdict; of several files the
// gravest decides. --help and README.txt list them in that order with those numbers.
TEST(SkinCodes, ExitCodesRiseWithGravityAsHelpAndReadmeListThem) {
  using V = TFileVerdict;
  struct TRow {
    V Verdict;
    int Exit;
    const char* Listed;
  };
  const TRow cRows[] = {{V::AllKnown, 0, "codes read, all known"},
                        {V::NoCode, 11, "no ce_ code in a file"},
                        {V::Empty, 12, "an empty file"},
                        {V::Unknown, 13, "unknown codes, each named"},
                        {V::NoSkinFiles, 14, "a folder without skin files"},
                        {V::Unreadable, 15, "a file that cannot be read"},
                        {V::Undecodable, 16, "a file that cannot be decoded"},
                        {V::NotFound, 17, "not found"}};
  std::ifstream ReadmeFile(ZELM_README_TEMPLATE, std::ios::binary);
  const std::string Readme{std::istreambuf_iterator<char>(ReadmeFile), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(Readme.empty()) << ZELM_README_TEMPLATE;
  for (const std::string& Text : {CheckUsage(), Readme}) {
    std::size_t At = Text.find(cRows[0].Listed);
    for (const TRow& R : cRows) {
      At = Text.find(R.Listed, At);
      ASSERT_NE(At, std::string::npos) << R.Listed << " in order in:\n" << Text;
      const std::size_t Number = Text.find_last_not_of(' ', At - 1);
      EXPECT_EQ(Text.substr(Text.find_last_of(" \n", Number) + 1, Number - Text.find_last_of(" \n", Number)),
                std::to_string(R.Exit))
          << R.Listed;
    }
  }
  for (const TRow& Graver : cRows)
    for (const TRow& Lesser : cRows) {
      if (&Lesser > &Graver) break;
      EXPECT_EQ(CodesExitCode({Lesser.Verdict, Graver.Verdict}), Graver.Exit) << Lesser.Listed;
      EXPECT_EQ(CodesExitCode({Graver.Verdict, Lesser.Verdict, Lesser.Verdict}), Graver.Exit) << Lesser.Listed;
    }
  EXPECT_EQ(CodesExitCode({}), 0);
  const std::string Unknown = "A label with an unknown code stays empty; a command with one does nothing.";
  struct TCase {
    std::vector<V> Verdicts;
    std::vector<std::string> Closing;
  };
  for (const TCase& C :
       {TCase{{V::AllKnown}, {}}, TCase{{V::Unknown}, {Unknown}},
        TCase{{V::AllKnown, V::AllKnown}, {"2 checked: 2 all codes known."}},
        TCase{{V::Empty, V::Unknown, V::AllKnown, V::Unknown},
              {"4 checked: 1 all codes known, 1 empty, 2 with unknown codes.", Unknown}},
        TCase{{V::NotFound, V::Undecodable, V::NoSkinFiles, V::Unreadable, V::NoCode},
              {"5 checked: 1 without a ce_ code, 1 a folder without skin files, 1 not read, 1 not decoded, 1 not "
               "found."}}})
    EXPECT_EQ(CodesClosing(C.Verdicts), C.Closing);
  const TFileCheck Missing = Unread(V::NotFound), NoMatch = Unread(V::NotFound, "no file matches"),
                   Folder = Unread(V::NoSkinFiles), Locked = Unread(V::Unreadable, "Access denied");
  EXPECT_EQ(FileCheckLines("a.ini", Missing), std::vector<std::string>{"a.ini: not found"});
  EXPECT_EQ(FileCheckLines("*.ini", NoMatch), std::vector<std::string>{"*.ini: no file matches"});
  EXPECT_EQ(FileCheckLines("Skins\\", Folder),
            std::vector<std::string>{"Skins\\: is a folder, with no skin file (*.ini, *.xml, *.skin) in it or below"});
  EXPECT_EQ(FileCheckLines("a.ini", Locked), std::vector<std::string>{"a.ini: cannot be read: Access denied"});
}

TEST(SkinCodes, WildcardsMatchAsWindowsProgramsTakeThem) {
  struct TCase {
    std::u16string_view Pattern, Name;
    bool Matches;
  };
  for (const TCase& C :
       {TCase{u"*.xml", u"Dash.XML", true}, TCase{u"*.xml", u"dash.xml.bak", false}, TCase{u"*.xml", u"xml", false},
        TCase{u"d?sh.*", u"dash.ini", true}, TCase{u"d?sh.*", u"dsh.ini", false}, TCase{u"*.*", u"README", true},
        TCase{u"*b.*", u"a.b", false}, TCase{u"*a*b", u"xaxxb", true}, TCase{u"*a*b", u"xaxxbc", false},
        TCase{u"a*", u"A", true}, TCase{u"**", u"", true}}) {
    EXPECT_EQ(MatchesWildcard(C.Pattern, C.Name), C.Matches) << ToUtf8(C.Pattern) << " " << ToUtf8(C.Name);
  }
  EXPECT_TRUE(IsSkinFileName(u"Main.INI"));
  EXPECT_TRUE(IsSkinFileName(u"a.skin"));
  EXPECT_FALSE(IsSkinFileName(u"a.png"));
  EXPECT_TRUE(HasWildcards(u"Skins\\?.ini"));
  EXPECT_FALSE(HasWildcards(u"Skins\\a.ini"));
}

// The lines of a verdict, one text, for the facts it must name.
std::string Said(const std::vector<std::string>& Lines) {
  std::string Text;
  for (const std::string& Line : Lines) Text += Line + "\n";
  return Text;
}

// A console's 80 columns, for either way of installing, where no long name stands.
void ExpectWithin80Columns(TCheckFacts Facts, TVerdict Verdict) {
  for (const char16_t* InstalledBy : {u"", u"ZelmKvel-1.0.0.msi"}) {
    Facts.InstalledBy = InstalledBy;
    for (const std::string& Line : VerdictLines(Verdict, Facts)) EXPECT_LE(DisplayWidth(FromUtf8(Line)), 80u) << Line;
  }
}

// Each verdict is decided by one fact, in the order the check looks, and names it.
TEST(CheckVerdict, EachFactDecidesInTheOrderTheCheckLooksAndIsNamed) {
  using A = TServerAnswer;
  struct TCase {
    bool Registered, FileThere, Complete, InUse, Created, Server;
    A Answer;
    int Values;
    TVerdict Verdict;
    int Exit;
    const char* Fact;
  };
  for (const TCase& C :
       {TCase{false, false, false, true, false, false, A::Yes, 0, TVerdict::NotRegistered, 3,
              "the registry has no entry of its class\nZelmKvel.RRExtension."},
        TCase{true, false, false, true, false, false, A::Yes, 0, TVerdict::FileMissing, 4,
              "InprocServer32 entry names this file, which is not there:\n  C:\\Old\\ZelmKvel.dll\n"},
        TCase{true, true, false, true, true, true, A::Yes, 1, TVerdict::Incomplete, 10,
              "\n  HKCR\\ZelmKvel.RRExtension\\Clsid: missing\n"},
        TCase{true, true, true, true, true, true, A::Yes, 1, TVerdict::InUse, 8, "\n  RideRunner.exe (process 4242)\n"},
        TCase{true, true, true, false, false, true, A::Yes, 9, TVerdict::DoesNotLoad, 5, "(Class not registered):"},
        TCase{true, true, true, false, true, false, A::TimedOut, 9, TVerdict::NoDataServer, 6,
              "no data server is running: no\nwindow \"Morvicantrel\" on this desktop."},
        TCase{true, true, true, false, true, true, A::Refused, 0, TVerdict::ServerRefuses, 7,
              "refuses\nZelmKvel's messages: the data server runs with higher rights"},
        TCase{true, true, true, false, true, true, A::TimedOut, 9, TVerdict::ServerHangs, 18,
              "does not\nanswer: ZelmKvel's messages to it timed out"},
        TCase{true, true, true, false, true, true, A::Yes, 0, TVerdict::ServerSilent, 19,
              "takes ZelmKvel's messages,\nbut it sent no value in 2.5 seconds."},
        TCase{true, true, true, false, true, true, A::Yes, 9, TVerdict::Working, 0,
              "values came from the data server\n(9 label answers were values)."}}) {
    TCheckFacts Facts;
    Facts.Registered = C.Registered, Facts.ServerPath = u"C:\\Old\\ZelmKvel.dll", Facts.ServerFileThere = C.FileThere;
    if (!C.Complete) Facts.Wrong = {"HKCR\\ZelmKvel.RRExtension\\Clsid: missing"};
    Facts.InUse = C.InUse, Facts.InUseBy = "RideRunner.exe", Facts.InUseProcess = 4242;
    Facts.Created = C.Created, Facts.CreateError = "Class not registered";
    Facts.DataServerFound = C.Server, Facts.ServerAnswer = C.Answer, Facts.ValuesSeen = C.Values;
    Facts.SecondsWatched = 2.5;
    EXPECT_EQ(Judge(Facts), C.Verdict) << C.Exit;
    EXPECT_EQ(ExitCodeOf(C.Verdict), C.Exit);
    const std::string Words = Said(VerdictLines(C.Verdict, Facts));
    EXPECT_EQ(Words.rfind("Verdict: ", 0), 0u) << Words;
    EXPECT_NE(Words.find(C.Fact), std::string::npos) << Words;
    ExpectWithin80Columns(Facts, C.Verdict);
  }
  // Without InprocServer32 there is no file to miss: the registration is incomplete.
  TCheckFacts NoServer;
  NoServer.Registered = true, NoServer.Wrong = {"x"};
  EXPECT_EQ(Judge(NoServer), TVerdict::Incomplete);
  // The file named by the type library's entry, when InprocServer32 names none.
  NoServer.ServerPath = u"C:\\Old\\ZelmKvel.dll", NoServer.PathFromTypeLibrary = true;
  EXPECT_NE(Said(VerdictLines(Judge(NoServer), NoServer)).find("\ntype library entry names this file"),
            std::string::npos);
  // Not knowing which program holds it, the check says whom it suspects.
  TCheckFacts Held;
  Held.InUse = true;
  EXPECT_NE(Said(VerdictLines(TVerdict::InUse, Held)).find("Close RideRunner, then"), std::string::npos);
}

// The data server's verdict is what the DLL's trace said last, line by line as the DLL
// writes them; another module's debug output says nothing.
TEST(CheckVerdict, WhatTheTraceSawDecidesTheDataServersVerdict) {
  const std::string Found = "ZelmKvel: server window found (0x00050034)",
                    Lost = "ZelmKvel: server window lost (was 0x00050034)",
                    Changed = "ZelmKvel: server window changed (0x00050034 -> 0x0006002A)",
                    TimedOut =
                        "ZelmKvel: server window 0x00050034: a send timed out after 250 ms; sends paused for 2000 ms "
                        "at a time while it does not answer",
                    Again = "ZelmKvel: server window 0x00050034 answers again",
                    Refuses =
                        "ZelmKvel: server window 0x00050034 refuses our messages (it runs with higher rights "
                        "than the front-end)";
  struct TCase {
    std::vector<std::string> Trace;
    int Values;
    TVerdict Verdict;
  };
  for (const TCase& C : {
           TCase{{}, 0, TVerdict::NoDataServer},
           TCase{{Found}, 0, TVerdict::ServerSilent},
           TCase{{TimedOut, Found}, 0, TVerdict::ServerHangs},
           TCase{{Found, TimedOut}, 3, TVerdict::ServerHangs},
           TCase{{Found, TimedOut, Again}, 0, TVerdict::ServerSilent},
           TCase{{Found, TimedOut, Lost, Changed}, 0, TVerdict::ServerHangs},
           TCase{{Found, Refuses}, 0, TVerdict::ServerRefuses},
           TCase{{Found, Lost}, 3, TVerdict::NoDataServer},
           TCase{{Lost, Changed}, 3, TVerdict::Working},
           TCase{{Found, TimedOut.substr(10), Refuses.substr(10)}, 0, TVerdict::ServerSilent},
       }) {
    TCheckFacts Facts;
    Facts.Registered = Facts.ServerFileThere = Facts.Created = true;
    Facts.ValuesSeen = C.Values;
    for (const std::string& Line : C.Trace) NoteTrace(Line, Facts);
    EXPECT_EQ(Judge(Facts), C.Verdict) << ::testing::PrintToString(C.Trace);
  }
  // Values kept out by the system: the silent verdict says what mends that too.
  TCheckFacts Shut;
  for (const std::string& Line :
       {Found, std::string("ZelmKvel: WM_COPYDATA could not be let into window 0x00010046 (error 5)")})
    NoteTrace(Line, Shut);
  EXPECT_NE(Said(VerdictLines(TVerdict::ServerSilent, Shut)).find("could not let in values"), std::string::npos);
  ExpectWithin80Columns(Shut, TVerdict::ServerSilent);
}

// The remedy fits the way ZelmKvel was installed: the installer's repair, or the zip's
// scripts in the folder it was registered from, named in long form.
TEST(CheckVerdict, EachRemedyFitsTheInstallationItWasMadeBy) {
  const std::string Repair = "  msiexec /i ZelmKvel-1.0.0.msi REINSTALL=ALL REINSTALLMODE=emus /qn";
  struct TCase {
    TVerdict Verdict;
    bool ByInstaller;
    std::vector<std::string> Has;
  };
  for (const TCase& C :
       {TCase{TVerdict::FileMissing, true, {"  C:\\Program Files\\ZelmKvel\\ZelmKvel.dll", Repair}},
        TCase{TVerdict::Incomplete, true, {"  HKCR\\ZelmKvel.RRExtension\\Clsid: missing", Repair}},
        TCase{TVerdict::DoesNotLoad, true, {"(Class not registered):", Repair}},
        TCase{TVerdict::FileMissing,
              false,
              {"  (registered as C:\\PROGRA~1\\ZelmKvel\\ZelmKvel.dll)", "uninstall.cmd from any copy of the zip."}},
        TCase{TVerdict::Incomplete, false, {"  C:\\Program Files\\ZelmKvel\\install.cmd"}},
        TCase{TVerdict::DoesNotLoad,
              false,
              {"damaged file. Copy those files from a fresh copy of the zip into that folder."}}}) {
    TCheckFacts Facts;
    Facts.Registered = true, Facts.Wrong = {"HKCR\\ZelmKvel.RRExtension\\Clsid: missing"};
    Facts.ServerPath = u"C:\\PROGRA~1\\ZelmKvel\\ZelmKvel.dll",
    Facts.LongPath = u"C:\\Program Files\\ZelmKvel\\ZelmKvel.dll";
    Facts.CreateError = "Class not registered";
    if (C.ByInstaller) Facts.InstalledBy = u"ZelmKvel-1.0.0.msi";
    const std::vector<std::string> Lines = VerdictLines(C.Verdict, Facts);
    for (const std::string& Line : C.Has)
      EXPECT_NE(std::find(Lines.begin(), Lines.end(), Line), Lines.end()) << Line << "\n"
                                                                          << ::testing::PrintToString(Lines);
    // The other package's scripts refuse to touch an installation that is not theirs.
    for (const std::string& Line : Lines)
      EXPECT_EQ(Line.find(C.ByInstaller ? ".cmd" : "msiexec"), std::string::npos) << Line;
  }
  TCheckFacts Same;
  Same.Registered = true, Same.ServerPath = u"C:\\ZelmKvel\\ZelmKvel.dll";
  EXPECT_EQ(RegistrationLines(Same).at(0), "  file: C:\\ZelmKvel\\ZelmKvel.dll (MISSING)");
  EXPECT_EQ(VerdictLines(TVerdict::FileMissing, Same).at(2), "  C:\\ZelmKvel\\ZelmKvel.dll");
}

TEST(CheckOptions, TakesFilesAfterItsModesAndSaysWhatIsWrong) {
  struct TCase {
    std::vector<std::u16string> Args;
    TParsed Parsed;
    TCheckMode Mode;
    std::size_t Files;
  };
  for (const TCase& C :
       {TCase{{}, TParsed::Run, TCheckMode::Extension, 0},
        TCase{{u"--seconds", u"2", u"--codes", u"a.skin", u"--wait"}, TParsed::Run, TCheckMode::Codes, 1},
        TCase{{u"--codes"}, TParsed::Fault, TCheckMode::Codes, 0},
        TCase{{u"--verify"}, TParsed::Run, TCheckMode::Verify, 0},
        TCase{{u"--verify", u"a", u"b"}, TParsed::Fault, TCheckMode::Verify, 2},
        TCase{{u"--seconds", u"0"}, TParsed::Fault, TCheckMode::Extension, 0},
        TCase{{u"--codes", u"--help"}, TParsed::Help, TCheckMode::Codes, 1},
        TCase{{u"--codes", u"a", u"--seconds", u"2"}, TParsed::Fault, TCheckMode::Codes, 3}}) {
    TCheckOptions Options;
    std::string Fault;
    EXPECT_EQ(ParseCheckOptions(C.Args, Options, Fault), C.Parsed) << Fault;
    EXPECT_EQ(Options.Mode, C.Mode);
    EXPECT_EQ(Options.Files.size(), C.Files);
  }
  TCheckOptions Options;
  std::string Fault;
  ParseCheckOptions({u"--seconds", u"2.5", u"--verify", u"--wait"}, Options, Fault);
  EXPECT_TRUE(Options.Wait);
  EXPECT_EQ(Options.Seconds, 2.5);
  EXPECT_TRUE(Options.Files.empty());
  // A mistake names every option, wherever it stands.
  for (const auto& Args : {Args({"--bogus"}), Args({"--codes", "a.ini", "--bogus"})}) {
    EXPECT_EQ(ParseCheckOptions(Args, Options, Fault), TParsed::Fault);
    EXPECT_EQ(Fault, "unknown option '--bogus'; the options are --codes --verify --seconds --wait and --help");
  }
}

TEST(Sha256, KnownDigestsAcrossBlockEdges) {
  struct TCase {
    std::string Text;
    const char* Digest;
  };
  for (const TCase& C :
       {TCase{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        TCase{"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        TCase{"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        TCase{std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"}}) {
    TSha256 Whole, Parts;
    Whole.Add(C.Text);
    for (const char Ch : C.Text) Parts.Add(std::string_view(&Ch, 1));
    EXPECT_EQ(Whole.HexDigest(), C.Digest) << C.Text.size();
    EXPECT_EQ(Parts.HexDigest(), C.Digest);
  }
  std::string Digest, Name;
  const std::string Hex(64, 'A');
  EXPECT_TRUE(ParseSumsLine(Hex + "  ZelmKvel.dll\r", Digest, Name));
  EXPECT_EQ(Digest, std::string(64, 'a'));
  EXPECT_EQ(Name, "ZelmKvel.dll");
  EXPECT_TRUE(ParseSumsLine(Hex + " *x", Digest, Name));
  EXPECT_FALSE(ParseSumsLine(Hex + "   ", Digest, Name));
  EXPECT_FALSE(ParseSumsLine(std::string(63, 'a') + "g  x", Digest, Name));
  EXPECT_FALSE(ParseSumsLine(Hex + "x x", Digest, Name));
}

// --verify: why it matched nothing, each case with its exit code, and what mends it for
// the way ZelmKvel was installed. The states are what the Windows half read of each file.
TEST(CheckVerify, SaysWhyAndWhatMendsItWithItsOwnExitCode) {
  using S = TFileState;
  const std::string Dll = std::string(64, 'A') + "  ZelmKvel.dll\r\n", Cmd = std::string(64, 'b') + " *install.cmd\n";
  const std::string Zip = "Copy SHA256SUMS from a fresh copy of the zip into its folder,";
  const std::string Reinstall = "  msiexec /i ZelmKvel-1.0.0.msi REINSTALL=ALL REINSTALLMODE=amus /qn";
  struct TCase {
    std::string Text;
    std::vector<S> States;
    bool ByInstaller;
    int Exit;
    std::vector<std::string> Has;
  };
  for (const TCase& C : {
           TCase{Dll + Cmd, {S::Same, S::Same}, false, 0, {"2 files as published, 0 not."}},
           TCase{Dll + Cmd,
                 {S::Same, S::NotInstalled},
                 true,
                 0,
                 {"  install.cmd          not installed: the zip's own (rightly)", "1 file as published, 0 not."}},
           TCase{Dll + Cmd,
                 {S::Differs, S::Missing},
                 false,
                 1,
                 {"  ZelmKvel.dll         DIFFERS: damaged", "  install.cmd          MISSING",
                  "0 files as published, 2 not.",
                  "Copy each file that differs or is missing from a fresh copy of the zip into"}},
           TCase{Dll, {S::Unreadable}, true, 1, {"  ZelmKvel.dll         CANNOT BE READ (in use?)", Reinstall}},
           TCase{"", {}, false, 21, {"SHA256SUMS: empty, so no file was checked.", Zip}},
           TCase{" \r\n\r\n", {}, true, 21, {"SHA256SUMS: empty, so no file was checked.", Reinstall}},
           TCase{"ZelmKvel.dll OK\r\n\r\n\x01\xFF",
                 {},
                 false,
                 22,
                 {"SHA256SUMS: none of its 2 lines is a checksum line, so no file was checked",
                  "  line 1 is no checksum line: ZelmKvel.dll OK", "  line 3 is no checksum line: ??", Zip}},
           TCase{Utf16(Dll, true), {}, false, 22, {"SHA256SUMS: UTF-16 text, not the plain text it was published in,"}},
           TCase{Utf16(Dll, false).substr(2), {}, false, 22, {"so no file was checked."}},
           TCase{std::string(64, 'c') + "  ..\\..\\boot.ini\n" + Dll,
                 {S::Same},
                 false,
                 23,
                 {"  line 1 names another folder: cccccccccccccccccccccccccccccccccccccccccccc...",
                  "1 file as published, 0 not.",
                  "1 line of SHA256SUMS could not be read (above): its file was not checked.", Zip}},
           TCase{"a\nb\nc\nd\ne\n" + Dll,
                 {S::Differs},
                 false,
                 1,
                 {"  line 3 is no checksum line: c", "  and 2 lines more",
                  "5 lines of SHA256SUMS could not be read (above): their files were not checked.",
                  "(a checksum line: 64 hexadecimal digits, two blanks, the file's name)"}},
       }) {
    TVerifyRun Run;
    Run.SumsName = "C:\\Z\\SHA256SUMS";
    Run.Sums = ReadSums(C.Text);
    Run.States = C.States;
    if (C.ByInstaller) Run.InstalledBy = u"ZelmKvel-1.0.0.msi";
    ASSERT_EQ(Run.Sums.Entries.size(), C.States.size()) << C.Text;
    EXPECT_EQ(VerifyExitCode(JudgeVerify(Run)), C.Exit) << C.Text;
    const std::vector<std::string> Lines = VerifyLines(Run);
    for (const std::string& Line : C.Has)
      EXPECT_NE(std::find(Lines.begin(), Lines.end(), Line), Lines.end()) << Line << "\n" << Said(Lines);
    for (const std::string& Line : Lines)
      EXPECT_TRUE(Line.find(Run.SumsName) != std::string::npos || DisplayWidth(FromUtf8(Line)) <= 80u) << Line;
  }
  // Entries keep their digest in small letters and their line, whatever stood between.
  const TSums Sums = ReadSums("x\r\n" + Dll);
  ASSERT_EQ(Sums.Entries.size(), 1u);
  EXPECT_EQ(Sums.Entries[0].Line, 2u);
  EXPECT_EQ(Sums.Entries[0].Digest, std::string(64, 'a'));
  EXPECT_EQ(Sums.Entries[0].Name, "ZelmKvel.dll");
  // A file that could not be read at all.
  TVerifyRun Unread;
  Unread.SumsName = "C:\\Z\\SHA256SUMS", Unread.Unreadable = "not found";
  EXPECT_EQ(VerifyExitCode(JudgeVerify(Unread)), 20);
  EXPECT_EQ(VerifyLines(Unread).at(0), "C:\\Z\\SHA256SUMS: not found, so no file was checked.");
  EXPECT_TRUE(ZipOnly("uninstall.cmd"));
  EXPECT_FALSE(ZipOnly("ZelmKvel.dll"));
}

// The exit codes a text lists, a line "  N  what it means" each, in a column starting at
// 0 and one at Right, from the line after the one that starts with From to the next
// line that does not start with a blank.
std::set<int> ListedCodes(const std::string& Text, std::string_view From, std::size_t Right = 0) {
  std::set<int> Codes;
  std::istringstream Lines(Text.substr(Text.find("\n" + std::string(From)) + 1));
  std::string Line;
  std::getline(Lines, Line);
  while (std::getline(Lines, Line) && Line.rfind(' ', 0) == 0)
    for (const std::size_t At : {std::size_t{0}, Right})
      if (Line.size() > At + 3 && Line.compare(At, 2, "  ") == 0 &&
          std::isdigit(static_cast<unsigned char>(Line[At + 2])))
        Codes.insert(std::atoi(Line.c_str() + At + 2));
  return Codes;
}

// README.txt and --help give an owner the same exit codes: every verdict's, the check's
// own failure, and --verify's.
TEST(CheckVerify, ReadmeAndHelpGiveTheSameExitCodes) {
  std::set<int> Check = {cCheckFailed}, Verify;
  for (int V = 0; V <= static_cast<int>(TVerdict::InUse); ++V) Check.insert(ExitCodeOf(static_cast<TVerdict>(V)));
  for (int V = 0; V <= static_cast<int>(TVerifyVerdict::Unreadable); ++V)
    Verify.insert(VerifyExitCode(static_cast<TVerifyVerdict>(V)));
  EXPECT_EQ(Check.size(), 11u);
  EXPECT_EQ(Verify.size(), 6u);
  std::string Readme;
  std::ifstream In(ZELM_README_TEMPLATE, std::ios::binary);
  ASSERT_TRUE(std::getline(In, Readme, '\0')) << ZELM_README_TEMPLATE;
  EXPECT_EQ(ListedCodes(Readme, "ends with a verdict, what to do about it"), Check);
  EXPECT_EQ(ListedCodes(Readme, "zelm_check --verify ends with"), Verify);
  const std::string Help = CheckUsage();
  EXPECT_EQ(ListedCodes(Help, "Exit codes of the check:"), Check);
  EXPECT_EQ(ListedCodes(Help, "Exit codes of --verify:", 41), Verify);
}

}  // namespace
}  // namespace zelm::tools
