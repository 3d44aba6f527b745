#include "store/Database.h"

#include "platform/Cp1250.h"
#include "platform/FileOps.h"
#include "platform/Profile.h"
#include "shell/Settings.h"
#include "store/Students.h"
#include "store/Tasks.h"
#include "store/Teachers.h"

namespace tarvel {
namespace {

constexpr std::size_t kMaxPathBytes = 999;

// The document of an existing record file; false when the file is missing or unreadable.
bool LoadExisting(const std::string& path, ProfileDocument& out) {
    return IsRegularFile(path) && LoadProfile(path, out);
}

} // namespace

Database::Database(std::string configPath) : configPath_(std::move(configPath)) {}

bool Database::LoadPath() {
    std::string path = DatabasePathSetting(configPath_).substr(0, kMaxPathBytes);
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const bool configured = path != kUnconfiguredDatabasePath;
    UsePath(std::move(path));
    return Report(configured);
}

void Database::UsePath(std::string path) {
    std::lock_guard lock(mutex_);
    path_ = std::move(path);
    for (CachedList* cache : {&teachers_, &students_, &taskTypes_}) {
        cache->stale = true;
        cache->stamp.reset();
    }
    studentIndexStamp_.reset();
    studentIndex_.reset();
    sectionKeys_.clear();
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

bool Database::Listing(CachedList& cache, const char* file, bool (Database::*read)(std::vector<std::string>&),
                       std::vector<std::string>& out) {
    // The stamp is taken before the read: a change in between leaves an older stamp, which only costs a
    // re-read.
    std::optional<FileStamp> stamp;
    {
        std::lock_guard lock(mutex_);
        if (cache.stale) {
            stamp = StampOf(JoinPath(path_, file));
            cache.stale = !stamp || stamp != cache.stamp;
        }
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
    cache.stamp = stamp;
    cache.stale = false;
    out = std::move(items);
    return Report(true);
}

bool Database::ReadStudentIndex(std::shared_ptr<const StudentIndex>& out) {
    const std::string file = AbsolutePath(kStudentsFile);
    const auto stamp = StampOf(file);
    {
        std::lock_guard lock(mutex_);
        if (stamp && stamp == studentIndexStamp_ && studentIndex_) {
            out = studentIndex_;
            return true;
        }
    }
    ProfileDocument document;
    if (!stamp || !LoadProfile(file, document)) {
        return false;
    }
    auto index = std::make_shared<StudentIndex>();
    index->entries = document.Entries(kStudentIndexSection);
    for (const auto& [unid, studentId] : index->entries) {
        index->studentIdOf.emplace(UpperCaseCp1250(unid), studentId);
    }
    std::lock_guard lock(mutex_);
    studentIndexStamp_ = stamp;
    studentIndex_ = index;
    out = std::move(index);
    return true;
}

bool Database::ReadSectionKeys(const std::string& relativeFile, const std::string& section,
                               std::shared_ptr<const std::vector<std::string>>& out) {
    const std::string file = AbsolutePath(relativeFile);
    const std::string cacheKey = relativeFile + '\n' + UpperCaseCp1250(section);
    const auto stamp = StampOf(file);
    if (stamp) {
        std::lock_guard lock(mutex_);
        const auto cached = sectionKeys_.find(cacheKey);
        if (cached != sectionKeys_.end() && cached->second.stamp == *stamp) {
            out = cached->second.keys;
            return true;
        }
    }
    ProfileSection read;
    if (!LoadProfileSection(file, section, read)) {
        return false;
    }
    auto keys = std::make_shared<const std::vector<std::string>>(read.Keys());
    if (stamp) {
        std::lock_guard lock(mutex_);
        sectionKeys_[cacheKey] = CachedKeys{*stamp, keys};
    }
    out = std::move(keys);
    return true;
}

bool Database::ReadTeacherIds(std::vector<std::string>& out) {
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

bool Database::ReadStudentKeys(std::vector<std::string>& out) {
    std::shared_ptr<const StudentIndex> index;
    if (!ReadStudentIndex(index)) {
        return false;
    }
    for (const auto& [unid, studentId] : index->entries) {
        out.push_back(unid);
    }
    return !out.empty();
}

bool Database::ReadTaskTypes(std::vector<std::string>& out) {
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
    return Listing(teachers_, kTeachersFile, &Database::ReadTeacherIds, out);
}

bool Database::StudentKeys(std::vector<std::string>& out) {
    return Listing(students_, kStudentsFile, &Database::ReadStudentKeys, out);
}

bool Database::TaskTypes(std::vector<std::string>& out) {
    return Listing(taskTypes_, kTasksFile, &Database::ReadTaskTypes, out);
}

} // namespace tarvel
