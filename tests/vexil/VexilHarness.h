#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vexiltest {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary directory, removed with its contents at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct RunResult {
    int status; // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

// Runs program with args in directory; standard output and error are captured outside that directory.
RunResult runIn(const fs::path& directory, const fs::path& program, const std::vector<std::string>& args);

fs::path vexilProgram();
fs::path sourceDir();
fs::path goldenDir();

std::string readFile(const fs::path& path);
void writeFile(const fs::path& path, std::string_view bytes);
// Names of the entries of directory, sorted.
std::vector<std::string> listDir(const fs::path& directory);

// Expected output pieces.
std::string span(std::string_view kind, std::string_view html);
std::string page(std::string_view titleHtml, std::string_view bodyHtml);
std::string index(std::string_view entriesHtml);
std::string indexEntry(std::string_view pageHtml);

} // namespace vexiltest
