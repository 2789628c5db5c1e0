// The scenario statements, as corvane-sim reads them.
//
// World:    loadorder "A.esm" ... | mod "X.esp" | form ID | quest ID
//           | npc ID [MODEL] [template TEMPLATE] [use-model]
//           | creature ID [MODEL] [template TEMPLATE] [use-model]
//           | leveled ID | linked ID [PARENT] | list ID [ENTRY ...]
//           | ref ID BASE | actor ID BASE | talk ACTOR SUBJECT TARGET
//           | talk ACTOR none | stringvar N "text" | questvar QUEST N VALUE
//           | remove ID | global ID short|long|float VALUE
// Calls:    run|console|eval REF COMMAND ARG...   (REF may be -)
// Messages: message postload|exitgame|exittomenu|newgame
//           | message loadgame|savegame|deletegame|renamegame|renamenewgame "text"
//           | message N ["text"]
// Checks:   expect VALUE | expect-float NUMBER | expect-array [KEY VALUE]... | expect-console
// "line"|none
//           | expect-log "text" | expect-file "path" present|absent | show-file "path"
//
// Besides the language above, two statements serve fault-injection tests:
//   fault NAME N KIND   the Nth call from now of the host operation NAME fails;
//                       KIND is return (the failing answer of the real call),
//                       std (a standard exception), int (a thrown integer) or
//                       other (a value of another type)
//   fault clear         disarms every fault
// NAME is one of extract, CreateStringMap, SetElement, Assign, GetString,
// AssignCommandResult, engine.<operation of the engine table> (for example
// engine.LookupFormByID), or a name the plug-in itself checks when it shares
// the process with the host.
#include "sim/scenario/scenario.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

