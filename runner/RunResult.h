#pragma once
// The result codes of one build-and-test run.

namespace tarvel {

inline constexpr int kRunPassed = 0;              // built, and every test passed
inline constexpr int kRunNothingToBuild = 1;      // no single makefile or C source file
inline constexpr int kRunBuildFailed = 11;        // the compiler or make failed, or ran out of time
inline constexpr int kRunBuildNotStarted = 12;    // the compiler or make cannot be started
inline constexpr int kRunNoSandbox = 13;          // not tested: no sandbox could be made for student code
inline constexpr int kRunOutputMismatch = 21;     // the output does not match the expected output
inline constexpr int kRunProgramNotStarted = 22;  // the built program cannot be started
inline constexpr int kRunInputUnavailable = 23;   // the input file or the capture file cannot be used
inline constexpr int kRunPatternUnavailable = 24; // the expected-output file cannot be opened
inline constexpr int kRunPatternBroken = 25;      // the expected-output file breaks the pattern language

} // namespace tarvel
