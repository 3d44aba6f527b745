// AnalyzeSubmission of one new submission against 50 and against 300 accepted classmates of its variant,
// record writes included, on submissions of 5-20 KB cut from this machine's C headers. Then, in the same run,
// the similarity tool Dolos (C mode, all pairs) on the same 51 submissions, when it is installed:
//   DOLOS_DIR=<folder where `npm install @dodona/dolos-lib` was run> bench_analysis
// Prints the times against the goals and the ratio Dolos / AnalyzeSubmission.

#include "analysis/Similarity.h"
#include "analysis/StyleMetrics.h"
#include "platform/FileOps.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdlib.h>

namespace {

using namespace tarvel;

constexpr const char* kTask = "1";

// All headers under /usr/include, in name order, as one text with LF line ends.
std::string HeaderCorpus() {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator("/usr/include", error)) {
        if (entry.is_regular_file() && entry.path().extension() == ".h") {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    std::string corpus;
    for (const auto& path : paths) {
        std::string bytes;
        if (ReadWholeFile(path, bytes, 1u << 20)) {
            corpus += bytes;
        }
    }
    return corpus;
}

// A variant with a new submission and `classmates` accepted ones whose merged files and similarity keys are
// already stored, as after the earlier submissions of a course.
struct BenchVariant {
    std::string root;
    Database db{""};
    ResultRecord newcomer;
    std::vector<std::string> sourcePaths; // main.c of the newcomer, then of every classmate

    BenchVariant(int classmates, const std::string& corpus, unsigned seed) {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvel-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        std::filesystem::create_directories(root + "/students");
        std::filesystem::create_directories(root + "/tasks");
        WriteFileAtomically(root + "/students.dat", "[id]\r\nid=1\r\n");
        db.UsePath(root);

        std::vector<ResultRecord> results;
        for (int i = 0; i <= classmates; ++i) {
            StudentRecord student;
            const std::string unid = std::to_string(10000 + i);
            AddStudent(db, unid, "Meno", "Priezvisko", unid + "@uni.sk", "1", "5", student);
            ResultRecord result;
            CreateResult(db, kTask, student.id, "a", result);
            result.ver = 1;
            SaveResult(db, result);
            const std::string source = db.AbsolutePath(SubmissionDirectory(result)) + "/main.c";
            WriteFileAtomically(source, Slice(corpus, seed));
            sourcePaths.push_back(source);
            AddAccepted({&db, kTask}, "a", unid);
            results.push_back(result);
        }
        newcomer = results.front();
        for (const auto& result : results) {
            if (result.studentId == newcomer.studentId) {
                continue;
            }
            const SourceAnalysis analysis(db, result); // builds and caches the merged file
            RecordChanges similarities;
            for (const auto& other : results) {
                if (other.studentId != result.studentId) {
                    similarities.WriteInt(SimilarityKey(other.studentId), 37);
                }
            }
            ResultSection(db, result).Apply(similarities);
        }
    }
    ~BenchVariant() { std::filesystem::remove_all(root); }

    // 5-20 KB of whole lines from a pseudo-random place of the corpus.
    static std::string Slice(const std::string& corpus, unsigned& seed) {
        const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xFFFFFF; };
        const std::size_t size = 5 * 1024 + next() % (15 * 1024);
        std::size_t start = corpus.find('\n', next() % (corpus.size() - size - 1));
        start = start == std::string::npos ? 0 : start + 1;
        const std::size_t end = corpus.rfind('\n', std::min(corpus.size() - 1, start + size));
        return corpus.substr(start, end - start + 1);
    }
};

BenchVariant& Variant(int classmates) {
    static const std::string corpus = HeaderCorpus();
    static std::map<int, std::unique_ptr<BenchVariant>> variants;
    auto& variant = variants[classmates];
    if (!variant) {
        variant = std::make_unique<BenchVariant>(classmates, corpus, 20240901u + classmates);
    }
    return *variant;
}

void BM_AnalyzeSubmission(benchmark::State& state) {
    BenchVariant& variant = Variant(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        // The intake clears the old marks before the new sources arrive; only the analysis is timed.
        state.PauseTiming();
        ForgetSimilarities(variant.db, variant.newcomer);
        state.ResumeTiming();
        AnalyzeSubmission(variant.db, variant.newcomer);
    }
}
BENCHMARK(BM_AnalyzeSubmission)->Arg(50)->Arg(300)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The file work no implementation of the stored marks can avoid with the store's durable writes: reading and
// rewriting (temporary file, sync, rename) every classmate's record file once.
void BM_ClassmateRewrites(benchmark::State& state) {
    BenchVariant& variant = Variant(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (std::size_t i = 1; i < variant.sourcePaths.size(); ++i) {
            const std::string path =
                ParentDirectory(ParentDirectory(variant.sourcePaths[i])) + "/student.dat";
            std::string bytes;
            ReadWholeFile(path, bytes);
            WriteFileAtomically(path, bytes);
        }
    }
}
BENCHMARK(BM_ClassmateRewrites)->Arg(50)->Arg(300)->Unit(benchmark::kMillisecond)->MinTime(3.0);

class TimeKeeper : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times; // milliseconds, as the benchmarks report
};

