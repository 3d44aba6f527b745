#pragma once
// The expected-output pattern language of the variants' output files. A pattern is a sequence of directives,
// each "%" and a letter, with white space between them skipped:
//   %C text   the text must come next in the output, byte for byte
//   %c text   the same, ASCII letters compared as upper case
//   %f number one number read from the pattern and one from the output, both as fscanf's "%lf" reads them,
//             must be equal with no tolerance
// A text runs from the byte right after the letter to the next "%" or the end of the pattern; a backslash
// takes the following byte literally. Output left over after the pattern has ended is not examined.

#include <cstdio>

namespace tarvel {

// Reads both streams from their current positions. kRunPassed, kRunOutputMismatch or kRunPatternBroken.
// Numbers are read in the "C" locale whatever locale the process has set.
int ComparePattern(std::FILE* pattern, std::FILE* output);

} // namespace tarvel
