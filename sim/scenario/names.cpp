// Editor ids in scenarios: `name EDITORID` on form-defining statements, and
// the keyword options script and delay beside it.
#include <cctype>
#include <cstdio>

#include "sim/scenario/scenario.h"

namespace cv::sim {

namespace {

// The player's reference (the scenario may define it as any actor).
constexpr UInt32 kPlayerRef = 0x14;

std::string Folded(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool Defines(Verb v) {
  switch (v) {
    case Verb::Form:
    case Verb::Quest:
    case Verb::Global:
    case Verb::Npc:
    case Verb::Creature:
    case Verb::Leveled:
    case Verb::Linked:
    case Verb::List:
    case Verb::Ref:
    case Verb::Actor: return true;
    default: return false;
  }
}

// Which arguments of a statement may name a form.
bool NamesForms(Verb v, std::size_t i) {
  switch (v) {
    case Verb::Run:
    case Verb::Console:
    case Verb::Eval: return i != 1;        // not the command
    case Verb::Event: return i != 1;       // not the block type
    case Verb::CallScript: return i != 0;  // not the script
    case Verb::Global: return i == 0;      // not the type or the value
    case Verb::Talk:
    case Verb::QuestVar:
    case Verb::Remove:
    case Verb::Expect:
    case Verb::StartQuest:
    case Verb::StopQuest:
    case Verb::ExpectVar:
    case Verb::ExpectVarFloat: return true;
    default: return Defines(v) && !(v == Verb::Npc || v == Verb::Creature ? i == 1 : false);
  }
}

std::string Hex(UInt32 id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", id);
  return buf;
}

}  // namespace

std::string ApplyNames(Statement& s, std::vector<std::pair<std::string, UInt32>>& names) {
  auto lookup = [&](std::string_view word) -> std::optional<UInt32> {
    std::string f = Folded(word);
    if (f == "player" || f == "playerref") return kPlayerRef;
    for (auto it = names.rbegin(); it != names.rend(); ++it)
      if (it->first == f) return it->second;
    return std::nullopt;
  };
  std::vector<Token>& a = s.args;
  if (Defines(s.verb) && !a.empty()) {
    // Keyword options may come in any order after the positional arguments.
    std::vector<Token> kept{a[0]};
    for (std::size_t i = 1; i < a.size(); ++i) {
      const std::string& w = a[i].text;
      const bool option =
          a[i].kind == TokenKind::Word && (w == "name" || w == "script" || w == "fullname" ||
                                           (w == "delay" && s.verb == Verb::Quest));
      if (!option) {
        kept.push_back(a[i]);
        continue;
      }
      if (i + 1 >= a.size()) return w + " needs a value";
      const Token& v = a[i + 1];
      // The display name is quoted text: it may hold spaces ("Sunny Smiles").
      const TokenKind kind = w == "fullname" ? TokenKind::String : TokenKind::Word;
      if (w == "delay" ? !ParseNumber(v).has_value() : v.kind != kind)
        return "bad " + w + " " + Spell(v);
      if (w == "script" && s.verb != Verb::Npc && s.verb != Verb::Creature &&
          s.verb != Verb::Form && s.verb != Verb::Quest)
        return "only npc, creature, form and quest take a script";
      s.options.emplace_back(w, v);
      ++i;
    }
    a = std::move(kept);
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    Token& t = a[i];
    if (t.kind != TokenKind::Word || !NamesForms(s.verb, i) || ParseFormId(t)) continue;
    if ((s.verb == Verb::ExpectVar || s.verb == Verb::ExpectVarFloat) && i == 0) {
      // OWNER.VAR: the owner may be an editor id.
      std::size_t dot = t.text.find('.');
      if (dot == std::string::npos) return "expected OWNER.VAR, not " + Spell(t);
      if (auto id = lookup(t.text.substr(0, dot))) t.text = Hex(*id) + t.text.substr(dot);
      continue;
    }
    if (auto id = lookup(t.text)) t.text = Hex(*id);
  }
  for (const auto& [w, v] : s.options) {
    if (w != "name") continue;
    std::optional<UInt32> id = a.empty() ? std::nullopt : ParseFormId(a[0]);
    if (!id) return "name needs a form id first";
    names.emplace_back(Folded(v.text), *id);
  }
  return {};
}

}  // namespace cv::sim
