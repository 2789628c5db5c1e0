#include "persist/field_lines.h"

namespace cv::persist {

namespace {

// libcsv's defaults, which the reader keeps (csv_init sets no others).
constexpr unsigned char kDelim = ',';
constexpr unsigned char kQuote = '"';
bool IsSpace(unsigned char c) { return c == ' ' || c == '\t'; }
bool IsTerm(unsigned char c) { return c == '\r' || c == '\n'; }

// The line ends among n bytes: every CR, and every LF but one right after a
// CR (afterCr: the byte before p is one). Written without branches so that
// the compiler can take many bytes a step.
std::uint64_t CountLineEnds(const unsigned char* p, std::size_t n, bool afterCr) {
  if (n == 0) return 0;
  std::uint64_t count = (p[0] == '\r') + (p[0] == '\n' && !afterCr);
  std::uint32_t block = 0;
  std::size_t i = 1;
  while (i < n) {
    // Sums of at most 2^16 steps fit the narrow counter.
    const std::size_t end = n - i > 65536 ? i + 65536 : n;
    block = 0;
    for (; i < end; ++i)
      block += static_cast<std::uint32_t>(p[i] == '\r') +
               static_cast<std::uint32_t>((p[i] == '\n') & (p[i - 1] != '\r'));
    count += block;
  }
  return count;
}

}  // namespace

void FieldLines::BeginPiece(const csv_parser& parser, const char* data, std::size_t size) noexcept {
  data_ = reinterpret_cast<const unsigned char*>(data);
  size_ = size;
  pos_ = 0;
  state_ = parser.pstate;
  quoted_ = parser.quoted != 0;
  spaces_ = parser.spaces != 0;
  line_ = pieceLine_;
  fields_ = 0;
}

void FieldLines::EndPiece() noexcept {
  if (size_ == 0) return;
  pieceLine_ += CountLineEnds(data_, size_, pieceAfterCr_);
  pieceAfterCr_ = data_[size_ - 1] == '\r';
  data_ = nullptr;
  size_ = 0;
}

std::uint64_t FieldLines::LineOfField(std::uint64_t n) noexcept {
  while (pos_ < size_) {
    const unsigned char c = data_[pos_];
    const std::uint64_t line = line_;
    // The line the next byte is on.
    if (c == '\r' || (c == '\n' && !(pos_ == 0 ? pieceAfterCr_ : data_[pos_ - 1] == '\r'))) ++line_;
    ++pos_;
    // What libcsv's csv_parse does with c, as far as field ends go.
    bool fieldEnds = false;
    switch (state_) {
      case kRowNotBegun:
      case kFieldNotBegun:
        if (IsSpace(c)) break;
        if (IsTerm(c)) {
          if (state_ == kFieldNotBegun) fieldEnds = true, state_ = kRowNotBegun;
        } else if (c == kDelim) {
          fieldEnds = true, state_ = kFieldNotBegun;
        } else {
          state_ = kFieldBegun;
          quoted_ = c == kQuote;
        }
        break;
      case kFieldBegun:
        if (c == kQuote) {
          if (quoted_) state_ = kMightHaveEnded, spaces_ = false;
        } else if (!quoted_ && c == kDelim) {
          fieldEnds = true, state_ = kFieldNotBegun;
        } else if (!quoted_ && IsTerm(c)) {
          fieldEnds = true, state_ = kRowNotBegun;
        }
        break;
      case kMightHaveEnded:
        if (c == kDelim) {
          fieldEnds = true, state_ = kFieldNotBegun;
        } else if (IsTerm(c)) {
          fieldEnds = true, state_ = kRowNotBegun;
        } else if (IsSpace(c)) {
          spaces_ = true;
        } else if (c == kQuote) {
          // After blanks the quote is text and the field may still end;
          // right after the closing quote it was a doubled quote.
          if (spaces_)
            spaces_ = false;
          else
            state_ = kFieldBegun;
        } else {
          state_ = kFieldBegun;
          spaces_ = false;
        }
        break;
      default: break;
    }
    if (fieldEnds) {
      quoted_ = false;
      spaces_ = false;
      if (fields_++ == n) return line;
    }
  }
  // Not in this piece (a caller's mistake): the line the piece ends on.
  return line_;
}

}  // namespace cv::persist
