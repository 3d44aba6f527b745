#pragma once
// Reading a file as a Windows program in text mode reads it: each CR LF comes out as LF. The result is a C
// stream, so that numbers are read with exactly the conversions of fscanf.

#include <cstdio>
#include <memory>
#include <string>

namespace tarvel {

struct StreamCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using TextStream = std::unique_ptr<std::FILE, StreamCloser>;

// Null when the file cannot be opened for reading.
TextStream OpenTextModeStream(const std::string& path);

} // namespace tarvel
