#pragma once
// The one store object of the current database directory. Shared by the GUI thread and the receiving daemon:
// every member is safe to call from both.

#include "platform/FileOps.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarvel {

// The student index section "s" of students.dat as read at one moment: entries in file order, and the student
// id of each UNI ID by its upper-case form (UNI IDs are looked up ignoring letter case).
struct StudentIndex {
    std::vector<std::pair<std::string, std::string>> entries;
    std::unordered_map<std::string, std::string> studentIdOf;
};

class Database {
public:
    explicit Database(std::string configPath);

    // Reads dbpath from the configuration (default "???") and marks every list stale. False when not
    // configured; the text read is kept as the path.
    bool LoadPath();
    // Uses the given directory without consulting the configuration (database selection, tests).
    void UsePath(std::string path);
    // The database directory without a trailing separator; sets lastOk.
    std::string Path();
    const std::string& ConfigPath() const { return configPath_; }

    // The database path joined with a relative path ("students/12/student.dat").
    std::string AbsolutePath(const std::string& relative) const;
    // The lock file that guards every read-modify-write of a record file of this database.
    std::string LockPath() const;

    bool CopyInto(const std::string& source, const std::string& relativeTarget);
    bool DeleteRelative(const std::string& relative);
    bool MakeDirectory(const std::string& relative);

    void MarkTeachersStale();
    void MarkStudentsStale();
    void MarkTaskTypesStale();

    // Listings in file order, never truncated; each sets lastOk. See Teachers.h, Students.h, Tasks.h.
    bool TeacherIds(std::vector<std::string>& out);
    bool StudentKeys(std::vector<std::string>& out);
    bool TaskTypes(std::vector<std::string>& out);

    // The student index, read again only when students.dat has changed since the last read; false (out
    // unchanged) when the file cannot be read. Does not set lastOk.
    bool ReadStudentIndex(std::shared_ptr<const StudentIndex>& out);

    // The keys of a section of a record file (relative path), read again only when the file has changed since
    // the last read; a missing file gives no keys. False when the file cannot be read. Does not set lastOk.
    bool ReadSectionKeys(const std::string& relativeFile, const std::string& section,
                         std::shared_ptr<const std::vector<std::string>>& out);

    // The result of the last store operation of this process.
    std::atomic<bool> lastOk{false};

    // Sets lastOk and returns the same value, so operations can end with `return db.Report(ok);`.
    bool Report(bool ok);

private:
    // A listing kept until marked stale; a stale one is read again only when its file has changed.
    struct CachedList {
        bool stale = true;
        std::optional<FileStamp> stamp;
        std::vector<std::string> items;
    };
    bool Listing(CachedList& cache, const char* file, bool (Database::*read)(std::vector<std::string>&),
                 std::vector<std::string>& out);
    bool ReadTeacherIds(std::vector<std::string>& out);
    bool ReadStudentKeys(std::vector<std::string>& out);
    bool ReadTaskTypes(std::vector<std::string>& out);

    std::string configPath_;
    mutable std::mutex mutex_;
    std::string path_;
    CachedList teachers_;
    CachedList students_;
    CachedList taskTypes_;
    std::optional<FileStamp> studentIndexStamp_;
    std::shared_ptr<const StudentIndex> studentIndex_;
    struct CachedKeys {
        FileStamp stamp;
        std::shared_ptr<const std::vector<std::string>> keys;
    };
    std::unordered_map<std::string, CachedKeys> sectionKeys_; // by file and upper-case section name
};

} // namespace tarvel
