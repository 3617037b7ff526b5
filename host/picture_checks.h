// Picture files read as input (golden and compared PNGs, panel background
// bitmaps), checked before a decoder sees them: stb_image neither checks a
// PNG's checksums nor minds a BMP that ends before its pixels do (it reads
// the missing rows as black). No Windows code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace panelhost {

// The whole file, when it is one of at most `max_bytes`: false with `error`
// naming the file and what is wrong (missing, a folder, unreadable, too large).
bool read_picture_file(const std::string& path, size_t max_bytes, std::vector<uint8_t>& bytes, std::string& error);

bool starts_as_png(const std::vector<uint8_t>& bytes);
bool starts_as_bmp(const std::vector<uint8_t>& bytes);

struct PngHeader {
    uint32_t width = 0, height = 0;
};

// A PNG file's chunks, from the signature to IEND: IHDR first, each chunk
// inside the file and its CRC right. False with `problem` saying which
// chunk is wrong and how; the image data itself is the decoder's to check.
bool check_png_chunks(const std::vector<uint8_t>& bytes, PngHeader& header, std::string& problem);

// A BMP file's headers, as a Windows bitmap file stores them: an
// uncompressed or bit-field picture whose rows all lie inside the file.
// False with `problem` set for a truncated or header-only file, a header
// of no known size, and compressions this host does not read.
bool check_bmp_file(const std::vector<uint8_t>& bytes, std::string& problem);

}  // namespace panelhost
