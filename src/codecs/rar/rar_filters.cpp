#include "codecs/rar/rar_filters.h"

#include "base/endian.h"
#include "codecs/crc32.h"

#include <cstdlib>

namespace qvo::codecs::rar {
namespace {

constexpr uint32_t kFileSize = 0x1000000; // E8 translation assumes 16 MiB files

using base::loadLe32;
using base::storeLe32;

// x86 CALL (and JMP) targets were made absolute; make them relative again.
bool runE8(uint8_t *data, uint32_t size, uint32_t fileOffset, bool alsoE9)
{
    if (size > kFilterMemory || size < 4)
        return false;
    for (uint32_t pos = 0; pos < size - 4;) {
        uint8_t op = data[pos++];
        if (op != 0xE8 && !(alsoE9 && op == 0xE9))
            continue;
        uint32_t offset = pos + fileOffset;
        uint32_t addr = loadLe32(data + pos);
        if (addr & 0x80000000u) {
            if (((addr + offset) & 0x80000000u) == 0)
                storeLe32(data + pos, addr + kFileSize);
        } else if (((addr - kFileSize) & 0x80000000u) != 0) {
            storeLe32(data + pos, addr - offset);
        }
        pos += 4;
    }
    return true;
}

uint32_t itaniumBits(const uint8_t *data, unsigned bitPos, unsigned count)
{
    const uint8_t *p = data + bitPos / 8;
    return (loadLe32(p) >> (bitPos & 7)) & (0xFFFFFFFFu >> (32 - count));
}

void setItaniumBits(uint8_t *data, uint32_t value, unsigned bitPos, unsigned count)
{
    uint8_t *p = data + bitPos / 8;
    unsigned shift = bitPos & 7;
    uint32_t keep = ~((0xFFFFFFFFu >> (32 - count)) << shift);
    value <<= shift;
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>((p[i] & keep) | value);
        keep = (keep >> 8) | 0xFF000000u;
        value >>= 8;
    }
}

// IA-64 bundles: branch targets in the slots the template marks.
bool runItanium(uint8_t *data, uint32_t size, uint32_t fileOffset)
{
    static constexpr uint8_t kSlotMasks[16] = {4, 4, 6, 6, 0, 0, 7, 7, 4, 4, 0, 0, 4, 4, 0, 0};
    if (size > kFilterMemory || size < 21)
        return false;
    fileOffset >>= 4;
    for (uint32_t pos = 0; pos < size - 21; pos += 16, data += 16, ++fileOffset) {
        int tmpl = (data[0] & 0x1F) - 0x10;
        if (tmpl < 0)
            continue;
        uint8_t mask = kSlotMasks[tmpl];
        for (unsigned slot = 0; slot <= 2; ++slot) {
            if (!(mask & (1u << slot)))
                continue;
            unsigned start = slot * 41 + 5;
            if (itaniumBits(data, start + 37, 4) != 5)
                continue;
            uint32_t offset = itaniumBits(data, start + 13, 20);
            setItaniumBits(data, (offset - fileOffset) & 0xFFFFF, start + 13, 20);
        }
    }
    return true;
}

// Bytes were stored per channel as differences.
bool runDelta(uint8_t *mem, uint32_t size, uint32_t channels)
{
    if (size > kFilterMemory / 2 || channels > 1024 || channels == 0)
        return false;
    uint32_t src = 0;
    for (uint32_t ch = 0; ch < channels; ++ch) {
        uint8_t prev = 0;
        for (uint32_t dst = size + ch; dst < 2 * size; dst += channels)
            mem[dst] = prev = static_cast<uint8_t>(prev - mem[src++]);
    }
    return true;
}

// 24-bit images predicted from the left and upper pixels (Paeth).
bool runRgb(uint8_t *mem, uint32_t size, uint32_t width, uint32_t redPos)
{
    if (size > kFilterMemory / 2 || size < 3 || width > size || width < 3 || redPos > 2)
        return false;
    width -= 3;
    const uint8_t *src = mem;
    uint8_t *dst = mem + size;
    for (uint32_t ch = 0; ch < 3; ++ch) {
        uint32_t prev = 0;
        for (uint32_t i = ch; i < size; i += 3) {
            uint32_t predicted = prev;
            if (i >= width + 3) {
                uint32_t upper = dst[i - width];
                uint32_t upperLeft = dst[i - width - 3];
                predicted = prev + upper - upperLeft;
                int pa = std::abs(static_cast<int>(predicted - prev));
                int pb = std::abs(static_cast<int>(predicted - upper));
                int pc = std::abs(static_cast<int>(predicted - upperLeft));
                if (pa <= pb && pa <= pc)
                    predicted = prev;
                else if (pb <= pc)
                    predicted = upper;
                else
                    predicted = upperLeft;
            }
            prev = static_cast<uint8_t>(predicted - *src++);
            dst[i] = static_cast<uint8_t>(prev);
        }
    }
    for (uint32_t i = redPos; i + 2 < size; i += 3) {
        uint8_t g = dst[i + 1];
        dst[i] = static_cast<uint8_t>(dst[i] + g);
        dst[i + 2] = static_cast<uint8_t>(dst[i + 2] + g);
    }
    return true;
}

// Sound samples predicted by an adaptive linear filter per channel.
bool runAudio(uint8_t *mem, uint32_t size, uint32_t channels)
{
    if (size > kFilterMemory / 2 || channels > 128 || channels == 0)
        return false;
    const uint8_t *src = mem;
    uint8_t *dst = mem + size;
    for (uint32_t ch = 0; ch < channels; ++ch) {
        uint32_t prevByte = 0, prevDelta = 0;
        uint32_t dif[7] = {};
        int d1 = 0, d2 = 0, d3 = 0;
        int k1 = 0, k2 = 0, k3 = 0;
        for (uint32_t i = ch, count = 0; i < size; i += channels, ++count) {
            d3 = d2;
            d2 = static_cast<int>(prevDelta) - d1;
            d1 = static_cast<int>(prevDelta);
            uint32_t predicted = 8 * prevByte + static_cast<uint32_t>(k1 * d1 + k2 * d2 + k3 * d3);
            predicted = (predicted >> 3) & 0xFF;
            uint32_t cur = *src++;
            predicted -= cur;
            dst[i] = static_cast<uint8_t>(predicted);
            prevDelta = static_cast<uint32_t>(static_cast<int8_t>(predicted - prevByte));
            prevByte = predicted & 0xFF;
            int d = static_cast<int8_t>(cur) * 8;
            dif[0] += static_cast<uint32_t>(std::abs(d));
            dif[1] += static_cast<uint32_t>(std::abs(d - d1));
            dif[2] += static_cast<uint32_t>(std::abs(d + d1));
            dif[3] += static_cast<uint32_t>(std::abs(d - d2));
            dif[4] += static_cast<uint32_t>(std::abs(d + d2));
            dif[5] += static_cast<uint32_t>(std::abs(d - d3));
            dif[6] += static_cast<uint32_t>(std::abs(d + d3));
            if ((count & 0x1F) == 0) {
                uint32_t minDif = dif[0], best = 0;
                dif[0] = 0;
                for (uint32_t j = 1; j < 7; ++j) {
                    if (dif[j] < minDif) {
                        minDif = dif[j];
                        best = j;
                    }
                    dif[j] = 0;
                }
                switch (best) {
                case 1: if (k1 >= -16) --k1; break;
                case 2: if (k1 < 16) ++k1; break;
                case 3: if (k2 >= -16) --k2; break;
                case 4: if (k2 < 16) ++k2; break;
                case 5: if (k3 >= -16) --k3; break;
                case 6: if (k3 < 16) ++k3; break;
                default: break;
                }
            }
        }
    }
    return true;
}

} // namespace

