#pragma once
// The page that shows two students' submissions of one task type side by side, coloured as the rendered
// sources are, with the passages they share marked and aligned. Shared means equal once identifiers are
// renamed consistently, as the similarity measure ignores names.

#include "platform/ChildProcess.h"
#include "shell/Prompts.h"
#include "store/Database.h"

#include <string>

namespace tarvel {

// Writes the comparison page of the two students' (ids) submissions of the task type into the
// installation's scratch directory and opens it in the browser. Tells what failed.
void CompareSubmissions(Database& db, Prompts& prompts, const std::string& configPath,
                        const std::string& taskType, const std::string& studentId,
                        const std::string& classmateId, const DetachedLauncher& launcher);

} // namespace tarvel
