// Inputs for the LZX tests: text, x86 code, incompressible and structured
// data.
#pragma once
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "test_support.h"

namespace qvo::test::lzx {

// English-like text with a Zipf-ish vocabulary.
inline std::string textData(size_t n, uint32_t seed)
{
    static const char *words[] = {"the", "archive", "of", "folder", "and", "compression", "window", "to",
                                  "a", "file", "is", "frame", "data", "match", "offset", "in", "tree",
                                  "length", "block", "for", "with", "literal", "cabinet", "repeat"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) {
        unsigned r = rng() % 1000;
        unsigned w = r < 500 ? r % 6 : r % 24;
        s += words[w];
        s += (rng() % 12 == 0) ? ".\n" : " ";
    }
    s.resize(n);
    return s;
}

// Something shaped like x86 code: many E8 calls to a few targets.
inline std::string callsData(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::string s;
    const uint32_t targets[] = {0x1000, 0x2400, 0x8800, 0x30000};
    while (s.size() < n) {
        switch (rng() % 4) {
        case 0: {
            uint32_t rel = targets[rng() % 4] - uint32_t(s.size() + 5);
            s.push_back(char(0xE8));
            for (int i = 0; i < 4; ++i)
                s.push_back(char(rel >> (8 * i)));
            break;
        }
        case 1: s += "\x55\x89\xE5\x83\xEC\x10"; break;
        case 2: s += "\x8B\x45\x08\x01\xC0"; break;
        default: s.push_back(char(rng() % 256)); break;
        }
    }
    s.resize(n);
    return s;
}

// The first `n` bytes of a real executable, if one is around.
inline std::string binaryFromSystem(size_t n)
{
    for (const char *p : {"/usr/bin/cmake", "/usr/bin/bash", "/usr/bin/perl", "/usr/bin/ls"}) {
        std::string s = readFile(p);
        if (s.size() >= 4096) {
            if (s.size() > n)
                s.resize(n);
            return s;
        }
    }
    return callsData(n, 7);
}

} // namespace qvo::test::lzx
