// Builds without a miniature game image (everything but Windows).
#include "sim/image/game_image.h"

namespace cv::sim::image {

bool Start() { return false; }
bool Build() { return false; }
bool Built() { return false; }
void SetHooks(const Hooks&) {}
std::vector<std::string> TakeErrors() { return {}; }
void* New(Class, std::uint8_t, std::uint32_t) { return nullptr; }
void* NewRaw(std::uint32_t) { return nullptr; }
void PutString(void*, std::uint32_t, std::string_view) {}
void PutList(void*, std::uint32_t, const std::vector<void*>&) {}
void SetForms(const std::vector<void*>&) {}
void SetMods(const std::vector<std::string>&) {}
void SetConsoleMode(bool) {}

}  // namespace cv::sim::image
