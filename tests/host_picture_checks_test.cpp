// Golden-image checks and the mouse-area picture, run the way a user runs
// them (the render and compare commands, in this process) and read back
// from the PNG files they write: a one-pixel change is found with its count,
// size and place; see-through pixels compare by what shows; and the boxes
// --show-mouse draws are where the mouse command finds the areas.
#include <gtest/gtest.h>

#include <cstdio>

#include <zlib.h>

#include "host/command_line.h"
#include "host/exit_status.h"
#include "host/mouse_overlay.h"
#include "host/panel_host.h"
#include "host/panel_window.h"
#include "host/picture_comparison.h"
#include "host/png_file.h"
#include "host/reader/check_module.h"
#include "tests/support/loaded_module.h"

namespace {

using namespace panelhost;

std::string beside_tests(const std::string& file) {
    std::string dir = module_path();
    return dir.substr(0, dir.find_last_of("\\/") + 1) + file;
}

int run_panelhost(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "panelhost");
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    std::fflush(stdout);
    return run_command_line(int(argv.size()), argv.data());
}

StraightPicture read_or_fail(const std::string& path) {
    StraightPicture picture;
    std::string error;
    EXPECT_TRUE(read_png(path, picture, error)) << error;
    return picture;
}

void write_or_fail(const StraightPicture& picture, const std::string& path) {
    Image image(picture.width, picture.height);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.at(x, y);
            ASSERT_TRUE(p[3] == 0 || p[3] == 255) << "only opaque and see-through pixels stay exact";
            if (p[3]) image.at(x, y) = opaque(p[0], p[1], p[2]);
        }
    std::string error;
    ASSERT_TRUE(write_png(image, path, error)) << error;
}

// A PNG of a kind the host never writes: 8-bit RGB, no alpha.
std::vector<uint8_t> rgb_png(int width, int height, const uint8_t* rgb) {
    std::vector<uint8_t> rows;
    for (int y = 0; y < height; ++y) {
        rows.push_back(0);  // no filter
        rows.insert(rows.end(), rgb + size_t(y) * width * 3, rgb + size_t(y + 1) * width * 3);
    }
    std::vector<uint8_t> deflated(compressBound(uLong(rows.size())));
    uLongf length = uLongf(deflated.size());
    compress(deflated.data(), &length, rows.data(), uLong(rows.size()));
    deflated.resize(length);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto word = [](std::vector<uint8_t>& to, uint32_t w) {
        for (int shift : {24, 16, 8, 0}) to.push_back(uint8_t(w >> shift));
    };
    auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        word(png, uint32_t(data.size()));
        std::vector<uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        png.insert(png.end(), body.begin(), body.end());
        word(png, uint32_t(crc32(0, body.data(), uInt(body.size()))));
    };
    std::vector<uint8_t> header;
    word(header, uint32_t(width));
    word(header, uint32_t(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
    chunk("IHDR", header);
    chunk("IDAT", deflated);
    chunk("IEND", {});
    return png;
}

Rgba pixel(const StraightPicture& picture, int x, int y) {
    const uint8_t* p = picture.at(x, y);
    return {p[0], p[1], p[2], p[3]};
}

// The direction finder as render draws it, written as the golden picture.
class GoldenPicture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(run_panelhost({"render", module_path(), "Direction_Finder", "--set", "16=345", "--set", "39=5", "-o",
                                 golden_path()}),
                  0);
    }
    static std::string golden_path() { return beside_tests("picture_checks_golden.png"); }
};

TEST_F(GoldenPicture, OnePlantedPixelIsFoundWithItsSizeAndPlace) {
    StraightPicture golden = read_or_fail(golden_path());
    ASSERT_EQ(golden.width, 256);
    StraightPicture planted = golden;
    // A pixel of the dial, opaque: its green channel 37 off.
    const int x = 128, y = 100;
    ASSERT_EQ(planted.at(x, y)[3], 255);
    uint8_t& green = planted.rgba[(size_t(y) * 256 + x) * 4 + 1];
    green = uint8_t(green >= 37 ? green - 37 : green + 37);
    const std::string planted_path = beside_tests("picture_checks_planted.png");
    write_or_fail(planted, planted_path);

    PictureDifference d = compare_pictures(golden, read_or_fail(planted_path), 0);
    EXPECT_EQ(d.differing, 1u);
    EXPECT_EQ(d.largest, 37);
    EXPECT_EQ(d.pixels, 65536u);
    EXPECT_EQ((std::vector<int>{d.left, d.top, d.right, d.bottom}), (std::vector<int>{x, y, x, y}));
    EXPECT_EQ(difference_text(d, golden, planted, 0), "1 of 65536 pixels differ by more than 0: by up to 37, in the box 128, 100, 1 x 1");
    // The tolerance is the largest channel difference still counted as the same.
    EXPECT_TRUE(compare_pictures(golden, planted, 37).same());
    EXPECT_FALSE(compare_pictures(golden, planted, 36).same());

    // The command: exit status 2 and a diff picture with that pixel in red.
    const std::string diff_path = beside_tests("picture_checks_diff.png");
    std::remove(diff_path.c_str());
    EXPECT_EQ(run_panelhost({"compare", golden_path(), planted_path, "-o", diff_path}),
              code(ExitStatus::pictures_differ));
    StraightPicture diff = read_or_fail(diff_path);
    ASSERT_EQ(diff.width, 256);
    EXPECT_EQ(pixel(diff, x, y), opaque(128 + 127 * 37 / 255, 0, 0));
    for (int dx : {-1, 1}) {
        EXPECT_EQ(pixel(diff, x + dx, y), opaque(255, 220, 0)) << "the box's outline, left and right of it";
        EXPECT_EQ(pixel(diff, x, y + dx), opaque(255, 220, 0)) << "and above and below";
    }
    EXPECT_NE(pixel(diff, x + 3, y).r, 255) << "nothing else is marked";
    EXPECT_EQ(run_panelhost({"compare", golden_path(), planted_path, "--tolerance", "37"}), 0);
}

