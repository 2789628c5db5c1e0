#include "sim/scenario/runner.h"

#include <filesystem>

#include "platform/fault.h"

namespace cv::sim {

Runner::Runner(Host& host, std::ostream& out, std::ostream& err, std::string gameRoot,
               std::string pluginLog)
    : host_(host),
      out_(out),
      err_(err),
      gameRoot_(std::move(gameRoot)),
      pluginLog_(std::move(pluginLog)) {}

int Runner::Run(const std::vector<Statement>& statements, const std::string& file,
                std::string_view source) {
  failed_ = false;
  file_ = file;
  lines_ = SourceLines(source);
  for (const Statement& s : statements) {
    // Once a script failed to load, only the other scripts still load, so
    // that one run lists every script's faults.
    if (scriptsBroken_ && s.verb != Verb::Script) continue;
    try {
      Execute(s);
    } catch (const ScenarioError& e) {
      inCheck_ = false;
      out_.flush();
      err_ << file << ":" << s.line << ": " << e.message << std::endl;
      CheckRecord stop = Record(s.line, CheckRecord::Outcome::Stopped);
      stop.message = e.message;
      report_.Add(std::move(stop));
      return kUnreadable;
    }
  }
  if (scriptsBroken_) return kUnreadable;
  return failed_ ? kCheckFailed : kPassed;
}

CheckRecord Runner::Record(int line, CheckRecord::Outcome outcome) const {
  CheckRecord r;
  r.outcome = outcome;
  r.file = file_;
  r.line = line;
  if (line >= 1 && static_cast<std::size_t>(line) <= lines_.size()) r.statement = lines_[line - 1];
  return r;
}

void Runner::Execute(const Statement& s) {
  void (Runner::*check)(const Statement&) = nullptr;
  switch (s.verb) {
    case Verb::Run:
    case Verb::Console:
    case Verb::Eval: return Call(s);
    case Verb::Message:
      SendMessage(s);
      return ScriptMessage(s);
    case Verb::Script:
    case Verb::CallScript:
    case Verb::Event:
    case Verb::Frames:
    case Verb::StartQuest:
    case Verb::StopQuest: return ScriptStatement(s);
    case Verb::ExpectVar:
    case Verb::ExpectVarFloat: check = &Runner::ExpectVar; break;
    case Verb::Fault: return Fault(s);
    case Verb::ShowFile: return ShowFile(s);
    case Verb::Expect: check = &Runner::Expect; break;
    case Verb::ExpectFloat: check = &Runner::ExpectFloat; break;
    case Verb::ExpectArray: check = &Runner::ExpectArray; break;
    case Verb::ExpectConsole: check = &Runner::ExpectConsole; break;
    case Verb::ExpectLog: check = &Runner::ExpectLog; break;
    case Verb::ExpectFile: check = &Runner::ExpectFile; break;
    default:
      ChangeWorld(s);
      return ApplyOptions(s);
  }
  check_ = Record(s.line, CheckRecord::Outcome::Held);
  inCheck_ = true;
  (this->*check)(s);
  inCheck_ = false;
  report_.Add(std::move(check_));
}

Form* Runner::Resolve(const Token& t) const {
  UInt32 id = *ParseFormId(t);
  Form* f = host_.world.Known(id);
  if (f == nullptr) throw ScenarioError{"unknown form id " + FormatForm(id)};
  return f;
}

Form* Runner::ResolveOrNone(const Token& t) const { return IsNone(t) ? nullptr : Resolve(t); }

void Runner::ChangeWorld(const Statement& s) {
  World& w = host_.world;
  const std::vector<Token>& a = s.args;
  // The forms a statement names, resolved before the form it defines
  // changes; a form may name itself.
  auto id = [&] { return *ParseFormId(a[0]); };
  auto named = [&](const Token& t) -> Form* {
    if (!IsNone(t) && ParseFormId(t) == id() && w.Known(id()) == nullptr) return nullptr;
    return ResolveOrNone(t);
  };
  auto selfOr = [&](const Token& t, Form* resolved, Form& self) {
    return !IsNone(t) && *ParseFormId(t) == self.id ? &self : resolved;
  };

  switch (s.verb) {
    case Verb::LoadOrder:
      w.mods.clear();
      for (const Token& t : a) w.mods.push_back(t.text);
      break;
    case Verb::Mod: w.mods.push_back(a[0].text); break;
    case Verb::Form: w.Define(id(), FormKind::Plain); break;
    case Verb::Quest: w.Define(id(), FormKind::Quest); break;
    case Verb::Global:
      w.Define(id(), FormKind::Plain);
      DefineGlobal(s);
      break;
    case Verb::Npc:
    case Verb::Creature: {
      ActorBaseArgs b;
      ParseActorBaseArgs(a, b);  // the shape was checked when the file was read
      Form* templateForm = b.templateForm != nullptr ? named(*b.templateForm) : nullptr;
      Form& f = w.Define(id(), s.verb == Verb::Npc ? FormKind::Npc : FormKind::Creature);
      f.skeleton = b.model;
      if (b.templateForm != nullptr) f.parent = selfOr(*b.templateForm, templateForm, f);
      f.useModel = b.useModel;
      break;
    }
    case Verb::Leveled: w.Define(id(), FormKind::Leveled); break;
    // A creature with no model of its own, its template the parent.
    case Verb::Linked: {
      Form* parent = a.size() > 1 ? named(a[1]) : nullptr;
      Form& f = w.Define(id(), FormKind::Creature);
      if (a.size() > 1) f.parent = selfOr(a[1], parent, f);
      break;
    }
    case Verb::List: {
      std::vector<Form*> entries;
      for (std::size_t i = 1; i < a.size(); ++i) entries.push_back(named(a[i]));
      Form& f = w.Define(id(), FormKind::FormList);
      for (std::size_t i = 1; i < a.size(); ++i)
        f.entries.push_back(selfOr(a[i], entries[i - 1], f));
      break;
    }
    case Verb::Ref:
    case Verb::Actor: {
      Form* base = named(a[1]);
      Form& f = w.Define(id(), s.verb == Verb::Ref ? FormKind::Reference : FormKind::Actor);
      f.base = selfOr(a[1], base, f);
      break;
    }
    case Verb::Talk: {
      Form* actor = Resolve(a[0]);
      if (actor->kind != FormKind::Actor)
        throw ScenarioError{"talk: " + FormatForm(actor->id) + " is not an actor"};
      if (a.size() == 2) {
        actor->process->activity = nullptr;
      } else {
        actor->process->activity = w.NewConversation(ResolveOrNone(a[1]), ResolveOrNone(a[2]));
      }
      break;
    }
    case Verb::StringVar: w.stringVars[static_cast<UInt32>(*ParseInteger(a[0]))] = a[1].text; break;
    case Verb::QuestVar: {
      Form* quest = Resolve(a[0]);
      if (quest->kind != FormKind::Quest)
        throw ScenarioError{"questvar: " + FormatForm(quest->id) + " is not a quest"};
      quest->variables[static_cast<UInt32>(*ParseInteger(a[1]))] = *ParseNumber(a[2]);
      break;
    }
    case Verb::Remove: Resolve(a[0])->present = false; break;
    default: throw ScenarioError{"not a world statement"};
  }
}

void Runner::SendMessage(const Statement& s) {
  const std::vector<Token>& a = s.args;
  UInt32 type = a[0].kind == TokenKind::Number ? static_cast<UInt32>(*ParseInteger(a[0]))
                                               : static_cast<UInt32>(MessageTypeByName(a[0].text));
  const char* text = a.size() > 1 ? a[1].text.c_str() : nullptr;
  host_.errors.clear();
  try {
    host_.SendMessage(type, text);
  } catch (...) {
    Fail(s.line, "the message listener to catch its failures", "an exception in the host");
  }
  ReportHostErrors(s.line);
}

void Runner::Fault(const Statement& s) {
  const std::vector<Token>& a = s.args;
  if (a.size() == 1) {
    fault::DisarmAll();
    return;
  }
  const std::string& k = a[2].text;
  fault::Kind kind = k == "return" ? fault::Kind::Return
                     : k == "std"  ? fault::Kind::StdError
                     : k == "int"  ? fault::Kind::Integer
                                   : fault::Kind::Other;
  // N counts from now, whatever was counted before.
  auto nth = static_cast<std::uint32_t>(*ParseInteger(a[1]));
  fault::Arm(a[0].text, fault::Calls(a[0].text) + nth, kind);
}

void Runner::Fail(int line, const std::string& expected, const std::string& got) {
  failed_ = true;
  if (inCheck_ && check_.outcome == CheckRecord::Outcome::Held) {
    check_.outcome = CheckRecord::Outcome::Failed;
    check_.expected = expected;
    check_.got = got;
  } else {
    // A call or message that broke a rule of the host: one more check, failed.
    CheckRecord r = Record(line, CheckRecord::Outcome::Failed);
    r.expected = expected;
    r.got = got;
    report_.Add(std::move(r));
  }
  out_.flush();
  err_ << file_ << ":" << line << ": FAIL expected " << expected << ", got " << got << std::endl;
}

void Runner::ReportHostErrors(int line) {
  for (const std::string& e : host_.errors) Fail(line, "the host used as published", e);
  host_.errors.clear();
}

std::string Runner::FilePath(const std::string& hostPath) const {
  std::string p = hostPath;
  for (char& c : p)
    if (c == '\\') c = '/';
  return (std::filesystem::path(gameRoot_) / p).string();
}

}  // namespace cv::sim
