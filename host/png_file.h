// Pictures as PNG files: 8-bit RGBA with straight (not premultiplied)
// alpha, so see-through stays see-through. Single pictures, and the runs of
// frames a replay writes, encoded on worker threads while the next frames
// are drawn.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/file_system.h"  // write_file
#include "host/base/image.h"

namespace panelhost {

// Encodes pictures one after another, keeping its buffers and deflate
// state from one to the next: set up afresh for each frame, they cost a
// quarter of the time of encoding it.
class PngEncoder {
public:
    PngEncoder();
    ~PngEncoder();
    PngEncoder(const PngEncoder&) = delete;
    PngEncoder& operator=(const PngEncoder&) = delete;

    // The picture as the bytes of a PNG file; false when it cannot be
    // encoded (out of memory).
    bool encode(const Image& image, std::vector<uint8_t>& png);

private:
    struct Deflater;  // zlib's stream, kept out of this header
    std::unique_ptr<Deflater> deflater_;
    std::vector<uint8_t> straight_;  // the picture with straight alpha
};

// The picture with straight alpha, four bytes a pixel: what its PNG file holds.
void straighten(const Image& image, std::vector<uint8_t>& straight);

// The picture as the bytes of a PNG file, encoded once.
bool encode_png(const Image& image, std::vector<uint8_t>& png);

// Writes the picture as a PNG file; false with `error` set on failure.
bool write_png(const Image& image, const std::string& path, std::string& error);

// Writes a run of frames, each to a path of its own, in the background: a
// frame is copied and queued, and encoder threads write it while the caller
// draws the next. A frame identical to the one before is not encoded again:
// it gets the same bytes.
class PngFrameWriter {
public:
    // `threads` encoders; 0 means one per processor.
    explicit PngFrameWriter(unsigned threads = 0);
    ~PngFrameWriter();  // writes what is queued
    PngFrameWriter(const PngFrameWriter&) = delete;
    PngFrameWriter& operator=(const PngFrameWriter&) = delete;

    // Queues `frame` for `path`. False, with the first failure in `error`,
    // once a frame could not be written: the caller stops there.
    bool write(const Image& frame, const std::string& path, std::string& error);
    // Writes everything queued and stops the threads; false with the first
    // failure in `error`.
    bool finish(std::string& error);

    // Frames written, and how many of them were encoded (the rest repeated
    // the frame before); final after finish().
    size_t frames_written() const;
    size_t frames_encoded() const;

private:
    // One picture and the paths of the consecutive frames that showed it.
    struct Run {
        Image picture;
        std::vector<std::string> paths;
    };
    void submit_pending();
    void encode_runs();
    std::unique_ptr<Run> spare_run();

    std::unique_ptr<Run> pending_;  // the run the caller is adding frames to
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Run>> queue_;
    std::vector<std::unique_ptr<Run>> spares_;  // written runs, their pictures' storage kept for reuse
    size_t queue_limit_ = 0;
    bool closing_ = false;
    std::string failure_;
    size_t written_ = 0, encoded_ = 0;
    std::vector<std::thread> threads_;
};

}  // namespace panelhost
