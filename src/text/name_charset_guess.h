// Guesses the encoding of an archive's unmarked member names from all of
// them together.
//
// Only the encodings old archives were written in are considered (see
// kGuessedCharsets).  A statistical detector (uchardet) makes the first
// guess; since a few short names are too little for it, every candidate
// the names are valid in is also scored by how name-like its reading is
// (see name_likeness.h), and the detector's guess stands only while it
// scores near the best.  CP932, what unmarked names have always been read
// as, keeps its place: when every name is valid CP932 another encoding
// wins only by scoring more than twice as well.  Names a format says are
// in the OEM code page (a ZIP made on DOS or Windows) are read in a DOS
// code page unless they read better in CP932 or another East Asian page,
// or twice as well in a Windows or Unix one.
#pragma once
#include <string>
#include <vector>

namespace qvo::text {

// The candidates, by iconv's names, in the order ties are broken.
extern const std::vector<std::string> kGuessedCharsets;

// `names`: the raw names, those holding bytes above 0x7F (others say
// nothing).  `preferOem`: the names come from DOS or Windows archivers
// that write the OEM code page: CP437, CP850 or CP866 in the West, the
// double-byte code pages in the East.  Returns one of kGuessedCharsets;
// "CP932" when there are no names or none of the candidates reads them.
std::string guessNameCharset(const std::vector<std::string> &names, bool preferOem);

} // namespace qvo::text
