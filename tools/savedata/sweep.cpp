#include "tools/savedata/sweep.h"

#include <algorithm>
#include <set>

#include "platform/platform.h"

namespace cv::savedata {

namespace fs = std::filesystem;

namespace {

std::string Folded(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool EndsWithCsv(const std::string& folded) {
  return folded.size() >= 4 && folded.compare(folded.size() - 4, 4, ".csv") == 0;
}

// Whether p is folder or lies below it.
bool IsWithin(const fs::path& p, const fs::path& folder) {
  if (folder.empty()) return false;
  auto f = folder.begin();
  for (auto i = p.begin(); f != folder.end(); ++i, ++f)
    if (i == p.end() || *i != *f) return false;
  return true;
}

fs::path Canonical(const fs::path& p) {
  std::error_code ec;
  fs::path c = fs::weakly_canonical(p, ec);
  return ec ? p : c;
}

}  // namespace

bool FindOrphans(const fs::path& saves, const fs::path& data, const fs::path& skip,
                 std::vector<fs::path>& orphans, std::string& error) {
  orphans.clear();
  std::error_code ec;
  for (const fs::path& dir : {saves, data}) {
    if (!fs::is_directory(dir, ec)) {
      error = dir.string() + " is not a folder";
      return false;
    }
  }
  std::set<std::string> saveNames;
  for (auto it = fs::recursive_directory_iterator(saves, ec); !ec && it != fs::end(it);
       it.increment(ec))
    if (it->is_regular_file())
      saveNames.insert(Folded(it->path().lexically_relative(saves).generic_string()));
  if (ec) {
    error = "cannot read " + saves.string() + ": " + ec.message();
    return false;
  }
  const fs::path skipped = skip.empty() ? fs::path() : Canonical(skip);
  for (auto it = fs::recursive_directory_iterator(data, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (!skipped.empty() && IsWithin(Canonical(it->path()), skipped)) {
      if (it->is_directory()) it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file()) continue;
    fs::path rel = it->path().lexically_relative(data);
    std::string name = Folded(rel.generic_string());
    if (!EndsWithCsv(name)) continue;
    if (saveNames.count(name.substr(0, name.size() - 4)) == 0) orphans.push_back(rel);
  }
  if (ec) {
    error = "cannot read " + data.string() + ": " + ec.message();
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
      err << "corvane-savedata: not moved, " << target.string() << " exists already\n";
      ++failed;
    } else if (ec || !platform::MoveFileNoReplace(from.string(), target.string())) {
      err << "corvane-savedata: cannot move " << from.string() << " to " << target.string() << "\n";
      ++failed;
    } else {
      out << "moved " << from.string() << " -> " << target.string() << "\n";
    }
  }
  return failed;
}

}  // namespace cv::savedata