// Runs Dolos over the files and returns the milliseconds of its analysis of all pairs inside node, the best
// of three runs; negative when it cannot run.
double DolosMilliseconds(const std::string& dolosDir, const std::vector<std::string>& files,
                         double& withStart) {
    const std::string library = dolosDir + "/node_modules/@dodona/dolos-lib/dist/index.js";
    if (!IsRegularFile(library)) {
        return -1;
    }
    const std::string script = std::filesystem::temp_directory_path().string() + "/tarvel-bench-dolos.mjs";
    WriteFileAtomically(script, "import { Dolos } from \"file://" + library +
                                    "\";\n"
                                    "const start = performance.now();\n"
                                    "const dolos = new Dolos({ language: \"c\" });\n"
                                    "const report = await dolos.analyzePaths(process.argv.slice(2));\n"
                                    "let sum = 0;\n"
                                    "for (const pair of report.allPairs()) sum += pair.similarity;\n"
                                    "console.log((performance.now() - start).toFixed(1), sum.toFixed(3));\n");
    std::string command = "node " + script;
    for (const auto& file : files) {
        command += " " + file;
    }
    double best = -1;
    withStart = -1;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        FILE* output = ::popen(command.c_str(), "r");
        if (output == nullptr) {
            break;
        }
        double inside = -1;
        double sum = 0;
        const int read = std::fscanf(output, "%lf %lf", &inside, &sum);
        const int status = ::pclose(output);
        const double total =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (read != 2 || status != 0) {
            break;
        }
        best = best < 0 ? inside : std::min(best, inside);
        withStart = withStart < 0 ? total : std::min(withStart, total);
    }
    std::filesystem::remove(script);
    return best;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // A benchmark that analyses nothing would measure nothing: check that the figures are stored first.
    BenchVariant& small = Variant(50);
    AnalyzeSubmission(small.db, small.newcomer);
    int length = 0;
    std::vector<std::string> compared;
    if (!ResultSection(small.db, small.newcomer).ReadInt("vlDlzka", length) || length < 4000 ||
        !AcceptedStudents({&small.db, kTask}, "a", compared) || compared.size() != 51) {
        std::fprintf(stderr, "bench_analysis: the generated variant is not analysed as expected\n");
        return 1;
    }
    TimeKeeper reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const double against50 = reporter.times["BM_AnalyzeSubmission/50/min_time:3.000"];
    const double against300 = reporter.times["BM_AnalyzeSubmission/300/min_time:3.000"];
    const double rewrites50 = reporter.times["BM_ClassmateRewrites/50/min_time:3.000"];
    const double rewrites300 = reporter.times["BM_ClassmateRewrites/300/min_time:3.000"];
    std::printf("\nAnalyzeSubmission against  50 classmates: %8.1f ms (goal at most 100 ms); "
                "rewriting their record files alone: %8.1f ms\n",
                against50, rewrites50);
    std::printf("AnalyzeSubmission against 300 classmates: %8.1f ms (goal at most 400 ms); "
                "rewriting their record files alone: %8.1f ms\n",
                against300, rewrites300);

    const char* dolosDir = std::getenv("DOLOS_DIR");
    double dolosWithStart = -1;
    const double dolos =
        dolosDir == nullptr ? -1 : DolosMilliseconds(dolosDir, small.sourcePaths, dolosWithStart);
    if (dolos < 0) {
        std::printf(
            "Dolos: not available (set DOLOS_DIR to a folder where `npm install @dodona/dolos-lib` ran)\n");
    } else {
        std::printf(
            "Dolos, C, all pairs of the same 51 submissions: %8.1f ms in node, %8.1f ms with node's start\n",
            dolos, dolosWithStart);
        if (against50 > 0) {
            std::printf("ratio Dolos / AnalyzeSubmission against 50: %.1f (%.1f with node's start; goal at "
                        "least 7)\n",
                        dolos / against50, dolosWithStart / against50);
        }
    }
    benchmark::Shutdown();
    return 0;
}
