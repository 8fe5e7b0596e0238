// The owner's check tool's portable half: the codes it finds in skin files of any
// format, the verdict from what it saw, its command line, and the checksums it checks.
#include <gtest/gtest.h>

#include "tools/check/CheckReport.h"
#include "tools/common/Sha256.h"
#include "tools/common/SkinCodes.h"
#include "tools/common/Utf.h"
#include "tools/tests/ToolsTestSupport.h"

namespace zelm::tools {
namespace {

std::vector<std::string> Findings(std::u16string_view Text) {
  std::vector<std::string> Lines;
  for (const TCodeFinding& F : UnknownCodes(Text)) Lines.push_back(CodeLine("s", F));
  return Lines;
}

TEST(SkinCodes, NamesEveryUnknownCeWordWithLineAndNearestCode) {
  // A front-end's own skin format, XML-ish, with codes in attributes, variables and
  // command batches; known ones in any case pass.
  const std::u16string Skin =
      u"<label code=\"CE_Speed\"/> <label code='ce_speeed'/>\r\n"
      u"nice_one notce_speed center ce_\r\n"
      u"$ce_enginespeed$||CE_NEXT_DINAMIC_LABEL_3||ce_opne\n"
      u"ce_dinamic_label_16_title ce_\u0440orse_power ce_porse_power Ce_Voltage_Unit";
  const std::vector<std::string> Expected = {
      "s:1: 'ce_speeed' is no ZelmKvel code; nearest: ce_speed", "s:2: 'ce_' is no ZelmKvel code; nearest: ce_maf",
      "s:3: 'ce_opne' is no ZelmKvel code; nearest: ce_open",
      "s:4: 'ce_dinamic_label_16_title' is no ZelmKvel code; nearest: ce_dinamic_label_1_title",
      "s:4: 'ce_porse_power' is no ZelmKvel code; nearest: ce_\u0440orse_power"};
  EXPECT_EQ(Findings(Skin), Expected);
  EXPECT_TRUE(Findings(u"ce_close ce_open ce_next_dinamic_label ce_dinamic_label_name").empty());
}

TEST(SkinCodes, DecodesEveryEncodingASkinComesIn) {
  EXPECT_EQ(DecodeSkinText(Utf16("ce_x\n", true)), u"ce_x\n");
  EXPECT_EQ(DecodeSkinText(Utf16("ce_x", false)), u"ce_x");
  EXPECT_EQ(DecodeSkinText("\xEF\xBB\xBF" + std::string("ce_\xD1\x80")), u"ce_\u0440");
  EXPECT_EQ(DecodeSkinText("ce_\xF0x"), u"ce_\uFFFDx");  // a byte of another code page
  EXPECT_EQ(Findings(DecodeSkinText("ce_\xF0orse_power")).size(), 1u);
}

TEST(CheckVerdict, EachFactDecidesInTheOrderTheCheckLooks) {
  struct TCase {
    bool Registered, FileThere, InUse, Created, Server;
    int Values;
    TVerdict Verdict;
    int Exit;
  };
  for (const TCase& C : {TCase{false, false, true, false, false, 0, TVerdict::NotRegistered, 3},
                         TCase{true, false, true, false, false, 0, TVerdict::FileMissing, 4},
                         TCase{true, true, true, true, true, 1, TVerdict::InUse, 8},
                         TCase{true, true, false, false, true, 9, TVerdict::DoesNotLoad, 5},
                         TCase{true, true, false, true, false, 0, TVerdict::NoDataServer, 6},
                         TCase{true, true, false, true, true, 0, TVerdict::NoValues, 7},
                         TCase{true, true, false, true, true, 1, TVerdict::Working, 0}}) {
    const TCheckFacts Facts{C.Registered, u"C:\\Old\\ZelmKvel.dll", C.FileThere, C.InUse, C.Created, "", C.Server,
                            C.Values};
    EXPECT_EQ(Judge(Facts), C.Verdict) << C.Exit;
    EXPECT_EQ(ExitCodeOf(C.Verdict), C.Exit);
    const std::vector<std::string> Lines = VerdictLines(C.Verdict, Facts);
    ASSERT_FALSE(Lines.empty());
    EXPECT_EQ(Lines[0].rfind("Verdict: ", 0), 0u);
  }
  TCheckFacts Moved;
  Moved.Registered = true, Moved.ServerPath = u"C:\\Old\\ZelmKvel.dll";
  EXPECT_EQ(VerdictLines(TVerdict::FileMissing, Moved)[1], "  C:\\Old\\ZelmKvel.dll");
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
        TCase{{u"--codes", u"--help"}, TParsed::Help, TCheckMode::Codes, 1}}) {
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
