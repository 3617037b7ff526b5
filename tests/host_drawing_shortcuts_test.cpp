// What makes long replays fast must not change a pixel or a file: draws
// that start from a cached face, canvases reused between frames, drawing
// only where a picture is not see-through, and PNG frames written in the
// background with a repeated frame's bytes reused.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>

#include "host/panel_host.h"
#include "host/png_file.h"
#include "tests/support/loaded_module.h"

namespace {

using namespace panelhost;

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Pixels that differ between two pictures of one size (-1: sizes differ).
int differing_pixels(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height) return -1;
    int n = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) n += !(a.pixels[i] == b.pixels[i]);
    return n;
}

// ---------------------------------------------------------------------------
// The host's draws against a composition of every element afresh.

class CachedDraws : public ::testing::Test {
protected:
    void SetUp() override {
        Report report;
        host = Host::open(module_path(), report);
        ASSERT_NE(host, nullptr) << report.text();
        canvases.resize(host->gauges().size());
    }
    // Every gauge drawn into its reused canvas, and each compared with a
    // fresh composition in the same state.
    void expect_every_gauge_as_composed(const std::string& when) {
        for (size_t g = 0; g < host->gauges().size(); ++g) {
            const GaugeModel& gauge = host->gauges()[g];
            host->update(gauge);
            host->draw(gauge, canvases[g]);
            host->reuse_backgrounds = false;
            Image composed = host->draw(gauge);
            host->reuse_backgrounds = true;
            EXPECT_EQ(differing_pixels(canvases[g], composed), 0) << gauge.name << " " << when;
        }
    }
    std::unique_ptr<Host> host;
    std::vector<Image> canvases;
};

TEST_F(CachedDraws, MatchAFreshCompositionAsReadingsFailuresAndRecordsChange) {
    for (const GaugeModel& g : host->gauges()) host->install(g);
    for (int reading = 0; reading < 3; ++reading) {
        host->variables.set_previews(reading);
        expect_every_gauge_as_composed("at preview reading " + std::to_string(reading));
    }
    // Rate-limited needles part-way to a far reading.
    host->variables.set_previews(0);
    expect_every_gauge_as_composed("back at the first reading");
    host->variables.set_previews(2);
    expect_every_gauge_as_composed("one tick towards the third reading");
    // Every failure key any element lists, freezing or zeroing.
    std::set<uint32_t> keys;
    for (const GaugeModel& g : host->gauges())
        for (const ElementModel& e : g.elements)
            for (const stored::FailureRecord& f : e.failures) keys.insert(f.key);
    ASSERT_FALSE(keys.empty());
    host->failed_keys = keys;
    host->variables.set_previews(1);
    expect_every_gauge_as_composed("with every failure in force");
    host->failed_keys.clear();
    expect_every_gauge_as_composed("with the failures cleared");
    // A face whose record the module moves: the cached face must follow.
    auto live_position = [&](const GaugeModel& g) -> stored::Point& {
        return host->module().live<stored::ElementHeader>(g.elements[0].address)->position;
    };
    for (const GaugeModel& g : host->gauges()) live_position(g).x += 5;
    expect_every_gauge_as_composed("with every face moved 5 pixels right");
    for (const GaugeModel& g : host->gauges()) live_position(g).x -= 5;
    expect_every_gauge_as_composed("with every face back");
    // Killed and installed again.
    for (const GaugeModel& g : host->gauges()) {
        host->kill(g);
        host->install(g);
    }
    expect_every_gauge_as_composed("after a new install");
}

TEST_F(CachedDraws, ReusedCanvasKeepsNothingOfWhatItHeld) {
    const GaugeModel& gauge = host->gauges().front();
    host->install(gauge);
    host->variables.set_previews(1);
    host->update(gauge);
    Image fresh = host->draw(gauge);
    Image canvas(gauge.width + 3, gauge.height - 7, opaque(9, 200, 9));
    host->draw(gauge, canvas);
    EXPECT_EQ(differing_pixels(canvas, fresh), 0);
    // Not installed, nothing is plotted: the canvas comes back clear.
    host->kill(gauge);
    host->draw(gauge, canvas);
    EXPECT_EQ(differing_pixels(canvas, Image(gauge.width, gauge.height)), 0);
}

// ---------------------------------------------------------------------------
// Drawing only where a picture is not see-through, against the plain
// definitions: every target (or window) pixel, sampled.