TEST_F(GoldenPicture, RenderExpectingItsGoldenMatchesAndADifferentReadingDoesNot) {
    const std::string out = beside_tests("picture_checks_render.png");
    EXPECT_EQ(run_panelhost({"render", module_path(), "Direction_Finder", "--set", "16=345", "--set", "39=5", "-o", out,
                             "--expect", golden_path()}),
              0);
    EXPECT_EQ(run_panelhost({"render", module_path(), "Direction_Finder", "--set", "16=346", "--set", "39=5", "-o", out,
                             "--expect", golden_path()}),
              code(ExitStatus::pictures_differ));
    // Only the ones drum (window 18 x 27 at 138, 0) changed.
    PictureDifference d = compare_pictures(read_or_fail(golden_path()), read_or_fail(out), 0);
    EXPECT_GT(d.differing, 20u);
    EXPECT_GE(d.left, 138);
    EXPECT_LE(d.right, 138 + 17);
    EXPECT_GE(d.top, 0);
    EXPECT_LE(d.bottom, 26);
    StraightPicture diff = read_or_fail(beside_tests("picture_checks_render-diff.png"));
    EXPECT_EQ(diff.width, 256);
}

TEST(PictureComparison, WhatShowsIsCompared) {
    StraightPicture a{2, 1, {10, 20, 30, 0, 50, 50, 50, 255}};
    StraightPicture b{2, 1, {200, 0, 90, 0, 50, 50, 50, 255}};
    EXPECT_TRUE(compare_pictures(a, b, 0).same()) << "see-through in both: its colour shows nowhere";
    b.rgba[3] = 1;
    PictureDifference d = compare_pictures(a, b, 0);
    EXPECT_EQ(d.differing, 1u);
    EXPECT_EQ(d.largest, 190);
    StraightPicture wider{3, 1, std::vector<uint8_t>(12, 0)};
    d = compare_pictures(a, wider, 255);
    EXPECT_FALSE(d.same());
    EXPECT_EQ(difference_text(d, a, wider, 255), "they are not the same size: 2 x 1 against 3 x 1");
}

TEST(PictureComparison, ReadsAnyPngAndNamesWhatIsWrongWithOneItCannot) {
    // Three channels, no alpha: every pixel reads opaque.
    const std::string rgb = beside_tests("picture_checks_rgb.png");
    const uint8_t pixels[] = {1, 2, 3, 250, 251, 252};
    std::vector<uint8_t> png = rgb_png(2, 1, pixels);
    std::string error;
    ASSERT_TRUE(write_file(rgb, png, error)) << error;
    StraightPicture read = read_or_fail(rgb);
    EXPECT_EQ(read.rgba, (std::vector<uint8_t>{1, 2, 3, 255, 250, 251, 252, 255}));

    StraightPicture ignored;
    png.resize(png.size() / 2);
    const std::string cut = beside_tests("picture_checks_cut.png");
    ASSERT_TRUE(write_file(cut, png, error)) << error;
    EXPECT_FALSE(read_png(cut, ignored, error));
    EXPECT_NE(error.find("picture_checks_cut.png: a damaged PNG file ("), std::string::npos) << error;
    EXPECT_FALSE(read_png(module_path(), ignored, error));
    EXPECT_NE(error.find("not a PNG file"), std::string::npos) << error;
    EXPECT_FALSE(read_png(beside_tests("no_such_picture.png"), ignored, error));
    EXPECT_NE(error.find("no_such_picture.png: cannot read the picture"), std::string::npos) << error;
}

