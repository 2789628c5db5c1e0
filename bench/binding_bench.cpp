// The game binding's cost against the table engine's, through the real
// plug-in DLL, in one process and one run: the program is linked as the
// miniature game image, the DLL is loaded twice (two copies of the file, so
// two instances), one chooses the game binding over the image and the other
// the program's engine table over a world kept out of the image. Each
// command runs through its own handler with the host's argument extraction,
// as a script calls it, and is printed as the binding's time per call over
// the table engine's:
//   CV_GetEVFl: binding 0.41 us, table 0.33 us, ratio 1.24 (target <= 1.5: met)
//   binding_bench [PLUGIN.dll]   (default: the build's game folder's plug-in)
// Exits 3 when a target is missed, 2 when the bench cannot run or the two
// engines disagree on a result. Not a test: timings vary from run to run.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/host/plugin_library.h"
#include "sim/image/game_image.h"
#include "sim/image/game_layout.h"
#include "sim/scenario/session.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace cv::sim;

// Any runtime the binding is not for: the plug-in then takes the table the
// program serves.
constexpr UInt32 kOtherRuntime = 0x040020D1;
NVSEPlugin_Load_t g_tableLoad = nullptr;
bool LoadForTable(const NVSEInterface* nvse) {
  static NVSEInterface other;
  other = *nvse;
  other.runtimeVersion = kOtherRuntime;
  return g_tableLoad(&other);
}

// The world both engines read. 00000103 takes its model from 00000102, from
// 00000101, from 00000100: a three-step template chain in the image (the
// table engine has no chains, so its world gives 00000103 the model itself).
// The list holds 100 forms; the one asked for is the last.
std::string WorldText(bool image) {
  std::ostringstream t;
  t << "loadorder \"FalloutNV.esm\"\n"
       "npc 00000007 \"Characters\\_Male\\skeleton.nif\"\n"
       "actor 00000014 00000007\n"
       "npc 00000100 \"Characters\\_Male\\skeleton.nif\"\n"
       "npc 00000101 \"Creatures\\B\\skeleton.nif\"\n"
       "npc 00000102 \"Creatures\\C\\skeleton.nif\"\n"
    << "npc 00000103 "
    << (image ? "\"Creatures\\D\\skeleton.nif\"\n" : "\"Characters\\_Male\\skeleton.nif\"\n")
    << "actor 00000200 00000103\n";
  std::string entries;
  for (int i = 0; i < 100; ++i) {
    char id[16];
    std::snprintf(id, sizeof id, "%08X", 0x400 + i);
    t << "form " << id << "\n";
    entries += std::string(" ") + id;
  }
  t << "list 00000300" << entries << "\n"
    << "run 00000014 CV_SetEVFl Mood 3\n";
  return t.str();
}

void ChainTemplates(World& world) {
  using namespace cv::sim::game_layout;
  for (UInt32 id = 0x101; id <= 0x103; ++id) {
    void* base = world.Handle(world.Known(id));
    image::Put(base, kBaseTemplate, world.Handle(world.Known(id - 1)));
    image::Put<std::uint16_t>(base, kBaseTemplateFlags, kTemplateUseModel);
  }
}

struct Op {
  const char* name;
  UInt32 self;  // the calling reference, 0 for none
  std::vector<Token> args;
  double target;
};

Token Word(const char* w) { return {TokenKind::Word, w}; }
Token Str(const char* s) { return {TokenKind::String, s}; }
Token Num(const char* n) { return {TokenKind::Number, n}; }

const std::vector<Op>& Ops() {
  static const std::vector<Op> ops = {
      {"CV_GetEVFl", 0x14, {Str("Mood")}, 1.5},
      {"CV_SetEVFl", 0x14, {Str("Mood"), Num("3")}, 1.5},
      {"CV_IsInList", 0, {Word("00000300"), Word("00000463")}, 2.0},
      {"CV_GetSkeletonPath", 0x200, {}, 2.0},
  };
  return ops;
}

// A command's result: its number, or for a string its text (the number is
// then the host's string variable, which differs between the two worlds).
struct Result {
  double value = 0;
  std::string text;
  bool operator==(const Result& o) const {
    return text.empty() && o.text.empty() ? value == o.value : text == o.text;
  }
};

// One engine's session, with its plug-in instance loaded and its world set.
class Engine {
 public:
  Engine(const std::string& dll, bool table) : session_(out_, out_, OptionsFor(table)) {
    cv::sim::PluginEntryPoints entry;
    std::string error;
    if (!cv::sim::LoadPluginLibrary(dll, entry, error)) {
      std::cerr << "binding_bench: cannot load " << dll << ": " << error << "\n";
      return;
    }
    if (table) g_tableLoad = entry.load;
    if (!session_.LoadPlugin(
            {fs::path(dll).filename().string(), entry.query, table ? LoadForTable : entry.load}))
      return;
    session_.SendStartUpMessages();
    if (session_.RunText(WorldText(!table), "<bench world>") != kPassed) {
      std::cerr << "binding_bench: the world could not be set up:\n" << out_.str();
      return;
    }
    session_.world().Publish(false);
    if (!table) ChainTemplates(session_.world());
    ready_ = true;
  }
  bool Ready() const { return ready_; }

