#include "tests/support/wine/Rules.h"
#include "programs/common/WideText.h"

#include <algorithm>
#include <sstream>

namespace zelm::wine {

TRule ParseRule(std::string_view Line) {
  std::istringstream In{std::string(Line)};
  std::string Word;
  TRule Rule;
  if (!(In >> Word) || Word[0] == '#') return Rule;
  using K = TRule::TKind;
  const bool Numbered = Word == "value" || Word == "forget" || Word == "hang";
  if (Numbered && !(In >> Rule.Id)) {
    Rule.Kind = K::Bad;
    return Rule;
  }
  if (Word == "value") {
    std::string Rest;
    std::getline(In, Rest);
    if (!Rest.empty() && Rest[0] == ' ') Rest.erase(0, 1);
    const auto Bar = Rest.find('|');
    Rule.Text = Rest.substr(0, Bar);
    if (Bar != std::string::npos) Rule.TitleUnit = Rest.substr(Bar + 1);
    Rule.Kind = Rule.Text.empty() ? K::Bad : K::Value;
  } else if (Word == "forget") {
    Rule.Kind = K::Forget;
  } else if (Word == "hang") {
    if (!(In >> Rule.Times)) Rule.Times = 1;
    Rule.Kind = Rule.Times < 0 ? K::Bad : K::Hang;
  } else if (Word == "silent" || Word == "talk" || Word == "quit") {
    Rule.Kind = Word == "silent" ? K::Silent : Word == "talk" ? K::Talk : K::Quit;
  } else {
    Rule.Kind = K::Other;
    Rule.Text = Word;
  }
  return Rule;
}

std::string TRuleSource::ValueText(uint32_t Id) const {
  const auto Found = FValues.find(Id);
  return Found == FValues.end() ? std::string() : Found->second.first;
}

std::u16string TRuleSource::RecordedTitleUnit(uint32_t Id) const {
  const auto Found = FValues.find(Id);
  return Found == FValues.end() ? std::u16string() : Found->second.second;
}

void TRuleSource::Set(uint32_t Id, std::string Text, std::u16string TitleUnit) {
  FValues[Id] = {std::move(Text), std::move(TitleUnit)};
}

namespace {

// A hang that nobody releases ends after this: a failed test must not wedge the server.
constexpr DWORD cLongestHangMs = 60000;

}  // namespace

TRuledServer::TRuledServer()
    : FWindow(FValues), FRelease(CreateEventW(nullptr, FALSE, FALSE, ReleaseEventName(GetCurrentProcessId()).c_str())) {
  FWindow.OnControl = [this](uint32_t Id, const TCopyData& Data) { return Heard(Id, Data); };
  FWindow.OnMessage = [this](UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
    const auto* Data = reinterpret_cast<const COPYDATASTRUCT*>(LParam);
    if (Message == WM_COPYDATA && Data != nullptr && Data->dwData == cRuleMessageId) {
      Result = Rule(Data->lpData ? std::string(static_cast<const char*>(Data->lpData), Data->cbData) : std::string());
      return true;
    }
    if (Message == cCountHeardMessage || Message == cCountSentMessage) {
      Result = Message == cCountHeardMessage ? FHeard : static_cast<LRESULT>(FWindow.RecordsTaken());
      return true;
    }
    return OnMessage && OnMessage(Message, WParam, LParam, Result);
  };
}

void TRuledServer::SetLog(std::function<void(const std::string& Line)> Log) {
  FLog = Log;
  FWindow.Log = std::move(Log);
}

std::wstring TRuledServer::ReleaseEventName(DWORD ProcessId) {
  return L"ZelmKvelDataServerRelease." + std::to_wstring(ProcessId);
}

void TRuledServer::Release() const { SetEvent(FRelease.Get()); }

bool TRuledServer::Heard(uint32_t Id, const TCopyData& Data) {
  ++FHeard;
  if (OnControl) OnControl(Id, Data);
  for (auto Hang = FHangs.begin(); Hang != FHangs.end(); ++Hang) {
    if (Hang->Id != Id) continue;
    if (Hang->Times > 0 && --Hang->Times == 0) FHangs.erase(Hang);
    Say("hang id=" + std::to_string(Id));
    WaitForSingleObject(FRelease.Get(), cLongestHangMs);
    Say("woke id=" + std::to_string(Id));
    break;
  }
  return !FSilent;  // a silent server listens, and answers nothing
}

bool TRuledServer::Rule(const std::string& Line) {
  const TRule Rule = ParseRule(Line);
  bool Taken = true;
  switch (Rule.Kind) {
    case TRule::TKind::None: break;
    case TRule::TKind::Value: {
      // The rule's title is ANSI, as the records carry it: it goes out as it came.
      std::u16string TitleUnit;
      tools::FromCodePage(Rule.TitleUnit, TitleUnit, CP_ACP, false);
      FValues.Set(Rule.Id, Rule.Text, TitleUnit);
      break;
    }
    case TRule::TKind::Forget: FValues.Forget(Rule.Id); break;
    case TRule::TKind::Hang: FHangs.push_back({Rule.Id, Rule.Times}); break;
    case TRule::TKind::Silent:
    case TRule::TKind::Talk: FSilent = Rule.Kind == TRule::TKind::Silent; break;
    case TRule::TKind::Quit: PostMessageW(FWindow.Window(), WM_CLOSE, 0, 0); break;
    case TRule::TKind::Other: Taken = OnRule && OnRule(Rule, Line); break;
    case TRule::TKind::Bad: Taken = false; break;
  }
  Say((Taken ? "rule " : "bad-rule ") + Line);
  return Taken;
}

void TRuledServer::Say(const std::string& Line) const {
  if (FLog) FLog(Line);
}

}  // namespace zelm::wine
