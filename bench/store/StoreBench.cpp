// Record store operations on a database of 1000 students with 4 task types each, each measured beside the raw
// file work it cannot avoid: reading the same files, or writing the same bytes to a temporary file, syncing
// it and renaming it over the original. Prints the ratio operation/raw for each.

#include "platform/FileOps.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "store/Teachers.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <stdlib.h>

namespace {

using namespace tarvel;

constexpr int kStudents = 1000;
constexpr int kTaskTypes = 4;
constexpr const char* kVariants[] = {"a", "b", "c", "d"};

struct BenchDatabase {
    std::string root;
    Database db{""};
    std::vector<std::string> studentIds;

    BenchDatabase() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvel-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        std::filesystem::create_directories(root + "/students");
        std::filesystem::create_directories(root + "/tasks");
        WriteFileAtomically(root + "/teachers.dat", "[id]\r\nid=1\r\n");
        WriteFileAtomically(root + "/students.dat", "[id]\r\nid=1\r\n");
        WriteFileAtomically(root + "/empty.fl", "");
        WriteFileAtomically(root + "/empty.acc", "[accepted]\r\n");
        db.UsePath(root);
        for (int t = 1; t <= kTaskTypes; ++t) {
            TaskTypeRecord task;
            AddTaskType(db, std::to_string(t), 10, 2026, 12, 24, task);
            for (const char* variant : kVariants) {
                AddVariant({&db, std::to_string(t)}, variant);
            }
        }
        for (int i = 0; i < kStudents; ++i) {
            StudentRecord student;
            const std::string unid = std::to_string(10000 + i);
            AddStudent(db, unid, "Meno", "Priezvisko", "student" + unid + "@uni.sk", std::to_string(i % 20),
                       "5", student);
            studentIds.push_back(student.id);
            for (int t = 1; t <= kTaskTypes; ++t) {
                const char* variant = kVariants[i % 4];
                ResultRecord result;
                CreateResult(db, std::to_string(t), student.id, variant, result);
                result.ver = 2;
                SaveResult(db, result);
                RecordChanges metrics;
                for (const char* key :
                     {"vlBreak", "vlContinue", "vlDynamickePremenne", "vlGoto", "vlMaxDlzkaFunkcie",
                      "vlPercentoKomentarov", "vlPocetPoruseniZarovnania", "vlPriemernaDlzkaFunkcie",
                      "vlViacPrikazovNaRiadok", "vlDlzka", "vlPocetRiadkov"}) {
                    metrics.WriteInt(key, 42);
                }
                for (int pod = 0; pod < 8; ++pod) {
                    metrics.WriteInt("Pod" + std::to_string(pod * 4 + 1), 37);
                }
                ResultSection(db, result).Apply(metrics);
                AddAccepted({&db, std::to_string(t)}, variant, unid);
            }
        }
    }
    ~BenchDatabase() { std::filesystem::remove_all(root); }
};

BenchDatabase& Data() {
    static BenchDatabase data;
    return data;
}

std::string StudentPath(int i) {
    return Data().db.AbsolutePath(StudentFile(Data().studentIds[i % kStudents]));
}

void RawRead(const std::string& path) {
    std::string bytes;
    ReadWholeFile(path, bytes);
    benchmark::DoNotOptimize(bytes);
}

void BM_SaveResult(benchmark::State& state) {
    ResultRecord result;
    LoadResult(Data().db, "2", Data().studentIds[7], result);
    int i = 0;
    for (auto _ : state) {
        result.studentId = Data().studentIds[i % kStudents];
        result.ver = i++; // a changed value, so that every iteration rewrites the file
        SaveResult(Data().db, result);
    }
}

void BM_SaveResult_raw(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        const std::string path = StudentPath(i++);
        std::string bytes;
        ReadWholeFile(path, bytes);
        WriteFileAtomically(path, bytes);
    }
}

void BM_LoadResult(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        ResultRecord result;
        LoadResult(Data().db, "3", Data().studentIds[i++ % kStudents], result);
        benchmark::DoNotOptimize(result);
    }
}

void BM_LoadResult_raw(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        RawRead(StudentPath(i++));
    }
}

void BM_StudentKeys(benchmark::State& state) {
    for (auto _ : state) {
        Data().db.MarkStudentsStale();
        std::vector<std::string> keys;
        Data().db.StudentKeys(keys);
        benchmark::DoNotOptimize(keys);
    }
}

void BM_StudentKeys_raw(benchmark::State& state) {
    for (auto _ : state) {
        RawRead(Data().db.AbsolutePath(kStudentsFile));
    }
}

void BM_StudentsOfTeacher(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::string> unids;
        StudentsOfTeacher(Data().db, "3", unids);
        benchmark::DoNotOptimize(unids);
    }
}

void BM_StudentsOfTeacher_raw(benchmark::State& state) {
    for (auto _ : state) {
        RawRead(Data().db.AbsolutePath(kStudentsFile));
        for (int i = 0; i < kStudents; ++i) {
            RawRead(StudentPath(i));
        }
    }
}

void BM_AcceptedStudents(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::string> ids;
        AcceptedStudents({&Data().db, "2"}, "b", ids);
        benchmark::DoNotOptimize(ids);
    }
}

void BM_AcceptedStudents_raw(benchmark::State& state) {
    for (auto _ : state) {
        RawRead(VariantFilePath({&Data().db, "2"}, "b", "acc"));
        RawRead(Data().db.AbsolutePath(kStudentsFile));
    }
}

BENCHMARK(BM_SaveResult);
BENCHMARK(BM_SaveResult_raw);
BENCHMARK(BM_LoadResult);
BENCHMARK(BM_LoadResult_raw);
BENCHMARK(BM_StudentKeys);
BENCHMARK(BM_StudentKeys_raw);
BENCHMARK(BM_StudentsOfTeacher);
BENCHMARK(BM_StudentsOfTeacher_raw);
BENCHMARK(BM_AcceptedStudents);
BENCHMARK(BM_AcceptedStudents_raw);

// Keeps every run's time so the ratios can be printed after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // A benchmark of failing operations would measure nothing: check that the database answers first.
    ResultRecord result;
    std::vector<std::string> ids;
    if (!LoadResult(Data().db, "1", Data().studentIds[0], result) || !SaveResult(Data().db, result) ||
        !AcceptedStudents({&Data().db, "1"}, "a", ids) || ids.size() != kStudents / 4) {
        std::fprintf(stderr, "bench_store: the generated database does not answer as expected\n");
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-22s %14s %14s %8s\n", "operation", "operation", "raw file work", "ratio");
    for (const char* name :
         {"SaveResult", "LoadResult", "StudentKeys", "StudentsOfTeacher", "AcceptedStudents"}) {
        const std::string operation = std::string("BM_") + name;
        const auto own = reporter.times.find(operation);
        const auto raw = reporter.times.find(operation + "_raw");
        if (own != reporter.times.end() && raw != reporter.times.end()) {
            std::printf("%-22s %11.1f us %11.1f us %8.2f\n", name, own->second / 1000, raw->second / 1000,
                        own->second / raw->second);
        }
    }
    benchmark::Shutdown();
    return 0;
}
