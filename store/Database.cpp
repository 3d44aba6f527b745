#include "store/Database.h"

#include "platform/FileOps.h"
#include "platform/Profile.h"
#include "shell/Config.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "store/Teachers.h"

namespace tarvel {
namespace {

constexpr const char* kUnconfigured = "???";
constexpr std::size_t kMaxPathBytes = 999;

// The document of an existing record file; false when the file is missing or unreadable.
bool LoadExisting(const std::string& path, ProfileDocument& out) {
    return IsRegularFile(path) && LoadProfile(path, out);
}

} // namespace

Database::Database(std::string configPath) : configPath_(std::move(configPath)) {}

bool Database::LoadPath() {
    std::string path = ReadConfig(configPath_, "dbase", "dbpath", kUnconfigured).substr(0, kMaxPathBytes);
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const bool configured = path != kUnconfigured;
    UsePath(std::move(path));
    return Report(configured);
}

void Database::UsePath(std::string path) {
    std::lock_guard lock(mutex_);
    path_ = std::move(path);
    teachers_.stale = students_.stale = taskTypes_.stale = true;
}

std::string Database::Path() {
    Report(true);
    std::lock_guard lock(mutex_);
    return path_;
}

std::string Database::AbsolutePath(const std::string& relative) const {
    std::lock_guard lock(mutex_);
    return JoinPath(path_, relative);
}

std::string Database::LockPath() const {
    return AbsolutePath(".tarvel.lock");
}

bool Database::Report(bool ok) {
    lastOk = ok;
    return ok;
}

bool Database::CopyInto(const std::string& source, const std::string& relativeTarget) {
    return Report(tarvel::CopyInto(source, AbsolutePath(relativeTarget)));
}

bool Database::DeleteRelative(const std::string& relative) {
    return Report(DeleteMatching(AbsolutePath(relative)));
}

bool Database::MakeDirectory(const std::string& relative) {
    return Report(MakeOneDirectory(AbsolutePath(relative)));
}

void Database::MarkTeachersStale() {
    std::lock_guard lock(mutex_);
    teachers_.stale = true;
}

void Database::MarkStudentsStale() {
    std::lock_guard lock(mutex_);
    students_.stale = true;
}

void Database::MarkTaskTypesStale() {
    std::lock_guard lock(mutex_);
    taskTypes_.stale = true;
}

bool Database::Listing(CachedList& cache, bool (Database::*read)(std::vector<std::string>&) const,
                       std::vector<std::string>& out) {
    {
        std::lock_guard lock(mutex_);
        if (!cache.stale) {
            out = cache.items;
            return Report(true);
        }
    }
    std::vector<std::string> items;
    if (!(this->*read)(items)) {
        return Report(false);
    }
    std::lock_guard lock(mutex_);
    cache.items = items;
    cache.stale = false;
    out = std::move(items);
    return Report(true);
}

bool Database::ReadTeacherIds(std::vector<std::string>& out) const {
    ProfileDocument document;
    if (!LoadExisting(AbsolutePath(kTeachersFile), document)) {
        return false;
    }
    const auto names = document.SectionNames();
    for (const auto& name : names) {
        if (name != "id") {
            out.push_back(name);
        }
    }
    return !names.empty();
}

bool Database::ReadStudentKeys(std::vector<std::string>& out) const {
    ProfileDocument document;
    if (!LoadExisting(AbsolutePath(kStudentsFile), document)) {
        return false;
    }
    out = document.Keys(kStudentIndexSection);
    return !out.empty();
}

bool Database::ReadTaskTypes(std::vector<std::string>& out) const {
    ProfileDocument document;
    if (!LoadExisting(AbsolutePath(kTasksFile), document)) {
        return false;
    }
    const auto names = document.SectionNames();
    for (const auto& name : names) {
        if (!name.empty() && name.front() != '_') {
            out.push_back(name);
        }
    }
    return !names.empty();
}

bool Database::TeacherIds(std::vector<std::string>& out) {
    return Listing(teachers_, &Database::ReadTeacherIds, out);
}

bool Database::StudentKeys(std::vector<std::string>& out) {
    return Listing(students_, &Database::ReadStudentKeys, out);
}

bool Database::TaskTypes(std::vector<std::string>& out) {
    return Listing(taskTypes_, &Database::ReadTaskTypes, out);
}

} // namespace tarvel
