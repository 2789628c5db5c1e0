// What corvane-savedata learns from one save-data file, read by the
// plug-in's own reader: the mod-index rows, the value rows and every line the
// loader logs, each with the line of the file it belongs to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cv::savedata {

struct ModRow {
  int line = 0;
  std::uint32_t index = 0;
  std::string name;
};

enum class Kind { String, Form, Float };

struct ValueRow {
  int line = 0;
  Kind kind = Kind::Float;
  std::uint32_t owner = 0;  // as written: the top byte is the mod index of the save
  std::string key;
  std::string text;        // String
  std::uint32_t form = 0;  // Form, as written
  float number = 0;        // Float
};

// A line the loader logs (indent: its depth below the first), or a note of
// the tool's own, at the line where its record starts.
struct Note {
  int line = 0;
  int indent = 0;
  std::string text;
};

struct FileReport {
  std::vector<ModRow> mods;
  std::vector<ValueRow> values;
  std::vector<Note> notes;
  int lines = 0;  // lines in the file
};

// Reads the file at path (UTF-8) as the plug-in loads a save (under a load order in
// which every mod the file names is loaded at its saved index). False with a
// message when the file cannot be read.
bool ReadSaveDataFile(const std::string& path, FileReport& report, std::string& error);
// The same for bytes in memory.
void ReadSaveData(std::string_view bytes, FileReport& report);

// The name of the mod that a saved id's top byte stands for in the file,
// "dynamic" for 255, empty when the file has no mod-index row for it.
std::string ModName(const FileReport& report, std::uint32_t id);

}  // namespace cv::savedata
