#include <gtest/gtest.h>

#include <string>

#include "core/protocol/Protocol.h"

namespace zelm {
namespace {

TEST(ValueRecords, DecodingStaysWithinTheCopiedData) {
  const char Full[] = "850\0__________________________Engine speed,rpm";  // value area is 30 bytes
  auto R = DecodeParamValueData(Full, sizeof Full);
  EXPECT_EQ(R.ValueText, "850");
  EXPECT_EQ(R.TitleUnitText, "Engine speed,rpm");

  // Value text without its NUL inside the 30 bytes: cut at 30.
  std::string NoNul(40, 'x');
  R = DecodeParamValueData(NoNul.data(), NoNul.size());
  EXPECT_EQ(R.ValueText.size(), 30u);
  EXPECT_EQ(R.TitleUnitText, std::string(10, 'x'));

  // Shorter than 30 bytes, no NUL: the value text ends with the data; no title.
  R = DecodeParamValueData("12.5", 4);
  EXPECT_EQ(R.ValueText, "12.5");
  EXPECT_TRUE(R.TitleUnitText.empty());

  R = DecodeParamValueData(nullptr, 100);
  EXPECT_TRUE(R.ValueText.empty() && R.TitleUnitText.empty());
  R = DecodeParamValueData(Full, 0);
  EXPECT_TRUE(R.ValueText.empty() && R.TitleUnitText.empty());
}

TEST(ValueRecords, TitleAndUnitSplitAtTheFirstComma) {
  struct {
    std::u16string_view In, Title, Unit;
  } Cases[] = {
      {u"Speed,km/h", u"Speed", u"km/h"},
      {u"Speed", u"Speed", u"-"},
      {u"Speed,", u"Speed,", u"-"},
      {u",km/h", u"", u"km/h"},
      {u"a,b,c", u"a", u"b,c"},
      {u"Speed, km/h", u"Speed", u" km/h"},
      {u"", u"", u"-"},
      {u",", u",", u"-"},
  };
  for (const auto& C : Cases) {
    std::u16string Title = u"old", Unit = u"old";
    SetTitleAndUnit(C.In, Title, Unit);
    EXPECT_EQ(Title, C.Title);
    EXPECT_EQ(Unit, C.Unit);
  }
}

// The data server's side of the layout, which the simulated car and the tests write.
TEST(ValueRecordWire, CutsLongValuesAndStopsTextsAtTheirNul) {
  const std::string Long(40, '7');
  const std::string Record = EncodeLiveRecord(Long, std::string_view("Speed,km/h\0junk", 15));
  const TParamValueData Decoded = DecodeParamValueData(Record.data(), Record.size());
  EXPECT_EQ(Decoded.ValueText, std::string(29, '7'));
  EXPECT_EQ(Decoded.TitleUnitText, "Speed,km/h");
  EXPECT_EQ(Record[29], '\0');
  EXPECT_EQ(EncodeTripRecord(std::string_view("1.5\0x", 5)), std::string("1.5") + std::string(27, '\0'));
  const std::string Empty = EncodeLiveRecord("", "");
  EXPECT_EQ(Empty, std::string(31, '\0'));
}

}  // namespace
}  // namespace zelm
