// Archives cut into pieces by a file splitter ("name_aa", "name_ab"... as
// split(1) names them, or "name.001", "name.002"...): the pieces joined
// are the archive.  Unlike the volumes of a set, no piece knows of the
// others; only the names tie them together.
#pragma once
#include <string>
#include <vector>

namespace qvo::identify {

// The pieces that `first` starts, in order, as far as they exist beside
// it: just `first` when its name ends in neither "aa" nor ".001" or no
// second piece exists.
std::vector<std::string> splitPieceNames(const std::string &first);

// The first piece of the set a later piece belongs to ("x_ac" -> "x_aa",
// "x.003" -> "x.001"), when such a file exists; empty otherwise.
std::string firstSplitPiece(const std::string &piece);

} // namespace qvo::identify