FilterKind identifyFilter(const uint8_t *code, size_t size)
{
    struct Known {
        size_t size;
        uint32_t crc;
        FilterKind kind;
    };
    static constexpr Known kKnown[] = {
        {53, 0xAD576887, FilterKind::E8},     {57, 0x3CD7E57E, FilterKind::E8E9},
        {120, 0x3769893F, FilterKind::Itanium}, {29, 0x0E06077D, FilterKind::Delta},
        {149, 0x1C2C5DC8, FilterKind::Rgb},   {216, 0xBC85E701, FilterKind::Audio},
    };
    uint32_t crc = codecs::crc32(0, code, size);
    for (const Known &k : kKnown) {
        if (k.size == size && k.crc == crc)
            return k.kind;
    }
    return FilterKind::Unknown;
}

bool runFilter(FilterKind kind, const std::array<uint32_t, 7> &r, std::vector<uint8_t> &memory, size_t &outOffset,
               size_t &outSize)
{
    uint32_t size = r[4];
    uint8_t *mem = memory.data();
    outOffset = 0;
    outSize = size;
    switch (kind) {
    case FilterKind::E8:
        return runE8(mem, size, r[6], false);
    case FilterKind::E8E9:
        return runE8(mem, size, r[6], true);
    case FilterKind::Itanium:
        return runItanium(mem, size, r[6]);
    case FilterKind::Delta:
        outOffset = size;
        return runDelta(mem, size, r[0]);
    case FilterKind::Rgb:
        outOffset = size;
        return runRgb(mem, size, r[0], r[1]);
    case FilterKind::Audio:
        outOffset = size;
        return runAudio(mem, size, r[0]);
    case FilterKind::Unknown:
        break;
    }
    return false;
}

} // namespace qvo::codecs::rar
