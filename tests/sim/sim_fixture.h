// A session of the simulated host with the probe plug-in loaded, capturing
// the host's output.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "probe_plugin.h"
#include "sim/scenario/session.h"

namespace cv::sim {

class ProbeSession : public ::testing::Test {
 protected:
  void SetUp() override {
    Options options;
    options.gameRoot = std::filesystem::current_path().string();
    session = std::make_unique<Session>(out, err, options);
    ASSERT_TRUE(session->LoadPlugin(probe::Entry()));
  }

  // Runs text; forgets the output of earlier runs.
  int Run(const std::string& text) {
    out.str("");
    err.str("");
    return session->RunText(text, "t.scn");
  }

  World& world() { return session->world(); }
  Host& host() { return session->host(); }

  std::ostringstream out;
  std::ostringstream err;
  std::unique_ptr<Session> session;
};

}  // namespace cv::sim
