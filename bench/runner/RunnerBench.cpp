// The whole build-and-test run of a 200-line student program and of a 3-file make project, each beside its
// floor measured in the same run, alternately: the system's cc on the same sources with the same flags, then
// the program on the same input with plain shell redirection. Prints both and the ratio run/floor.

#include "runner/RunResult.h"
#include "runner/TestRunner.h"
#include "shell/Config.h"
#include "store/Database.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <vector>

namespace {

using namespace tarvel;
namespace fs = std::filesystem;

// The flags bcc.exe gives cc.
constexpr const char* kCcFlags = "-fcommon -Wno-error=implicit-function-declaration -Wno-error=implicit-int "
                                 "-Wno-error=int-conversion -Wno-error=incompatible-pointer-types";

// A student's program of the usual kind: records read from the input, sorted, searched and summed up.
constexpr const char* kStudentProgram = R"(#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <ctype.h>

#define MAX_RECORDS 1000
#define NAME_LENGTH 32

typedef struct {
    char name[NAME_LENGTH];
    int group;
    double points[5];
    double total;
} Record;

static Record records[MAX_RECORDS];
static int count = 0;

/* Reads one record; returns 0 at the end of the input. */
int read_record(Record *record)
{
    int i;
    if (scanf("%31s %d", record->name, &record->group) != 2)
        return 0;
    record->total = 0;
    for (i = 0; i < 5; i++) {
        if (scanf("%lf", &record->points[i]) != 1)
            return 0;
        record->total += record->points[i];
    }
    return 1;
}

void read_all(void)
{
    while (count < MAX_RECORDS && read_record(&records[count]))
        count++;
}

int compare_total(const void *a, const void *b)
{
    const Record *left = (const Record *)a;
    const Record *right = (const Record *)b;
    if (left->total < right->total)
        return 1;
    if (left->total > right->total)
        return -1;
    return strcmp(left->name, right->name);
}

int compare_name(const void *a, const void *b)
{
    return strcmp(((const Record *)a)->name, ((const Record *)b)->name);
}

double average(void)
{
    double sum = 0;
    int i;
    if (count == 0)
        return 0;
    for (i = 0; i < count; i++)
        sum += records[i].total;
    return sum / count;
}

double deviation(void)
{
    double mean = average();
    double sum = 0;
    int i;
    if (count < 2)
        return 0;
    for (i = 0; i < count; i++)
        sum += (records[i].total - mean) * (records[i].total - mean);
    return sum / (count - 1);
}

int best_of_group(int group)
{
    int i, best = -1;
    for (i = 0; i < count; i++) {
        if (records[i].group != group)
            continue;
        if (best < 0 || records[i].total > records[best].total)
            best = i;
    }
    return best;
}

void upper_name(char *target, const char *source)
{
    while (*source) {
        *target++ = (char)toupper((unsigned char)*source);
        source++;
    }
    *target = '\0';
}

int find_by_name(const char *name)
{
    int low = 0, high = count - 1;
    while (low <= high) {
        int middle = (low + high) / 2;
        int order = strcmp(records[middle].name, name);
        if (order == 0)
            return middle;
        if (order < 0)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return -1;
}

int histogram[11];

void fill_histogram(void)
{
    int i, slot;
    memset(histogram, 0, sizeof histogram);
    for (i = 0; i < count; i++) {
        slot = (int)(records[i].total / 50.0);
        if (slot > 10)
            slot = 10;
        if (slot < 0)
            slot = 0;
        histogram[slot]++;
    }
}

void print_histogram(void)
{
    int i, j;
    for (i = 0; i <= 10; i++) {
        printf("%3d-%3d: ", i * 50, i * 50 + 49);
        for (j = 0; j < histogram[i]; j++)
            putchar('*');
        putchar('\n');
    }
}

void print_table(void)
{
    int i;
    char name[NAME_LENGTH];
    for (i = 0; i < count && i < 10; i++) {
        upper_name(name, records[i].name);
        printf("%2d. %-20s %2d %8.2f\n", i + 1, name, records[i].group, records[i].total);
    }
}

int main(void)
{
    int group, best;
    read_all();
    qsort(records, count, sizeof(Record), compare_total);
    printf("records %d\n", count);
    print_table();
    printf("average %.3f\n", average());
    printf("variance %.3f\n", deviation());
    for (group = 1; group <= 4; group++) {
        best = best_of_group(group);
        if (best >= 0)
            printf("group %d best %s\n", group, records[best].name);
    }
    fill_histogram();
    print_histogram();
    qsort(records, count, sizeof(Record), compare_name);
    printf("found %d\n", find_by_name("s0042"));
    return 0;
}
)";

constexpr const char* kListHeader = "int list_read(double *values, int capacity);\n"
                                    "void list_sort(double *values, int count);\n";
constexpr const char* kListSource = R"(#include <stdio.h>
#include <stdlib.h>
#include "list.h"
static int compare(const void *a, const void *b)
{
    double left = *(const double *)a, right = *(const double *)b;
    return left < right ? -1 : left > right;
}
int list_read(double *values, int capacity)
{
    int count = 0;
    while (count < capacity && scanf("%lf", &values[count]) == 1)
        count++;
    return count;
}
void list_sort(double *values, int count)
{
    qsort(values, count, sizeof *values, compare);
}
)";
constexpr const char* kStatsHeader = "double stats_mean(const double *values, int count);\n"
                                     "double stats_median(const double *values, int count);\n";
