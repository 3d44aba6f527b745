#pragma once
// "Znovu otestovať": every accepted submission of one variant built and tested again, after the teacher
// corrected the variant's test; each new result code replaces the stored one. Runs on the GUI thread, never
// beside the receiving daemon, whose scratch directory the builds use.

#include "platform/ChildProcess.h"
#include "store/Database.h"
#include "store/Students.h"

#include <functional>
#include <string>
#include <vector>

namespace tarvel {

struct RetestSummary {
    int submissions = 0;  // accepted submissions of the variant
    int tested = 0;       // of them, built and tested again, the new code stored
    int passedBefore = 0; // of those tested again, stored as passed before the re-test
    int passedAfter = 0;  // and after it
    // UNI IDs of the submissions that could not be tested again (the student id where the student's record
    // cannot be read); their stored result code stays as it was.
    std::vector<std::string> missing;
};

// Told before each submission (done of total, the student of the submission) and once at the end (total of
// total, nullptr).
using RetestProgress = std::function<void(int done, int total, const StudentRecord* student)>;

// Runs TestRunner, as the daemon's verdict stage does (the compiler of the configuration at configPath, the
// installation DaemonInstallationPath(configPath) for the sandbox step and the scratch directory), on every
// submission of the variant's accepted list, in the list's order, and stores each result code as
// kTestResultKey. "Passed" is code 0. A submission whose student or result record cannot be read, whose
// result names another variant, whose directory is gone or whose new code cannot be stored is listed in
// `missing` and the run goes on. Nothing runs (the summary empty) when the accepted list cannot be read or
// when a daemon of the installation is in its cycle, whose build would share the scratch directory; while
// the re-test runs, the daemon lets its cycles pass. Progress may be empty.
enum class RetestOutcome { Done, ListUnreadable, DaemonBusy };
RetestOutcome RetestVariant(Database& db, const std::string& configPath, const std::string& taskType,
                            const std::string& variant, const RetestProgress& progress,
                            RetestSummary& summary, ProcessLauncher launcher = RunChild);

// The closing box's text (Windows-1250): how many submissions were tested again, how many passed before and
// after, and the UNI IDs left as they were.
std::string RetestReport(const RetestSummary& summary);

} // namespace tarvel
