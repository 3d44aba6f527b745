#include "SourceReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

SourceReader::SourceReader(const std::string& path) {
    descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (descriptor_ >= 0 && (::fstat(descriptor_, &status) != 0 || S_ISDIR(status.st_mode))) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

SourceReader::~SourceReader() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::ptrdiff_t SourceReader::read(char* buffer, std::size_t capacity) {
    std::size_t count = 0;
    while (count < capacity) {
        if (rawStart_ == rawEnd_ && (count > 0 || !refill())) {
            break;
        }
        const char* run = raw_.data() + rawStart_;
        const std::size_t available = std::min(rawEnd_ - rawStart_, capacity - count);
        const void* carriageReturn = std::memchr(run, '\r', available);
        const std::size_t plain =
            carriageReturn == nullptr ? available : static_cast<const char*>(carriageReturn) - run;
        std::memcpy(buffer + count, run, plain);
        count += plain;
        rawStart_ += plain;
        if (carriageReturn == nullptr) {
            continue;
        }
        // A CR is dropped when an LF follows it, which may only show with the next read.
        ++rawStart_;
        if (rawStart_ == rawEnd_) {
            refill();
        }
        if (rawStart_ == rawEnd_ || raw_[rawStart_] != '\n') {
            buffer[count++] = '\r';
        }
    }
    return failed_ ? -1 : static_cast<std::ptrdiff_t>(count);
}

bool SourceReader::refill() {
    ssize_t count = 0;
    do {
        count = ::read(descriptor_, raw_.data(), raw_.size());
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        failed_ = true;
    }
    rawStart_ = 0;
    rawEnd_ = count > 0 ? static_cast<std::size_t>(count) : 0;
    return rawEnd_ > 0;
}
