// What every test program shares: a working folder emptied before the
// first test runs, and a checked look at a value that may not be there.
#pragma once

#include <initializer_list>
#include <optional>
#include <string_view>

namespace cv::testing {

// Empties the current folder when it is a test program's own (its name ends
// in ".work", as every test's working folder is named), so that no file a
// failed or broken earlier run left behind can change this run's results.
// Folders an earlier run made read-only are made writable first. False, with
// a line on standard error for each, when something could not be removed.
// Any other folder is left alone, with a line saying so. The files named in
// keep stay: the program holds them open already.
bool EmptyWorkingFolder(std::initializer_list<std::string_view> keep);

// The value a look-up found, or nothing when it found none: a check such as
// EXPECT_EQ(Found(store.Find<...>(...)), 2.5f) fails that one case, showing
// "nullopt", where reading through the null pointer would end the program.
template <class T>
std::optional<T> Found(const T* value) {
  return value != nullptr ? std::optional<T>(*value) : std::nullopt;
}

}  // namespace cv::testing
