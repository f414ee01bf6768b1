#include "text/name_likeness.h"

#include "text/charset_decoding.h"

#include <utf8proc.h>

#include <algorithm>
#include <string_view>

namespace qvo::text {
namespace {

bool between(unsigned c, unsigned lo, unsigned hi)
{
    return c >= lo && c <= hi;
}

bool isAsciiLetter(char32_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Scores of the double-byte encodings, from the byte ranges of their
// common characters: kana and first-level ideographs score high, rare
// extension areas nothing.  A character's length follows its lead byte.
double cp932Char(unsigned lead, unsigned trail, size_t &length)
{
    if (between(lead, 0xA1, 0xDF)) {
        length = 1;
        return 0.5; // half-width katakana, common in DOS-era names
    }
    length = 2;
    if (lead == 0x82 && trail < 0x9F)
        return 1; // full-width digits and letters
    if (lead == 0x82 || lead == 0x83)
        return 3; // hiragana, katakana
    if (lead == 0x81)
        return 1;
    if (between(lead, 0x88, 0x98))
        return 2;
    if (between(lead, 0x99, 0x9F) || between(lead, 0xE0, 0xEA))
        return 0.5;
    return 0;
}

double eucJpChar(unsigned lead, unsigned, size_t &length)
{
    length = lead == 0x8F ? 3 : 2;
    if (lead == 0xA4 || lead == 0xA5)
        return 3;
    if (between(lead, 0xA1, 0xA3))
        return 1;
    if (between(lead, 0xB0, 0xCF))
        return 2;
    if (lead == 0x8E || between(lead, 0xD0, 0xF4))
        return 0.5;
    return 0;
}

double gbChar(unsigned lead, unsigned trail, size_t &length)
{
    if (between(trail, 0x30, 0x39)) {
        length = 4;
        return -1;
    }
    length = 2;
    if (trail < 0xA1)
        return 0; // GBK extension
    if (between(lead, 0xB0, 0xD7))
        return 2;
    if (between(lead, 0xD8, 0xF7) || between(lead, 0xA1, 0xA3))
        return 1;
    return 0;
}

double big5Char(unsigned lead, unsigned, size_t &length)
{
    length = 2;
    if (between(lead, 0xA4, 0xC6))
        return 2;
    if (between(lead, 0xC9, 0xF9) || between(lead, 0xA1, 0xA3))
        return 1;
    return 0;
}

double cp949Char(unsigned lead, unsigned trail, size_t &length)
{
    length = 2;
    if (trail < 0xA1)
        return 0; // the Hangul that only the Windows extension holds
    if (between(lead, 0xB0, 0xC8))
        return 2;
    if (between(lead, 0xA1, 0xAF) || between(lead, 0xCA, 0xFD))
        return 0.5;
    return 0;
}

double utf8Char(unsigned lead, unsigned, size_t &length)
{
    length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    return length == 3 ? 3 : length == 2 ? 2 : 1;
}

using CharScore = double (*)(unsigned lead, unsigned trail, size_t &length);

// One character of a name read in a multi-byte encoding: ASCII, or what
// the lead byte says.
struct Piece {
    size_t at = 0;
    size_t length = 1;
    double score = 0; // of the character alone
};

// A name in a multi-byte encoding, character by character, each scored in
// its context.
class MultiByteReading {
public:
    MultiByteReading(std::string_view name, CharScore charScore, bool halfWidthKana)
        : name_(name), halfWidthKana_(halfWidthKana)
    {
        size_t i = 0;
        while (i < name.size()) {
            Piece p;
            p.at = i;
            if (byte(i) >= 0x80) {
                unsigned trail = i + 1 < name.size() ? byte(i + 1) : 0;
                p.score = charScore(byte(i), trail, p.length);
                p.length = std::clamp<size_t>(p.length, 1, name.size() - i);
            }
            pieces_.push_back(p);
            i += p.length;
        }
    }

    double score() const
    {
        double total = 0;
        for (size_t k = 0; k < pieces_.size(); ++k)
            if (wide(k))
                total += inContext(k);
        return total;
    }

private:
    unsigned byte(size_t i) const { return static_cast<unsigned char>(name_[i]); }
    bool exists(size_t k) const { return k < pieces_.size(); } // k = -1 wraps
    bool wide(size_t k) const { return exists(k) && byte(pieces_[k].at) >= 0x80; }
    bool letter(size_t k) const { return exists(k) && !wide(k) && isAsciiLetter(byte(pieces_[k].at)); }
    // The byte of a one-byte character, 0 for anything else.
    unsigned single(size_t k) const { return exists(k) && pieces_[k].length == 1 ? byte(pieces_[k].at) : 0; }

    double inContext(size_t k) const
    {
        const Piece &p = pieces_[k];
        const bool alone = !wide(k - 1) && !wide(k + 1);
        if (halfWidthKana_ && p.length == 1 && between(byte(p.at), 0xA1, 0xDF))
            return halfWidthKana(k, alone);
        if (p.length != 2 || !isAsciiLetter(byte(p.at + 1)))
            return p.score;
        // What an accented letter and the ASCII letter after it read as.
        if (alone && letter(k - 1) && letter(k + 1))
            return -2; // inside a Latin word
        if (fullWidthLetter(k) && (letter(k - 1) || letter(k + 1)))
            return -1; // nobody mixes widths inside a word
        if (letter(k + 1) || (alone && letter(k - 1)))
            return p.score / 2; // a word's first or last letters, or an ideograph beside a word
        return p.score;
    }

    // A full-width digit or Latin letter of CP932 with its trail byte in ASCII.
    bool fullWidthLetter(size_t k) const
    {
        const unsigned lead = byte(pieces_[k].at), trail = byte(pieces_[k].at + 1);
        return halfWidthKana_ && lead == 0x82 && between(trail, 0x4F, 0x79);
    }

    double halfWidthKana(size_t k, bool alone) const
    {
        if (alone && (letter(k - 1) || letter(k + 1)))
            return -1;
        const unsigned b = single(k), before = single(k - 1);
        if (b == before && b == single(k - 2))
            return -1;
        // Sound marks follow the kana that take them, small kana and the
        // long mark any kana.
        const bool afterKana = before == 0xA6 || between(before, 0xB1, 0xDD);
        const bool afterMark = before == 0xDE || before == 0xDF;
        if (b == 0xDE)
            return before == 0xB3 || between(before, 0xB6, 0xC4) || between(before, 0xCA, 0xCE) ? 1 : -1;
        if (b == 0xDF)
            return between(before, 0xCA, 0xCE) ? 1 : -1;
        if (between(b, 0xA7, 0xAF))
            return afterKana || afterMark ? 1 : -1;
        if (b == 0xB0)
            return afterKana || afterMark || between(before, 0xA7, 0xAF) ? 1 : -1;
        return 0.5;
    }

    std::string_view name_;
    bool halfWidthKana_;
    std::vector<Piece> pieces_;
};

bool isUpper(char32_t c)
{
    return utf8proc_isupper(static_cast<utf8proc_int32_t>(c));
}

bool isLower(char32_t c)
{
    return utf8proc_islower(static_cast<utf8proc_int32_t>(c));
}

bool isLatinLetter(char32_t c)
{
    return c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7 && c != 0x192; // ƒ: the florin sign
}

bool isCyrillicLetter(char32_t c)
{
    return c >= 0x400 && c <= 0x4FF;
}

bool isBoxGraphic(char32_t c)
{
    return c >= 0x2500 && c <= 0x25A0; // box drawing, blocks and shades, the square
}

// The Cyrillic code pages put the same bytes on different letters; the
// letters most frequent in Russian tell the right one.
double cyrillicWeight(char32_t c)
{
    static const std::u32string_view kFrequent = U"оеаинтсрвлкмдпу";
    char32_t lower = c >= 0x410 && c <= 0x42F ? c + 0x20 : c;
    return kFrequent.find(lower) != std::u32string_view::npos ? 1 : 0.6;
}

bool isBlockOrShade(char32_t c)
{
    return c >= 0x2580 && c <= 0x259F;
}

// Box drawing frames ASCII text or repeats itself in DOS graphics, where
// blocks and shades also blend into each other; mixed with letters it is
// how double-byte text reads in the DOS code pages.
double boxGraphic(char32_t c, char32_t before, char32_t after)
{
    if (isAsciiLetter(before) && isAsciiLetter(after))
        return -1;
    auto frames = [c](char32_t n) { return (n < 0x80 && !isLower(n)) || n == c; }; // DOS names were capitals
    auto blends = [c](char32_t n) { return isBlockOrShade(c) && isBlockOrShade(n); };
    if (frames(before) && frames(after))
        return 1;
    if ((frames(before) || blends(before)) && (frames(after) || blends(after)))
        return 0.5;
    auto mixes = [](char32_t n) { return n >= 0x80 && !isBoxGraphic(n); };
    return mixes(before) || mixes(after) ? -1 : 0;
}

bool isWordLetter(char32_t c)
{
    return isAsciiLetter(c) || isLatinLetter(c) || isCyrillicLetter(c);
}

// The word (run of letters) a character stands in.
struct Word {
    size_t letters = 0;
    bool hasAscii = false;
};

std::vector<Word> wordsOf(const std::u32string &text)
{
    std::vector<Word> out(text.size());
    for (size_t start = 0; start < text.size();) {
        size_t end = start;
        Word w;
        while (end < text.size() && isWordLetter(text[end])) {
            w.hasAscii = w.hasAscii || isAsciiLetter(text[end]);
            ++w.letters;
            ++end;
        }
        for (size_t i = start; i < end; ++i)
            out[i] = w;
        start = end > start ? end : end + 1;
    }
    return out;
}

// A capital inside a word ("cafÚ", "RÚsumÚ"), or a small letter between
// capitals ("MüLLER"): how the accents of one code page read in another.
bool caseBreaksWord(char32_t c, char32_t before, char32_t after)
{
    if (isUpper(c))
        return isLower(before) || (isUpper(before) && isLower(after));
    return isLower(c) && isUpper(before) && isUpper(after);
}

// An accented letter is likely beside plain ones ("Müller"), less one
// further on ("Hyvää"), far less in a run of its own, which is how the
// bytes of double-byte text read in the single-byte code pages.
double latinLetter(const std::u32string &text, size_t i)
{
    auto at = [&text](size_t k) { return k < text.size() ? text[k] : U' '; }; // k = -1 wraps
    const char32_t c = text[i], before = at(i - 1), after = at(i + 1);
    if (isAsciiLetter(before) || isAsciiLetter(after)) {
        if (caseBreaksWord(c, before, after))
            return 0.5;
        return before < 0x80 && after < 0x80 ? 1.5 : 1;
    }
    if (isLatinLetter(before) && isAsciiLetter(at(i - 2)))
        return 1;
    return before < 0x80 && after < 0x80 ? 0.5 : 0.25;
}

// Cyrillic words are runs of Cyrillic letters, not mixed with Latin ones.
double cyrillicLetter(char32_t c, const Word &word)
{
    if (word.hasAscii)
        return 0.25;
    return word.letters > 1 ? cyrillicWeight(c) : 0.5;
}

// Single-byte encodings: letters as above, box drawing as DOS graphics,
// and no sign inside a word.
double scoreSingleByte(const std::u32string &text)
{
    const std::vector<Word> words = wordsOf(text);
    double total = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c < 0x80)
            continue;
        char32_t before = i > 0 ? text[i - 1] : U' ';
        char32_t after = i + 1 < text.size() ? text[i + 1] : U' ';
        if (c == before && c == (i > 1 ? text[i - 2] : 0) && !isBoxGraphic(c))
            total -= 1; // no word has a letter three times over
        else if (isLatinLetter(c))
            total += latinLetter(text, i);
        else if (isCyrillicLetter(c))
            total += cyrillicLetter(c, words[i]);
        else if (isBoxGraphic(c))
            total += boxGraphic(c, before, after);
        else if ((c == U'¡' || c == U'¿') && isAsciiLetter(after))
            total += 1; // opening a Spanish sentence
        else if (isAsciiLetter(before) && isAsciiLetter(after))
            total -= 1;
    }
    return total;
}

} // namespace

std::optional<double> nameLikeness(const std::vector<std::string> &names, const std::string &charset)
{
    static const std::pair<const char *, CharScore> kMultiByte[] = {
        {"CP932", cp932Char}, {"EUC-JP", eucJpChar}, {"UTF-8", utf8Char},
        {"GB18030", gbChar},  {"BIG5", big5Char},    {"CP949", cp949Char},
    };
    CharScore multiByte = nullptr;
    for (const auto &[name, score] : kMultiByte)
        if (charset == name)
            multiByte = score;
    const StrictNameDecoder decode(charset);
    double total = 0;
    for (const std::string &name : names) {
        std::optional<std::u32string> text = decode(name);
        if (!text)
            return std::nullopt;
        total += multiByte ? MultiByteReading(name, multiByte, charset == "CP932").score() : scoreSingleByte(*text);
    }
    return total;
}

} // namespace qvo::text