constexpr const char* kStatsSource = R"(#include "stats.h"
double stats_mean(const double *values, int count)
{
    double sum = 0;
    int i;
    for (i = 0; i < count; i++)
        sum += values[i];
    return count ? sum / count : 0;
}
double stats_median(const double *values, int count)
{
    if (count == 0)
        return 0;
    return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}
)";
constexpr const char* kMainSource = R"(#include <stdio.h>
#include "list.h"
#include "stats.h"
static double values[10000];
int main(void)
{
    int count = list_read(values, 10000);
    list_sort(values, count);
    printf("%d %.2f %.2f\n", count, stats_mean(values, count), stats_median(values, count));
    return 0;
}
)";
constexpr const char* kMakefile = "prog.exe: main.obj list.obj stats.obj\n"
                                  "\tbcc.exe -ml -eprog.exe main.obj list.obj stats.obj\n"
                                  "main.obj: main.c list.h stats.h\n"
                                  "\tbcc.exe -ml -c main.c\n"
                                  "list.obj: list.c list.h\n"
                                  "\tbcc.exe -ml -c list.c\n"
                                  "stats.obj: stats.c stats.h\n"
                                  "\tbcc.exe -ml -c stats.c\n";

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A database with student 5 who submitted task 1 (the single program) and task 2 (the make project).
struct BenchSetup {
    std::string root;
    std::string config;
    Database db{""};

