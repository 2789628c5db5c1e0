// Comparing files and folders as the file system does, for the tools that
// walk save folders (never used by the plug-in).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace cv::platform {

// What tells one file or folder from every other while it exists: its
// volume and its number on that volume.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};

// The identity of the file or folder at path, links and junctions followed;
// false when there is none or it cannot be read.
bool IdentityOf(const std::filesystem::path& path, FileId& id);

// Whether two names (or relative paths, the same separators in both) are
// one as the file system compares them: without regard to letter case on
// Windows (CompareStringOrdinal with ignore-case), byte for byte elsewhere.
bool SameName(const std::filesystem::path& a, const std::filesystem::path& b);

// The file at path opened for reading in binary mode; null when it cannot
// be (the wide file functions on Windows, so any name opens).
std::FILE* OpenPathForReading(const std::filesystem::path& path);

// Moves the file at from to to, never replacing an existing file; across
// volumes allowed. False when it failed (MoveFileExW on Windows).
bool MovePathNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace cv::platform
