#pragma once
// Merges a submission's C files into one text, ppf.ppf in the submission directory, replacing every include
// directive whose file is part of the submission by that file's text, recursively. Nothing else of the C
// preprocessor is done. The merged file's name is cached in the result record under kPreprocessedFileKey.

#include "store/Database.h"
#include "store/Results.h"

#include <string>
#include <vector>

namespace tarvel {

inline constexpr const char* kPreprocessedFileName = "ppf.ppf";

// The full name of the submission's merged file: the cached name when the record holds one (whether or not
// the file still exists), otherwise the result of ExpandIncludes. Empty when it could not be built.
std::string PreprocessedFile(Database& db, const ResultRecord& record);

// Builds ppf.ppf from every "*.c" file of the submission directory in ascending name order (sources read as
// Windows text mode reads them, the output written as it writes them, LF becoming CR LF) and records the
// cache key. A "*.c" file already pulled in by an include of an earlier file is skipped. Returns the full
// name, or empty when the directory is missing, a "*.c" file cannot be read or ppf.ppf cannot be written; the
// key is then left absent.
std::string ExpandIncludes(Database& db, const ResultRecord& record);

// Names whose expansion has begun during one run, compared ignoring letter case.
struct ExpandedFiles {
    std::vector<std::string> names;

    bool Contains(const std::string& name) const;
};

// Appends the file `name` (relative to `directory`) to output with its includes expanded. 0 when expanded;
// 1 when refused because it is already on the list or cannot be opened as a file of the directory.
int ExpandFile(std::string& output, const std::string& directory, const std::string& name,
               ExpandedFiles& expanded);

// A reader over text already converted from Windows text mode.
struct TextInput {
    std::string_view text;
    std::size_t position = 0;

    static constexpr int kEnd = -1;
    int Get() { return position < text.size() ? static_cast<unsigned char>(text[position++]) : kEnd; }
};

// Reads the rest of a "#" line. raw receives the text exactly as read, with its continuation line ends and
// the final line feed (none when the input ends first); logical the same text with each backslash-newline
// joined into one line (backslash and newline each become a space).
void ReadDirective(TextInput& input, std::string& raw, std::string& logical);

} // namespace tarvel