namespace cv::sim {

namespace {

struct VerbName {
  const char* word;
  Verb verb;
};

constexpr std::array kVerbs = {
    VerbName{"loadorder", Verb::LoadOrder},
    VerbName{"mod", Verb::Mod},
    VerbName{"form", Verb::Form},
    VerbName{"quest", Verb::Quest},
    VerbName{"global", Verb::Global},
    VerbName{"npc", Verb::Npc},
    VerbName{"creature", Verb::Creature},
    VerbName{"leveled", Verb::Leveled},
    VerbName{"linked", Verb::Linked},
    VerbName{"list", Verb::List},
    VerbName{"ref", Verb::Ref},
    VerbName{"actor", Verb::Actor},
    VerbName{"talk", Verb::Talk},
    VerbName{"stringvar", Verb::StringVar},
    VerbName{"questvar", Verb::QuestVar},
    VerbName{"remove", Verb::Remove},
    VerbName{"run", Verb::Run},
    VerbName{"console", Verb::Console},
    VerbName{"eval", Verb::Eval},
    VerbName{"message", Verb::Message},
    VerbName{"expect", Verb::Expect},
    VerbName{"expect-float", Verb::ExpectFloat},
    VerbName{"expect-array", Verb::ExpectArray},
    VerbName{"expect-console", Verb::ExpectConsole},
    VerbName{"expect-log", Verb::ExpectLog},
    VerbName{"expect-file", Verb::ExpectFile},
    VerbName{"show-file", Verb::ShowFile},
    VerbName{"fault", Verb::Fault},
    VerbName{"script", Verb::Script},
    VerbName{"call", Verb::CallScript},
    VerbName{"event", Verb::Event},
    VerbName{"frames", Verb::Frames},
    VerbName{"startquest", Verb::StartQuest},
    VerbName{"stopquest", Verb::StopQuest},
    VerbName{"expect-var", Verb::ExpectVar},
    VerbName{"expect-var-float", Verb::ExpectVarFloat},
};

struct MessageName {
  const char* word;
  int type;
  bool text;
};

constexpr std::array kMessages = {
    MessageName{"postload", 0, false},      MessageName{"exitgame", 1, false},
    MessageName{"exittomenu", 2, false},    MessageName{"newgame", 14, false},
    MessageName{"loadgame", 3, true},       MessageName{"savegame", 4, true},
    MessageName{"deletegame", 15, true},    MessageName{"renamegame", 16, true},
    MessageName{"renamenewgame", 17, true},
};

// Shape checks; each returns an empty string when the arguments fit.
using Args = std::vector<Token>;

std::string Id(const Token& t, const char* what) {
  if (ParseFormId(t)) return {};
  return std::string("bad ") + what + " " + Spell(t) + " (a hexadecimal form id)";
}

std::string IdOrNone(const Token& t, const char* what) { return IsNone(t) ? "" : Id(t, what); }

std::string Integer(const Token& t, const char* what) {
  if (ParseInteger(t)) return {};
  return std::string("bad ") + what + " " + Spell(t) + " (a whole number)";
}

std::string Number(const Token& t, const char* what) {
  if (ParseNumber(t)) return {};
  return std::string("bad ") + what + " " + Spell(t) + " (a number)";
}

// The first failed check, in order.
std::string First(std::initializer_list<std::string> results) {
  for (const std::string& r : results)
    if (!r.empty()) return r;
  return {};
}

std::string CheckList(const Args& a, std::size_t from, const char* what) {
  for (std::size_t i = from; i < a.size(); ++i)
    if (std::string e = IdOrNone(a[i], what); !e.empty()) return e;
  return {};
}

std::string CheckMessage(const Args& a) {
  if (a.empty() || a.size() > 2) return "usage: message NAME|N [\"text\"]";
  if (a[0].kind == TokenKind::Number) return Integer(a[0], "message type");
  if (MessageTypeByName(a[0].text) < 0) return "unknown message " + Spell(a[0]);
  bool wantsText = MessageNameTakesText(a[0].text);
  if (wantsText && a.size() != 2) return "message " + a[0].text + " needs a text";
  if (!wantsText && a.size() != 1) return "message " + a[0].text + " takes no text";
  return {};
}

std::string CheckFault(const Args& a) {
  if (a.size() == 1 && a[0].kind == TokenKind::Word && a[0].text == "clear") return {};
  if (a.size() != 3) return "usage: fault NAME N return|std|int|other, or fault clear";
  if (auto n = ParseInteger(a[1]); !n || *n < 1) return "bad call number " + Spell(a[1]);
  const std::string& k = a[2].text;
  if (k != "return" && k != "std" && k != "int" && k != "other")
    return "bad fault kind " + Spell(a[2]) + " (return, std, int or other)";
  return {};
}

std::string CheckCall(const Args& a) {
  if (a.size() < 2) return "usage: run|console|eval REF COMMAND ARG...";
  std::string ref = (a[0].kind == TokenKind::Word && a[0].text == "-") ? "" : Id(a[0], "reference");
  if (!ref.empty()) return ref;
  if (a[1].kind != TokenKind::Word) return "bad command name " + Spell(a[1]);
  return {};
}

struct Arity {
  Verb verb;
  std::size_t min, max;
  const char* usage;
};

constexpr std::size_t kMany = SIZE_MAX;
constexpr std::array kArity = {
    Arity{Verb::LoadOrder, 0, kMany, "loadorder \"A.esm\" ..."},
    Arity{Verb::Mod, 1, 1, "mod \"X.esp\""},
    Arity{Verb::Form, 1, 1, "form ID"},
    Arity{Verb::Quest, 1, 1, "quest ID"},
    Arity{Verb::Global, 3, 3, "global ID short|long|float VALUE"},
    Arity{Verb::Remove, 1, 1, "remove ID"},
    Arity{Verb::Npc, 1, 5, "npc ID [MODEL] [template TEMPLATE] [use-model]"},
    Arity{Verb::Creature, 1, 5, "creature ID [MODEL] [template TEMPLATE] [use-model]"},
    Arity{Verb::Leveled, 1, 1, "leveled ID"},
    Arity{Verb::Linked, 1, 2, "linked ID [PARENT]"},
    Arity{Verb::List, 1, kMany, "list ID [ENTRY ...]"},
    Arity{Verb::Ref, 2, 2, "ref ID BASE"},
    Arity{Verb::Actor, 2, 2, "actor ID BASE"},
    Arity{Verb::Talk, 2, 3, "talk ACTOR SUBJECT TARGET, or talk ACTOR none"},
    Arity{Verb::StringVar, 2, 2, "stringvar N \"text\""},
    Arity{Verb::QuestVar, 3, 3, "questvar QUEST N VALUE"},
    Arity{Verb::Run, 2, kMany, "run REF COMMAND ARG..."},
    Arity{Verb::Console, 2, kMany, "console REF COMMAND ARG..."},
    Arity{Verb::Eval, 2, kMany, "eval REF COMMAND ARG..."},
    Arity{Verb::Message, 1, 2, "message NAME|N [\"text\"]"},
    Arity{Verb::Expect, 1, 1, "expect VALUE"},
    Arity{Verb::ExpectFloat, 1, 1, "expect-float NUMBER"},
    Arity{Verb::ExpectArray, 0, kMany, "expect-array [KEY VALUE]..."},
    Arity{Verb::ExpectConsole, 1, 1, "expect-console \"line\"|none"},
    Arity{Verb::ExpectLog, 1, 1, "expect-log \"text\""},
    Arity{Verb::ExpectFile, 2, 2, "expect-file \"path\" present|absent"},
    Arity{Verb::ShowFile, 1, 1, "show-file \"path\""},
    Arity{Verb::Fault, 1, 3, "fault NAME N return|std|int|other, or fault clear"},
    Arity{Verb::Script, 1, 1, "script \"FILE\""},
    Arity{Verb::CallScript, 1, kMany, "call SCRIPT [ARG...]"},
    Arity{Verb::Event, 2, 3, "event REF BLOCKTYPE [ARG]"},
    Arity{Verb::Frames, 1, 4, "frames N [menu] [seconds S]"},
    Arity{Verb::StartQuest, 1, 1, "startquest QUEST"},
    Arity{Verb::StopQuest, 1, 1, "stopquest QUEST"},
    Arity{Verb::ExpectVar, 2, 2, "expect-var OWNER.VAR VALUE"},
    Arity{Verb::ExpectVarFloat, 2, 2, "expect-var-float OWNER.VAR NUMBER"},
};

std::string CheckArgs(Verb v, const Args& a) {
  switch (v) {
    case Verb::Form:
    case Verb::Quest:
    case Verb::Remove:
    case Verb::Leveled: return Id(a[0], "form id");
    case Verb::Npc:
    case Verb::Creature: {
      ActorBaseArgs unused;
      return First({Id(a[0], "form id"), ParseActorBaseArgs(a, unused)});
    }
    case Verb::Linked:
    case Verb::List: return First({Id(a[0], "form id"), CheckList(a, 1, "form id")});
    case Verb::Ref:
    case Verb::Actor: return First({Id(a[0], "form id"), IdOrNone(a[1], "base form")});
    case Verb::Talk:
      if (a.size() == 2 && !IsNone(a[1]))
        return "usage: talk ACTOR SUBJECT TARGET, or talk ACTOR none";
      return First({Id(a[0], "actor"), CheckList(a, 1, "conversation partner")});
    case Verb::Global:
      if (a[1].kind != TokenKind::Word ||
          (a[1].text != "short" && a[1].text != "long" && a[1].text != "float"))
        return "bad global type " + Spell(a[1]) + " (short, long or float)";
      return First({Id(a[0], "form id"), Number(a[2], "value")});
    case Verb::StringVar: return Integer(a[0], "string variable id");
    case Verb::QuestVar:
      return First({Id(a[0], "quest"), Integer(a[1], "variable number"), Number(a[2], "value")});
    case Verb::Run:
    case Verb::Console:
    case Verb::Eval: return CheckCall(a);
    case Verb::Message: return CheckMessage(a);
    case Verb::ExpectFloat: return Number(a[0], "number");
    case Verb::ExpectArray: return a.size() % 2 == 0 ? "" : "usage: expect-array [KEY VALUE]...";
    case Verb::ExpectFile:
      if (a[1].text != "present" && a[1].text != "absent")
        return "bad file state " + Spell(a[1]) + " (present or absent)";
      return {};
    case Verb::Fault: return CheckFault(a);
    case Verb::Script:
      return a[0].kind == TokenKind::String ? "" : "usage: script \"FILE\"";
    case Verb::Event:
      return First({Id(a[0], "reference"), a.size() > 2 ? IdOrNone(a[2], "form id") : ""});
    case Verb::StartQuest:
    case Verb::StopQuest: return Id(a[0], "quest");
    case Verb::Frames: {
      if (auto n = ParseInteger(a[0]); !n || *n < 0) return "bad frame count " + Spell(a[0]);
      std::size_t i = 1;
      if (i < a.size() && a[i].text == "menu") ++i;
      if (i + 1 < a.size() && a[i].text == "seconds") {
        if (auto sec = ParseNumber(a[i + 1]); !sec || !(*sec > 0)) return "bad seconds " + Spell(a[i + 1]);
        i += 2;
      }
      return i == a.size() ? "" : "usage: frames N [menu] [seconds S]";
    }
    case Verb::ExpectVarFloat: return Number(a[1], "number");
    default: return {};
  }
}

std::string CheckShape(Verb v, const Args& a) {
  for (const Arity& ar : kArity)
    if (ar.verb == v && (a.size() < ar.min || a.size() > ar.max))
      return std::string("usage: ") + ar.usage;
  return CheckArgs(v, a);
}

}  // namespace

std::string ParseActorBaseArgs(const std::vector<Token>& a, ActorBaseArgs& out) {
  out = {};
  auto keyword = [&](std::size_t i, const char* word) {
    return a[i].kind == TokenKind::Word && a[i].text == word;
  };
  std::size_t i = 1;
  if (i < a.size() && !keyword(i, "template") && !keyword(i, "use-model")) out.model = a[i++].text;
  for (; i < a.size(); ++i) {
    if (keyword(i, "use-model") && !out.useModel) {
      out.useModel = true;
    } else if (keyword(i, "template") && out.templateForm == nullptr && i + 1 < a.size()) {
      out.templateForm = &a[++i];
      if (std::string e = IdOrNone(*out.templateForm, "template"); !e.empty()) return e;
    } else {
      return "unexpected " + Spell(a[i]) + " (ID [MODEL] [template TEMPLATE] [use-model])";
    }
  }
  return {};
}

int MessageTypeByName(std::string_view name) {
  for (const MessageName& m : kMessages)
    if (name == m.word) return m.type;
  return -1;
}

bool MessageNameTakesText(std::string_view name) {
  for (const MessageName& m : kMessages)
    if (name == m.word) return m.text;
  return false;
}

bool ParseScenario(std::string_view text, std::vector<Statement>& out, ParseError& error) {
  out.clear();
  int lineNo = 0;
  std::vector<Token> tokens;
  std::vector<std::pair<std::string, UInt32>> names;
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#') continue;

    std::string why;
    if (!TokenizeLine(line, tokens, why)) {
      error = {lineNo, "bad token: " + why};
      return false;
    }
    const VerbName* verb = nullptr;
    if (tokens[0].kind == TokenKind::Word)
      for (const VerbName& v : kVerbs)
        if (tokens[0].text == v.word) verb = &v;
    if (verb == nullptr) {
      error = {lineNo, "unknown statement " + Spell(tokens[0])};
      return false;
    }
    Statement s{lineNo, verb->verb, std::vector<Token>(tokens.begin() + 1, tokens.end()), {}};
    std::string e = ApplyNames(s, names);
    if (e.empty()) e = CheckShape(s.verb, s.args);
    if (!e.empty()) {
      error = {lineNo, verb->word + std::string(": ") + e};
      return false;
    }
    out.push_back(std::move(s));
  }
  return true;
}

}  // namespace cv::sim
