// Loading a shared library and finding a symbol in it.
#pragma once

#include <string>

namespace cv::platform {

// Loads the library at path (native separators); null with a reason when it
// fails. The library stays loaded for the life of the process.
void* OpenLibrary(const std::string& path, std::string& error);

// The address of the symbol the library exports under exactly this name;
// null when it exports none.
void* LibrarySymbol(void* library, const char* name);

// The file-name suffix of shared libraries on this platform (".so", ".dll").
extern const char* const kLibrarySuffix;

}  // namespace cv::platform
