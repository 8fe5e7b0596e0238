// zelm_skinref: writes the reference for skin authors from the extension's own tables
// (parameters, label codes, slots, the label-code cycle, message ids), so that the
// reference cannot say anything the DLL does not do. One document, in two forms: as
// Markdown that reads as plain text within 80 columns (the packages' skin-reference.txt)
// and as HTML (skin-reference.html, for a double-click).
//
//   zelm_skinref                   the reference on standard output, as Markdown
//   zelm_skinref --write FILE...   into each FILE, in the form its ending names (.md, .html)
//   zelm_skinref --check FILE...   exit 1 when a FILE is not what would be written
//   zelm_skinref --help            this usage
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/host/HostCalls.h"
#include "core/protocol/Protocol.h"
#include "core/tables/Catalogue.h"
#include "core/tables/SlotTexts.h"
#include "programs/check/CodesReport.h"
#include "programs/common/Utf.h"
#include "programs/sim/VehicleModel.h"

namespace zelm::tools {
namespace {

constexpr std::size_t cColumns = 80;

std::string U8(std::u16string_view Text) { return ToUtf8(Text); }

// The document: blocks that both forms can show.
enum class TBlockKind { Title, Heading, Text, List, Numbered, Table, Example };

struct TBlock {
  TBlockKind Kind;
  std::vector<std::string> Items;              // a paragraph: one; a list: an item each; an example: its lines
  std::vector<std::vector<std::string>> Rows;  // a table: its heading first
};

class TDocument {
 public:
  TDocument& Title(std::string Text) { return Add({TBlockKind::Title, {std::move(Text)}, {}}); }
  TDocument& Heading(std::string Text) { return Add({TBlockKind::Heading, {std::move(Text)}, {}}); }
  TDocument& Text(std::string Text) { return Add({TBlockKind::Text, {std::move(Text)}, {}}); }
  TDocument& List(std::vector<std::string> Items) { return Add({TBlockKind::List, std::move(Items), {}}); }
  TDocument& Numbered(std::vector<std::string> Items) { return Add({TBlockKind::Numbered, std::move(Items), {}}); }
  TDocument& Table(std::vector<std::vector<std::string>> Rows) { return Add({TBlockKind::Table, {}, std::move(Rows)}); }
  TDocument& Example(std::vector<std::string> Lines) { return Add({TBlockKind::Example, std::move(Lines), {}}); }
  const std::vector<TBlock>& Blocks() const { return FBlocks; }