// What stb_image would decode regardless: a PNG with a wrong checksum, a
// BMP background ending before its rows; and a folder where a file belongs.
TEST(PictureComparison, ChecksumsCutBitmapsAndFoldersAreRefused) {
    const uint8_t pixels[] = {1, 2, 3};
    std::vector<uint8_t> png = rgb_png(1, 1, pixels);
    png[29] ^= 1;  // IHDR's CRC
    const std::string bad_crc = beside_tests("picture_checks_bad_crc.png");
    std::string error;
    ASSERT_TRUE(write_file(bad_crc, png, error)) << error;
    StraightPicture ignored;
    EXPECT_FALSE(read_png(bad_crc, ignored, error));
    EXPECT_NE(error.find("picture_checks_bad_crc.png: a damaged PNG file (the IHDR chunk at byte 8 has the checksum"),
              std::string::npos) << error;
    const std::string folder = module_path().substr(0, module_path().find_last_of("\\/"));
    EXPECT_FALSE(read_png(folder, ignored, error));
    EXPECT_NE(error.find(": a folder, not a picture file"), std::string::npos) << error;

    // A 2 x 2 BMP of 24 bits with its last row cut off.
    const uint8_t headers[30] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
                                 1, 0, 24, 0};
    std::vector<uint8_t> bmp(54 + 8, 0x80);
    std::fill(bmp.begin(), bmp.begin() + 54, 0);
    std::copy(headers, headers + sizeof headers, bmp.begin());
    const std::string cut = beside_tests("picture_checks_cut.bmp");
    ASSERT_TRUE(write_file(cut, bmp, error)) << error;
    Image background;
    EXPECT_FALSE(read_bitmap_file(cut, background, error));
    EXPECT_NE(error.find("picture_checks_cut.bmp: a damaged BMP file (its 2 x 2 pixels of 24 bits need 16 bytes"),
              std::string::npos) << error;
    bmp.resize(70, 0x80);
    ASSERT_TRUE(write_file(cut, bmp, error)) << error;
    EXPECT_TRUE(read_bitmap_file(cut, background, error)) << error;
    EXPECT_EQ(background.at(1, 1), opaque(0x80, 0x80, 0x80));
}

// The tuning spots --show-mouse draws are where the mouse command finds them.
TEST(MouseAreaPicture, BoxesAreDrawnWhereTheMouseFindsThem) {
    const std::string out = beside_tests("picture_checks_mouse.png");
    ASSERT_EQ(run_panelhost({"render", module_path(), "Direction_Finder", "--show-mouse", "-o", out}), 0);
    StraightPicture drawn = read_or_fail(out);
    // What mouse --list prints: the records read from the file.
    Report report;
    CheckedModule checked = check_module_file(module_path(), report);
    ASSERT_TRUE(checked.passed) << report.text();
    const GaugeModel* gauge = checked.records.gauge("Direction_Finder");
    ASSERT_NE(gauge, nullptr);
    ASSERT_EQ(gauge->mouse_areas.size(), 8u);
    EXPECT_GT(drawn.height, gauge->height + 8 * 12) << "a legend line for each area below the face";
    // What mouse X Y answers: the host's hit test.
    std::unique_ptr<Host> host = Host::open(module_path(), report);
    ASSERT_NE(host, nullptr) << report.text();
    const GaugeModel& hosted = *host->gauge("Direction_Finder");

    int clickable = 0;
    for (size_t i = 0; i < gauge->mouse_areas.size(); ++i) {
        const MouseArea& area = gauge->mouse_areas[i];
        if (area.record.rect_type != stored::mouse_child) continue;
        ++clickable;
        const Rgba colour = mouse_area_colour(i);
        const int right = area.x + area.width - 1, bottom = area.y + area.height - 1;
        const int middle = area.y + area.height / 2;
        for (auto [x, y] : {std::pair{right, area.y}, {area.x, bottom}, {right, bottom}, {area.x, middle}, {right, middle}})
            EXPECT_EQ(pixel(drawn, x, y), colour) << "area " << area.index << " at " << x << ", " << y;
        for (auto [x, y] : {std::pair{area.x + 3, middle + 3}, {right + 1, middle}, {right - 1, middle}})
            EXPECT_NE(pixel(drawn, x, y), colour) << "only its outline: area " << area.index << " at " << x << ", " << y;
        // Its number inside its own box, at the top left: not above it, over its neighbour.
        EXPECT_EQ(pixel(drawn, area.x + 1, area.y + 1), opaque(16, 16, 16)) << "area " << area.index;
        // The arrow in its middle, in its colour.
        EXPECT_EQ(pixel(drawn, area.x + area.width / 2, area.y + area.height / 2 + 2), colour) << "area " << area.index;
        MouseHit hit = host->mouse(hosted, area.x + area.width / 2, area.y + area.height / 2);
        ASSERT_NE(hit.area, nullptr);
        EXPECT_EQ(hit.area->index, area.index);
        EXPECT_EQ(hit.area->record.event_id, area.record.event_id);
    }
    EXPECT_EQ(clickable, 6);
    // The whole face's outline runs along its edges.
    EXPECT_EQ(pixel(drawn, 0, 128), mouse_area_colour(0));
    EXPECT_EQ(pixel(drawn, 255, 128), mouse_area_colour(0));
}

}  // namespace
