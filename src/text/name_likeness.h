// How much a reading of raw member names looks like names people give
// files, the evidence the name guess weighs its candidates by.
//
// Each non-ASCII character of the reading scores by its kind (common
// ideographs, kana, Hangul, accented letters next to plain ones) and by
// what stands around it, since the wrong encodings give themselves away
// there:
// - Western text read as a double-byte code page: every accented letter
//   swallows the ASCII letter after it, leaving one ideograph, kana or
//   full-width sign alone inside a Latin word ("Br…ke" for "Brücke"), where
//   Japanese and Chinese names put runs of them; at a word's edge such a
//   character is worth half.  Half-width katakana alone beside Latin
//   letters, a sound mark after no kana and one katakana three times over
//   are what accents and box drawing make there.
// - Double-byte text read as a single-byte code page: accented letters in
//   runs of their own or capitals inside words, box drawing mixed with
//   letters, signs inside words, Cyrillic mixed with Latin letters.
// - DOS graphics: box drawing that frames capitals or repeats itself, and
//   blocks and shades side by side, are what DOS names held.
// Scores add up over the names; a negative one says the reading is wrong.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace qvo::text {

// The score of `names` read in `charset` (an iconv name among the guessed
// ones), or nullopt when a name is not valid there.
std::optional<double> nameLikeness(const std::vector<std::string> &names, const std::string &charset);

} // namespace qvo::text
