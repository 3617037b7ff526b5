#include "host/png_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <zlib.h>

#include "host/file_system.h"
#include "host/base/report.h"
#include "stb_image_write.h"

namespace panelhost {

namespace {

// stb picks each row's filter by trying all five; the instruments' flat
// colours deflate smaller unfiltered anyway, at a third of the time.
void choose_png_filter() {
    static const bool chosen = (stbi_write_force_png_filter = 0, true);
    (void)chosen;
}

}  // namespace

void straighten(const Image& image, std::vector<uint8_t>& straight) {
    straight.resize(image.pixels.size() * 4);
    uint8_t* out = straight.data();
    for (Rgba p : image.pixels) {
        if (p.a == 255 || p.a == 0) {
            // Opaque is the same either way; see-through is (0, 0, 0, 0) already.
            std::memcpy(out, &p, 4);
        } else {
            auto unmultiply = [a = p.a](uint8_t c) { return uint8_t(std::min(255, (c * 255 + a / 2) / a)); };
            out[0] = unmultiply(p.r);
            out[1] = unmultiply(p.g);
            out[2] = unmultiply(p.b);
            out[3] = p.a;
        }
        out += 4;
    }
}

namespace {

constexpr int png_deflate_level = 1;

// The stream of the encoder at work on this thread, for stb's hook, which
// is handed nothing else. A plain pointer: MinGW runs the destructor of a
// thread_local object after its storage is gone, when the thread ends.
thread_local z_stream* deflating = nullptr;

}  // namespace

struct PngEncoder::Deflater {
    z_stream stream{};
    bool ready = deflateInit(&stream, png_deflate_level) == Z_OK;
    ~Deflater() {
        if (ready) deflateEnd(&stream);
    }
};

PngEncoder::PngEncoder() : deflater_(std::make_unique<Deflater>()) {}
PngEncoder::~PngEncoder() = default;

bool PngEncoder::encode(const Image& image, std::vector<uint8_t>& png) {
    static_assert(sizeof(Rgba) == 4);
    if (!deflater_->ready) return false;
    choose_png_filter();
    straighten(image, straight_);
    png.clear();
    auto append = [](void* to, void* bytes, int length) {
        auto* out = static_cast<std::vector<uint8_t>*>(to);
        out->insert(out->end(), static_cast<uint8_t*>(bytes), static_cast<uint8_t*>(bytes) + length);
    };
    deflating = &deflater_->stream;
    bool encoded =
        stbi_write_png_to_func(append, &png, image.width, image.height, 4, straight_.data(), image.width * 4) != 0;
    deflating = nullptr;
    return encoded;
}

bool encode_png(const Image& image, std::vector<uint8_t>& png) { return PngEncoder().encode(image, png); }

bool write_png(const Image& image, const std::string& path, std::string& error) {
    std::vector<uint8_t> png;
    if (!encode_png(image, png)) {
        error = "cannot encode " + path + " (out of memory)";
        return false;
    }
    // Whole or not at all: written beside it and renamed over it when
    // complete, so a full disk or a stop leaves the earlier file as it was
    // and nothing cut short under its name. A device (or any file that is
    // not a plain one) is written as it is.
    if (!plain_file_or_none(path)) return write_file(path, png, error);
    const std::string partial = path + "." + std::to_string(process_number()) + ".partial";
    if (!write_file(partial, png, error)) {
        // Named as the file asked for; the reason is the partial file's.
        const size_t reason = error.find(partial);
        if (reason != std::string::npos) error.replace(reason, partial.size(), path);
        return false;
    }
    std::string problem = renaming_problem(partial, path);
    if (problem.empty()) return true;
    std::remove(partial.c_str());
    error = "cannot write " + path + ": " + problem;
    return false;
}

// ---------------------------------------------------------------------------

PngFrameWriter::PngFrameWriter(unsigned threads) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    // Enough queued to keep every thread busy, few enough to hold little.
    queue_limit_ = 2 * threads;
    for (unsigned t = 0; t < threads; ++t) threads_.emplace_back([this] { encode_runs(); });
}

PngFrameWriter::~PngFrameWriter() {
    std::string ignored;
    finish(ignored);
}

std::unique_ptr<PngFrameWriter::Run> PngFrameWriter::spare_run() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spares_.empty()) return std::make_unique<Run>();
    std::unique_ptr<Run> run = std::move(spares_.back());
    spares_.pop_back();
    run->paths.clear();
    return run;
}

bool PngFrameWriter::write(const Image& frame, const std::string& path, std::string& error) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!failure_.empty()) {
            error = failure_;
            return false;
        }
    }
    const Image* last = pending_ ? &pending_->picture : nullptr;
    if (last && last->width == frame.width && last->height == frame.height &&
        std::memcmp(last->pixels.data(), frame.pixels.data(), frame.pixels.size() * sizeof(Rgba)) == 0) {
        pending_->paths.push_back(path);
        return true;
    }
    submit_pending();
    pending_ = spare_run();
    pending_->picture.width = frame.width;
    pending_->picture.height = frame.height;
    pending_->picture.pixels.assign(frame.pixels.begin(), frame.pixels.end());  // into the storage it has
    pending_->paths.push_back(path);
    return true;
}

void PngFrameWriter::submit_pending() {
    if (!pending_) return;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < queue_limit_; });
    queue_.push_back(std::move(pending_));
    changed_.notify_all();
}

bool PngFrameWriter::finish(std::string& error) {
    if (!threads_.empty()) {
        submit_pending();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : threads_) t.join();
        threads_.clear();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    error = failure_;
    return failure_.empty();
}

size_t PngFrameWriter::frames_written() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

size_t PngFrameWriter::frames_encoded() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return encoded_;
}

void PngFrameWriter::encode_runs() {
    PngEncoder encoder;
    std::vector<uint8_t> png;
    for (;;) {
        std::unique_ptr<Run> run;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            run = std::move(queue_.front());
            queue_.pop_front();
            changed_.notify_all();
            // After a failure the caller stops; what is queued is dropped.
            if (!failure_.empty()) continue;
        }
        std::string error;
        bool encoded = encoder.encode(run->picture, png);
        if (!encoded) error = "cannot encode " + run->paths.front() + " (out of memory)";
        size_t written = 0;
        while (encoded && written < run->paths.size() && write_file(run->paths[written], png, error)) ++written;
        std::lock_guard<std::mutex> lock(mutex_);
        written_ += written;
        encoded_ += encoded;
        if (written < run->paths.size() && failure_.empty()) failure_ = error;
        spares_.push_back(std::move(run));
    }
}

}  // namespace panelhost

// stb's deflate hook (see host/stb_implementation.cpp): the zlib stream of
// `data`, in memory stb frees with free(); null when it cannot be made.
unsigned char* panelhost_deflate_for_png(unsigned char* data, int length, int* out_length, int /*stb's level*/) {
    z_stream* z = panelhost::deflating;
    if (!z || deflateReset(z) != Z_OK) return nullptr;
    uLong bound = deflateBound(z, uLong(length));
    auto* out = static_cast<unsigned char*>(std::malloc(bound));
    if (!out) return nullptr;
    z->next_in = data;
    z->avail_in = uInt(length);
    z->next_out = out;
    z->avail_out = uInt(bound);
    if (deflate(z, Z_FINISH) != Z_STREAM_END) {
        std::free(out);
        return nullptr;
    }
    *out_length = int(z->total_out);
    return out;
}
