#pragma once
// "Hodnotenie študentov --> HTML": the results report, a Windows-1250 HTML page of the table, written
// piece by piece into the file the teacher chooses and then opened in the browser.

#include "evaluation/ResultsTable.h"
#include "platform/ChildProcess.h"
#include "shell/Prompts.h"

#include <ctime>
#include <string>
#include <vector>

namespace tarvel {

// The report's pieces in the order they are written; `now` is the local time of the heading.
std::vector<std::string> ResultsReportPieces(const ResultsTable& table, const ReportListing& listing,
                                             const std::tm& now);

// The whole button: the warning for an empty list, the save-file dialog, the file, then the browser.
void PublishResultsReport(Database& db, Prompts& prompts, const std::string& configPath,
                          const ReportListing& listing, const DetachedLauncher& launcher);

} // namespace tarvel
