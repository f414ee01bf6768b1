#include "codecs/rar/rar29_decoder.h"

#include "codecs/rar/rar_overrun.h"

#include <algorithm>
#include <cstring>

namespace qvo::codecs::rar {
namespace {

constexpr size_t kMainSymbols = 299;
constexpr size_t kDistSymbols = 60;
constexpr size_t kLowDistSymbols = 17;
constexpr size_t kRepSymbols = 28;
constexpr size_t kTableSize = kMainSymbols + kDistSymbols + kLowDistSymbols + kRepSymbols;
constexpr size_t kBitLengthSymbols = 20;
constexpr uint32_t kLowDistRepeat = 16;
constexpr size_t kMaxFilters = 8192;
constexpr size_t kFlushAt = 1 << 20;
constexpr uint64_t kMaxOvershoot = 1 << 16;
constexpr uint32_t kMaxGlobalData = 0x2000 - 0x40;
constexpr uint32_t kApplied = 0xFFFFFFFF; // marks a filter that has run

constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

struct DistanceSlots {
    uint32_t base[kDistSymbols];
    uint8_t bits[kDistSymbols];
    constexpr DistanceSlots() : base(), bits()
    {
        // Slots per extra-bit count: 4 with none, 2 each for 1 to 15 bits,
        // then 14 slots of 16 bits and 12 of 18 bits (up to 4 MiB).
        constexpr uint8_t kCounts[19] = {4, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 14, 0, 12};
        uint32_t dist = 0;
        size_t slot = 0;
        for (uint8_t b = 0; b < 19; ++b) {
            for (uint8_t j = 0; j < kCounts[b]; ++j, ++slot) {
                base[slot] = dist;
                bits[slot] = b;
                dist += 1u << b;
            }
        }
    }
};
constexpr DistanceSlots kDist;

// Bit reader over a filter record's bytes; zeros past the end.  The record
// is whole in memory already and its end is checked by byte position, so
// a bare bit position serves where lz::MsbBitReader would copy it into a
// block buffer through a source.
class RecordBits {
public:
    explicit RecordBits(const std::vector<uint8_t> &b) : b_(b) {}
    uint32_t peek16() const
    {
        size_t at = bit_ >> 3;
        uint32_t v = (byteAt(at) << 16) | (byteAt(at + 1) << 8) | byteAt(at + 2);
        return (v >> (8 - (bit_ & 7))) & 0xFFFF;
    }
    void skip(unsigned n) { bit_ += n; }
    size_t bytePos() const { return bit_ >> 3; }
    bool overrun() const { return (bit_ >> 3) > b_.size(); }
    // The variable-length numbers of filter records.
    uint32_t number()
    {
        uint32_t v = peek16();
        switch (v & 0xC000) {
        case 0:
            skip(6);
            return (v >> 10) & 0xF;
        case 0x4000:
            if ((v & 0x3C00) == 0) {
                skip(14);
                return 0xFFFFFF00u | ((v >> 2) & 0xFF);
            }
            skip(10);
            return (v >> 6) & 0xFF;
        case 0x8000:
            skip(2);
            v = peek16();
            skip(16);
            return v;
        default: {
            skip(2);
            uint32_t hi = peek16();
            skip(16);
            uint32_t lo = peek16();
            skip(16);
            return (hi << 16) | lo;
        }
        }
    }

private:
    uint32_t byteAt(size_t i) const { return i < b_.size() ? b_[i] : 0; }
    const std::vector<uint8_t> &b_;
    size_t bit_ = 0;
};

} // namespace

Rar29Decoder::Rar29Decoder(lz::Window &window) : win_(window), filterMemory_(kFilterMemory + 4, 0) {}
Rar29Decoder::~Rar29Decoder() = default;

void Rar29Decoder::resetState()
{
    oldLengths_.fill(0);
    oldDist_.fill(0);
    lastLength_ = 0;
    prevLowDist_ = 0;
    lowDistRepeats_ = 0;
    tablesRead_ = false;
    ppmBlock_ = false;
    ppmEscape_ = 2;
    programs_.clear();
    programLengths_.clear();
    lastProgram_ = 0;
}

Rar29Decoder::Step Rar29Decoder::readTables()
{
    in_.alignToByte();
    uint32_t v = in_.peek16();
    if (v & 0x8000) {
        ppmBlock_ = true;
        if (!ppm_)
            ppm_ = std::make_unique<PpmdModel>();
        return ppm_->init(in_, ppmEscape_) ? Step::Continue : Step::Corrupt;
    }
    ppmBlock_ = false;
    prevLowDist_ = 0;
    lowDistRepeats_ = 0;
    if (!(v & 0x4000))
        oldLengths_.fill(0);
    in_.skip(2);

    uint8_t bitLengths[kBitLengthSymbols];
    for (size_t i = 0; i < kBitLengthSymbols; ++i) {
        uint8_t len = static_cast<uint8_t>(in_.bits(4));
        if (len == 15) {
            uint32_t zeros = in_.bits(4);
            if (zeros == 0) {
                bitLengths[i] = 15;
            } else {
                for (zeros += 2; zeros > 0 && i < kBitLengthSymbols; --zeros)
                    bitLengths[i++] = 0;
                --i;
            }
        } else {
            bitLengths[i] = len;
        }
    }
    HuffmanTable lengthCode;
    lengthCode.build(bitLengths, kBitLengthSymbols);

    uint8_t table[kTableSize];
    for (size_t i = 0; i < kTableSize;) {
        if (overrun(in_))
            return Step::Corrupt;
        uint32_t sym = lengthCode.decode(in_);
        if (sym < 16) {
            table[i] = static_cast<uint8_t>((sym + oldLengths_[i]) & 0xF);
            ++i;
        } else if (sym < 18) {
            uint32_t n = sym == 16 ? in_.bits(3) + 3 : in_.bits(7) + 11;
            if (i == 0)
                return Step::Corrupt; // nothing to repeat
            for (; n > 0 && i < kTableSize; --n, ++i)
                table[i] = table[i - 1];
        } else {
            uint32_t n = sym == 18 ? in_.bits(3) + 3 : in_.bits(7) + 11;
            for (; n > 0 && i < kTableSize; --n)
                table[i++] = 0;
        }
    }
    if (overrun(in_))
        return Step::Corrupt;
    tablesRead_ = true;
    main_.build(table, kMainSymbols);
    dist_.build(table + kMainSymbols, kDistSymbols);
    lowDist_.build(table + kMainSymbols + kDistSymbols, kLowDistSymbols);
    rep_.build(table + kMainSymbols + kDistSymbols + kLowDistSymbols, kRepSymbols);
    std::memcpy(oldLengths_.data(), table, kTableSize);
    return Step::Continue;
}

Rar29Decoder::Step Rar29Decoder::readEndOfBlock()
{
    uint32_t v = in_.peek16();
    bool newTable, newFile = false;
    if (v & 0x8000) {
        newTable = true;
        in_.skip(1);
    } else {
        newFile = true;
        newTable = (v & 0x4000) != 0;
        in_.skip(2);
    }
    tablesRead_ = !newTable;
    if (newFile)
        return Step::EndOfFile; // tables, if new, come with the next member
    return newTable ? readTables() : Step::Continue;
}

void Rar29Decoder::insertOldDistance(uint32_t distance)
{
    oldDist_[3] = oldDist_[2];
    oldDist_[2] = oldDist_[1];
    oldDist_[1] = oldDist_[0];
    oldDist_[0] = distance;
}

void Rar29Decoder::copy(uint32_t length, uint32_t distance)
{
    win_.copy(distance, length);
}

Rar29Decoder::Step Rar29Decoder::decodeLz()
{
    uint32_t sym = main_.decode(in_);
    if (sym < 256) {
        win_.put(static_cast<uint8_t>(sym));
        return Step::Continue;
    }
    if (sym >= 271) {
        sym -= 271;
        uint32_t length = kLengthBase[sym] + 3u;
        if (kLengthBits[sym])
            length += in_.bits(kLengthBits[sym]);
        uint32_t slot = dist_.decode(in_);
        if (slot >= kDistSymbols)
            return Step::Corrupt;
        uint32_t distance = kDist.base[slot] + 1;
        unsigned bits = kDist.bits[slot];
        if (bits > 0) {
            if (slot > 9) {
                // High bits direct, the low four from their own table.
                if (bits > 4)
                    distance += in_.bits(bits - 4) << 4;
                if (lowDistRepeats_ > 0) {
                    --lowDistRepeats_;
                    distance += prevLowDist_;
                } else {
                    uint32_t low = lowDist_.decode(in_);
                    if (low == 16) {
                        lowDistRepeats_ = kLowDistRepeat - 1;
                        distance += prevLowDist_;
                    } else {
                        distance += low;
                        prevLowDist_ = low;
                    }
                }
            } else {
                distance += in_.bits(bits);
            }
        }
        if (distance >= 0x2000) {
            ++length;
            if (distance >= 0x40000)
                ++length;
        }
        insertOldDistance(distance);
        lastLength_ = length;
        copy(length, distance);
        return Step::Continue;
    }
    if (sym == 256)
        return readEndOfBlock();
    if (sym == 257)
        return readFilterFromLz();
    if (sym == 258) {
        if (lastLength_ != 0)
            copy(lastLength_, oldDist_[0]);
        return Step::Continue;
    }
    if (sym < 263) {
        uint32_t which = sym - 259;
        uint32_t distance = oldDist_[which];
        for (uint32_t i = which; i > 0; --i)
            oldDist_[i] = oldDist_[i - 1];
        oldDist_[0] = distance;
        uint32_t slot = rep_.decode(in_);
        if (slot >= kRepSymbols)
            return Step::Corrupt;
        uint32_t length = kLengthBase[slot] + 2u;
        if (kLengthBits[slot])
            length += in_.bits(kLengthBits[slot]);
        lastLength_ = length;
        copy(length, distance);
        return Step::Continue;
    }
    sym -= 263; // short distances, length 2
    uint32_t distance = kShortBase[sym] + 1u;
    if (kShortBits[sym])
        distance += in_.bits(kShortBits[sym]);
    insertOldDistance(distance);
    lastLength_ = 2;
    copy(2, distance);
    return Step::Continue;
}

Rar29Decoder::Step Rar29Decoder::decodePpm()
{
    int ch = ppm_->decodeChar(in_);
    if (ch < 0)
        return Step::Corrupt;
    if (ch != ppmEscape_) {
        win_.put(static_cast<uint8_t>(ch));
        return Step::Continue;
    }
    int next = ppm_->decodeChar(in_);
    switch (next) {
    case -1:
        return Step::Corrupt;
    case 0:
        return readTables();
    case 2:
        return Step::EndOfFile;
    case 3:
        return readFilterFromPpm();
    case 4: {
        uint32_t distance = 0;
        for (int i = 0; i < 3; ++i) {
            int b = ppm_->decodeChar(in_);
            if (b < 0)
                return Step::Corrupt;
            distance = (distance << 8) | static_cast<uint32_t>(b);
        }
        int length = ppm_->decodeChar(in_);
        if (length < 0)
            return Step::Corrupt;
        copy(static_cast<uint32_t>(length) + 32, distance + 2);
        return Step::Continue;
    }
    case 5: {
        int length = ppm_->decodeChar(in_);
        if (length < 0)
            return Step::Corrupt;
        copy(static_cast<uint32_t>(length) + 4, 1);
        return Step::Continue;
    }
    default:
        win_.put(static_cast<uint8_t>(ch)); // the escape byte itself
        return Step::Continue;
    }
}

Rar29Decoder::Step Rar29Decoder::readFilterFromLz()
{
    uint32_t first = in_.bits(8);
    uint32_t length = (first & 7) + 1;
    if (length == 7)
        length = in_.bits(8) + 7;
    else if (length == 8)
        length = in_.bits(16);
    if (length == 0)
        return Step::Corrupt;
    std::vector<uint8_t> code(length + 1);
    code[0] = static_cast<uint8_t>(first);
    for (uint32_t i = 1; i <= length; ++i) {
        if (overrun(in_))
            return Step::Corrupt;
        code[i] = static_cast<uint8_t>(in_.bits(8));
    }
    return addFilter(code);
}

Rar29Decoder::Step Rar29Decoder::readFilterFromPpm()
{
    int first = ppm_->decodeChar(in_);
    if (first < 0)
        return Step::Corrupt;
    uint32_t length = (static_cast<uint32_t>(first) & 7) + 1;
    if (length == 7) {
        int b = ppm_->decodeChar(in_);
        if (b < 0)
            return Step::Corrupt;
        length = static_cast<uint32_t>(b) + 7;
    } else if (length == 8) {
        int hi = ppm_->decodeChar(in_);
        int lo = ppm_->decodeChar(in_);
        if (hi < 0 || lo < 0)
            return Step::Corrupt;
        length = static_cast<uint32_t>(hi) * 256 + static_cast<uint32_t>(lo);
    }
    if (length == 0)
        return Step::Corrupt;
    std::vector<uint8_t> code(length + 1);
    code[0] = static_cast<uint8_t>(first);
    for (uint32_t i = 1; i <= length; ++i) {
        int b = ppm_->decodeChar(in_);
        if (b < 0)
            return Step::Corrupt;
        code[i] = static_cast<uint8_t>(b);
    }
    return addFilter(code);
}

// code[0] holds the record's flags, the rest its fields.
Rar29Decoder::Step Rar29Decoder::addFilter(const std::vector<uint8_t> &record)
{
    uint8_t flags = record[0];
    std::vector<uint8_t> body(record.begin() + 1, record.end());
    RecordBits bits(body);

    size_t program = lastProgram_;
    if (flags & 0x80) {
        uint32_t n = bits.number();
        if (n == 0) {
            programs_.clear(); // programs numbered afresh
            programLengths_.clear();
            program = 0;
        } else {
            program = n - 1;
        }
    }
    if (program > programs_.size() || program > kMaxFilters)
        return Step::Corrupt;
    lastProgram_ = program;
    bool newProgram = program == programs_.size();
    if (newProgram) {
        programs_.push_back(FilterKind::Unknown);
        programLengths_.push_back(0);
    }
    if (pending_.size() >= kMaxFilters)
        return Step::Corrupt;

    Filter f;
    f.program = program;
    uint32_t blockStart = bits.number();
    if (flags & 0x40)
        blockStart += 258;
    f.start = (blockStart + win_.pos()) & win_.mask();
    if (flags & 0x20) {
        f.length = bits.number();
        programLengths_[program] = f.length;
    } else {
        f.length = programLengths_[program];
    }
    f.nextWindow = win_.flushed() != win_.pos() && ((win_.flushed() - win_.pos()) & win_.mask()) <= blockStart;
    f.registers[4] = f.length;
    if (flags & 0x10) {
        uint32_t mask = bits.peek16() >> 9;
        bits.skip(7);
        for (int i = 0; i < 7; ++i) {
            if (mask & (1u << i))
                f.registers[static_cast<size_t>(i)] = bits.number();
        }
    }
    if (newProgram) {
        uint32_t codeSize = bits.number();
        if (codeSize == 0 || codeSize >= 0x10000 || bits.bytePos() + codeSize > body.size())
            return Step::Corrupt;
        std::vector<uint8_t> code(codeSize);
        for (uint32_t i = 0; i < codeSize; ++i) {
            code[i] = static_cast<uint8_t>(bits.peek16() >> 8);
            bits.skip(8);
        }
        programs_[program] = identifyFilter(code.data(), code.size());
    }
    if (flags & 0x08) {
        uint32_t dataSize = bits.number();
        if (dataSize > kMaxGlobalData)
            return Step::Corrupt;
        bits.skip(dataSize * 8); // data for general programs; standard filters take none
    }
    if (bits.overrun())
        return Step::Corrupt;
    if (programs_[program] == FilterKind::Unknown)
        return Step::Unsupported;
    if (f.length > kFilterMemory)
        return Step::Corrupt; // larger than the filter memory: never produced by a real archiver
    pending_.push_back(f);
    return Step::Continue;
}

bool Rar29Decoder::flush(uint64_t limit, base::ByteSink &out, bool &corrupt)
{
    corrupt = false;
    size_t border = win_.flushed();
    for (size_t i = 0; i < pending_.size(); ++i) {
        Filter &f = pending_[i];
        if (f.length == kApplied)
            continue; // already applied
        if (f.nextWindow) {
            f.nextWindow = false;
            continue;
        }
        size_t available = (win_.pos() - border) & win_.mask();
        if (((f.start - border) & win_.mask()) >= available)
            continue;
        if (border != f.start) {
            if (!win_.writeUpTo(f.start, limit, out))
                return false;
            border = f.start;
            available = (win_.pos() - border) & win_.mask();
        }
        if (f.length > available) {
            // Its block is not complete yet: stop here until it is.
            for (size_t j = i; j < pending_.size(); ++j)
                pending_[j].nextWindow = false;
            dropAppliedFilters();
            return true;
        }
        for (uint32_t k = 0; k < f.length; ++k)
            filterMemory_[k] = win_.at(f.start + k);
        size_t outOffset = 0, outSize = 0;
        if (!runFilter(programs_[f.program], f.registers, filterMemory_, outOffset, outSize)) {
            corrupt = true;
            return false;
        }
        uint32_t blockLength = f.length;
        size_t start = f.start;
        f.length = kApplied;
        // Filters on the same block run on the previous one's output.
        while (i + 1 < pending_.size()) {
            Filter &g = pending_[i + 1];
            if (g.start != start || g.length != outSize || g.nextWindow)
                break;
            std::memmove(filterMemory_.data(), filterMemory_.data() + outOffset, outSize);
            if (!runFilter(programs_[g.program], g.registers, filterMemory_, outOffset, outSize)) {
                corrupt = true;
                return false;
            }
            g.length = kApplied;
            ++i;
        }
        if (!win_.writeFiltered(filterMemory_.data() + outOffset, outSize, blockLength, limit, out))
            return false;
        border = (start + blockLength) & win_.mask();
    }
    dropAppliedFilters();
    return win_.writeUpTo(win_.pos(), limit, out);
}

void Rar29Decoder::dropAppliedFilters()
{
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [](const Filter &f) { return f.length == kApplied; }),
                   pending_.end());
}

