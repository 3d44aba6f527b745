#pragma once
// The random numbers of the assignment: the C library's classic linear congruential generator, written out so
// that every platform draws the same sequence. Its state belongs to the calling thread and starts at 1.

namespace tarvel {

inline constexpr int kRandomMax = 32767;

void SeedRandom(unsigned seed);
// The next value, 0 to kRandomMax: state = state * 214013 + 2531011 (mod 2^32), value = (state >> 16) &
// 32767.
int NextRandom();

// The variant index for a drawn value r among `count` variants: r / (32767 / count), kept below count.
// `count` must be at least 1.
int VariantIndex(int r, int count);

} // namespace tarvel
