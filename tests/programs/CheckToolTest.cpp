// The owner's check tool's portable half: the codes it finds in skin files of any
// format, the verdict from what it saw, its command line, and the checksums it checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "programs/check/CodesReport.h"
#include "programs/check/Options.h"
#include "programs/check/Verdict.h"
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

TEST(CheckVerdict, EachFactDecidesInTheOrderTheCheckLooks) {
  struct TCase {
    bool Registered, FileThere, Complete, InUse, Created, Server;
    int Values;
    TVerdict Verdict;
    int Exit;
  };
  for (const TCase& C : {TCase{false, false, false, true, false, false, 0, TVerdict::NotRegistered, 3},
                         TCase{true, false, false, true, false, false, 0, TVerdict::FileMissing, 4},
                         TCase{true, true, false, true, true, true, 1, TVerdict::Incomplete, 10},
                         TCase{true, true, true, true, true, true, 1, TVerdict::InUse, 8},
                         TCase{true, true, true, false, false, true, 9, TVerdict::DoesNotLoad, 5},
                         TCase{true, true, true, false, true, false, 0, TVerdict::NoDataServer, 6},
                         TCase{true, true, true, false, true, true, 0, TVerdict::NoValues, 7},
                         TCase{true, true, true, false, true, true, 1, TVerdict::Working, 0}}) {
    TCheckFacts Facts;
    Facts.Registered = C.Registered, Facts.ServerPath = u"C:\\Old\\ZelmKvel.dll", Facts.ServerFileThere = C.FileThere;
    if (!C.Complete) Facts.Wrong = {"HKCR\\ZelmKvel.RRExtension\\Clsid: missing"};
    Facts.InUse = C.InUse, Facts.Created = C.Created, Facts.DataServerFound = C.Server, Facts.ValuesSeen = C.Values;
    EXPECT_EQ(Judge(Facts), C.Verdict) << C.Exit;
    EXPECT_EQ(ExitCodeOf(C.Verdict), C.Exit);
    EXPECT_EQ(VerdictLines(C.Verdict, Facts).at(0).rfind("Verdict: ", 0), 0u);
    // A console's 80 columns, for either way of installing, where no long name stands.
    for (const char16_t* InstalledBy : {u"", u"ZelmKvel-1.0.0.msi"}) {
      Facts.InstalledBy = InstalledBy;
      for (const std::string& Line : VerdictLines(C.Verdict, Facts))
        EXPECT_LE(DisplayWidth(FromUtf8(Line)), 80u) << Line;
    }
  }
  // Without InprocServer32 there is no file to miss: the registration is incomplete.
  TCheckFacts NoServer;
  NoServer.Registered = true, NoServer.Wrong = {"x"};
  EXPECT_EQ(Judge(NoServer), TVerdict::Incomplete);
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
  EXPECT_EQ(VerdictLines(TVerdict::FileMissing, Same).at(1), "  C:\\ZelmKvel\\ZelmKvel.dll");
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

}  // namespace
}  // namespace zelm::tools
