#pragma once
// What the runner and zorbox, its step inside the sandbox, agree on. One sandbox serves the build and the
// test run of a submission: zorbox is its first process (pid 1, which nothing inside can signal or trace),
// runs the build in the private copy of the sources, kills everything the build left, copies the built
// program out, runs it in a private, empty working directory and kills everything again.
//
//   zorbox PROGRAM BUILD-COMMAND...      (in the build directory)
//   0: the test's input   1: the capture   2: /dev/null
//   3: the build's messages   4: the copy of the built program   5: the status lines
//
// Status lines: "build <how> <exit code>", then when the build passed "program copied" or "program
// missing", then "test <how>"; <how> is one of the words below.

namespace tarvel {

// Where things are inside the sandbox.
inline constexpr const char* kSandboxBuildDirectory = "/build";
inline constexpr const char* kSandboxTestDirectory = "/test";
inline constexpr const char* kSandboxStepPath = "/tarvel/zorbox";
// The step's program in the installation's bin/.
inline constexpr const char* kSandboxStepName = "zorbox";

inline constexpr int kStepBuildLogFd = 3;
inline constexpr int kStepProgramCopyFd = 4;
inline constexpr int kStepStatusFd = 5;

inline constexpr const char* kStepExited = "exited";
inline constexpr const char* kStepSignaled = "signaled";
inline constexpr const char* kStepTimedOut = "timedout";
inline constexpr const char* kStepNotStarted = "notstarted";
inline constexpr const char* kStepProgramCopied = "copied";
inline constexpr const char* kStepProgramMissing = "missing";

} // namespace tarvel
