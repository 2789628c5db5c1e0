// How corvane-savedata shows a file: a table, JSON, and the loader's notes.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "tools/savedata/savedata_file.h"

namespace cv::savedata {

// The mods the file was saved with, then one row per value: line, kind,
// owner (mod name and local id), key and value. Keys and strings are quoted.
// The table and the notes give the file's texts in UTF-8: on Windows read
// in the system's code page (the game's), elsewhere as they are.
void PrintTable(std::ostream& out, const FileReport& report);
// The same as one JSON object.
void PrintJson(std::ostream& out, const FileReport& report);
// Every note as "NAME:LINE: text", deeper notes indented.
void PrintNotes(std::ostream& out, std::string_view name, const FileReport& report);

// A saved id as "Mod.esp:00ABCD": its mod's name (or "(no mod 03)" when the
// file names none for its top byte) and its local id in six hex digits.
std::string FormatId(const FileReport& report, std::uint32_t id);
// Text in double quotes; quotes, backslashes and control bytes escaped.
std::string QuoteText(std::string_view text);
// Text as a JSON string; bytes above 127 read as U+0080 to U+00FF.
std::string JsonString(std::string_view text);
// A float as the shortest text that reads back as it.
std::string FormatFloat(float value);

}  // namespace cv::savedata