  // Runs the command n times; the time per call in microseconds.
  double Time(const Op& op, int n, Result& last) {
    Host& h = session_.host();
    h.Activate();
    const CommandInfo* cmd = h.FindCommand(op.name);
    if (cmd == nullptr || cmd->execute == nullptr) return -1;
    World& w = session_.world();
    auto* self = static_cast<TESObjectREFR*>(op.self != 0 ? w.Handle(w.Known(op.self)) : nullptr);
    CallFrame frame;
    frame.command = cmd;
    frame.args = &op.args;
    double result = 0;
    frame.result = &result;
    h.frame = &frame;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < n; ++i)
      cmd->execute(cmd->params, &frame, self, nullptr, reinterpret_cast<Script*>(&scriptTag_),
                   reinterpret_cast<ScriptEventList*>(&scriptTag_), &result, &frame.opcodeOffset);
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    h.frame = nullptr;
    last = {result, frame.stringResult.value_or("")};
    w.stringVars.clear();
    return us / n;
  }

 private:
  static Options OptionsFor(bool table) {
    Options o;
    o.outOfImage = table;
    return o;
  }
  // Stands in for the calling script and its variables.
  static inline int scriptTag_ = 0;

  std::ostringstream out_;
  Session session_;
  bool ready_ = false;
};

// Calls per batch so that one batch takes about 2 ms.
int BatchSize(Engine& e, const Op& op) {
  Result r;
  double once = 1e30;
  for (int i = 0; i < 5; ++i) once = std::min(once, e.Time(op, 20, r));
  return std::clamp(static_cast<int>(2000.0 / std::max(once, 0.001)), 5, 200000);
}

std::string DefaultPlugin(const char* argv0) {
  return (fs::absolute(argv0).parent_path().parent_path() / "game" / "Data" / "NVSE" / "Plugins" /
          "corvane.dll")
      .string();
}

}  // namespace

int main(int argc, char** argv) {
  cv::sim::StartGameImage();
  if (!image::Built()) return 2;
  const fs::path plugin = argc > 1 ? fs::path(argv[1]) : fs::path(DefaultPlugin(argv[0]));
  // The two copies, and the plug-ins' logs, in a fresh folder of the bench's.
  const fs::path work = fs::absolute("binding_bench.work");
  std::error_code ec;
  fs::remove_all(work, ec);
  fs::create_directories(work, ec);
  const fs::path gameCopy = work / "corvane_game.dll";
  const fs::path tableCopy = work / "corvane_table.dll";
  if (!fs::copy_file(plugin, gameCopy, ec) || !fs::copy_file(plugin, tableCopy, ec)) {
    std::cerr << "binding_bench: cannot copy " << plugin.string() << ": " << ec.message() << "\n";
    return 2;
  }
  fs::current_path(work, ec);

  // Batches of about 2 ms, the two engines in turn, and the fastest batch
  // of each: the machine is shared, and a short batch is the likeliest to
  // run without being interrupted.
  Engine table(tableCopy.string(), true);
  Engine game(gameCopy.string(), false);
  if (!table.Ready() || !game.Ready()) return 2;
  struct Figures {
    double us[2] = {1e30, 1e30};
    Result got[2];
  };
  std::vector<Figures> figures(Ops().size());
  Engine* engines[2] = {&game, &table};
  for (std::size_t i = 0; i < Ops().size(); ++i) {
    int n[2];
    for (int e = 0; e < 2; ++e) n[e] = BatchSize(*engines[e], Ops()[i]);
    for (int round = 0; round < 41; ++round)
      for (int e = 0; e < 2; ++e)
        figures[i].us[e] =
            std::min(figures[i].us[e], engines[e]->Time(Ops()[i], n[e], figures[i].got[e]));
  }

  // Which engine each copy took shows in the results: only the binding
  // follows the template chain to "_Male", and only the table engine reads
  // the world kept out of the image.
  int missed = 0;
  int broken = 0;
  for (std::size_t i = 0; i < Ops().size(); ++i) {
    const Op& op = Ops()[i];
    const Figures& f = figures[i];
    if (!(f.got[0] == f.got[1]) || f.us[0] < 0 || f.us[1] <= 0) {
      std::printf("%s: the engines disagree (binding %g \"%s\", table %g \"%s\")\n", op.name,
                  f.got[0].value, f.got[0].text.c_str(), f.got[1].value, f.got[1].text.c_str());
      ++broken;
      continue;
    }
    const double ratio = f.us[0] / f.us[1];
    const bool met = ratio <= op.target;
    std::printf("%s: binding %.3f us, table %.3f us, ratio %.2f (target <= %.1f: %s)\n", op.name,
                f.us[0], f.us[1], ratio, op.target, met ? "met" : "MISSED");
    if (!met) ++missed;
  }
  std::fflush(stdout);
  return broken != 0 ? 2 : missed != 0 ? 3 : 0;
}
