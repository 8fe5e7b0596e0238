#include "workbench/host/SkinCheck.h"

#include <algorithm>
#include <map>

#include "core/tables/Catalogue.h"
#include "core/tables/LabelCodes.h"
#include "core/tables/SlotTexts.h"
#include "programs/common/SkinCodes.h"
#include "programs/common/Utf.h"
#include "programs/common/HostVariables.h"

namespace zelm::tools {
namespace {

// The commands the extension takes, and the host's own verbs.
std::vector<std::u16string_view> AllCommands() {
  std::vector<std::u16string_view> Commands = KnownCommands();
  Commands.insert(Commands.end(), {u"quit", u"exit"});
  return Commands;
}

bool InCycle(std::u16string_view Code) {
  return std::find(cLabelCodeCycle.begin(), cLabelCodeCycle.end(), Code) != cLabelCodeCycle.end();
}

std::string DidYouMean(std::u16string_view Text, const std::vector<std::u16string_view>& Candidates) {
  const std::u16string_view Near = Closest(Text, Candidates);
  return Near.empty() ? std::string() : "; did you mean '" + ToUtf8(Near) + "'?";
}

// The slot a label code or a step command belongs to; -1 for none.
int SlotOfLabel(std::u16string_view Code) {
  const TLabelCode* Match = FindLabelCode(LowerAsciiCopy(Code));
  if (Match == nullptr || Match->Kind == TLabelCodeKind::Value || Match->Kind == TLabelCodeKind::Title ||
      Match->Kind == TLabelCodeKind::Unit)
    return -1;
  return Match->Index;
}

int SlotOfCommand(std::u16string_view Command) {
  for (std::size_t I = 0; I < cSlotCount; ++I)
    if (LowerAsciiCopy(Command) == cSlots[I].StepCommand) return static_cast<int>(I);
  return -1;
}

std::vector<std::u16string_view> Split(std::u16string_view Batch) {
  std::vector<std::u16string_view> Parts;
  for (std::size_t Start = 0; Start <= Batch.size();) {
    const std::size_t End = std::min(Batch.find(u"||", Start), Batch.size());
    if (End > Start) Parts.push_back(Batch.substr(Start, End - Start));
    Start = End + 2;
  }
  return Parts;
}

}  // namespace

std::vector<std::string> CheckSkin(const TSkin& Skin, std::string_view FileName,
                                   const std::vector<TSkinProblem>& Faults) {
  std::multimap<int, std::string> Found;  // by line
  for (const TSkinProblem& F : Faults) Found.emplace(F.Line, F.Text);
  auto Say = [&](int Line, const std::string& Text) {
    Found.emplace(Line, std::string(FileName) + ":" + std::to_string(Line) + ": " + Text);
  };
  std::map<int, int> SlotFirstUse;  // slot -> the first line that uses it
  const auto& Codes = KnownLabelCodes();
  for (const TSkinLabel& L : Skin.Labels) {
    if (FindLabelCode(LowerAsciiCopy(L.Code)) == nullptr) {
      Say(L.Line, "label code '" + ToUtf8(L.Code) + "' is none of the extension's, so the label stays blank" +
                      DidYouMean(L.Code, Codes));
    } else if (const int Slot = SlotOfLabel(L.Code); Slot >= 0) {
      SlotFirstUse.emplace(Slot, L.Line);
    }
  }
  const auto Commands = AllCommands();
  for (const TSkinButton& B : Skin.Buttons) {
    for (const std::u16string_view Command : Split(B.Command)) {
      const std::u16string Lower = LowerAsciiCopy(Command);
      if (Lower.rfind(u"setvar;", 0) == 0 || Lower.rfind(u"savetoskin;", 0) == 0) continue;
      if (const int Slot = SlotOfCommand(Command); Slot >= 0) SlotFirstUse.emplace(Slot, B.Line);
      if (std::find(Commands.begin(), Commands.end(), Lower) != Commands.end()) continue;
      Say(B.Line, "button " + ToUtf8(std::u16string(1, B.Key)) + " runs '" + ToUtf8(Command) +
                      "', which neither the host nor the extension takes (ce_open, ce_close, "
                      "ce_next_dinamic_label..., SETVAR;, SAVETOSKIN;, quit)" +
                      DidYouMean(Command, Commands));
    }
  }
  for (const auto& [Slot, FirstUse] : SlotFirstUse) {
    const TSlotTexts& S = cSlots[static_cast<std::size_t>(Slot)];
    const std::string Variable = ToUtf8(S.Variable);
    const TSkinVariable* Var = nullptr;
    for (const TSkinVariable& V : Skin.Variables)
      if (V.Name == S.Variable) Var = &V;
    const std::u16string Value = Var ? LowerAsciiCopy(Var->Value) : std::u16string();
    if (InCycle(Value)) continue;
    const std::string Start = "dynamic label " + ToUtf8(S.ValueCode) + " ";
    const std::string Fix =
        "; give it a value code of the cycle (docs/skin-reference.md lists them), as in: var " + Variable + " \"";
    const std::vector<std::u16string_view> Cycle(cLabelCodeCycle.begin(), cLabelCodeCycle.end());
    if (Value.empty()) {
      Say(Var ? Var->Line : FirstUse,
          Start + "starts on nothing: its variable " + Variable + (Var ? " is empty" : " is not set") +
              ", so it shows nothing and its step never moves it" + Fix + ToUtf8(cParams[0].ValueCode) + "\"");
    } else {
      const TLabelCode* Match = FindLabelCode(Value);
      const bool Parameter = Match != nullptr && Match->Kind == TLabelCodeKind::Value;
      const std::u16string_view Near = Closest(Value, Cycle);
      Say(Var->Line, Start + "starts on '" + ToUtf8(Var->Value) + "', " +
                         (Parameter ? "which its step never moves it from (no dynamic label steps to or from it)"
                                    : "which is no value code: it shows nothing and its step never moves it") +
                         Fix + ToUtf8(Near.empty() ? cParams[0].ValueCode : Near) + "\"");
    }
  }
  std::vector<std::string> Problems;
  for (auto& [Line, Text] : Found) Problems.push_back(std::move(Text));
  return Problems;
}

}  // namespace zelm::tools