 private:
  TDocument& Add(TBlock Block) {
    FBlocks.push_back(std::move(Block));
    return *this;
  }
  std::vector<TBlock> FBlocks;
};

std::size_t Width(const std::string& Text) { return DisplayWidth(FromUtf8(Text)); }

// Text wrapped at word breaks: First before the first line, Rest before the others.
void Wrap(std::ostream& Out, const std::string& Text, const std::string& First, const std::string& Rest) {
  std::istringstream Words(Text);
  std::string Line = First, Word;
  bool Empty = true;
  while (Words >> Word) {
    if (!Empty && Width(Line) + 1 + Width(Word) > cColumns) {
      Out << Line << "\n";
      Line = Rest, Empty = true;
    }
    Line += (Empty ? "" : " ") + Word;
    Empty = false;
  }
  Out << Line << "\n";
}

std::string Markdown(const TDocument& Document) {
  std::ostringstream Out;
  for (const TBlock& B : Document.Blocks()) {
    switch (B.Kind) {
      case TBlockKind::Title: Out << "# " << B.Items[0] << "\n"; break;
      case TBlockKind::Heading: Out << "## " << B.Items[0] << "\n"; break;
      case TBlockKind::Text: Wrap(Out, B.Items[0], "", ""); break;
      case TBlockKind::List:
        for (const std::string& Item : B.Items) Wrap(Out, Item, "- ", "  ");
        break;
      case TBlockKind::Numbered:
        for (std::size_t I = 0; I < B.Items.size(); ++I) {
          const std::string Number = std::to_string(I) + ". ";
          Wrap(Out, B.Items[I], Number, std::string(Number.size(), ' '));
        }
        break;
      case TBlockKind::Example:
        for (const std::string& Line : B.Items) Out << "    " << Line << "\n";
        break;
      case TBlockKind::Table: {
        // Columns padded to their widest cell: the table reads as text too.
        std::vector<std::size_t> Widths(B.Rows[0].size(), 0);
        for (const auto& Row : B.Rows)
          for (std::size_t C = 0; C < Row.size(); ++C) Widths[C] = std::max(Widths[C], Width(Row[C]));
        const auto Line = [&](const std::vector<std::string>& Row) {
          for (std::size_t C = 0; C < Row.size(); ++C)
            Out << "| " << Row[C] << std::string(Widths[C] - Width(Row[C]) + 1, ' ');
          Out << "|\n";
        };
        Line(B.Rows[0]);
        for (const std::size_t W : Widths) Out << "|" << std::string(W + 2, '-');
        Out << "|\n";
        for (std::size_t R = 1; R < B.Rows.size(); ++R) Line(B.Rows[R]);
        break;
      }
    }
    Out << "\n";
  }
  std::string Text = Out.str();
  Text.pop_back();  // one line end at the end
  return Text;
}

std::string Escaped(const std::string& Text) {
  std::string Out;
  for (const char C : Text) {
    switch (C) {
      case '&': Out += "&amp;"; break;
      case '<': Out += "&lt;"; break;
      case '>': Out += "&gt;"; break;
      case '"': Out += "&quot;"; break;
      default: Out += C;
    }
  }
  return Out;
}

std::string Html(const TDocument& Document) {
  std::ostringstream Out;
  Out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
      << Escaped(Document.Blocks()[0].Items[0]) << "</title>\n<style>\n"
      << "body { font-family: sans-serif; max-width: 60em; margin: 1em auto; padding: 0 1em; line-height: 1.4; }\n"
         "table { border-collapse: collapse; margin: 0.5em 0; }\n"
         "th, td { border: 1px solid #bbb; padding: 0.15em 0.5em; text-align: left; }\n"
         "th { background: #eee; }\npre { background: #f4f4f4; padding: 0.5em; }\n"
         "</style>\n</head>\n<body>\n";
  for (const TBlock& B : Document.Blocks()) {
    switch (B.Kind) {
      case TBlockKind::Title: Out << "<h1>" << Escaped(B.Items[0]) << "</h1>\n"; break;
      case TBlockKind::Heading: Out << "<h2>" << Escaped(B.Items[0]) << "</h2>\n"; break;
      case TBlockKind::Text: Out << "<p>" << Escaped(B.Items[0]) << "</p>\n"; break;
      case TBlockKind::List:
      case TBlockKind::Numbered:
        Out << (B.Kind == TBlockKind::List ? "<ul>\n" : "<ol start=\"0\">\n");
        for (const std::string& Item : B.Items) Out << "<li>" << Escaped(Item) << "</li>\n";
        Out << (B.Kind == TBlockKind::List ? "</ul>\n" : "</ol>\n");
        break;
      case TBlockKind::Example:
        Out << "<pre>";
        for (const std::string& Line : B.Items) Out << Escaped(Line) << "\n";
        Out << "</pre>\n";
        break;
      case TBlockKind::Table:
        Out << "<table>\n";
        for (std::size_t R = 0; R < B.Rows.size(); ++R) {
          const char* Cell = R == 0 ? "th" : "td";
          Out << "<tr>";
          for (const std::string& Text : B.Rows[R]) Out << "<" << Cell << ">" << Escaped(Text) << "</" << Cell << ">";
          Out << "</tr>\n";
        }
        Out << "</table>\n";
        break;
    }
  }
  Out << "</body>\n</html>\n";
  return Out.str();
}

std::string Quoted(std::u16string_view Text) { return "\"" + U8(Text) + "\""; }

std::string FormOf(const TParamInfo& P) {
  switch (P.Form) {
    case TValueForm::AsSent: return "as sent";
    case TValueForm::Fixed0: return "0 decimals";
    case TValueForm::Fixed1: return "1 decimal";
    case TValueForm::Fixed3: return "3 decimals";
    case TValueForm::General: return "general form";
  }
  return "?";
}

std::string CycleOf(const TParamInfo& P) {
  return P.CyclePosition < 0 ? std::string("none") : std::to_string(P.CyclePosition);
}

TDocument Reference() {
  TDocument D;
  const TParamInfo& Speed = cParams[0];
  const std::u16string_view SpeedTitleUnit = TVehicleModel::TitleUnit(Speed.Id);
  const std::string SpeedTitle = U8(SpeedTitleUnit.substr(0, SpeedTitleUnit.find(u',')));
  const std::string SpeedUnit = U8(SpeedTitleUnit.substr(SpeedTitleUnit.find(u',') + 1));
  const TSlotTexts& Slot0 = cSlots[0];
  std::size_t Live = 0;
  for (const TParamInfo& P : cParams) Live += P.Kind == TParamKind::Live;

  D.Title("ZelmKvel: reference for skin authors")
      .Text(
          "ZelmKvel shows live vehicle data on RideRunner's skins. A label of the skin shows a reading "
          "when its text is one of ZelmKvel's codes: RideRunner asks ZelmKvel for that label's text again "
          "and again, and ZelmKvel answers with the latest value the Zelm data server sent. A button "
          "whose command is one of ZelmKvel's commands has ZelmKvel carry it out. This reference names "
          "every code: " +
          std::to_string(3 * cParams.size()) + " for the " + std::to_string(cParams.size()) + " readings, " +
          std::to_string(4 * cSlotCount) + " for the " + std::to_string(cSlotCount) + " dynamic labels, and " +
          std::to_string(2 + cSlotCount) + " commands.")
      .Text(
          "Codes are compared whole, after the letters A to Z are made small: \"CE_Speed\" is \"ce_speed\". "
          "Nothing else is folded, so a code must be spelled exactly, with one exception to watch for: the "
          "trip figure " +
          Quoted(cParams[static_cast<std::size_t>(ParamIndexOfId(130))].ValueCode) +
          " is spelled with the Cyrillic letter er (U+0440) as its fourth letter, which looks like a Latin p; "
          "spelled with a Latin p it matches nothing.");

  D.Heading("A first label")
      .Text(
          "Where the skin gives a label its text, put the code. Schematically (RideRunner's skin files have "
          "their own notation for labels and buttons; what ZelmKvel adds is the code in each):")
      .Example({"label  text=" + U8(Speed.TitleCode) + "            shows  " + SpeedTitle,
                "label  text=" + U8(Speed.ValueCode) + "                  shows  48",
                "label  text=" + U8(Speed.UnitCode) + "             shows  " + SpeedUnit,
                "label  text=" + U8(Slot0.ValueCode) + "          shows  the reading the user chose",
                "button command=" + U8(Slot0.StepCommand) + "  steps that label to the next reading"})
      .Text(
          "While no value has come, the value label shows \"-\" and the title label the value code; the "
          "value, its title and its unit follow within a frame or two while the data server runs.");

  D.Heading("Checking a skin")
      .Text(
          "zelm_check, in ZelmKvel's folder, reads skin files as RideRunner does (UTF-8, UTF-16, or the "
          "system's ANSI code page) and names each word that begins as ZelmKvel's codes do, with \"ce\" and an "
          "underscore, but is none of them: with its file and line, and the code it looks like or the nearest "
          "one:")
      .Example({"zelm_check --codes C:\\Skins\\MySkin", "zelm_check --codes C:\\Skins\\MySkin\\*.xml"})
      .Text("A folder is read with its skin files (" + std::string(cSkinFileNames) +
            ") and the folders in it. zelm_check --help lists its exit codes.");

  D.Heading("How labels answer")
      .List({"The value code (\"" + U8(Speed.ValueCode) +
                 "\") shows the value as the data server sent it; trip figures are written as numbers (see "
                 "Trip figures). While no value has come it shows \"-\", and asking for it subscribes the "
                 "reading at the data server.",
             "The title code (the value code and \"_title\") shows the title the data server sent with the "
             "value; before the first value, the value code itself. Trip figures come without one: empty.",
             "The unit code (the value code and \"_unit\") shows the unit the data server sent; before the "
             "first value, \"-\". Trip figures come without one: empty."})
      .Text("A reading that no label asks for in " + std::to_string(cIdleRequests) +
            " label requests (of any code) is unsubscribed again; the next request subscribes it anew.")
      .Text("A label that shows no value:")
      .List({"\"-\": the reading has no value yet. It was just subscribed, or no data server runs (there is no "
             "window \"" +
                 U8(cServerWindowTitle) + "\"), or the data server does not send this reading.",
             "an empty text: the code is none of ZelmKvel's (a typing mistake: zelm_check --codes names "
             "it), a dynamic label holds no reading's value code, or it is a trip figure's title or unit."});

  D.Heading("Live readings (" + std::to_string(Live) + ")")
      .Text(
          "Each reading's value code; its title and unit codes add \"_title\" and \"_unit\". The data server "
          "names its readings and their units itself: the title and unit here are those the demo data "
          "server (zelm_sim.exe) sends. Cycle is the reading's place in the cycle the dynamic labels step "
          "through (none: no dynamic label reaches it); Id is its number at the data server.");
  std::vector<std::vector<std::string>> Rows = {{"Value code", "Title (demo data server)", "Unit", "Cycle", "Id"}};
  for (const TParamInfo& P : cParams) {
    if (P.Kind != TParamKind::Live) continue;
    const std::u16string_view Text = TVehicleModel::TitleUnit(P.Id);
    const std::size_t Comma = Text.find(u',');
    Rows.push_back(
        {U8(P.ValueCode), U8(Text.substr(0, Comma)), U8(Text.substr(Comma + 1)), CycleOf(P), std::to_string(P.Id)});
  }
  D.Table(std::move(Rows));

  D.Heading("Trip figures (" + std::to_string(cParams.size() - Live) + ")")
      .Text(
          "The data server sends the trip figures as bare numbers, without title or unit: put fixed text "
          "beside them. They come in these units (the demo data server's too), the time driven as h:mm:ss. "
          "ZelmKvel writes each as a number in the user's decimal notation with the decimals shown, or as "
          "sent. The command \"ce_close\" resets the trip: the data server starts every trip figure again "
          "from zero and sends them afresh.");
  Rows = {{"Value code", "Unit", "Shown with", "Cycle", "Id"}};
  for (const TParamInfo& P : cParams)
    if (P.Kind == TParamKind::Trip)
      Rows.push_back({U8(P.ValueCode), U8(TVehicleModel::TripUnit(P.Id)), FormOf(P), CycleOf(P), std::to_string(P.Id)});
  D.Table(std::move(Rows));

  D.Heading("Dynamic labels (" + std::to_string(cSlotCount) + " labels, " + std::to_string(4 * cSlotCount) + " codes)")
      .Text(
          "A dynamic label shows the reading that the user chose for it. Its value, title and unit codes "
          "answer as the chosen reading's own codes would; its name code answers the chosen reading's "
          "value code. Its step command moves it to the next reading of the cycle below, and RideRunner "
          "saves the choice into the skin.");
  Rows = {{"Value code", "Title code", "Unit code"}};
  for (const TSlotTexts& S : cSlots) Rows.push_back({U8(S.ValueCode), U8(S.TitleCode), U8(S.UnitCode)});
  D.Table(std::move(Rows));
  Rows = {{"Dynamic label", "Name code", "Step command"}};
  for (const TSlotTexts& S : cSlots) Rows.push_back({U8(S.ValueCode), U8(S.NameCode), U8(S.StepCommand)});
  D.Table(std::move(Rows));
  D.Text(
      "The choice is kept in a RideRunner variable of the skin, one for each dynamic label. ZelmKvel reads "
      "it (with the query \"=$V$\" for the variable V) when it starts and at every step; a step writes it "
      "back and saves it into the skin with the command batch \"SETVAR;V;C||SAVETOSKIN;V;$V$\" for the code "
      "C. A skin can start a dynamic label on a reading by giving its variable that reading's value code.");
  Rows = {{"Dynamic label", "Variable"}};
  for (const TSlotTexts& S : cSlots) Rows.push_back({U8(S.ValueCode), U8(S.Variable)});
  D.Table(std::move(Rows));

  D.Heading("The cycle of the dynamic labels (" + std::to_string(cCycleLength) + " codes)")
      .Text(
          "A step moves to the next code and from the last back to the first; a code not in the cycle "
          "stays where it is.");
  std::vector<std::string> Cycle;
  for (const std::u16string_view Code : cLabelCodeCycle) Cycle.push_back(U8(Code));
  D.Numbered(std::move(Cycle));

  D.Heading("Commands (" + std::to_string(2 + cSlotCount) + ")")
      .Text(
          "Compared as codes are. ZelmKvel tells RideRunner that it carried out each of these, and leaves "
          "every other command to it.")
      .List({"\"ce_open\" announces ZelmKvel to the data server again and asks for the trip figures. ZelmKvel "
             "asks RideRunner to run \"" +
                 U8(cOpenCommand) + "\" itself when it starts.",
             "\"ce_close\" resets the trip computer.",
             "\"" + U8(Slot0.StepCommand) + "\" to \"" + U8(cSlots[cSlotCount - 1].StepCommand) +
                 "\" step a dynamic label each (see Dynamic labels)."});

  D.Heading("For data-server developers")
      .Text("ZelmKvel finds the data server's window by its title \"" + U8(cServerWindowTitle) +
            "\" and sends it WM_COPYDATA control records (16 bytes: four unsigned 32-bit numbers); Id above "
            "is the parameter identifier.");
  D.Table({{"dwData", "Name", "Data1"},
           {std::to_string(InitConnectionMessageId), "InitConnectionMessageId", "ZelmKvel's window"},
           {std::to_string(AddMessageId), "AddMessageId", "parameter identifier"},
           {std::to_string(DeleteMessageId), "DeleteMessageId", "parameter identifier"},
           {std::to_string(TripReadMessageId), "TripReadMessageId", "0"},
           {std::to_string(TripResetMessageId), "TripResetMessageId", "0"},
           {std::to_string(ClearErrorMessageId), "ClearErrorMessageId", "never sent"}});
  D.Text(
      "Values come back one WM_COPYDATA message each: dwData is the parameter identifier; the data holds "
      "the value text (ANSI, NUL-ended, within " +
      std::to_string(cValueTextSize) + " bytes) and, for live readings, the \"Title,unit\" text after it.");
  return D;
}

std::string Generate(const std::string& Path) {
  const bool AsHtml = Path.size() >= 5 && Path.substr(Path.size() - 5) == ".html";
  if (AsHtml) return Html(Reference());
  // The text ships as it is: a line wider than a console is a fault of this program.
  std::string Text = Markdown(Reference());
  std::istringstream Lines(Text);
  for (std::string Line; std::getline(Lines, Line);)
    if (Width(Line) > cColumns) throw std::runtime_error("a line of the reference is wider than 80 columns: " + Line);
  return Text;
}

int Check(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::ostringstream Buffer;
  Buffer << In.rdbuf();
  const std::string Have = In ? Buffer.str() : std::string();
  const std::string Want = Generate(Path);
  if (Have == Want) {
    std::printf("%s is current\n", Path.c_str());
    return 0;
  }
  std::istringstream A(Have), B(Want);
  std::string LineA, LineB;
  for (int LineNo = 1;; ++LineNo) {
    const bool MoreA = static_cast<bool>(std::getline(A, LineA));
    const bool MoreB = static_cast<bool>(std::getline(B, LineB));
    if (!MoreA && !MoreB) break;
    if (!MoreA || !MoreB || LineA != LineB) {
      std::printf("%s differs from the tables at line %d:\n  file:      %s\n  generated: %s\n", Path.c_str(), LineNo,
                  MoreA ? LineA.c_str() : "(end of file)", MoreB ? LineB.c_str() : "(end)");
      break;
    }
  }
  std::printf("regenerate it with: zelm_skinref --write %s\n", Path.c_str());
  return 1;
}

}  // namespace
}  // namespace zelm::tools

