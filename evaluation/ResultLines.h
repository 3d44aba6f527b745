#pragma once
// The lines "Výsledky" of the evaluation dialog shows for a submitted task type: the stored test outcome,
// the style warnings and figures. Windows-1250 texts.

#include "store/Database.h"
#include "store/Results.h"

#include <optional>
#include <string>
#include <vector>

namespace tarvel {

// One short line per result code of the build-and-test run; "Zadanie je funkčné" for a passed test.
std::string TestOutcomeLine(int code);

// The stored result code of the submission; none for one stored before the code was kept, or unreadable.
std::optional<int> StoredTestCode(Database& db, const std::string& studentId, const std::string& task);

// The lines in their order: the test outcome (none without a code), "Použitý príkaz GOTO!", "Použité BREAK
// mimo príkazu CASE!", "Použité dynamické premenné" where flagged, the comment share, the longest and the
// average function, and the style fulfilment (none without a line count).
std::vector<std::string> ResultLines(const ResultRecord& result, std::optional<int> testCode);

} // namespace tarvel
