// Marking a course: a database of 300 students of ten teachers, four task types of five variants, every
// task submitted, with its style figures, test code and the similarity keys of every classmate of its
// variant. Times the evaluation dialog's model opening, switching the student, switching "Všetci študenti"
// and writing the results report, each beside its floor measured in the same run: reading once, whole and
// raw, the record files the operation cannot do without. Prints the times and the ratios.

#include "evaluation/EvaluationDesk.h"
#include "evaluation/ResultsReport.h"
#include "platform/Cp1250.h"
#include "store/Results.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "store/Teachers.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tarvel;
using Clock = std::chrono::steady_clock;

constexpr int kStudents = 300;
constexpr int kTeachers = 10;
constexpr int kTaskTypes = 4;
constexpr int kVariants = 5;

class SavingTo final : public Prompts {
public:
    explicit SavingTo(std::string path) : path_(std::move(path)) {}
    bool Ask(const Prompt&) override { return false; }
    void Tell(const Prompt& prompt) override { std::fprintf(stderr, "told: %s\n", prompt.text.c_str()); }
    std::optional<std::string> ChooseOpenFile(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> ChooseSaveFile(const FileRequest&) override { return path_; }
    std::optional<std::string> ChooseFolder(const FolderRequest&) override { return std::nullopt; }

private:
    std::string path_;
};

// Milliseconds per run of `work`, the best of five rounds of `runs` runs: the least disturbed figure.
double MsPerRun(int runs, const std::function<void(int)>& work) {
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        const auto start = Clock::now();
        for (int run = 0; run < runs; ++run) {
            work(run);
        }
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count() / runs);
    }
    return best;
}

std::size_t ReadWhole(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return 0;
    }
    char buffer[65536];
    std::size_t total = 0;
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
        total += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return total;
}

struct Course {
    std::vector<TeacherRecord> teachers;
    std::vector<StudentRecord> students;
};

bool MakeCourse(Database& db, Course& course) {
    std::mt19937 random(7);
    for (int t = 0; t < kTeachers; ++t) {
        TeacherRecord teacher;
        if (!AddTeacher(db, "Meno", "U\xE8ite\xBE" + std::to_string(t), "", "", "heslo", teacher)) {
            return false;
        }
        course.teachers.push_back(teacher);
    }
    for (int s = 0; s < kStudents; ++s) {
        StudentRecord student;
        if (!AddStudent(db, std::to_string(20000 + s), "Meno", "Priezvisko" + std::to_string(s), "s@x",
                        course.teachers[static_cast<std::size_t>(s % kTeachers)].id,
                        std::to_string(1 + s % 12), student)) {
            return false;
        }
        course.students.push_back(student);
    }
    for (int t = 1; t <= kTaskTypes; ++t) {
        TaskTypeRecord taskType;
        const std::string task = std::to_string(t);
        if (!AddTaskType(db, task, 25, 2026, 12, 31, taskType)) {
            return false;
        }
        for (int v = 0; v < kVariants; ++v) {
            AddVariant(VariantSet{&db, task}, std::string(1, static_cast<char>('a' + v)));
        }
        for (int s = 0; s < kStudents; ++s) {
            const StudentRecord& student = course.students[static_cast<std::size_t>(s)];
            ResultRecord result;
            const std::string variant(1, static_cast<char>('a' + s % kVariants));
            if (!CreateResult(db, task, student.id, variant, result)) {
                return false;
            }
            result.ver = 1 + s % 3;
            result.pts = s % 4 == 0 ? -1 : s % 26;
            result.vlPocetRiadkov = 120;
            result.vlPocetPoruseniZarovnania = s % 9;
            if (!SaveResult(db, result) || !SaveStyleFigures(db, result) ||
                !AddAccepted(VariantSet{&db, task}, variant, student.unid)) {
                return false;
            }
            RecordChanges keys;
            keys.WriteInt("test", s % 7 == 0 ? 21 : 0);
            for (int other = s % kVariants; other < kStudents; other += kVariants) {
                if (other != s) {
                    const bool copied = (s / kVariants) % 20 == 0 && other == s + kVariants;
                    keys.WriteInt("Pod" + course.students[static_cast<std::size_t>(other)].id,
                                  copied ? 97 : 15 + static_cast<int>(random() % 40));
                }
            }
            if (!ResultSection(db, result).Apply(keys)) {
                return false;
            }
        }
    }
    return true;
}