void compose_rotated(Image& target, const Image& source, int pivot_x, int pivot_y, int at_x, int at_y,
                     double degrees) {
    double radians = degrees * (M_PI / 180.0);  // as draw_rotated turns it, to the last bit
    double c = std::cos(radians), s = std::sin(radians);
    if (std::fabs(c) < 1e-12) c = 0;
    if (std::fabs(s) < 1e-12) s = 0;
    for (int y = 0; y < target.height; ++y) {
        for (int x = 0; x < target.width; ++x) {
            double dx = x - at_x, dy = y - at_y;
            composite(target.at(x, y), sample_bilinear(source, pivot_x + c * dx + s * dy, pivot_y - s * dx + c * dy));
        }
    }
}

TEST(PictureCoverage, RotatedNeedlesAndWindowedImagesMatchThePlainDefinitions) {
    Report report;
    std::unique_ptr<Host> host = Host::open(module_path(), report);
    ASSERT_NE(host, nullptr) << report.text();
    int needles = 0, windows = 0;
    for (const GaugeModel& g : host->gauges()) {
        const Image& face = g.elements[0].picture->picture;
        for (const ElementModel& e : g.elements) {
            const stored::ElementHeader* h = &e.header;
            if (e.kind == ELEMENT_TYPE_NEEDLE) {
                const Image& needle = e.picture->picture;
                Coverage covered(needle);
                ++needles;
                // Every 7.3 degrees and the quarter turns; pivots on the face
                // and near its corner, where the needle leaves the canvas.
                for (double angle = 0; angle < 360; angle += 7.3) {
                    for (int corner = 0; corner < 2; ++corner) {
                        int at_x = corner ? g.width - 20 : h->position.x, at_y = corner ? 15 : h->position.y;
                        Image drawn = face, composed = face;
                        draw_rotated(drawn, needle, covered, h->offset.x, h->offset.y, at_x, at_y, angle);
                        compose_rotated(composed, needle, h->offset.x, h->offset.y, at_x, at_y, angle);
                        ASSERT_EQ(differing_pixels(drawn, composed), 0) << g.name << " " << e.name << " at " << angle;
                    }
                }
                for (double quarter : {90.0, 180.0, 270.0}) {
                    Image drawn = face, composed = face;
                    draw_rotated(drawn, needle, covered, h->offset.x, h->offset.y, h->position.x, h->position.y, quarter);
                    compose_rotated(composed, needle, h->offset.x, h->offset.y, h->position.x, h->position.y, quarter);
                    EXPECT_EQ(differing_pixels(drawn, composed), 0) << g.name << " " << e.name << " at " << quarter;
                }
            }
            if (e.kind == ELEMENT_TYPE_MOVING_IMAGE) {
                const Image& strip = e.picture->picture;
                const Image& window = e.window->picture;
                Coverage strip_covered(strip), window_covered(window);
                ++windows;
                // Whole and fractional offsets, inside the travel and a little beyond it.
                auto offsets = [](int travel) {
                    std::vector<double> v;
                    for (double o = -2.5; o <= travel + 2.5; o += std::max(1.25, (travel + 5) / 7.0)) v.push_back(o);
                    return v;
                };
                for (double ox : offsets(strip.width - window.width)) {
                    for (double oy : offsets(strip.height - window.height)) {
                        for (int x : {h->position.x, -window.width / 2}) {
                            Image drawn = face, composed = face;
                            draw_through_window(drawn, strip, strip_covered, window, window_covered, x, h->position.y,
                                                ox, oy);
                            for (int wy = 0; wy < window.height; ++wy)
                                for (int wx = 0; wx < window.width; ++wx)
                                    if (window.at(wx, wy).a && composed.contains(x + wx, h->position.y + wy))
                                        composite(composed.at(x + wx, h->position.y + wy),
                                                  sample_bilinear(strip, wx + ox, wy + oy));
                            ASSERT_EQ(differing_pixels(drawn, composed), 0)
                                << g.name << " " << e.name << " at offset " << ox << ", " << oy << " placed at " << x;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(needles, 10);
    EXPECT_EQ(windows, 5);
}

TEST(PictureCoverage, SamplesLeftOfAndAbovePixelZeroBlendWithSeeThrough) {
    Image one(1, 1, opaque(200, 100, 50));
    EXPECT_EQ(sample_bilinear(one, -0.5, 0), (Rgba{100, 50, 25, 128}));
    EXPECT_EQ(sample_bilinear(one, 0, -0.75), (Rgba{50, 25, 13, 64}));
    EXPECT_EQ(sample_bilinear(one, -1, 0), Rgba{});
    EXPECT_EQ(sample_bilinear(one, NAN, 0), Rgba{});
    Coverage covered(one);
    EXPECT_EQ(covered.left, 0);
    EXPECT_EQ(covered.bottom, 0);
    EXPECT_TRUE(Coverage(Image(3, 3)).empty());
}

// ---------------------------------------------------------------------------
// PNG frames.

class PngFrames : public ::testing::Test {
protected:
    void SetUp() override {
        dir = module_path();
        dir.erase(dir.find_last_of("\\/") + 1);
        dir += "png_frames_test";
        CreateDirectoryA(dir.c_str(), nullptr);
        for (int n = 0; n < 5; ++n) DeleteFileA(frame(n).c_str());
    }
    std::string frame(int n) { return dir + "/frame_" + std::to_string(n) + ".png"; }
    std::string dir;
};

TEST_F(PngFrames, RepeatedFrameReusesTheBytesAndAnyChangeIsEncoded) {
    Image a(4, 2, opaque(10, 20, 30));
    a.at(3, 1) = Rgba{60, 0, 0, 128};  // half see-through
    Image changed = a;
    changed.at(3, 1).b = 1;  // the last pixel: a comparison that stops short misses it
    Image reshaped = changed;  // the same pixels, rows of another length
    reshaped.width = 2, reshaped.height = 4;
    const Image* frames[] = {&a, &a, &changed, &reshaped, &a};
    PngFrameWriter writer(2);
    std::string error;
    for (int n = 0; n < 5; ++n) ASSERT_TRUE(writer.write(*frames[n], frame(n), error)) << error;
    ASSERT_TRUE(writer.finish(error)) << error;
    EXPECT_EQ(writer.frames_written(), 5u);
    EXPECT_EQ(writer.frames_encoded(), 4u);
    for (int n = 0; n < 5; ++n) {
        std::vector<uint8_t> expected;
        ASSERT_TRUE(encode_png(*frames[n], expected));
        EXPECT_EQ(read_file(frame(n)), expected) << "frame " << n;
    }
    EXPECT_NE(read_file(frame(2)), read_file(frame(1)));
    EXPECT_NE(read_file(frame(3)), read_file(frame(2)));
}

TEST_F(PngFrames, FrameThatCannotBeWrittenStopsTheRunWithItsPath) {
    PngFrameWriter writer(1);
    std::string error;
    Image picture(2, 2, opaque(1, 2, 3));
    std::string missing = dir + "/no_such_dir/frame_1.png";
    writer.write(picture, frame(1), error);
    writer.write(Image(2, 2), missing, error);
    writer.write(picture, frame(3), error);
    EXPECT_FALSE(writer.finish(error));
    EXPECT_NE(error.find("cannot write " + missing + ": No such file or directory"), std::string::npos) << error;
    EXPECT_FALSE(read_file(frame(1)).empty());
}

TEST_F(PngFrames, FileLandsAtThePathGivenInEveryFormAndReplacesWhatWasThere) {
    CreateDirectoryA((dir + "/with space").c_str(), nullptr);
    std::string error;
    std::vector<uint8_t> longer(100, 7), shorter = {1, 2, 3};
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string relative = dir.substr(0, dir.find_last_of("\\/") + 1);
    ASSERT_TRUE(SetCurrentDirectoryA(relative.c_str()));
    for (std::string path : {dir + "/with space/a.png", dir + "\\with space\\b.png", dir + "/with space/c d.png",
                             std::string("png_frames_test/with space/e.png"), dir + "/with space/"}) {
        bool is_directory = path.back() == '/';
        if (is_directory) {
            EXPECT_FALSE(write_file(path, shorter, error)) << path;
            continue;
        }
        DeleteFileA(path.c_str());
        ASSERT_TRUE(write_file(path, longer, error)) << error;
        ASSERT_TRUE(write_file(path, shorter, error)) << error;
        EXPECT_EQ(read_file(path), shorter) << path;
    }
    SetCurrentDirectoryA(cwd);
}

}  // namespace
