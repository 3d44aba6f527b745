#pragma once
// Zip archives built byte by byte, so that the tests can set every field a broken or hostile archive may
// carry: names, the mode bits of the central directory, declared sizes, a damaged or missing central
// directory, and deflate streams far larger inflated than stored.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarvel::testing {

inline constexpr unsigned kRegularMode = 0100644;
inline constexpr unsigned kDirectoryMode = 0040755;
inline constexpr unsigned kSymlinkMode = 0120777;
inline constexpr unsigned kCharacterDeviceMode = 0020644;

inline std::uint32_t Crc32(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// Raw deflate (no zlib header), as zip stores it. A full flush ends the output on a byte boundary with an
// empty dictionary, so copies of the output can follow one another.
inline std::string RawDeflate(const std::string& data, int flush = Z_FINISH) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, flush);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// A deflate stream of `mebibytes` MiB of zero bytes, about a thousandth of that in size, made in
// milliseconds: one flushed MiB repeated, then an empty final block. `crc` receives the CRC of the zeros.
inline std::string ZeroBomb(unsigned mebibytes, std::uint32_t& crc) {
    const std::string mebibyte(1 << 20, '\0');
    const std::string chunk = RawDeflate(mebibyte, Z_FULL_FLUSH);
    const uLong chunkCrc = Crc32(mebibyte);
    std::string stream;
    uLong total = crc32(0L, Z_NULL, 0);
    for (unsigned i = 0; i < mebibytes; ++i) {
        stream += chunk;
        total = crc32_combine(total, chunkCrc, 1 << 20);
    }
    stream += std::string("\x03\x00", 2);
    crc = static_cast<std::uint32_t>(total);
    return stream;
}

class ZipBuilder {
public:
    ZipBuilder& File(std::string name, std::string data, unsigned mode = kRegularMode) {
        const std::uint32_t crc = Crc32(data);
        const auto size = static_cast<std::uint32_t>(data.size());
        entries_.push_back({std::move(name), std::move(data), 0, crc, size, mode});
        return *this;
    }
    ZipBuilder& Deflated(std::string name, const std::string& data) {
        entries_.push_back({std::move(name), RawDeflate(data), 8, Crc32(data),
                            static_cast<std::uint32_t>(data.size()), kRegularMode});
        return *this;
    }
    ZipBuilder& Directory(std::string name) { return File(std::move(name), "", kDirectoryMode); }
    ZipBuilder& Symlink(std::string name, std::string target) {
        return File(std::move(name), std::move(target), kSymlinkMode);
    }
    ZipBuilder& Device(std::string name) { return File(std::move(name), "", kCharacterDeviceMode); }
    // A deflate stream stored as it is, with whatever uncompressed size the headers are to declare.
    ZipBuilder& Compressed(std::string name, std::string stream, std::uint32_t crc,
                           std::uint32_t declaredSize) {
        entries_.push_back({std::move(name), std::move(stream), 8, crc, declaredSize, kRegularMode});
        return *this;
    }
    // Sets the flag that declares every name UTF-8; without it names are in the archiver's DOS code page.
    ZipBuilder& Utf8Names() {
        flags_ = 0x0800;
        return *this;
    }
    ZipBuilder& Comment(std::string comment) {
        comment_ = std::move(comment);
        return *this;
    }

    // Local headers with their data, the central directory and its end record.
    std::string Bytes() const {
        std::string out = LocalPart();
        std::string directory;
        std::uint32_t offset = 0;
        for (const Entry& entry : entries_) {
            Put32(directory, 0x02014b50);
            Put16(directory, (3 << 8) | 20); // made by Unix, so the high half of the attributes is the mode
            Put16(directory, 20);
            Put16(directory, flags_);
            Put16(directory, entry.method);
            Put32(directory, 0); // time and date
            Put32(directory, entry.crc);
            Put32(directory, static_cast<std::uint32_t>(entry.payload.size()));
            Put32(directory, entry.size);
            Put16(directory, static_cast<std::uint16_t>(entry.name.size()));
            Put16(directory, 0);
            Put16(directory, 0);
            Put16(directory, 0);
            Put16(directory, 0);
            Put32(directory, entry.mode << 16);
            Put32(directory, offset);
            directory += entry.name;
            offset += static_cast<std::uint32_t>(30 + entry.name.size() + entry.payload.size());
        }
        const auto directoryOffset = static_cast<std::uint32_t>(out.size());
        out += directory;
        Put32(out, 0x06054b50);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, static_cast<std::uint16_t>(entries_.size()));
        Put16(out, static_cast<std::uint16_t>(entries_.size()));
        Put32(out, static_cast<std::uint32_t>(directory.size()));
        Put32(out, directoryOffset);
        Put16(out, static_cast<std::uint16_t>(comment_.size()));
        out += comment_;
        return out;
    }

    // The local headers and data alone: an archive whose central directory was cut off.
    std::string LocalPart() const {
        std::string out;
        for (const Entry& entry : entries_) {
            Put32(out, 0x04034b50);
            Put16(out, 20);
            Put16(out, flags_);
            Put16(out, entry.method);
            Put32(out, 0);
            Put32(out, entry.crc);
            Put32(out, static_cast<std::uint32_t>(entry.payload.size()));
            Put32(out, entry.size);
            Put16(out, static_cast<std::uint16_t>(entry.name.size()));
            Put16(out, 0);
            out += entry.name;
            out += entry.payload;
        }
        return out;
    }

private:
    struct Entry {
        std::string name;
        std::string payload;
        std::uint16_t method;
        std::uint32_t crc;
        std::uint32_t size;
        unsigned mode;
    };
    static void Put16(std::string& out, unsigned value) {
        out += static_cast<char>(value & 0xFF);
        out += static_cast<char>((value >> 8) & 0xFF);
    }
    static void Put32(std::string& out, std::uint32_t value) {
        Put16(out, value & 0xFFFF);
        Put16(out, value >> 16);
    }

    std::vector<Entry> entries_;
    std::uint16_t flags_ = 0;
    std::string comment_;
};

} // namespace tarvel::testing
