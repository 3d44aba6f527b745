#include "assign/Random.h"

#include <algorithm>
#include <cstdint>

namespace tarvel {

namespace {

thread_local std::uint32_t randomState = 1;

} // namespace

void SeedRandom(unsigned seed) {
    randomState = seed;
}

int NextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFFu);
}

int VariantIndex(int r, int count) {
    const int step = kRandomMax / count;
    // With more variants than values the step would be 0; every value is then an index of its own.
    const int index = step == 0 ? r : r / step;
    return std::min(index, count - 1);
}

} // namespace tarvel