base::DecodeStatus Rar29Decoder::unpack(bool solid, base::ByteSource &src, uint64_t size, base::ByteSink &out)
{
    in_.reset(src);
    if (!solid)
        resetState();
    pending_.clear();
    if (!solid || !tablesRead_) {
        Step s = readTables();
        if (s != Step::Continue)
            return s == Step::Unsupported ? base::DecodeStatus::Unsupported : base::DecodeStatus::Corrupt;
    }
    Step step = Step::Continue;
    bool corrupt = false;
    while (step == Step::Continue) {
        if (win_.produced() >= size) {
            if (win_.produced() > size + kMaxOvershoot)
                break;
            if (!ppmBlock_) {
                // All bytes are there; an end-of-file code may still follow
                // and says whether the next solid member brings new tables.
                lz::MsbBitReader::Mark m = in_.mark();
                if (in_.exhausted())
                    break;
                if (main_.decode(in_) != 256) {
                    in_.restore(m);
                    break;
                }
                step = readEndOfBlock();
                continue;
            }
            // PPMd: decode on up to the end code, which also updates the model.
        }
        if (overrun(in_)) {
            if (in_.readFailed())
                return base::DecodeStatus::ReadError;
            if (win_.produced() >= size)
                break;
            return base::DecodeStatus::Corrupt;
        }
        if (win_.pending() >= kFlushAt) {
            if (!flush(size, out, corrupt))
                return corrupt ? base::DecodeStatus::Corrupt : base::DecodeStatus::OutputStopped;
            if (win_.pending() >= win_.size() - kFlushAt)
                return base::DecodeStatus::Corrupt; // a filter holds back more than the window
        }
        step = ppmBlock_ ? decodePpm() : decodeLz();
    }
    // Past the member's last byte only the end code matters: the CRC judges
    // the data.
    if (step == Step::Corrupt && win_.produced() >= size)
        step = Step::EndOfFile;
    if (step == Step::Corrupt)
        return base::DecodeStatus::Corrupt;
    if (step == Step::Unsupported)
        return base::DecodeStatus::Unsupported;
    if (!flush(size, out, corrupt))
        return corrupt ? base::DecodeStatus::Corrupt : base::DecodeStatus::OutputStopped;
    if (win_.pending() > 0 && win_.written() < size)
        return base::DecodeStatus::Corrupt; // a filter's block never completed
    return base::DecodeStatus::Ok;
}

} // namespace qvo::codecs::rar
