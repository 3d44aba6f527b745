#pragma once

#include <array>
#include <cstddef>
#include <string>

// A source file read the way Windows text mode reads it: each CR LF arrives as one LF; every other byte,
// NUL and Ctrl-Z included, arrives unchanged.
class SourceReader {
public:
    // Opens the file for reading; a directory counts as a file that cannot be opened. See isOpen().
    explicit SourceReader(const std::string& path);
    ~SourceReader();
    SourceReader(const SourceReader&) = delete;
    SourceReader& operator=(const SourceReader&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }

    // Puts up to capacity (at least 1) bytes into buffer. Returns their count, 0 at the end of the file,
    // or -1 when reading fails.
    std::ptrdiff_t read(char* buffer, std::size_t capacity);

    // The most the file is asked for at once.
    static constexpr std::size_t readSize = 8192;

private:
    // Makes at least one raw byte available; false at the end of the file, and on failure with failed_ set.
    bool refill();

    int descriptor_ = -1;
    bool failed_ = false;
    std::array<char, readSize> raw_{};
    std::size_t rawStart_ = 0;
    std::size_t rawEnd_ = 0;
};
