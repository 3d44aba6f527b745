// The comparison page of two 500-line submissions, one a renamed near copy of the other (other names, other
// layout and comments, a changed constant every fortieth statement), read from their files. Beside it, in
// the same run, two floors: reading both files and escaping them into one HTML text, the least any page of
// the two does; and the renderer vexil on both files in one process, as the intake renders a submission.
// Also the page of two unrelated submissions, and of two unrelated texts of the largest size shown.
// Prints the times and the ratios.

#include "evaluation/SideBySide.h"
#include "platform/ChildProcess.h"
#include "platform/FileOps.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <stdlib.h>

namespace {

using namespace tarvel;

constexpr int kSubmissionLines = 500;

// How one student writes the generated program.
struct Writing {
    const char* prefix;  // of every identifier
    int indent;          // blanks per level
    bool braceOwnLine;   // a function's "{" on a line of its own
    int changedEvery;    // every n-th statement gets another constant; 0: none
    unsigned statements; // the seed of the statements: equal seeds give the same program
};

std::string Name(const Writing& writing, unsigned index) {
    return writing.prefix + std::to_string(index);
}

// A C program of kSubmissionLines lines: functions of eight statements over arrays, loops and prints.
std::string Submission(const Writing& writing) {
    std::mt19937 random(writing.statements);
    const std::string pad(static_cast<std::size_t>(writing.indent), ' ');
    std::string text = "#include <stdio.h>\n#include <stdlib.h>\n\n/* " + std::string(writing.prefix) +
                       ": generated submission */\nint " + Name(writing, 0) + "[64];\n\n";
    int lines = 6;
    int statement = 0;
    for (unsigned function = 1; lines < kSubmissionLines - 12; ++function) {
        const std::string f = Name(writing, function);
        const std::string a = Name(writing, function + 100);
        const std::string b = Name(writing, function + 200);
        text += "int " + f + "(int " + a + ", int " + b + ")" + (writing.braceOwnLine ? "\n{\n" : " {\n");
        lines += writing.braceOwnLine ? 2 : 1;
        for (int i = 0; i < 8; ++i, ++statement) {
            const bool changed = writing.changedEvery > 0 && statement % writing.changedEvery == 0;
            const std::string n = std::to_string(random() % 50 + (changed ? 1000 : 1));
            const std::string g = Name(writing, 0);
            switch (random() % 5) {
            case 0:
                text += pad + "for (" + a + " = 0; " + a + " < " + n + "; " + a + "++) " + g + "[" + a +
                        " % 64] = " + a + " * " + b + ";\n";
                break;
            case 1:
                text += pad + "if (" + a + " > " + n + ") {\n" + pad + pad + b + " = " + b + " + " + g + "[" +
                        n + " % 64];\n" + pad + "}\n";
                lines += 2;
                break;
            case 2:
                text += pad + a + " = " + b + " * " + n + " - " + g + "[" + a + " & 63];\n";
                break;
            case 3:
                text += pad + "printf(\"%d %d\\n\", " + a + ", " + b + "); // " + std::to_string(i) + "\n";
                break;
            default:
                text += pad + "while (" + a + " > " + n + ") " + a + " = " + a + " / 2;\n";
                break;
            }
            ++lines;
        }
        text += pad + "return " + a + " + " + b + ";\n}\n\n";
        lines += 3;
    }
    text += "int main(void)\n{\n";
    for (lines += 2; lines < kSubmissionLines - 2; ++lines) {
        text += "    printf(\"%d\\n\", " + Name(writing, static_cast<unsigned>(lines % 40 + 1)) + "(" +
                std::to_string(lines) + ", 3));\n";
    }
    return text + "    return 0;\n}\n";
}

// Unrelated bytes of exactly `size` bytes: this machine's C headers, from `skip` bytes in.
std::string HeaderText(std::size_t size, std::size_t skip) {
    std::string text;
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/include")) {
        if (entry.is_regular_file() && entry.path().extension() == ".h") {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
        std::string bytes;
        if (ReadWholeFile(path, bytes, 1u << 20)) {
            text += bytes;
        }
        if (text.size() >= size + skip) {
            break;
        }
    }
    text.erase(0, std::min(skip, text.size()));
    text.resize(size, '\n');
    return text;
}

struct Files {
    std::string root;
    std::string copied, copy, unrelated, largeA, largeB;
};

Files& BenchFiles() {
    static Files files = [] {
        Files made;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarvel-bench-compare-XXXXXX").string();
        made.root = ::mkdtemp(pattern.data());
        const auto put = [&](const char* name, const std::string& text) {
            WriteFileAtomically(made.root + "/" + name, text, false);
            return made.root + "/" + name;
        };
        made.copied = put("copied.c", Submission({"value", 4, true, 0, 1}));
        made.copy = put("copy.c", Submission({"v", 2, false, 40, 1}));
        made.unrelated = put("unrelated.c", Submission({"x", 4, true, 0, 2}));
        made.largeA = put("largeA.c", HeaderText(kMaximumComparedBytes, 0));
        made.largeB = put("largeB.c", HeaderText(kMaximumComparedBytes, 3 * kMaximumComparedBytes));
        return made;
    }();
    return files;
}

std::string Read(const std::string& path) {
    std::string bytes;
    ReadWholeFile(path, bytes, kMaximumComparedBytes, Links::Refuse);
    return bytes;
}

const ComparisonHeading kHeading{
    "1", {"Jan", "Novak", "12345", "a", "ppf.ppf"}, {"Eva", "Mala", "54321", "a", "ppf.ppf"}, 93};

void PageOf(benchmark::State& state, const std::string& a, const std::string& b) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(ComparisonPage(kHeading, Read(a), Read(b)));
    }
}

