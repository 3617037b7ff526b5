// Picture files checked before a decoder sees them: PNG chunks and their
// checksums, BMPs that end before their pixels, folders and oversized files.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>

#include "host/picture_checks.h"

namespace {

using namespace panelhost;
using Bytes = std::vector<uint8_t>;

void put_32(Bytes& out, uint32_t v, bool big_endian) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (big_endian ? 24 - 8 * i : 8 * i)));
}

void put_bytes(Bytes& out, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) out.push_back(b);
}

void put_chunk(Bytes& png, const char* type, const Bytes& data) {
    put_32(png, uint32_t(data.size()), true);
    Bytes typed;
    for (int i = 0; i < 4; ++i) typed.push_back(uint8_t(type[i]));
    for (uint8_t b : data) typed.push_back(b);
    png.insert(png.end(), typed.begin(), typed.end());
    put_32(png, uint32_t(crc32(0, typed.data(), uInt(typed.size()))), true);
}

// One opaque red pixel, RGBA: IHDR at byte 8, IDAT at 33.
Bytes red_pixel_png() {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    put_32(ihdr, 1, true);
    put_32(ihdr, 1, true);
    put_bytes(ihdr, {8, 6, 0, 0, 0});
    put_chunk(png, "IHDR", ihdr);
    const Bytes row = {0, 255, 0, 0, 255};
    Bytes deflated(compressBound(uLong(row.size())));
    uLongf size = uLongf(deflated.size());
    compress(deflated.data(), &size, row.data(), uLong(row.size()));
    deflated.resize(size);
    put_chunk(png, "IDAT", deflated);
    put_chunk(png, "IEND", {});
    return png;
}

std::string png_problem(const Bytes& png) {
    PngHeader header;
    std::string problem;
    EXPECT_FALSE(check_png_chunks(png, header, problem));
    return problem;
}

// A BMP of width x height (negative: rows from the top) with a 40-byte
// header, no colour table, its pixels from byte 54.
Bytes bmp_of(int width, int height, uint16_t bits, uint32_t compression = 0) {
    const uint32_t row = (uint32_t(width) * bits + 31) / 32 * 4;
    Bytes bmp = {'B', 'M'};
    put_32(bmp, 54 + row * uint32_t(height), false);
    put_32(bmp, 0, false);
    put_32(bmp, 54, false);
    put_32(bmp, 40, false);
    put_32(bmp, uint32_t(width), false);
    put_32(bmp, uint32_t(height), false);
    put_bytes(bmp, {1, 0, uint8_t(bits), 0});
    put_32(bmp, compression, false);
    bmp.resize(54, 0);
    bmp.resize(54 + row * uint32_t(height > 0 ? height : -height), 0x40);
    return bmp;
}

std::string bmp_problem(const Bytes& bmp) {
    std::string problem;
    EXPECT_FALSE(check_bmp_file(bmp, problem));
    return problem;
}

TEST(PngChunks, EveryChecksumIsChecked) {
    Bytes png = red_pixel_png();
    PngHeader header;
    std::string problem;
    ASSERT_TRUE(check_png_chunks(png, header, problem)) << problem;
    EXPECT_EQ(header.width, 1u);
    EXPECT_EQ(header.height, 1u);

    Bytes bad_ihdr = png;
    bad_ihdr[29] ^= 1;  // IHDR's stored CRC
    EXPECT_EQ(png_problem(bad_ihdr).find("the IHDR chunk at byte 8 has the checksum"), 0u) << png_problem(bad_ihdr);
    Bytes bad_data = png;
    bad_data[33 + 8 + 2] ^= 0x10;  // inside IDAT's data
    EXPECT_EQ(png_problem(bad_data).find("the IDAT chunk at byte 33 has the checksum"), 0u);
    Bytes wider = png;
    wider[16 + 3] = 2;  // IHDR's width, its CRC left as it was
    EXPECT_NE(png_problem(wider).find("IHDR"), std::string::npos);
}