void Report(const char* what, double ms, double floorMs) {
    std::printf("%-34s %9.3f ms   floor %8.3f ms   ratio %6.1f\n", what, ms, floorMs, ms / floorMs);
}

} // namespace

int main() {
    char pattern[] = "/tmp/tarvel-bench-evaluation-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::filesystem::path dir = pattern;
    std::filesystem::copy(TARVEL_SOURCE_DIR "/install/empty.db", dir / "db",
                          std::filesystem::copy_options::recursive);
    std::filesystem::create_directories(dir / "db/students");
    std::filesystem::create_directories(dir / "db/tasks");
    Database db((dir / "zor.ini").string());
    db.UsePath((dir / "db").string());
    Course course;
    const auto made = Clock::now();
    if (!MakeCourse(db, course)) {
        std::fprintf(stderr, "bench_evaluation: the course could not be stored\n");
        return 1;
    }
    std::printf("course of %d students, %d task types stored in %.0f ms\n", kStudents, kTaskTypes,
                std::chrono::duration<double, std::milli>(Clock::now() - made).count());

    const std::string studentsDir = (dir / "db/students").string();
    const auto studentFile = [&](const StudentRecord& student) {
        return studentsDir + "/" + student.id + "/student.dat";
    };
    const auto readIndexAndTasks = [&] {
        ReadWhole((dir / "db/students.dat").string());
        ReadWhole((dir / "db/tasks.dat").string());
        ReadWhole((dir / "db/teachers.dat").string());
    };
    const TeacherRecord& teacher = course.teachers[0];
    std::vector<StudentRecord> own;
    for (std::size_t s = 0; s < course.students.size(); s += kTeachers) {
        own.push_back(course.students[s]);
    }
    SavingTo prompts((dir / "report.html").string());
    const DetachedLauncher noBrowser = [](const std::vector<std::string>&) { return true; };

    const double open = MsPerRun(10, [&](int) {
        EvaluationDesk desk(db, prompts, (dir / "zor.ini").string(), teacher, noBrowser);
        desk.Open();
    });
    const double openFloor = MsPerRun(10, [&](int) {
        readIndexAndTasks();
        for (const StudentRecord& student : own) {
            ReadWhole(studentFile(student));
        }
    });
    Report("opening (30 own students)", open, openFloor);

    EvaluationDesk desk(db, prompts, (dir / "zor.ini").string(), teacher, noBrowser);
    desk.Open();
    const int ownCount = static_cast<int>(desk.Students().size());
    const double select = MsPerRun(30, [&](int run) { desk.SelectStudent((run + 1) % ownCount, ""); });
    const double selectFloor = MsPerRun(30, [&](int run) {
        ReadWhole((dir / "db/tasks.dat").string());
        ReadWhole((dir / "db/teachers.dat").string());
        ReadWhole(studentFile(own[static_cast<std::size_t>((run + 1) % ownCount)]));
        ReadWhole((dir / "db/tasks/t1ma.acc").string());
    });
    Report("switching the student", select, selectFloor);

    const double toggle = MsPerRun(5, [&](int) {
        desk.ToggleAllStudents("");
        desk.ToggleAllStudents("");
    });
    const double toggleFloor = MsPerRun(5, [&](int) {
        readIndexAndTasks();
        for (const StudentRecord& student : course.students) {
            ReadWhole(studentFile(student));
        }
        for (const StudentRecord& student : own) {
            ReadWhole(studentFile(student));
        }
    });
    Report("switching all students and back", toggle, toggleFloor);

    desk.ToggleAllStudents("");
    const double report = MsPerRun(5, [&](int) {
        PublishResultsReport(db, prompts, (dir / "zor.ini").string(), desk.Listing(), noBrowser);
    });
    const double reportFloor = MsPerRun(5, [&](int) {
        readIndexAndTasks();
        for (const StudentRecord& student : course.students) {
            ReadWhole(studentFile(student));
        }
    });
    Report("report of all 300 students", report, reportFloor);

    std::filesystem::remove_all(dir);
    return 0;
}
