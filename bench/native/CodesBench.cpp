// How long zelm_check --codes takes per megabyte of a skin file, decoded, scanned, judged
// and its report made, whatever the words in it: 50 MB of a skin's lines beside one 4 MB
// word that begins as a code does, and 4 MB of words each a typing mistake away from
// one. The figures should stand close together. Prints them; asserts nothing.
#include <chrono>
#include <cstdio>
#include <string>

#include "programs/check/CodesReport.h"

namespace {

constexpr std::size_t cMegabyte = 1 << 20;

std::string Repeated(const std::string& Piece, std::size_t Size) {
  std::string Text;
  Text.reserve(Size + Piece.size());
  while (Text.size() < Size) Text += Piece;
  return Text;
}

void Time(const char* What, const std::string& Bytes) {
  const auto Start = std::chrono::steady_clock::now();
  const zelm::tools::TFileCheck Check = zelm::tools::CheckSkinBytes(Bytes, {});
  const std::size_t Said = zelm::tools::FileCheckLines("skin", Check).size();
  const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
  const double Megabytes = static_cast<double>(Bytes.size()) / cMegabyte;
  std::printf("%-34s %6.1f MB %8.3f s %8.1f MB/s %9zu lines said\n", What, Megabytes, Took.count(),
              Megabytes / Took.count(), Said);
}

}  // namespace

int main() {
  // A skin's lines: labels and buttons with their codes, a Cyrillic title, CR LF ends.
  const std::string Lines =
      "<label code=\"ce_enginespeed\" x=\"10\" y=\"20\" font=\"Tahoma\" size=\"14\"/>\r\n"
      "<label code=\"CE_Speed_Unit\" x=\"60\" y=\"20\"/><label code=\"ce_\xD1\x80orse_power\"/>\r\n"
      "<button key=\"1\" command=\"ce_next_dinamic_label_1||ce_open\" image=\"b1.png\"/>\r\n"
      "title=\xD0\x9D\xD0\xBE\xD1\x87\xD1\x8C dashboard, night colours; $ce_dinamic_label_1_title$\r\n";
  std::printf("zelm_check --codes on one file (%s):\n", "decode, scan, judge, report");
  Time("50 MB of a skin's lines", Repeated(Lines, 50 * cMegabyte));
  Time("one 4 MB word beginning ce_", "ce_" + std::string(4 * cMegabyte, 'a'));
  Time("4 MB of words near a code", Repeated("ce_spedd ce_dinamic_lable_3 ", 4 * cMegabyte));
}
