#include "host/picture_checks.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/base/report.h"

namespace panelhost {

namespace {

constexpr uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t big_endian_32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint32_t little_endian_32(const uint8_t* p) {
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
uint16_t little_endian_16(const uint8_t* p) { return uint16_t(p[1] << 8 | p[0]); }

bool is_chunk_letter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool read_picture_file(const std::string& path, size_t max_bytes, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    // Windows opens no folder ("Permission denied"), and elsewhere it opens
    // and then fails to read: named for what it is either way.
    // The Windows C runtime's stat finds no folder named with a separator last.
    std::string bare = path;
    while (bare.size() > 1 && (bare.back() == '/' || bare.back() == '\\')) bare.pop_back();
    struct stat facts {};
    if (stat(bare.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode)) {
        error = path + ": a folder, not a picture file";
        return false;
    }
    errno = 0;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = path + ": cannot read the picture" + (errno ? std::string(": ") + std::strerror(errno) : "");
        return false;
    }
    uint8_t buffer[65536];
    size_t got = 0;
    while (bytes.size() <= max_bytes && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    const bool failed = std::ferror(file);
    std::fclose(file);
    if (failed) {
        error = path + ": cannot read the picture: a read error";
        return false;
    }
    if (bytes.size() > max_bytes) {
        error = format("%s: too large: more than %zu MB", path.c_str(), max_bytes >> 20);
        return false;
    }
    return true;
}

bool starts_as_png(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= sizeof png_signature && std::memcmp(bytes.data(), png_signature, sizeof png_signature) == 0;
}

bool starts_as_bmp(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

bool check_png_chunks(const std::vector<uint8_t>& bytes, PngHeader& header, std::string& problem) {
    if (!starts_as_png(bytes)) {
        problem = "it does not start with the PNG signature";
        return false;
    }
    const size_t size = bytes.size();
    for (size_t at = sizeof png_signature, index = 0;; ++index) {
        if (size - at < 12) {
            problem = format("the file ends at byte %zu, before its IEND chunk: it is cut short", size);
            return false;
        }
        const uint8_t* chunk = bytes.data() + at;
        const uint32_t length = big_endian_32(chunk);
        const std::string type(reinterpret_cast<const char*>(chunk + 4), 4);
        const std::string shown = escaped(type);
        if (!is_chunk_letter(chunk[4]) || !is_chunk_letter(chunk[5]) || !is_chunk_letter(chunk[6]) ||
            !is_chunk_letter(chunk[7])) {
            problem = format("chunk %zu at byte %zu has no chunk type (\"%s\")", index + 1, at, shown.c_str());
            return false;
        }
        if (length > 0x7FFFFFFFu || length > size - at - 12) {
            problem = format("the %s chunk at byte %zu holds %u bytes, past the file's end (%zu bytes): "
                             "it is cut short",
                             shown.c_str(), at, unsigned(length), size);
            return false;
        }
        const uint32_t stored = big_endian_32(chunk + 8 + length);
        const uint32_t computed = uint32_t(crc32(crc32(0L, Z_NULL, 0), chunk + 4, uInt(length) + 4));
        if (stored != computed) {
            problem = format("the %s chunk at byte %zu has the checksum %08x, but its bytes give %08x", shown.c_str(),
                             at, unsigned(stored), unsigned(computed));
            return false;
        }
        if (index == 0) {
            if (type != "IHDR" || length != 13) {
                problem = format("its first chunk is %s of %u bytes, not IHDR of 13", shown.c_str(), unsigned(length));
                return false;
            }
            header = {big_endian_32(chunk + 8), big_endian_32(chunk + 12)};
            if (header.width == 0 || header.height == 0 || header.width > 0x7FFFFFFFu || header.height > 0x7FFFFFFFu) {
                problem = format("IHDR gives %u x %u pixels, which no PNG has (1 to 2147483647 a side)",
                                 unsigned(header.width), unsigned(header.height));
                return false;
            }
        }
        if (type == "IEND") return true;
        at += 12 + size_t(length);
    }
}

bool check_bmp_file(const std::vector<uint8_t>& bytes, std::string& problem) {
    constexpr size_t file_header = 14;
    const size_t size = bytes.size();
    const uint8_t* data = bytes.data();
    if (!starts_as_bmp(bytes) || size < file_header + 4) {
        problem = format("%zu bytes, too short for a BMP file's headers", size);
        return false;
    }
    const uint32_t pixels_at = little_endian_32(data + 10);
    const uint32_t header_size = little_endian_32(data + 14);
    if (header_size != 12 && (header_size < 40 || header_size > 124)) {
        problem = format("its bitmap header is %u bytes, not a BMP's (12, or 40 to 124)", unsigned(header_size));
        return false;
    }
    if (size < file_header + header_size) {
        problem = format("%zu bytes, which end inside its %u-byte bitmap header", size, unsigned(header_size));
        return false;
    }
    const uint8_t* h = data + file_header;
    const bool core = header_size == 12;
    const int64_t width = core ? little_endian_16(h + 4) : int32_t(little_endian_32(h + 4));
    const int64_t stored_height = core ? little_endian_16(h + 6) : int32_t(little_endian_32(h + 8));
    const int64_t height = stored_height < 0 ? -stored_height : stored_height;  // negative: rows from the top
    const unsigned bits = little_endian_16(h + (core ? 10 : 14));
    const uint32_t compression = core ? 0 : little_endian_32(h + 16);
    // Past any panel window; keeps the sums below in range.
    constexpr int64_t max_side = 1 << 20;
    if (width <= 0 || height == 0 || width > max_side || height > max_side) {
        problem = format("its header gives %lld x %lld pixels, not a picture's size (1 to %lld a side)",
                         (long long)width, (long long)stored_height, (long long)max_side);
        return false;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        problem = format("%u bits per pixel; a BMP has 1, 4, 8, 16, 24 or 32", bits);
        return false;
    }
    constexpr uint32_t uncompressed = 0, bit_fields = 3;
    if (compression != uncompressed && !(compression == bit_fields && (bits == 16 || bits == 32))) {
        problem = format("compression %u%s; this host reads uncompressed BMPs (and 16- or 32-bit ones with bit "
                         "fields)",
                         unsigned(compression), compression == 1 || compression == 2 ? " (run-length)" : "");
        return false;
    }
    // A 40-byte header is followed by the three masks of bit fields.
    const size_t headers_end = file_header + header_size + (compression == bit_fields && header_size == 40 ? 12 : 0);
    if (pixels_at < headers_end || pixels_at > size) {
        problem = format("its pixels are said to start at byte %u, %s", unsigned(pixels_at),
                         pixels_at > size ? format("past the file's end (%zu bytes): it is cut short", size).c_str()
                                          : format("inside its headers (%zu bytes)", headers_end).c_str());
        return false;
    }
    const uint64_t row_bytes = (uint64_t(width) * bits + 31) / 32 * 4;
    const uint64_t needed = row_bytes * uint64_t(height);
    if (needed > size - pixels_at) {
        problem = format("its %lld x %lld pixels of %u bits need %llu bytes from byte %u, but the file ends at "
                         "byte %zu: it is cut short",
                         (long long)width, (long long)height, bits, (unsigned long long)needed, unsigned(pixels_at),
                         size);
        return false;
    }
    return true;
}

}  // namespace panelhost
