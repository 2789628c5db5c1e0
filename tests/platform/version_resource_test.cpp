// The version resource of the built corvane.dll, read back through the
// system's own version API (Windows builds only).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "plugin/version_command.h"

namespace {

struct VersionInfo {
  std::vector<char> data;

  std::string Text(const char* name) const {
    void* value = nullptr;
    UINT size = 0;
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(data.data(), path.c_str(), &value, &size) || value == nullptr)
      return "<missing>";
    return std::string(static_cast<const char*>(value));
  }

  const VS_FIXEDFILEINFO* Fixed() const {
    void* value = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(data.data(), "\\", &value, &size) || size < sizeof(VS_FIXEDFILEINFO))
      return nullptr;
    return static_cast<const VS_FIXEDFILEINFO*>(value);
  }
};

VersionInfo ReadVersionInfo() {
  VersionInfo info;
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(CORVANE_PLUGIN_PATH, &handle);
  if (size == 0) return info;
  info.data.resize(size);
  if (!GetFileVersionInfoA(CORVANE_PLUGIN_PATH, 0, size, info.data.data())) info.data.clear();
  return info;
}

TEST(VersionResource, NumbersAreThePluginVersion) {
  VersionInfo info = ReadVersionInfo();
  ASSERT_FALSE(info.data.empty()) << "no version resource in " << CORVANE_PLUGIN_PATH;
  const VS_FIXEDFILEINFO* fixed = info.Fixed();
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  // 19.0.0.0, the number CV_GetVersion and the plug-in record report.
  EXPECT_EQ(fixed->dwFileVersionMS, cv::plugin::kPluginVersion << 16);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, cv::plugin::kPluginVersion << 16);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST(VersionResource, TextsNameProductVersionAndLicence) {
  VersionInfo info = ReadVersionInfo();
  ASSERT_FALSE(info.data.empty());
  const std::string version = std::to_string(cv::plugin::kPluginVersion);
  EXPECT_EQ(info.Text("ProductName"), "Corvane");
  EXPECT_EQ(info.Text("FileVersion"), version);
  EXPECT_EQ(info.Text("ProductVersion"), version);
  EXPECT_EQ(info.Text("OriginalFilename"), "corvane.dll");
  const std::string copyright = info.Text("LegalCopyright");
  EXPECT_NE(copyright.find("MIT License"), std::string::npos) << copyright;
  EXPECT_NE(copyright.find("libcsv (LGPL-2.1-or-later)"), std::string::npos) << copyright;
}

}  // namespace