TEST(PngChunks, CutAndMisorderedFilesAreNamed) {
    const Bytes png = red_pixel_png();
    EXPECT_NE(png_problem(Bytes(png.begin(), png.end() - 12)).find("before its IEND chunk"), std::string::npos);
    EXPECT_NE(png_problem(Bytes(png.begin(), png.end() - 13)).find("the IDAT chunk at byte 33 holds"),
              std::string::npos);
    EXPECT_NE(png_problem(Bytes(png.begin(), png.begin() + 20)).find("cut short"), std::string::npos);
    Bytes no_header = png;
    no_header.erase(no_header.begin() + 8, no_header.begin() + 33);
    EXPECT_EQ(png_problem(no_header).find("its first chunk is IDAT"), 0u) << png_problem(no_header);
    Bytes huge_length = png;
    huge_length[33] = 0xFF;
    EXPECT_NE(png_problem(huge_length).find("past the file's end"), std::string::npos);
}

TEST(BmpFiles, PixelsMustLieInsideTheFile) {
    std::string problem;
    for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
        // 1, 4 and 8 bits with an empty colour table: stb's business, not a size fault.
        EXPECT_TRUE(check_bmp_file(bmp_of(3, 2, bits), problem)) << bits << ": " << problem;
    }
    EXPECT_TRUE(check_bmp_file(bmp_of(3, -2, 24), problem)) << problem;  // rows from the top
    // One byte short of the last row, and the header alone.
    Bytes short_by_one = bmp_of(3, 2, 24);
    short_by_one.pop_back();
    EXPECT_EQ(bmp_problem(short_by_one),
              "its 3 x 2 pixels of 24 bits need 24 bytes from byte 54, but the file ends at byte 77: it is cut short");
    Bytes header_only = bmp_of(3, 2, 24);
    header_only.resize(54);
    EXPECT_NE(bmp_problem(header_only).find("cut short"), std::string::npos);
    Bytes cut_header = header_only;
    cut_header.resize(40);
    EXPECT_EQ(bmp_problem(cut_header), "40 bytes, which end inside its 40-byte bitmap header");
    Bytes pixels_past = bmp_of(3, 2, 24);
    pixels_past[11] = 1;  // pixels from byte 310
    EXPECT_NE(bmp_problem(pixels_past).find("past the file's end"), std::string::npos);
    EXPECT_NE(bmp_problem(bmp_of(4, 2, 8, 1)).find("compression 1 (run-length)"), std::string::npos);
    // Bit fields after a 40-byte header take 12 bytes more before the pixels.
    EXPECT_NE(bmp_problem(bmp_of(3, 2, 32, 3)).find("inside its headers (66 bytes)"), std::string::npos);
    EXPECT_NE(bmp_problem(bmp_of(0, 2, 24)).find("not a picture's size"), std::string::npos);
}

TEST(PictureFiles, FoldersMissingAndOversizedFilesAreNamed) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "picture_checks_test";
    std::filesystem::create_directories(folder);
    Bytes bytes;
    std::string error;
    EXPECT_FALSE(read_picture_file(folder.string(), 1024, bytes, error));
    EXPECT_EQ(error, folder.string() + ": a folder, not a picture file");
    EXPECT_FALSE(read_picture_file(folder.string() + "/", 1024, bytes, error));
    EXPECT_EQ(error, folder.string() + "/: a folder, not a picture file");
    EXPECT_FALSE(read_picture_file((folder / "none.png").string(), 1024, bytes, error));
    EXPECT_NE(error.find("none.png: cannot read the picture: "), std::string::npos) << error;

    const std::string file = (folder / "two_mb.png").string();
    FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_TRUE(out);
    const Bytes zeros(2u << 20, 0);
    std::fwrite(zeros.data(), 1, zeros.size(), out);
    std::fclose(out);
    EXPECT_TRUE(read_picture_file(file, 2u << 20, bytes, error)) << error;
    EXPECT_EQ(bytes.size(), 2u << 20);
    EXPECT_FALSE(read_picture_file(file, (2u << 20) - 1, bytes, error));
    EXPECT_EQ(error, file + ": too large: more than 1 MB");
    std::filesystem::remove_all(folder);
}

}  // namespace
