#include "VexilHarness.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>

namespace vexiltest {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vexil-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

RunResult runIn(const fs::path& directory, const fs::path& program, const std::vector<std::string>& args) {
    const TempDir capture;
    const std::string outPath = capture.path() / "out";
    const std::string errPath = capture.path() / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    std::vector<std::string> words{program.string()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    pid_t child = 0;
    const int error = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw std::runtime_error("cannot start " + program.string());
    }
    int wait = 0;
    waitpid(child, &wait, 0);
    const int status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
    return {status, readFile(outPath), readFile(errPath)};
}

fs::path vexilProgram() {
    return VEXIL_PROGRAM;
}

fs::path sourceDir() {
    return VEXIL_SOURCE_DIR;
}

fs::path goldenDir() {
    return sourceDir() / "tests" / "vexil" / "golden";
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> listDir(const fs::path& directory) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string span(std::string_view kind, std::string_view html) {
    return "<SPAN CLASS=\"" + std::string(kind) + "\">" + std::string(html) + "</SPAN>";
}

namespace {

std::string head(std::string_view titleHtml) {
    return "<HTML><HEAD>\n<LINK HREF=\"c.css\" rel=\"stylesheet\" type=\"text/css\">\n<TITLE>" +
           std::string(titleHtml) + "</TITLE>\n</HEAD><BODY>\n";
}

const std::string foot = "<HR>Rendered by vexil\n</BODY></HTML>\n";

} // namespace

std::string page(std::string_view titleHtml, std::string_view bodyHtml) {
    return head(titleHtml) + "<PRE>" + std::string(bodyHtml) + "</PRE>" + foot;
}

std::string index(std::string_view entriesHtml) {
    return head("Project index") + std::string(entriesHtml) + foot;
}

std::string indexEntry(std::string_view pageHtml) {
    return "<A HREF=\"" + std::string(pageHtml) + "\" CLASS=\"dir\">" + std::string(pageHtml) + "</A><BR>\n";
}

} // namespace vexiltest
