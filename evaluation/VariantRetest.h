#pragma once
// "Znovu otestovať": every accepted submission of one variant built and tested again, after the teacher
// corrected the variant's test; each new result code replaces the stored one.

#include "platform/ChildProcess.h"
#include "store/Database.h"
#include "store/Students.h"

#include <functional>
#include <string>
#include <vector>

namespace tarvel {

struct RetestSummary {
    int submissions = 0;  // accepted submissions of the variant
    int passedBefore = 0; // of them, stored as passed before the re-test
    int passedAfter = 0;  // and after it
    std::vector<std::string> missing; // UNI IDs whose submission could not be tested again, with no change
};

// Told before each submission (student of the submission) and once at the end (nullptr).
using RetestProgress = std::function<void(int done, int total, const StudentRecord* student)>;

RetestSummary RetestVariant(Database& db, const std::string& configPath, const std::string& taskType,
                            const std::string& variant, const RetestProgress& progress,
                            ProcessLauncher launcher = RunChild);

// The closing box's text.
std::string RetestReport(const RetestSummary& summary);

} // namespace tarvel