int main(int Argc, char** Argv) try {
  const std::string Mode = Argc > 1 ? Argv[1] : "";
  if (Argc == 1) {
    std::cout << zelm::tools::Generate("");
    return 0;
  }
  const char* Usage =
      "usage: zelm_skinref [--write FILE... | --check FILE...]\n"
      "  (none)            the reference for skin authors on standard output, as Markdown\n"
      "  --write FILE...   write it into each FILE: as HTML for a name ending in .html\n"
      "  --check FILE...   exit 1 when a FILE is not what would be written\n";
  if (Argc == 2 && (Mode == "--help" || Mode == "-h")) {
    std::fputs(Usage, stdout);
    return 0;
  }
  if (Argc >= 3 && (Mode == "--check" || Mode == "--write")) {
    int Code = 0;
    for (int I = 2; I < Argc; ++I) {
      if (Mode == "--check") {
        Code = std::max(Code, zelm::tools::Check(Argv[I]));
        continue;
      }
      std::ofstream Out(Argv[I], std::ios::binary | std::ios::trunc);
      Out << zelm::tools::Generate(Argv[I]);
      if (!Out) Code = 1;
    }
    return Code;
  }
  std::fprintf(stderr, "zelm_skinref: unknown arguments\n%s", Usage);
  return 2;
} catch (const std::exception& Error) {
  std::fprintf(stderr, "zelm_skinref: %s\n", Error.what());
  return 1;
}
