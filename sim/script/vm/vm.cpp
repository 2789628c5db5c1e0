// The dispatch loop: runs a chunk over a script's variables. Operator
// semantics are in ops.cpp, calls in calls.cpp.
#include <cfloat>
#include <cmath>

#include "sim/script/runtime/interpreter.h"
#include "sim/script/value/convert.h"
#include "sim/script/value/represent.h"

namespace cv::sim::script {

namespace {

struct Try {
  int resume = 0;
  int sp = 0;
  bool report = false;
  long long errors = 0;
};

struct Iter {
  enum class Kind { Array, String, List } kind = Kind::Array;
  ArrayId array = 0;
  bool started = false;
  Key key;
  std::string text;
  std::vector<FormId> forms;
  std::size_t pos = 0;
};

const StmtSpan* SpanAt(const Chunk& c, int pc) {
  for (const StmtSpan& s : c.stmts)
    if (pc >= s.begin && pc < s.end) return &s;
  return nullptr;
}

// The key after `k` in iteration order, looked up again each pass (§12.7):
// erasing the current key ends the loop, keys added after it are visited.
std::optional<Key> NextKey(const ArrayData& a, const Iter& it) {
  switch (a.kind) {
    case ArrayKind::Array: {
      std::size_t i = it.started ? static_cast<std::size_t>(it.key.number) + 1 : 0;
      if (i < a.list.size()) return Key::Num(static_cast<double>(i));
      return std::nullopt;
    }
    case ArrayKind::Map: {
      auto m = it.started ? a.map.upper_bound(it.key.number) : a.map.begin();
      if (m == a.map.end()) return std::nullopt;
      return Key::Num(m->first);
    }
    default: {
      auto m = it.started ? a.smap.upper_bound(it.key.text) : a.smap.begin();
      if (m == a.smap.end()) return std::nullopt;
      return Key::Str(m->first);
    }
  }
}

}  // namespace

RunStatus Interpreter::Execute(const CompiledScript& script, const Chunk& c, Value* vars,
                               FormId callingRef, Value* result) {
  std::vector<Value> stackStore(static_cast<std::size_t>(c.maxStack) + 4);
  Value* stack = stackStore.data();
  int sp = 0;
  std::vector<Try> tries;
  std::vector<Iter> iters;
  frames_.push_back(Frame{&script, 0});
  const Instr* code = c.code.data();
  const Value* consts = c.constants.data();
  int pc = 0;
  RunStatus status = RunStatus::Done;
  bool running = true;
  // Temporary strings made from here on belong to this run's statements.
  // Once a statement is done (nothing left on the stack), no variable,
  // array or stack slot holds them (a variable and an element copy the
  // text), so they are dropped then rather than at the next clean-up; only
  // the function's value may still be one, and it stays.
  StringId mark = strings_.NextId();
  const auto dropTemporaries = [&] {
    if (sp != 0 || strings_.NextId() == mark) return;
    const StringId spare = result != nullptr && result->IsString() ? result->string() : 0;
    strings_.DropTemporariesFrom(mark, spare);
    mark = spare >= mark && strings_.Exists(spare) ? spare : strings_.NextId();
  };
  while (running) {
    const Instr& in = code[pc++];
    bool ok = true;
    switch (in.op) {
      case Op::Const: stack[sp++] = consts[in.a]; break;
      case Op::Str:
        stack[sp++] = Value::String(strings_.New(c.texts[static_cast<std::size_t>(in.a)]));
        break;
      case Op::Load: stack[sp++] = vars[in.a]; break;
      case Op::Store: {
        Value& slot = vars[in.a];
        const Value& v = stack[sp - 1];
        const auto type = static_cast<VarType>(in.b);
        if (v.IsNumber() && type == VarType::Float) {
          slot = v;
        } else if (v.IsNumber() && type == VarType::Int) {
          slot = Value::Number(std::floor(v.number()));  // integers are floored (§1.4)
          stack[sp - 1] = slot;
        } else {
          Value stored;
          ok = StoreVar(slot, type, v, stored);
          if (ok) stack[sp - 1] = stored;
        }
        break;
      }
      case Op::LoadExt:
      case Op::StoreExt: {
        Instance* inst = InstanceOf(c.constants[in.b].form());
        if (inst == nullptr || static_cast<std::size_t>(in.a) >= inst->vars.size()) {
          error_ = "Failed to resolve variable";
          ok = false;
          break;
        }
        if (in.op == Op::LoadExt) {
          stack[sp++] = inst->vars[static_cast<std::size_t>(in.a)];
          break;
        }
        Value stored;
        ok = StoreVar(inst->vars[static_cast<std::size_t>(in.a)],
                      inst->script->vars[static_cast<std::size_t>(in.a)].type, stack[sp - 1],
                      stored);
        if (ok && inst->global) {
          // A global keeps a 32-bit float (§1.4).
          Value& slot = inst->vars[static_cast<std::size_t>(in.a)];
          if (slot.IsNumber()) slot = Value::Number(static_cast<float>(slot.number()));
          stored = slot;
        }
        if (ok) {
          stack[sp - 1] = stored;
          SyncQuestToWorld(*inst);
        }
        break;
      }
      case Op::Pop:  // a statement's end
        --sp;
        dropTemporaries();
        break;
      case Op::Dup2:
        stack[sp] = stack[sp - 2];
        stack[sp + 1] = stack[sp - 1];
        sp += 2;
        break;
      case Op::Jump: pc = in.a; break;
      case Op::JumpIfFalse: {
        const Value& v = stack[--sp];
        if (v.IsNumber() ? v.number() == 0 : !Truthy(v, strings_)) pc = in.a;
        dropTemporaries();  // a condition's end
        break;
      }
      case Op::AddConst: {
        Value& slot = vars[in.a];
        const Value& k = consts[in.c];
        const auto type = static_cast<VarType>(in.b);
        if (slot.IsNumber()) {
          double n = in.pad == static_cast<std::uint8_t>(BinOp::Add) ? slot.number() + k.number()
                                                                     : slot.number() - k.number();
          slot = Value::Number(type == VarType::Int ? std::floor(n) : n);
          break;
        }
        Value sum, stored;
        ok = Binary(static_cast<BinOp>(in.pad), slot, k, sum) && StoreVar(slot, type, sum, stored);
        break;
      }
      case Op::JumpIfNot: {
        const Value& l = vars[in.b];
        const Value& r =
            (in.pad & kRightIsVar) != 0 ? vars[in.c] : consts[static_cast<std::size_t>(in.c)];
        const auto op = static_cast<BinOp>(in.pad & kCompareMask);
        const bool holdsJumps = (in.pad & kJumpIfHolds) != 0;
        if (l.IsNumber() && r.IsNumber()) {
          // The orderings as Binary has them (§4.2); == and != go there.
          const double a = l.number(), b = r.number();
          int holds = -1;
          switch (op) {
            case BinOp::Lt: holds = b - a > DBL_EPSILON; break;
            case BinOp::Gt: holds = a - b > DBL_EPSILON; break;
            case BinOp::Le: holds = a <= b; break;
            case BinOp::Ge: holds = a >= b; break;
            default: break;
          }
          if (holds >= 0) {
            if ((holds != 0) == holdsJumps) pc = in.a;
            break;
          }
        }
        Value out;
        ok = Binary(op, l, r, out);
        if (ok && Truthy(out, strings_) == holdsJumps) pc = in.a;
        break;
      }
      case Op::JumpIfFalseKeep:
      case Op::JumpIfTrueKeep: {
        bool t = Truthy(stack[sp - 1], strings_);
        if (t == (in.op == Op::JumpIfTrueKeep)) {
          stack[sp - 1] = Value::Bool(t);
          pc = in.a;
        } else {
          --sp;
        }
        break;
      }
      case Op::ToBool: stack[sp - 1] = Value::Bool(Truthy(stack[sp - 1], strings_)); break;
      case Op::Binary: {
        Value& l = stack[sp - 2];
        const Value& r = stack[sp - 1];
        const auto op = static_cast<BinOp>(in.a);
        if (l.IsNumber() && r.IsNumber() && op == BinOp::Add) {
          l = Value::Number(l.number() + r.number());
        } else if (l.IsNumber() && r.IsNumber() && op == BinOp::Lt) {
          l = Value::Bool(r.number() - l.number() > DBL_EPSILON);  // §4.2, as Binary
        } else {
          Value out;
          ok = Binary(op, l, r, out);
          l = out;
        }
        --sp;
        break;
      }
      case Op::Unary: ok = Unary(static_cast<UnOp>(in.a), stack[sp - 1], stack[sp - 1]); break;
      case Op::Index:
        ok = IndexOf(stack[sp - 2], stack[sp - 1], in.b != 0, stack[sp - 2], (in.pad & 1) != 0,
                     (in.pad & 2) != 0);
        --sp;
        break;
      case Op::Slice:
        ok = SliceOf(stack[sp - 3], stack[sp - 2], stack[sp - 1], in.b != 0, stack[sp - 3]);
        sp -= 2;
        break;
      case Op::StoreIndex:
        ok = StoreIndex(stack[sp - 3], stack[sp - 2], stack[sp - 1]);
        stack[sp - 3] = stack[sp - 1];
        sp -= 2;
        break;
      case Op::Call: {
        const CallSite& site = c.calls[static_cast<std::size_t>(in.a)];
        const int n = in.b;
        Value out;
        bool stop = false;
        frames_.back().line = c.lines[static_cast<std::size_t>(pc - 1)];
        ok = CallSiteRun(site, stack + sp - n, callingRef, out, stop);
        sp -= n;
        stack[sp++] = out;
        break;
      }
      case Op::CallFunction: {
        const int n = in.b;
        Value out;
        frames_.back().line = c.lines[static_cast<std::size_t>(pc - 1)];
        CallFunction(stack[sp - n - 1], std::span<const Value>(stack + sp - n, n), callingRef, out);
        sp -= n;
        stack[sp - 1] = out;
        break;
      }
      case Op::Lambda: stack[sp++] = Value::Function(LambdaFunction(script, in.a, vars)); break;
      case Op::SetResult:
        if (result != nullptr) *result = stack[sp - 1];
        break;
      case Op::Print:
        Console(in.pad == 1 ? PrintVarText(script, in.c, stack[sp - 1])
                            : Represent(stack[sp - 1], *this));
        break;
      case Op::Eval: {
        const Value& v = stack[sp - 1];
        stack[sp - 1] = Value::Bool(in.b == 0 ? Truthy(v, strings_)
                                              : (v.IsNumber() && v.number() != 0) ||
                                                    (v.IsForm() && v.form() != 0));
        break;
      }
      case Op::Assert: {
        // Assert tests GetNumber, not GetBool (§10.1).
        const Value& tested = stack[sp - 1];
        const bool passed =
            in.b == 1 ? tested.IsString() && tested.string() != 0 : NumberOf(tested) != 0;
        const std::string text = AssertLineText(script, in.a);
        if (!passed) {
          Console("Assertion failed!");
          if (!text.empty()) Console("\t" + text);
          const std::string where =
              WhereText(script, c.assertVars[static_cast<std::size_t>(in.c)], vars);
          if (!where.empty()) Console("\t" + where);
        }
        events_.Assertion(script.file, in.a, passed, text);
        stack[sp - 1] = Value::Number(1);
        break;
      }
      case Op::TryBegin:
        tries.push_back(Try{in.a, sp, in.b != 0, errorCount_});
        if (in.b == 0) ++suppress_;
        break;
      case Op::TryEnd: {
        Try t = tries.back();
        tries.pop_back();
        if (!t.report) {
          --suppress_;
          stack[sp - 1] = Value::Bool(errorCount_ == t.errors);
        }
        break;
      }
      case Op::IterInit: {
        Value src = stack[--sp];
        Iter it;
        if (src.IsArray() && arrays_.Get(src.array()) != nullptr) {
          it.array = src.array();
        } else if (src.IsString() && strings_.Exists(src.string())) {
          it.kind = Iter::Kind::String;
          it.text = std::string(strings_.Text(src.string()));
        } else if (src.IsForm() && host_.world.Lookup(src.form()) != nullptr &&
                   host_.world.Lookup(src.form())->kind == FormKind::FormList) {
          it.kind = Iter::Kind::List;
          for (const cv::sim::Form* f : host_.world.Lookup(src.form())->entries)
            it.forms.push_back(f != nullptr ? f->id : 0);
        } else {
          error_ = "Cmd_ForEach: Expression does not evaluate to a ForEach context";
          ok = false;
          break;
        }
        iters.push_back(std::move(it));
        break;
      }
      case Op::IterNext: {
        Iter& it = iters.back();
        const auto type =
            static_cast<VarType>(script.vars[in.b].type);  // the iterator variable's own type
        Value next;
        bool more = false;
        if (it.kind == Iter::Kind::Array) {
          const ArrayData* a = arrays_.Get(it.array);
          std::optional<Key> k = a != nullptr ? NextKey(*a, it) : std::nullopt;
          if (k) {
            // Each pass the iterator is {"key": k, "value": v} (§12.7).
            Value elem = arrays_.ToValue(*a->Find(*k));
            ArrayId pair = arrays_.Create(ArrayKind::StringMap);
            arrays_.Set(
                pair, Key::Str("key"),
                k->isString ? Value::String(strings_.New(k->text)) : Value::Number(k->number));
            arrays_.Set(pair, Key::Str("value"), elem);
            it.key = *k;
            it.started = true;
            next = Value::Array(pair);
            more = true;
          }
        } else if (it.kind == Iter::Kind::String) {
          if (it.pos < it.text.size()) {
            next = Value::String(strings_.New(it.text.substr(it.pos++, 1)));
            more = true;
          }
        } else if (it.pos < it.forms.size()) {
          next = Value::Form(it.forms[it.pos++]);
          more = true;
        }
        Value stored;
        if (!more) {
          iters.pop_back();
          // After the loop the iterator variable is released (§12.7).
          StoreVar(vars[in.b], type,
                   type == VarType::Array ? Value::Array(0)
                   : type == VarType::Ref ? Value::Form(0)
                                          : Value::Number(0),
                   stored);
          pc = in.a;
        } else {
          ok = StoreVar(vars[in.b], type, next, stored);
        }
        break;
      }
      case Op::IterEnd: {
        // A loop left by break releases its iterator too (§12.7).
        iters.pop_back();
        const auto type = static_cast<VarType>(script.vars[in.b].type);
        Value stored;
        StoreVar(vars[in.b], type,
                 type == VarType::Array ? Value::Array(0)
                 : type == VarType::Ref ? Value::Form(0)
                                        : Value::Number(0),
                 stored);
        break;
      }
      case Op::Return:
        status = in.a == 0 && pc == static_cast<int>(c.code.size()) ? RunStatus::Done
                                                                    : RunStatus::Returned;
        running = false;
        break;
    }
    if (ok) continue;
    // An operation failed (§8): inside eval/TestExpr/Assert the expression
    // gives 0; otherwise an xNVSE statement is abandoned and the script
    // goes on at the next line, and a vanilla one stops the script for
    // this run (§5.2).
    ++errorCount_;
    const int line = c.lines[static_cast<std::size_t>(pc - 1)];
    if (!tries.empty()) {
      Try t = tries.back();
      tries.pop_back();
      if (t.report) ReportError(script, line, error_);
      if (!t.report) --suppress_;
      sp = t.sp;
      stack[sp++] = Value::Number(0);
      pc = t.resume;  // past the try's end: its 0 stands
      continue;
    }
    ReportError(script, line, error_);
    const StmtSpan* span = SpanAt(c, pc - 1);
    if (span != nullptr && !span->vanilla) {
      sp = 0;
      pc = span->resume;
      dropTemporaries();
      continue;
    }
    status = RunStatus::Stopped;
    running = false;
  }
  frames_.pop_back();
  return status;
}

}  // namespace cv::sim::script