void BM_PageOfNearCopy(benchmark::State& state) {
    PageOf(state, BenchFiles().copied, BenchFiles().copy);
}
BENCHMARK(BM_PageOfNearCopy)->Unit(benchmark::kMillisecond);

void BM_PageOfUnrelated(benchmark::State& state) {
    PageOf(state, BenchFiles().copied, BenchFiles().unrelated);
}
BENCHMARK(BM_PageOfUnrelated)->Unit(benchmark::kMillisecond);

void BM_PageOfLargestUnrelated(benchmark::State& state) {
    PageOf(state, BenchFiles().largeA, BenchFiles().largeB);
}
BENCHMARK(BM_PageOfLargestUnrelated)->Unit(benchmark::kMillisecond);

// The floor: both files read and escaped into one HTML text.
void BM_ReadAndEscape(benchmark::State& state) {
    for (auto _ : state) {
        std::string page = "<pre>";
        for (const std::string* path : {&BenchFiles().copied, &BenchFiles().copy}) {
            for (const char c : Read(*path)) {
                page += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
            }
        }
        benchmark::DoNotOptimize(page += "</pre>");
    }
}
BENCHMARK(BM_ReadAndEscape)->Unit(benchmark::kMillisecond);

// The floor of the renderer: vexil on both files, one process.
void BM_Vexil(benchmark::State& state) {
    const std::string vexil = std::string(TARVEL_BINARY_DIR) + "/bin/vexil";
    ChildRequest request;
    request.arguments = {vexil, "copied.c", "copy.c"};
    request.workingDirectory = BenchFiles().root;
    for (auto _ : state) {
        const ChildResult result = RunChild(request);
        if (result.outcome != ChildOutcome::Exited || result.exitCode != 0) {
            state.SkipWithError("vexil did not run");
            break;
        }
    }
}
BENCHMARK(BM_Vexil)->Unit(benchmark::kMillisecond);

class TimeKeeper : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            times[run.benchmark_name()] = run.error_occurred ? -1 : run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times; // milliseconds, as the benchmarks report
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // A page that marks nothing would measure the wrong work: the near copy must be found as one.
    const Files& files = BenchFiles();
    const auto passages = SharedPassages(Read(files.copied), Read(files.copy));
    int shared = 0;
    for (const SharedPassage& passage : passages) {
        shared += passage.student.count;
    }
    if (passages.size() < 5 || shared < kSubmissionLines * 8 / 10) {
        std::fprintf(stderr, "bench_side_by_side: the near copy is not found (%zu passages, %d lines)\n",
                     passages.size(), shared);
        return 1;
    }
    std::printf("near copy: %zu shared passages, %d of %d lines\n", passages.size(), shared,
                kSubmissionLines);
    TimeKeeper reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const double nearCopy = reporter.times["BM_PageOfNearCopy"];
    const double escape = reporter.times["BM_ReadAndEscape"];
    const double vexil = reporter.times["BM_Vexil"];
    std::printf("\npage of the near copy:      %8.3f ms\n", nearCopy);
    std::printf("page of unrelated ones:     %8.3f ms\n", reporter.times["BM_PageOfUnrelated"]);
    std::printf("page at the size bound:     %8.3f ms (two unrelated %zu-byte texts)\n",
                reporter.times["BM_PageOfLargestUnrelated"], kMaximumComparedBytes);
    std::printf("floor, read and escape:     %8.3f ms; ratio page / floor %.1f\n", escape, nearCopy / escape);
    if (vexil > 0) {
        std::printf("floor, vexil on both files: %8.3f ms; ratio page / vexil %.2f\n", vexil,
                    nearCopy / vexil);
    } else {
        std::printf("floor, vexil: not run (build the vexil target)\n");
    }
    std::filesystem::remove_all(files.root);
    benchmark::Shutdown();
    return 0;
}
