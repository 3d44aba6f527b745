#pragma once
// The lock held by every read-modify-write of a record or configuration file: a process-wide mutex (threads
// of this process) plus an advisory flock on a lock file (other processes). The lock file is never the record
// file itself, whose inode each rewrite replaces.

#include <mutex>
#include <string>

namespace tarvel {

class RecordLock {
public:
    // Blocks until both locks are held. When the lock file cannot be opened, only the mutex is held and
    // Acquired() reports false.
    explicit RecordLock(const std::string& lockPath);
    ~RecordLock();
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

    bool Acquired() const { return fd_ >= 0; }

private:
    std::unique_lock<std::mutex> threads_;
    int fd_ = -1;
};

} // namespace tarvel
