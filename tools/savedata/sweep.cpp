#include "tools/savedata/sweep.h"

#include <algorithm>
#include <optional>
#include <set>

#include "platform/console.h"
#include "platform/folders.h"

namespace cv::savedata {

namespace fs = std::filesystem;

namespace {

// How deep the walk of a save folder goes: far beyond any real one, and a
// bound on links that lead into each other without forming a loop.
constexpr std::size_t kMostDepth = 64;

std::string Folded(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool EndsWith(const std::string& folded, std::string_view suffix) {
  return folded.size() >= suffix.size() &&
         folded.compare(folded.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A save of the game: "X.fos", or its backups "X.fos.bak", "X.fos.bak.bak".
bool IsSave(std::string folded) {
  while (EndsWith(folded, ".bak")) folded.resize(folded.size() - 4);
  return EndsWith(folded, ".fos") && folded.size() > 4;
}

// The files below the save folders, by their path relative to their folder.
struct SaveFiles {
  std::set<std::string> folded;  // ASCII case folded, generic separators
  std::vector<fs::path> paths;   // as the file system spells them
  std::size_t saves = 0;         // how many are saves of the game
};

// Reads the folder dir below root into files, following links; chain holds
// the folders it lies in, so that a link back to one of them is not
// followed again.
bool WalkSaves(const fs::path& root, const fs::path& dir, std::vector<platform::FileId>& chain,
               SaveFiles& files, std::string& error) {
  platform::FileId id;
  if (platform::IdentityOf(dir, id)) {
    if (std::find(chain.begin(), chain.end(), id) != chain.end()) return true;  // a loop
    chain.push_back(id);
  } else {
    chain.push_back({});
  }
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code kindError;
    if (it->is_directory(kindError)) {  // links and junctions followed
      if (chain.size() >= kMostDepth) {
        error = "cannot read " + platform::Utf8FromPath(it->path()) + ": folders nested too deep";
        return false;
      }
      if (!WalkSaves(root, it->path(), chain, files, error)) return false;
    } else if (it->is_regular_file(kindError)) {
      const fs::path rel = it->path().lexically_relative(root);
      std::string folded = Folded(platform::Utf8FromPath(rel, true));
      files.saves += IsSave(folded) ? 1 : 0;
      files.folded.insert(std::move(folded));
      files.paths.push_back(rel);
      // A save in a character's or a profile's own folder: the game names
      // it to the plug-in by its file name alone, so its data lies under
      // that name too.
      if (rel.has_parent_path()) {
        files.folded.insert(Folded(rel.filename().generic_string()));
        files.paths.push_back(rel.filename());
      }
    }
  }
  chain.pop_back();
  if (ec) {
    error = "cannot read " + platform::Utf8FromPath(dir) + ": " + ec.message();
    return false;
  }
  return true;
}

// Whether a save file keeps the save-data file at rel (below data).
bool HasSave(const SaveFiles& files, const fs::path& rel, const std::string& folded) {
  const std::string stem = folded.substr(0, folded.size() - 4);
  if (files.folded.count(stem) != 0) return true;
  // Letters beyond ASCII whose case differs: as the file system compares.
  fs::path::string_type native = rel.native();
  native.resize(native.size() - 4);
  const fs::path name(native);
  return std::any_of(files.paths.begin(), files.paths.end(),
                     [&](const fs::path& p) { return platform::SameName(p, name); });
}

// The identity of folder, when it exists.
std::optional<platform::FileId> Identity(const fs::path& folder) {
  platform::FileId id;
  if (!platform::IdentityOf(folder, id)) return std::nullopt;
  return id;
}

// Whether folder is data or one of the folders that hold it.
bool HoldsData(const platform::FileId& folder, const fs::path& data) {
  std::error_code ec;
  fs::path p = fs::canonical(data, ec);
  if (ec) p = fs::absolute(data, ec).lexically_normal();
  for (;;) {
    if (Identity(p) == folder) return true;
    if (!p.has_relative_path()) return false;
    p = p.parent_path();
  }
}

}  // namespace

bool FindOrphans(const std::vector<fs::path>& saves, const fs::path& data, const fs::path& skip,
                 std::vector<fs::path>& orphans, std::string& error) {
  orphans.clear();
  std::error_code ec;
  std::vector<fs::path> folders = saves;
  folders.push_back(data);
  for (const fs::path& dir : folders) {
    if (!fs::is_directory(dir, ec)) {
      error = platform::Utf8FromPath(dir) + " is not a folder";
      return false;
    }
  }
  // The folder files are moved to, by its identity: however it is spelled
  // (relative, in other letter case, through a link), what lies in it was
  // moved there and stays.
  const std::optional<platform::FileId> skipped = skip.empty() ? std::nullopt : Identity(skip);
  if (skipped && HoldsData(*skipped, data)) {
    error = "refusing to move files to " + platform::Utf8FromPath(skip) +
            ": it holds the data folder " + platform::Utf8FromPath(data);
    return false;
  }
  SaveFiles files;
  for (const fs::path& dir : saves) {
    std::vector<platform::FileId> chain;
    if (!WalkSaves(dir, dir, chain, files, error)) return false;
  }
  if (files.saves == 0) {
    error =
        "no save (.fos file) in the save folders given: with a wrong or empty save folder every "
        "save-data file would look orphaned, so none is listed or moved";
    return false;
  }
  for (auto it = fs::recursive_directory_iterator(data, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    std::error_code kindError;
    if (it->is_directory(kindError)) {
      if (skipped && Identity(it->path()) == skipped) it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file(kindError)) continue;
    fs::path rel = it->path().lexically_relative(data);
    std::string name = Folded(platform::Utf8FromPath(rel, true));
    if (!EndsWith(name, ".csv")) continue;
    if (!HasSave(files, rel, name)) orphans.push_back(rel);
  }
  if (ec) {
    orphans.clear();
    error = "cannot read " + platform::Utf8FromPath(data) + ": " + ec.message();
    return false;
  }
  std::sort(orphans.begin(), orphans.end());
  return true;
}

int MoveOrphans(const fs::path& data, const std::vector<fs::path>& orphans, const fs::path& to,
                std::ostream& out, std::ostream& err) {
  int failed = 0;
  for (const fs::path& rel : orphans) {
    const fs::path from = data / rel;
    const fs::path target = to / rel;
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (fs::exists(target, ec)) {
      err << "corvane-savedata: not moved, " << platform::Utf8FromPath(target)
          << " exists already\n";
      ++failed;
    } else if (ec || !platform::MovePathNoReplace(from, target)) {
      err << "corvane-savedata: cannot move " << platform::Utf8FromPath(from) << " to "
          << platform::Utf8FromPath(target) << "\n";
      ++failed;
    } else {
      out << "moved " << platform::Utf8FromPath(from) << " -> " << platform::Utf8FromPath(target)
          << "\n";
    }
  }
  return failed;
}

}  // namespace cv::savedata
