#include "test_support.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace cv::testing {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kWorkSuffix = ".work";

// Gives the owner full rights on every folder below root, so that the files
// in a folder a test made read-only can be removed.
void MakeFoldersWritable(const fs::path& root) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code ignored;
    if (it->is_directory(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
}

}  // namespace

bool EmptyWorkingFolder(std::initializer_list<std::string_view> keep) {
  std::error_code ec;
  const fs::path here = fs::current_path(ec);
  if (ec) {
    std::fprintf(stderr, "test: cannot tell the working folder: %s\n", ec.message().c_str());
    return false;
  }
  const std::string name = here.filename().string();
  if (name.size() <= kWorkSuffix.size() || !name.ends_with(kWorkSuffix)) {
    std::fprintf(stderr, "test: %s is no test's own folder (NAME%s); its files are kept\n",
                 here.string().c_str(), std::string(kWorkSuffix).c_str());
    return true;
  }
  MakeFoldersWritable(here);
  bool emptied = true;
  for (auto it = fs::directory_iterator(here, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    if (std::find(keep.begin(), keep.end(), it->path().filename().string()) != keep.end()) continue;
    std::error_code removeError;
    fs::remove_all(it->path(), removeError);
    if (removeError) {
      std::fprintf(stderr, "test: cannot remove %s: %s\n", it->path().string().c_str(),
                   removeError.message().c_str());
      emptied = false;
    }
  }
  if (ec) {
    std::fprintf(stderr, "test: cannot list %s: %s\n", here.string().c_str(), ec.message().c_str());
    emptied = false;
  }
  return emptied;
}

}  // namespace cv::testing
