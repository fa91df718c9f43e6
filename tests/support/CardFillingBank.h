#pragma once
// A SoundFont bank as large as a whole standard card's sound memory (about
// 28 MB of sample data) and copies of it under other names, for tests that
// fill the emulated card. The sample data is a hole in a sparse file and the
// copies are hard links to that one file, so 127 copies take a few KB of disk
// and are written in milliseconds; the card reads a bank's preset data and
// its sample data size only.
//
// With kCardFillingMemoryKB of sound memory the card holds exactly
// kCardFillingCopiesThatFit copies and is left one word short of another one.

#include "support/RiffBuilder.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::uint64_t kCardFillingBankWords = 14679991;
// An odd size: the last byte takes a word of its own.
inline constexpr std::uint32_t kCardFillingSampleBytes = 2 * kCardFillingBankWords - 1;
inline constexpr int kCardFillingCopiesThatFit = 6;
inline constexpr std::uint32_t kCardFillingMemoryKB = 200703;
static_assert(std::uint64_t{kCardFillingMemoryKB} * 512 ==
                  (kCardFillingCopiesThatFit + 1) * kCardFillingBankWords - 1,
              "the memory is one word short of one more copy");

// The name the card gives copy number (1-based): its file title, "copy001" and so on.
std::string CardFillingCopyName(int number);

// Writes the bank (no INAM text, one preset "Grand" numbered 0) as
// folder/copy001.sbk and links copy002.sbk ... to it, count files in all.
// Returns their paths, copy 1 first. Throws std::runtime_error when a file
// cannot be made.
std::vector<std::string> WriteCardFillingCopies(const TempDir& folder, int count);
