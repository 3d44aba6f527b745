#pragma once
// "Hodnotenie študentov --> HTML": the results report, a Windows-1250 HTML page of the table, written
// piece by piece into the file the teacher chooses and then opened in the browser. Text from the store is
// escaped ("<", ">", "&"); the page declares its character set in its HEAD.

#include "evaluation/ResultsTable.h"
#include "platform/ChildProcess.h"
#include "shell/Prompts.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace tarvel {

// The start of the report's and of its export's buttons. With no student listed: the warning "V zozname nie
// sú žiadny študenti !!!" ("Pozor") and nullopt. Otherwise the save-file dialog with the filter (UTF-8, the
// "A|*.x|" form) and the default extension, which is added here too when the chosen name has none; nullopt
// when cancelled. An existing file is not asked about.
std::optional<std::string> ChooseReportFile(Prompts& prompts, const ReportListing& listing,
                                            const char* filter, const char* extension);

// The report's pieces in the order they are written; `now` is the local time of the heading.
std::vector<std::string> ResultsReportPieces(const ResultsTable& table, const ReportListing& listing,
                                             const std::tm& now);

// The whole button: ChooseReportFile (".html"), the file created or truncated ("Nemožno vytvoriť súbor !!!"),
// each piece in one write call (at the first failure "Nemožno zapísať do súboru !!!", the file closed and
// left as far as it got, no browser), then the browser with "file://" and the path.
void PublishResultsReport(Database& db, Prompts& prompts, const std::string& configPath,
                          const ReportListing& listing, const DetachedLauncher& launcher);

} // namespace tarvel
