// The tools' text on Windows: arguments from the UTF-16 command line, paths
// in UTF-16, and UTF-8 output that a console shows through WriteConsoleW.
#include <windows.h>
// After <windows.h>: CommandLineToArgvW.
#include <shellapi.h>

#include <iostream>
#include <streambuf>

#include "platform/console.h"

namespace cv::platform {

namespace {

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int n = static_cast<int>(text.size());
  const int wide = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), n, nullptr, 0);
  if (wide <= 0) return {};
  std::wstring out(static_cast<std::size_t>(wide), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), n, out.data(), wide);
  return out;
}

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = static_cast<int>(text.size());
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), n, out.data(), bytes, nullptr, nullptr);
  return out;
}

// How many bytes at the end of text are the start of a UTF-8 sequence whose
// other bytes have not come yet.
std::size_t OpenSequence(std::string_view text) {
  const std::size_t n = text.size();
  for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
    const auto c = static_cast<unsigned char>(text[n - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return length > back ? back : 0;
  }
  return 0;
}

// UTF-8 text to one standard handle: a console gets it as UTF-16, anything
// else the bytes. Held until a line ends or the stream is flushed, and a
// sequence cut by a write is held until its last byte comes.
class Utf8Buf : public std::streambuf {
 public:
  explicit Utf8Buf(DWORD which) : handle_(::GetStdHandle(which)) {
    DWORD mode = 0;
    console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE &&
               ::GetConsoleMode(handle_, &mode) != 0;
  }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_ += traits_type::to_char_type(c);
    if (traits_type::to_char_type(c) == '\n' && !Emit()) return traits_type::eof();
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<std::size_t>(n));
    if (pending_.find('\n') != std::string::npos && !Emit()) return 0;
    return n;
  }
  int sync() override { return Emit() ? 0 : -1; }

 private:
  bool Emit() {
    const std::size_t keep = OpenSequence(pending_);
    const std::string_view out(pending_.data(), pending_.size() - keep);
    bool ok = true;
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
      ok = false;
    } else if (console_) {
      const std::wstring wide = WideFromUtf8(out);
      for (std::size_t at = 0; at < wide.size() && ok;) {
        DWORD done = 0;
        ok = ::WriteConsoleW(handle_, wide.data() + at, static_cast<DWORD>(wide.size() - at), &done,
                             nullptr) != 0 &&
             done > 0;
        at += done;
      }
    } else {
      // CR LF, as the run-time library's text mode wrote these lines before.
      std::string bytes;
      for (char c : out) bytes += c == '\n' ? std::string_view("\r\n") : std::string_view(&c, 1);
      const std::string_view data = bytes;
      for (std::size_t at = 0; at < data.size() && ok;) {
        DWORD done = 0;
        ok = ::WriteFile(handle_, data.data() + at, static_cast<DWORD>(data.size() - at), &done,
                         nullptr) != 0 &&
             done > 0;
        at += done;
      }
    }
    pending_.erase(0, pending_.size() - keep);
    return ok;
  }

  HANDLE handle_;
  bool console_ = false;
  std::string pending_;
};

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return args;
}

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(WideFromUtf8(text));
}

std::string Utf8FromPath(const std::filesystem::path& path, bool generic) {
  return Utf8FromWide(generic ? path.generic_wstring() : path.native());
}

struct Utf8Console::Streams {
  Utf8Buf out{STD_OUTPUT_HANDLE};
  Utf8Buf err{STD_ERROR_HANDLE};
  std::streambuf* oldOut = nullptr;
  std::streambuf* oldErr = nullptr;
};

Utf8Console::Utf8Console() : streams_(std::make_unique<Streams>()) {
  std::cout.flush();
  std::cerr.flush();
  streams_->oldOut = std::cout.rdbuf(&streams_->out);
  streams_->oldErr = std::cerr.rdbuf(&streams_->err);
}

Utf8Console::~Utf8Console() {
  std::cout.flush();
  std::cerr.flush();
  std::cout.rdbuf(streams_->oldOut);
  std::cerr.rdbuf(streams_->oldErr);
}

}  // namespace cv::platform
