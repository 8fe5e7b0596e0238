// What travels between the extension and the Zelm data server in WM_COPYDATA
// messages: the control records we send and the value records it sends back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelm {

// Message ids of control messages (dwData of our messages to the server).
inline constexpr uint32_t InitConnectionMessageId = 64;
inline constexpr uint32_t AddMessageId = 80;
inline constexpr uint32_t DeleteMessageId = 96;
inline constexpr uint32_t TripReadMessageId = 129;
inline constexpr uint32_t TripResetMessageId = 130;
inline constexpr uint32_t ClearErrorMessageId = 163;  // part of the protocol; we never send it

// How many of our label requests go by between two announcements of our window: the
// reload value of the announcement countdown.
inline constexpr int32_t cAnnouncementInterval = 100;

// The title of the data server's window.
inline constexpr std::u16string_view cServerWindowTitle = u"Morvicantrel";

// The 16-byte control record of every message to the server (little-endian).
struct TCopyData {
  uint32_t Data1 = 0;
  uint32_t Data2 = 0;
  uint32_t Data3 = 0;
  uint32_t Data4 = 0;
};
static_assert(sizeof(TCopyData) == 16);

// A value record from the server: a 30-byte NUL-ended value text, then for live
// parameters a NUL-ended "Title,unit" text. Both are 8-bit ANSI.
inline constexpr std::size_t cValueTextSize = 30;
inline constexpr std::size_t cMaxValueText = cValueTextSize - 1;  // with its NUL, it fits

struct TParamValueData {
  std::string_view ValueText;
  std::string_view TitleUnitText;
};

// Reads a value record strictly within its Size bytes: a text without its NUL ends
// at the end of the data (the value text at most at byte 30); a null Data or a record
// too short for the title gives empty texts. Never reads outside [Data, Data+Size).
TParamValueData DecodeParamValueData(const void* Data, std::size_t Size) noexcept;

// The data server's side of the same layout (the simulated car and the tests): a live
// parameter's record is the value area (the text up to its first NUL, cut at 29
// characters, NUL-padded to 30 bytes), then the "Title,unit" text and its NUL; a trip
// figure's is the value area only.
std::string EncodeLiveRecord(std::string_view ValueText, std::string_view TitleUnit);
std::string EncodeTripRecord(std::string_view ValueText);

// Splits a live record's "Title,unit" text (converted) at its first comma. Without a
// comma, or with the comma as the last character, the whole text is the title and the
// unit "-".
void SetTitleAndUnit(std::u16string_view S, std::u16string& Title, std::u16string& Unit);

}  // namespace zelm
