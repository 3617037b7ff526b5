// How a replay's video is made: the format a name asks for, the rate and
// size a format can hold, and ffmpeg's command line reaching it intact.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "host/video_encoder.h"

namespace panelhost {
namespace {

TEST(VideoFormat, IsTheNamesOwnExtensionInAnyCase) {
    EXPECT_EQ(video_format_of("flight.mp4"), VideoFormat::mp4);
    EXPECT_EQ(video_format_of("C:\\runs\\Flight.WebM"), VideoFormat::webm);
    EXPECT_EQ(video_format_of("../out/climb.GIF"), VideoFormat::gif);
    // A folder of frames, whatever the folders above it are called.
    for (const char* folder : {"frames", "flight.mp4/", "runs.gif/frames", "flight.mp4.old", "mp4", ".\\x.gif\\"})
        EXPECT_EQ(video_format_of(folder), std::nullopt) << folder;
}

bool has_note_with(const VideoPlan& plan, const std::string& text) {
    return std::any_of(plan.notes.begin(), plan.notes.end(),
                       [&](const std::string& n) { return n.find(text) != std::string::npos; });
}

TEST(VideoPlan, AGifHoldsWholeHundredthsOfASecondAndSaysWhenThatIsNotTheRateAsked) {
    VideoPlan simulator = plan_video(VideoFormat::gif, 278, 278, 18);
    EXPECT_EQ(simulator.ffmpeg_rate, "100/6");
    EXPECT_NEAR(simulator.fps, 16.667, 1e-3);
    EXPECT_TRUE(has_note_with(simulator, "18 fps plays at 16.67 fps (6/100 s a frame), 8% slower than asked"));

    VideoPlan exact = plan_video(VideoFormat::gif, 278, 278, 25);
    EXPECT_EQ(exact.ffmpeg_rate, "100/4");
    EXPECT_EQ(exact.fps, 25);
    EXPECT_TRUE(exact.notes.empty());

    // Browsers slow a delay under 2 hundredths to a tenth of a second.
    VideoPlan fast = plan_video(VideoFormat::gif, 16, 16, 100);
    EXPECT_EQ(fast.ffmpeg_rate, "100/2");
    EXPECT_TRUE(has_note_with(fast, "browsers slow down any under 2"));
    // The longest delay a GIF stores.
    EXPECT_EQ(plan_video(VideoFormat::gif, 16, 16, 0.001).ffmpeg_rate, "100/65535");

    // Other formats hold the rate as asked.
    VideoPlan mp4 = plan_video(VideoFormat::mp4, 278, 278, 23.976);
    EXPECT_EQ(mp4.ffmpeg_rate, "23.976");
    EXPECT_TRUE(mp4.notes.empty());
}

TEST(VideoPlan, AVideoInYuvWithAnOddSideIsPaddedToAPairAndSaysSo) {
    VideoPlan odd = plan_video(VideoFormat::mp4, 277, 16, 18);
    EXPECT_EQ(odd.video_width, 278);
    EXPECT_EQ(odd.video_height, 16);
    EXPECT_TRUE(has_note_with(odd, "277 x 16 frames are stored as 278 x 16"));
    std::vector<std::string> arguments = odd.ffmpeg_arguments("out.tmp");
    EXPECT_NE(std::find(arguments.begin(), arguments.end(), "278x16"), arguments.end());
    EXPECT_TRUE(has_note_with(plan_video(VideoFormat::webm, 16, 15, 25), "16 x 15 frames are stored as 16 x 16"));

    // A GIF keeps any size, its frames go in as drawn.
    VideoPlan gif = plan_video(VideoFormat::gif, 277, 15, 25);
    EXPECT_EQ(gif.video_width, 277);
    EXPECT_EQ(gif.video_height, 15);
    EXPECT_TRUE(gif.notes.empty());
    arguments = gif.ffmpeg_arguments("out.tmp");
    EXPECT_NE(std::find(arguments.begin(), arguments.end(), "277x15"), arguments.end());
    EXPECT_NE(std::find(arguments.begin(), arguments.end(), "rgb0"), arguments.end());
}

// Y, U and V of the pixel at x, y of a frame converted to planes.
struct Yuv {
    int y, u, v;
    bool operator==(const Yuv&) const = default;
};
void PrintTo(const Yuv& p, std::ostream* out) { *out << "Y " << p.y << ", U " << p.u << ", V " << p.v; }
Yuv yuv_at(const std::vector<uint8_t>& planes, int width, int height, int x, int y) {
    const size_t chroma = size_t(y / 2) * (width / 2) + x / 2;
    return {planes[size_t(y) * width + x], planes[size_t(width) * height + chroma],
            planes[size_t(width) * height + size_t(width / 2) * (height / 2) + chroma]};
}

TEST(YuvFrames, ColoursLandInBt709sVideoRange) {
    Image frame(4, 2);
    frame.at(0, 0) = frame.at(1, 0) = frame.at(0, 1) = frame.at(1, 1) = opaque(255, 255, 255);
    frame.at(2, 0) = frame.at(3, 0) = frame.at(2, 1) = frame.at(3, 1) = opaque(255, 0, 0);
    YuvFrames converter(4, 2);
    const std::vector<uint8_t>& planes = converter.convert(frame);
    ASSERT_EQ(planes.size(), 4u * 2 + 2 * 2 * 1);
    EXPECT_EQ(yuv_at(planes, 4, 2, 0, 0), (Yuv{235, 128, 128}));
    EXPECT_EQ(yuv_at(planes, 4, 2, 3, 1), (Yuv{63, 102, 240}));

    // See-through is black; half see-through red is dark red (premultiplied).
    frame.at(0, 0) = frame.at(1, 0) = frame.at(0, 1) = frame.at(1, 1) = Rgba{};
    frame.at(2, 0) = frame.at(3, 0) = frame.at(2, 1) = frame.at(3, 1) = Rgba{128, 0, 0, 128};
    YuvFrames again(4, 2);
    const std::vector<uint8_t>& dark = again.convert(frame);
    EXPECT_EQ(yuv_at(dark, 4, 2, 1, 1), (Yuv{16, 128, 128}));
    EXPECT_EQ(yuv_at(dark, 4, 2, 2, 0), (Yuv{39, 115, 184}));
}

// A frame of many colours, and the same with a few pixels changed.
Image patterned(int width, int height, int seed) {
    Image frame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame.at(x, y) = opaque(uint8_t(x * 7 + seed), uint8_t(y * 13), uint8_t((x ^ y) * 5));
    return frame;
}

TEST(YuvFrames, AFrameConvertedOnlyWhereItChangedIsTheFrameConvertedWhole) {
    // Odd sides: a black edge is added right and below.
    const int width = 75, height = 41;
    Image first = patterned(width, height, 0), second = first;
    second.at(0, 0) = opaque(1, 2, 3);                  // the first block
    second.at(40, 20) = opaque(200, 10, 10);            // one in the middle
    second.at(width - 1, height - 1) = opaque(9, 9, 9);  // the last, beside the padding
    for (int x = 33; x < 66; ++x) second.at(x, 7) = opaque(0, 250, 0);  // a row across two blocks

    YuvFrames running(width + 1, height + 1), fresh(width + 1, height + 1);
    running.convert(first);
    EXPECT_EQ(running.convert(second), fresh.convert(second));
    EXPECT_EQ(yuv_at(fresh.convert(second), width + 1, height + 1, width, height), (Yuv{16, 128, 128}));
    // And back: what changed, changes back.
    YuvFrames fresh_first(width + 1, height + 1);
    EXPECT_EQ(running.convert(first), fresh_first.convert(first));
}

TEST(VideoPlan, FfmpegWritesTheNameItIsGivenInTheFormatAsked) {
    // The temporary name ends in neither extension: the format is said.
    for (auto [format, muxer] : {std::pair{VideoFormat::mp4, "mp4"}, {VideoFormat::webm, "webm"}, {VideoFormat::gif, "gif"}}) {
        std::vector<std::string> arguments = plan_video(format, 16, 16, 18).ffmpeg_arguments("/tmp/flight.mp4.7.partial");
        ASSERT_GE(arguments.size(), 3u);
        EXPECT_EQ(arguments.back(), "/tmp/flight.mp4.7.partial");
        EXPECT_EQ(arguments[arguments.size() - 3], "-f");
        EXPECT_EQ(arguments[arguments.size() - 2], muxer);
    }
}

std::vector<std::string> split_as_windows_does(const std::string& line) {
    std::wstring wide(line.begin(), line.end());
    int count = 0;
    wchar_t** split = CommandLineToArgvW(wide.c_str(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        std::wstring w = split[i];
        arguments.emplace_back(w.begin(), w.end());
    }
    LocalFree(split);
    return arguments;
}

TEST(WindowsCommandLine, SplitsBackIntoTheSameArguments) {
    std::vector<std::string> arguments = {
        "C:\\Program Files\\ffmpeg\\ffmpeg.exe",  // the program's own name: no quote inside
        "plain",
        "",
        "two words",
        "say \"hi\"",
        "C:\\folder with space\\",
        "back\\\\slashes\\\"quoted",
        "trailing\\",
        "split[frame][first];[first]trim=end_frame=1,palettegen[palette]",
        "tab\there",
    };
    EXPECT_EQ(split_as_windows_does(windows_command_line(arguments)), arguments);
}

}  // namespace
}  // namespace panelhost
