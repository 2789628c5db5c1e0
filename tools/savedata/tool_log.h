// corvane-savedata brings its own debug log (the functions of log/log.h):
// the lines the reader logs are collected as notes, at the line of the file
// being read. Nothing is written to a file or echoed; the plug-in's log
// would open corvane.log in the current folder.
#pragma once

#include <vector>

#include "tools/savedata/savedata_file.h"

namespace cv::savedata {

struct LogSink {
  std::vector<Note>* notes = nullptr;
  int line = 0;  // the line the next log line belongs to
};

// Log lines go to sink until it is set back to null.
void SetLogSink(LogSink* sink);

}  // namespace cv::savedata
