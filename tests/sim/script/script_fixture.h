// Runs script text on an interpreter over an empty world, with what it
// printed, the errors it reported and the Asserts it ran.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "sim/host/host.h"
#include "sim/script/runtime/interpreter.h"

namespace cv::sim::script {

struct Recorded : ScriptEvents {
  std::vector<std::string> errors;  // "LINE: message"
  std::vector<std::string> failed;  // failed Asserts' text
  int passed = 0;
  void Error(const std::string&, int line, const std::string& message) override {
    errors.push_back(std::to_string(line) + ": " + message);
  }
  void Assertion(const std::string&, int, bool ok, const std::string& text) override {
    if (ok)
      ++passed;
    else
      failed.push_back(text);
  }
};

class ScriptTest : public ::testing::Test {
 protected:
  World world;
  std::ostringstream out;
  Host host{world, out, false, 0x040020D0};
  Recorded events;
  Interpreter in{host, events};
  std::vector<std::string> loadErrors;
  std::vector<std::string> unmodelled;

  bool Load(const std::string& source, const std::string& file = "t.gek") {
    return in.Load(file, source, "T", 0, loadErrors, unmodelled);
  }

  // Runs body as a function's body after decls; returns the console lines
  // (without the "console: " prefix).
  std::vector<std::string> Run(const std::string& body, const std::string& decls = "") {
    std::string src = "scn F" + std::to_string(++count_) + "\n" + decls + "\nBegin Function { }\n" +
                      body + "\nEnd\n";
    if (!Load(src)) {
      ADD_FAILURE() << "did not load: " << (loadErrors.empty() ? "" : loadErrors[0])
                    << (unmodelled.empty() ? "" : unmodelled[0]);
      return {};
    }
    out.str("");
    Value result;
    in.CallScript("F" + std::to_string(count_), {}, result);
    last = result;
    return Lines();
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream s(out.str());
    for (std::string l; std::getline(s, l);)
      lines.push_back(l.rfind("console: ", 0) == 0 ? l.substr(9) : l);
    return lines;
  }

  Value last;

 private:
  int count_ = 0;
};

}  // namespace cv::sim::script
