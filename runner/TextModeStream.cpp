#include "runner/TextModeStream.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace tarvel {
namespace {

// The open file behind a text-mode stream. A CR is held back until the next byte shows whether it ends a
// line.
struct TextModeSource {
    explicit TextModeSource(int descriptor) : fd(descriptor) {}
    ~TextModeSource() { close(fd); }
    TextModeSource(const TextModeSource&) = delete;
    TextModeSource& operator=(const TextModeSource&) = delete;

    bool Fill() {
        ssize_t count;
        do {
            count = read(fd, raw, sizeof raw);
        } while (count < 0 && errno == EINTR);
        position = 0;
        length = count > 0 ? static_cast<size_t>(count) : 0;
        return count > 0;
    }

    int fd;
    char raw[65536];
    size_t position = 0;
    size_t length = 0;
    bool heldCarriageReturn = false;
    bool ended = false;
};

ssize_t ReadTextMode(void* cookie, char* buffer, size_t size) {
    auto& source = *static_cast<TextModeSource*>(cookie);
    size_t produced = 0;
    while (produced < size) {
        if (source.position == source.length) {
            if (produced > 0 || source.ended) {
                break;
            }
            if (!source.Fill()) {
                source.ended = true;
                if (source.heldCarriageReturn) {
                    source.heldCarriageReturn = false;
                    buffer[produced++] = '\r';
                }
                break;
            }
        }
        char byte = source.raw[source.position];
        if (source.heldCarriageReturn) {
            source.heldCarriageReturn = false;
            if (byte == '\n') {
                ++source.position;
            }
            buffer[produced++] = byte == '\n' ? '\n' : '\r';
            continue;
        }
        ++source.position;
        if (byte == '\r') {
            source.heldCarriageReturn = true;
        } else {
            buffer[produced++] = byte;
        }
    }
    return static_cast<ssize_t>(produced);
}

int CloseTextMode(void* cookie) {
    delete static_cast<TextModeSource*>(cookie);
    return 0;
}

} // namespace

TextStream OpenTextModeStream(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    auto source = std::make_unique<TextModeSource>(fd);
    cookie_io_functions_t functions{};
    functions.read = ReadTextMode;
    functions.close = CloseTextMode;
    std::FILE* stream = fopencookie(source.get(), "r", functions);
    if (stream == nullptr) {
        return nullptr;
    }
    // The stream owns the source from here on and frees it when it is closed.
    source.release();
    return TextStream(stream);
}

} // namespace tarvel