    BenchSetup() {
        std::string pattern = (fs::temp_directory_path() / "tarvel-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        config = root + "/zor.ini";
        fs::copy(std::string(TARVEL_SOURCE_DIR) + "/install/bcc", root + "/bcc", fs::copy_options::recursive);
        WriteConfig(config, "dbase", "bccpath", root + "/bcc/");
        for (const char* directory :
             {"/db/tasks", "/db/students/5/1", "/db/students/5/2", "/tmp", "/bin", "/floor1", "/floor2"}) {
            fs::create_directories(root + directory);
        }
        fs::copy(std::string(TARVEL_BINARY_DIR) + "/bin/zorbox", root + "/bin/zorbox");
        db.UsePath(root + "/db");

        std::string records;
        std::string numbers;
        for (int i = 0; i < 300; ++i) {
            char line[128];
            std::snprintf(line, sizeof line, "s%04d %d %d %d %d %d %d\n", i, i % 4 + 1, i % 50, (i * 7) % 50,
                          (i * 13) % 50, (i * 17) % 50, (i * 19) % 50);
            records += line;
            numbers += std::to_string((i * 37) % 1000) + " ";
        }
        Write(root + "/db/tasks/t1ma.in", records);
        Write(root + "/db/tasks/t1ma.out", "%Crecords 300\n");
        Write(root + "/db/tasks/t2ma.in", numbers);
        Write(root + "/db/tasks/t2ma.out", "%f 300");
        for (const std::string& directory : {root + "/db/students/5/1", root + "/floor1"}) {
            Write(directory + "/main.c", kStudentProgram);
        }
        for (const std::string& directory : {root + "/db/students/5/2", root + "/floor2"}) {
            Write(directory + "/list.h", kListHeader);
            Write(directory + "/list.c", kListSource);
            Write(directory + "/stats.h", kStatsHeader);
            Write(directory + "/stats.c", kStatsSource);
            Write(directory + "/main.c", kMainSource);
        }
        Write(root + "/db/students/5/2/prog.mak", kMakefile);
    }
    ~BenchSetup() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    int RunTask(const char* task) {
        ResultRecord result;
        result.task = task;
        result.studentId = "5";
        result.mod = "a";
        TestRunner runner(db, config, result, root);
        return runner.Run();
    }
    int Shell(const std::string& script) { return std::system(script.c_str()); }
};

BenchSetup& Setup() {
    static BenchSetup setup;
    return setup;
}

double Milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Runs the floor and Run() alternately, so that the load of a shared machine falls on both alike.
void Compare(benchmark::State& state, const char* task, const std::string& floorScript) {
    std::vector<double> runs;
    std::vector<double> floors;
    for (auto _ : state) {
        bool floorFirst = runs.size() % 2 == 0;
        double run = 0;
        double floor = 0;
        for (int step = 0; step < 2; ++step) {
            auto start = std::chrono::steady_clock::now();
            if ((step == 0) == floorFirst) {
                if (Setup().Shell(floorScript) != 0) {
                    state.SkipWithError("the floor failed");
                }
                floor = Milliseconds(std::chrono::steady_clock::now() - start);
            } else {
                if (Setup().RunTask(task) != kRunPassed) {
                    state.SkipWithError("the submission did not pass");
                }
                run = Milliseconds(std::chrono::steady_clock::now() - start);
            }
        }
        runs.push_back(run);
        floors.push_back(floor);
        state.SetIterationTime(run / 1000);
    }
    state.counters["run_ms"] = Median(runs);
    state.counters["floor_ms"] = Median(floors);
    state.counters["ratio"] = Median(runs) / Median(floors);
}

void SingleFile(benchmark::State& state) {
    const std::string& root = Setup().root;
    Compare(state, "1",
            "cd " + root + "/floor1 && cc " + kCcFlags + " -I" + root + "/bcc/include -L" + root +
                "/bcc/lib -o main.exe main.c -lm && ./main.exe <" + root + "/db/tasks/t1ma.in >tmp.txt");
}

void MakeProject(benchmark::State& state) {
    const std::string& root = Setup().root;
    std::string compile = std::string("cc ") + kCcFlags + " -I" + root + "/bcc/include ";
    Compare(state, "2",
            "cd " + root + "/floor2 && " + compile + "-c -o main.obj main.c && " + compile +
                "-c -o list.obj list.c && " + compile + "-c -o stats.obj stats.c && " + compile +
                "-o prog.exe main.obj list.obj stats.obj -lm && ./prog.exe <" + root +
                "/db/tasks/t2ma.in >tmp.txt");
}

// Prints the medians and their ratio after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            names_.push_back(run.run_name.function_name);
            counters_.push_back(run.counters);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (size_t i = 0; i < names_.size(); ++i) {
            std::printf("%-12s Run() %7.1f ms   floor (cc, then the program) %7.1f ms   ratio %.3f\n",
                        names_[i].c_str(), counters_[i]["run_ms"].value, counters_[i]["floor_ms"].value,
                        counters_[i]["ratio"].value);
        }
    }

private:
    std::vector<std::string> names_;
    std::vector<benchmark::UserCounters> counters_;
};

} // namespace

int main(int argc, char** argv) {
    for (auto* benchmark : {benchmark::RegisterBenchmark("SingleFile", SingleFile),
                            benchmark::RegisterBenchmark("MakeProject", MakeProject)}) {
        benchmark->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(40);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
