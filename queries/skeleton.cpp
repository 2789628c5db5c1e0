#include "queries/skeleton.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "host/game.h"
#include "log/guard.h"
#include "log/log.h"
#include "queries/query_commands.h"

namespace cv::queries {

namespace {

constexpr LogName kIsUsingSkeletonLog{"isusingskeleton"};
constexpr LogName kGetSkeletonPathLog{"GetSkeletonPath", "GetSkeletonPathr"};

constexpr bool IsSeparator(char c) noexcept { return c == '/' || c == '\\'; }

constexpr unsigned char FoldByte(char c) noexcept {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 0x20) : b;
}

int AsInt(std::size_t n) noexcept { return static_cast<int>(n); }

}  // namespace

SkeletonPath SplitSkeletonPath(std::string_view path) {
  SkeletonPath out;
  if (path.size() > kMaxSkeletonPathLength) return out;
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && IsSeparator(path[i])) ++i;
    const std::size_t start = i;
    while (i < path.size() && !IsSeparator(path[i])) ++i;
    if (i > start) out.components.push_back(path.substr(start, i - start));
  }
  if (out.components.size() >= 2) out.name = out.components[out.components.size() - 2];
  return out;
}

int FoldedCompare(std::string_view a, std::string_view b) noexcept {
  const std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = i < a.size() ? FoldByte(a[i]) : 0;
    const int cb = i < b.size() ? FoldByte(b[i]) : 0;
    if (ca != cb) return ca - cb;
  }
  return 0;
}

SkeletonLookup LookUpSkeleton(TESObjectREFR* ref) {
  SkeletonLookup out;
  TESForm* actorBase = game::AsActorBase(game::BaseForm(ref));
  if (actorBase == nullptr) return out;
  out.actorBase = true;
  const char* model = game::SkeletonModelPath(actorBase);
  if (model == nullptr) return out;
  // Never read past what the working buffer would hold plus one byte: that
  // is enough to tell an over-long path.
  const std::string_view path(model, ::strnlen(model, kMaxSkeletonPathLength + 1));
  const SkeletonPath split = SplitSkeletonPath(path);
  for (std::size_t i = 0; i < split.components.size(); ++i) {
    const std::string_view c = split.components[i];
    LogMessage("\tIDX %d is %.*s", AsInt(i), AsInt(c.size()), c.data());
  }
  out.name = split.name;
  return out;
}

bool IsUsingSkeleton(const host::CommandArgs& a) {
  *a.result = 0;
  // The bracket stands outside the guarded region, so that the END line and
  // the indentation are restored on every way out, a caught failure included.
  LogMessage("START IsUsingSkeleton");
  LogIndent();
  Guarded(kIsUsingSkeletonLog, [&] {
    host::TextArg wanted;
    if (!host::ExtractArgs(a, wanted)) return;
    if (a.thisObj == nullptr) return;
    const SkeletonLookup skeleton = LookUpSkeleton(a.thisObj);
    if (!skeleton.actorBase) return;
    if (skeleton.name) {
      const std::string_view arg = host::ArgText(wanted);
      const std::string_view name = *skeleton.name;
      const int cmp = FoldedCompare(arg, name);
      LogMessage("\tSIC %.*s %.*s is %d", AsInt(arg.size()), arg.data(), AsInt(name.size()),
                 name.data(), cmp);
      if (cmp == 0) *a.result = 1;
    }
    if (game::IsConsoleMode()) game::ConsolePrint("IsUsingSkeleton %.0f", *a.result);
  });
  LogOutdent();
  LogMessage("END IsUsingSkeleton %0.0f", *a.result);
  return true;
}

bool GetSkeletonPath(const host::CommandArgs& a) {
  *a.result = 0;
  Guarded(kGetSkeletonPathLog, [&] {
    // A script always gets a string: the name, or the empty string when the
    // reference has none.
    std::array<char, kMaxSkeletonPathLength + 1> name{};
    bool named = false;
    if (a.thisObj != nullptr) {
      const SkeletonLookup skeleton = LookUpSkeleton(a.thisObj);
      if (skeleton.name) {
        std::memcpy(name.data(), skeleton.name->data(), skeleton.name->size());
        named = true;
      }
    }
    host::AssignString(a, name.data());
    if (named && game::IsConsoleMode()) game::ConsolePrint("GetSkeletonPath %s", name.data());
  });
  return true;
}

}  // namespace cv::queries
