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

TEST(VideoPlan, AnMp4WithAnOddSideIsPaddedToAPairAndSaysSo) {
    VideoPlan odd = plan_video(VideoFormat::mp4, 277, 16, 18);
    EXPECT_EQ(odd.video_width, 278);
    EXPECT_EQ(odd.video_height, 16);
    EXPECT_TRUE(has_note_with(odd, "277 x 16 frames are stored as 278 x 16"));
    std::vector<std::string> arguments = odd.ffmpeg_arguments("out.tmp");
    EXPECT_NE(std::find(arguments.begin(), arguments.end(), "pad=278:16"), arguments.end());
    // Frames go in at the size they are drawn.
    EXPECT_NE(std::find(arguments.begin(), arguments.end(), "277x16"), arguments.end());

    for (VideoFormat other : {VideoFormat::webm, VideoFormat::gif}) {
        VideoPlan kept = plan_video(other, 277, 15, 25);
        EXPECT_EQ(kept.video_width, 277);
        EXPECT_EQ(kept.video_height, 15);
        EXPECT_TRUE(kept.notes.empty());
    }
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
