// Videos of a replay: frames handed to ffmpeg as they are drawn, over its
// standard input, so no run holds more than a frame or two however long it
// is. ffmpeg writes a temporary file beside the video, which takes the
// video's name only when ffmpeg has taken every frame and ended well;
// otherwise it is removed.
//
// Which ffmpeg: ffmpeg.exe on the PATH; under Wine, failing that, the ffmpeg
// on the PATH of the machine Wine runs on, started through its /bin/sh.
#pragma once

#include <memory>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/base/image.h"

namespace panelhost {

enum class VideoFormat { mp4, webm, gif };

// The extension of a path's last part, in lower case: "mp4" for
// "runs/Flight.MP4"; empty when it has none.
std::string file_extension(const std::string& path);

// The format a file name asks for by its extension (.mp4, .webm, .gif, in
// any case); none for any other name.
std::optional<VideoFormat> video_format_of(const std::string& path);

// How a video is made from frames of a given size at a given rate: what
// ffmpeg is told and given, and what the video holds where that differs
// from what was asked (a GIF's frame delays are whole hundredths of a
// second; an MP4 or WebM frame's sides are whole pairs of pixels).
// See-through pixels show black.
struct VideoPlan {
    VideoFormat format = VideoFormat::mp4;
    int frame_width = 0, frame_height = 0;  // as drawn
    int video_width = 0, video_height = 0;  // as stored
    double fps = 0;                          // as played
    std::string ffmpeg_rate;                 // the same, as ffmpeg's -framerate takes it
    std::vector<std::string> notes;          // one sentence per difference from what was asked

    // ffmpeg's arguments (after the program's name): raw frames on its
    // standard input, the video written to `output` (a name ffmpeg's own
    // machine understands) whatever its extension.
    std::vector<std::string> ffmpeg_arguments(const std::string& output) const;
};

// An MP4's or WebM's frames as ffmpeg takes them: YUV 4:2:0 in BT.709's
// video range, the three planes one after another, at the video's size (a
// pixel past the frame's edge is black). Made here rather than by ffmpeg,
// which took longer and three times the bytes to carry; only the parts of
// a frame that differ from the one before are converted again.
class YuvFrames {
public:
    YuvFrames(int video_width, int video_height) : width_(video_width), height_(video_height) {}
    const std::vector<uint8_t>& convert(const Image& frame);

private:
    void convert_block(const Image& frame, int pair, int x0, int x1);
    int width_, height_;
    std::vector<uint8_t> planes_;
    Image previous_;  // the frame last converted
};
VideoPlan plan_video(VideoFormat format, int width, int height, double fps);

// `arguments` as one Windows command line, which the program started
// splits back into exactly these arguments (as Wine does for a program of
// the machine under it).
std::string windows_command_line(const std::vector<std::string>& arguments);

class EncoderProcess;

class VideoEncoder {
public:
    // Starts ffmpeg on a temporary file beside `path`. Null with `error`
    // set when there is no ffmpeg or it cannot be started.
    static std::unique_ptr<VideoEncoder> start(const std::string& path, const VideoPlan& plan, std::string& error);
    // Unfinished (the run failed on the way): ffmpeg's input is ended and
    // its file removed.
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Hands ffmpeg one frame of the plan's size; false once ffmpeg has
    // stopped reading (finish() then says why).
    bool write(const Image& frame);
    // Ends the video: waits for ffmpeg and, when it took every frame and
    // ended well, gives the file its name. False with `error` saying what
    // went wrong, and no file left.
    bool finish(std::string& error);

    // Which ffmpeg runs, for messages.
    const std::string& encoder() const { return encoder_; }

private:
    VideoEncoder() = default;
    // Ends ffmpeg's input and waits at most `wait_ms` for it: its exit
    // status, when it was learnt.
    std::optional<int> end_input(unsigned long wait_ms);
    // What the host's guard runs before it ends the process (a module that
    // crashed or hung): the running video's file removed.
    static void abandon_running();

    std::string path_, temporary_;
    std::wstring temporary_wide_;  // for removing it without the heap (see abandon_running)
    std::string encoder_;
    std::unique_ptr<EncoderProcess> process_;
    VideoPlan plan_;
    std::unique_ptr<YuvFrames> yuv_;  // for a video in YUV
    size_t frames_taken_ = 0;
    bool stopped_reading_ = false;
};

}  // namespace panelhost
