#include "platform/RecordLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tarvel {
namespace {

std::mutex& ProcessMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

RecordLock::RecordLock(const std::string& lockPath) : threads_(ProcessMutex()) {
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

RecordLock::~RecordLock() {
    if (fd_ >= 0) {
        ::close(fd_); // closing releases the flock
    }
}

} // namespace tarvel
