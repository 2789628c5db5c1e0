// The place in the file of the rows the reader keeps for the end of the file
// (a value row that comes before the "IX" row of a mod it needs): a kept row
// is stored as if it had been read where it stands, so the later of two rows
// for one entry wins, wherever the "IX" rows stand.
//
// Only the keys of kept rows are followed: a file as the writer writes it
// keeps no row and pays nothing.
#pragma once

#include <cstdint>

#include "persist/savedata.h"

namespace cv::persist {

// The record in hand is kept for the end of the file.
void NoteKept(csvp_record& r);
// The record in hand stored its entry under owner (as stored, remapped).
void NoteStored(csvp_record& r, std::uint32_t owner);
// Whether the record in hand is a kept row whose entry (under owner) a row
// after it stored already.
bool StoredByLaterRow(const csvp_record& r, std::uint32_t owner);
// Every kept row was stored: what was followed is let go.
void ForgetKept(csvp_record& r);

}  // namespace cv::persist
