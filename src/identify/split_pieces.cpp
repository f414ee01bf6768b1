#include "identify/split_pieces.h"

#include "platform/file_status.h"

#include <cstdio>

namespace qvo::identify {
namespace {

constexpr size_t kMaxPieces = 26 * 26;

bool isFile(const std::string &path)
{
    return platform::regularFileLength(path) >= 0;
}

bool lower(char c)
{
    return c >= 'a' && c <= 'z';
}

bool digit(char c)
{
    return c >= '0' && c <= '9';
}

// The name of piece `index` (0 for the first) of the set whose first piece
// is `first`; empty past what the naming can count.
std::string pieceName(const std::string &first, size_t index)
{
    const size_t n = first.size();
    if (n >= 4 && first.compare(n - 4, 4, ".001") == 0) {
        if (index + 1 > 999)
            return {};
        char number[8];
        std::snprintf(number, sizeof number, "%03zu", index + 1);
        return first.substr(0, n - 3) + number;
    }
    if (index >= kMaxPieces)
        return {};
    std::string name = first;
    name[n - 2] = static_cast<char>('a' + index / 26);
    name[n - 1] = static_cast<char>('a' + index % 26);
    return name;
}

bool namesFirstPiece(const std::string &name)
{
    const size_t n = name.size();
    const size_t slash = name.rfind('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    if (n - base >= 5 && name.compare(n - 4, 4, ".001") == 0)
        return true;
    return n - base >= 3 && name.compare(n - 2, 2, "aa") == 0;
}

} // namespace

std::vector<std::string> splitPieceNames(const std::string &first)
{
    std::vector<std::string> pieces{first};
    if (!namesFirstPiece(first))
        return pieces;
    for (size_t k = 1;; ++k) {
        const std::string next = pieceName(first, k);
        if (next.empty() || !isFile(next))
            break;
        pieces.push_back(next);
    }
    return pieces;
}

std::string firstSplitPiece(const std::string &piece)
{
    const size_t n = piece.size();
    const size_t slash = piece.rfind('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::string first;
    if (n - base >= 5 && piece[n - 4] == '.' && digit(piece[n - 3]) && digit(piece[n - 2]) && digit(piece[n - 1]) &&
        piece.compare(n - 4, 4, ".001") != 0 && piece.compare(n - 4, 4, ".000") != 0)
        first = piece.substr(0, n - 3) + "001";
    else if (n - base >= 3 && lower(piece[n - 2]) && lower(piece[n - 1]) && piece.compare(n - 2, 2, "aa") != 0 &&
             (piece[n - 3] == '_' || piece[n - 3] == '.' || piece[n - 3] == '-'))
        first = piece.substr(0, n - 2) + "aa";
    return !first.empty() && isFile(first) ? first : std::string();
}

} // namespace qvo::identify
