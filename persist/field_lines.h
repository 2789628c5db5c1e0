// The line on which the parser ended a field, found only when asked for.
//
// The reader hands libcsv large pieces of the file, and libcsv does not say
// where in a piece it was when it called back. FieldLines keeps what it
// takes to find out later: the piece, the parser's state at its start and
// the line the piece starts on. Asked for the line of the n-th field that
// ended in the piece, it walks the piece from where it last stopped with
// the same state machine libcsv runs (only its field ends, none of its
// copying) and counts the line ends on the way. Questions come in file
// order, so one piece is walked at most once, and a piece nobody asks about
// is not walked at all: only its line ends are counted.
//
// A line ends at an LF, at a CR LF, or at a CR that no LF follows, the same
// three line ends that end a record.
#pragma once

#include <csv.h>

#include <cstddef>
#include <cstdint>

namespace cv::persist {

class FieldLines {
 public:
  // Before the parser takes the piece: its bytes (which must stay in place
  // until EndPiece) and the parser's state, read from its fields.
  void BeginPiece(const csv_parser& parser, const char* data, std::size_t size) noexcept;
  // After the parser took the piece.
  void EndPiece() noexcept;
  // The line (from 1) on which the n-th field (from 0) that the parser
  // ended in the current piece ended. n must not fall before the field last
  // asked about.
  std::uint64_t LineOfField(std::uint64_t n) noexcept;

 private:
  // libcsv 3.0.3's parser states, as its libcsv.c numbers them.
  enum State : int { kRowNotBegun = 0, kFieldNotBegun = 1, kFieldBegun = 2, kMightHaveEnded = 3 };

  const unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
  std::uint64_t pieceLine_ = 1;  // the line the piece starts on
  bool pieceAfterCr_ = false;    // the byte before the piece is a CR
  // The walk through the piece: the next byte, the parser's state there,
  // the line that byte is on, and how many fields ended before it.
  std::size_t pos_ = 0;
  int state_ = kRowNotBegun;
  bool quoted_ = false;
  bool spaces_ = false;  // blanks since a quoted field's closing quote
  std::uint64_t line_ = 1;
  std::uint64_t fields_ = 0;
};

}  // namespace cv::persist
