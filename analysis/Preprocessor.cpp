#include "analysis/Preprocessor.h"

#include "platform/FileOps.h"
#include "platform/TextMode.h"
#include "store/RecordSection.h"

#include <optional>
#include <strings.h>

namespace tarvel {

namespace {

// One source file larger than this is not a student's source; refusing it keeps the merged text bounded.
constexpr std::size_t kMaximumSourceFileBytes = 16u << 20;

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view TrimSpace(std::string_view text) {
    while (!text.empty() && IsSpace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// The submission-relative name of an included file with every component resolved ignoring letter case, as
// Windows opens it from the submission directory. Absolute names and ".." never leave the submission: such a
// file is simply not part of it.
std::optional<std::string> ResolveInSubmission(const std::string& directory, std::string_view name) {
    // A NUL would cut the name short in the system calls: such a name names no file.
    if (name.empty() || name.front() == '/' || name.front() == '\\' ||
        name.find_first_of(std::string_view(":\0", 2)) != std::string_view::npos) {
        return std::nullopt;
    }
    std::string relative;
    std::string current = directory;
    while (!name.empty()) {
        const std::size_t separator = name.find_first_of("/\\");
        const std::string_view component = name.substr(0, separator);
        name = separator == std::string_view::npos ? std::string_view() : name.substr(separator + 1);
        if (component.empty() || component == ".") {
            continue;
        }
        if (component == "..") {
            return std::nullopt;
        }
        const auto actual = FindCaseInsensitive(current, component);
        if (!actual) {
            return std::nullopt;
        }
        current = JoinPath(current, *actual);
        relative = relative.empty() ? *actual : relative + "/" + *actual;
    }
    if (relative.empty() || !IsRegularFile(current)) {
        return std::nullopt;
    }
    return relative;
}

void HandleDirective(std::string& output, const std::string& directory, const std::string& raw,
                     std::string_view logical, ExpandedFiles& expanded) {
    constexpr std::string_view kInclude = "include";
    if (logical.substr(0, kInclude.size()) == kInclude) {
        std::string_view rest = logical.substr(kInclude.size());
        while (!rest.empty() && IsSpace(static_cast<unsigned char>(rest.front()))) {
            rest.remove_prefix(1);
        }
        if (!rest.empty() && (rest.front() == '"' || rest.front() == '<')) {
            const char closing = rest.front() == '"' ? '"' : '>';
            const std::size_t end = rest.find(closing, 1);
            if (end != std::string_view::npos) {
                const std::string name(TrimSpace(rest.substr(1, end - 1)));
                if (ExpandFile(output, directory, name, expanded) == 0) {
                    return;
                }
            }
        }
    }
    output += raw;
}

} // namespace

bool ExpandedFiles::Contains(const std::string& name) const {
    for (const auto& listed : names) {
        if (strcasecmp(listed.c_str(), name.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

void ReadDirective(TextInput& input, std::string& raw, std::string& logical) {
    int c = input.Get();
    if (c == TextInput::kEnd) {
        return;
    }
    int lastSignificant = TextInput::kEnd;
    std::size_t lastSignificantPosition = 0;
    while (c != '\n') {
        raw.push_back(static_cast<char>(c));
        logical.push_back(static_cast<char>(c));
        if (!IsSpace(c)) {
            lastSignificant = c;
            lastSignificantPosition = logical.size() - 1;
        }
        c = input.Get();
        if (c == '\n' && lastSignificant == '\\') {
            raw.push_back('\n');
            logical.push_back(' ');
            logical[lastSignificantPosition] = ' ';
            lastSignificant = TextInput::kEnd;
            c = input.Get();
        }
        if (c == TextInput::kEnd) {
            return;
        }
    }
    raw.push_back('\n');
}

namespace {

// Appends the file at `relative`, a path of the directory as it is, with its includes expanded.
int ExpandEntry(std::string& output, const std::string& directory, const std::string& relative,
                ExpandedFiles& expanded) {
    if (expanded.Contains(relative)) {
        return 1;
    }
    std::string content;
    if (!ReadTextModeFile(JoinPath(directory, relative), content, kMaximumSourceFileBytes)) {
        return 1;
    }
    // From here on the file counts as expanded, so one that includes itself is not expanded inside itself.
    expanded.names.push_back(relative);

    TextInput input{content};
    int c = input.Get();
    while (c != TextInput::kEnd) {
        if (IsSpace(c)) {
            output.push_back(static_cast<char>(c));
            c = input.Get();
            continue;
        }
        if (c == '#') {
            std::string raw = "#";
            std::string logical;
            ReadDirective(input, raw, logical);
            c = input.Get();
            HandleDirective(output, directory, raw, logical, expanded);
            continue;
        }
        while (c != '\n' && c != TextInput::kEnd) {
            output.push_back(static_cast<char>(c));
            c = input.Get();
        }
        output.push_back('\n');
        if (c == TextInput::kEnd) {
            return 0;
        }
        c = input.Get();
    }
    output.push_back('\n');
    return 0;
}

} // namespace

int ExpandFile(std::string& output, const std::string& directory, const std::string& name,
               ExpandedFiles& expanded) {
    const auto relative = ResolveInSubmission(directory, name);
    return relative ? ExpandEntry(output, directory, *relative, expanded) : 1;
}

std::string ExpandIncludes(Database& db, const ResultRecord& record) {
    const std::string directory = db.AbsolutePath(SubmissionDirectory(record));
    if (!IsDirectory(directory)) {
        return {};
    }
    std::string output;
    ExpandedFiles expanded;
    for (const auto& name : ListMatching(directory, "*.c")) {
        // A directory named like a source is not one; a source already pulled in by an include is merged
        // once.
        if (!IsRegularFile(JoinPath(directory, name)) || expanded.Contains(name)) {
            continue;
        }
        // A listed source is the directory entry it is, whatever bytes its name holds: only include names
        // are read as paths.
        if (ExpandEntry(output, directory, name, expanded) != 0) {
            return {};
        }
    }
    const std::string merged = JoinPath(directory, kPreprocessedFileName);
    if (!WriteTextModeFile(merged, output)) {
        return {};
    }
    ResultSection(db, record).WriteString(kPreprocessedFileKey, kPreprocessedFileName);
    return merged;
}

std::string PreprocessedFile(Database& db, const ResultRecord& record) {
    std::string cached;
    if (ResultSection(db, record).ReadString(kPreprocessedFileKey, cached)) {
        return JoinPath(db.AbsolutePath(SubmissionDirectory(record)), cached);
    }
    return ExpandIncludes(db, record);
}

} // namespace tarvel
