#include "host/video_encoder.h"

#include <winsock2.h>
#include <windows.h>
#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstring>

#include "host/module_call.h"
#include "host/base/report.h"
#include "host/windows_error.h"
#include "host/wine_names.h"

namespace panelhost {

// ---------------------------------------------------------------------------
// What the video is.

std::string file_extension(const std::string& path) {
    size_t dot = path.find_last_of("./\\");
    if (dot == std::string::npos || path[dot] != '.') return "";
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension;
}

std::optional<VideoFormat> video_format_of(const std::string& path) {
    const std::string extension = file_extension(path);
    if (extension == "mp4") return VideoFormat::mp4;
    if (extension == "webm") return VideoFormat::webm;
    if (extension == "gif") return VideoFormat::gif;
    return std::nullopt;
}

namespace {

// A rate as ffmpeg reads it: 18, 29.97.
std::string rate_text(double fps) { return format("%.10g", fps); }

// A GIF's frame delay is a whole number of hundredths of a second. Browsers
// play a delay under 2 as 10, so 2 (50 fps) is the shortest that holds.
constexpr int shortest_gif_delay = 2, longest_gif_delay = 65535;

}  // namespace

VideoPlan plan_video(VideoFormat format, int width, int height, double fps) {
    VideoPlan plan;
    plan.format = format;
    plan.frame_width = plan.video_width = width;
    plan.frame_height = plan.video_height = height;
    plan.fps = fps;
    plan.ffmpeg_rate = rate_text(fps);
    if (format == VideoFormat::gif) {
        double hundredths = 100 / fps;
        int delay = int(std::clamp(std::round(hundredths), double(shortest_gif_delay), double(longest_gif_delay)));
        plan.fps = 100.0 / delay;
        plan.ffmpeg_rate = panelhost::format("100/%d", delay);
        if (std::fabs(plan.fps - fps) > 1e-9 * fps) {
            const char* why = hundredths < 1.5 ? ", and browsers slow down any under 2"
                              : hundredths > longest_gif_delay ? ", at most 65535"
                                                               : "";
            double change = std::fabs(fps / plan.fps - 1) * 100;
            plan.notes.push_back(panelhost::format("GIF frame delays are whole hundredths of a second%s: %s fps plays at "
                                        "%.4g fps (%d/100 s a frame), %.3g%% %s than asked",
                                        why, rate_text(fps).c_str(), plan.fps, delay, change,
                                        plan.fps < fps ? "slower" : "faster"));
        }
    }
    if (format != VideoFormat::gif && (width % 2 || height % 2)) {
        plan.video_width += width % 2;
        plan.video_height += height % 2;
        plan.notes.push_back(panelhost::format("%s frames have sides of whole pairs of pixels: %d x %d frames are "
                                               "stored as %d x %d, a black edge right and below",
                                               format == VideoFormat::mp4 ? "MP4" : "WebM", width, height,
                                               plan.video_width, plan.video_height));
    }
    return plan;
}

std::vector<std::string> VideoPlan::ffmpeg_arguments(const std::string& output) const {
    // A GIF is made from the frames as the host keeps them, RGBA with
    // premultiplied alpha, whose colour channels alone are the picture over
    // black; the other formats from the frames in YUV (YuvFrames).
    const bool in_yuv = format != VideoFormat::gif;
    std::vector<std::string> arguments = {
        "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "rawvideo",
        "-pix_fmt", in_yuv ? "yuv420p" : "rgb0",
        "-video_size", panelhost::format("%dx%d", video_width, video_height),
        "-framerate", ffmpeg_rate, "-i", "pipe:0"};
    auto add = [&](std::initializer_list<std::string> more) { arguments.insert(arguments.end(), more); };
    if (in_yuv)
        add({"-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv"});
    switch (format) {
        case VideoFormat::mp4:
            // Two threads, five frames of lookahead and one B-frame: a
            // whole panel window encodes as fast as with x264's defaults
            // for this preset, to the same size, in 40 MB less.
            add({"-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-threads", "2", "-rc-lookahead", "5",
                 "-bf", "1", "-movflags", "+faststart", "-f", "mp4"});
            break;
        case VideoFormat::webm:
            // No frames held back for lookahead: at the realtime deadline
            // they change nothing in the file, and a whole panel window
            // held 190 MB with them.
            add({"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-row-mt", "1", "-lag-in-frames",
                 "0", "-crf", "30", "-b:v", "0", "-f", "webm"});
            break;
        case VideoFormat::gif:
            // One palette, from the first frame: the pictures a replay
            // draws are all in it, and their blends come out of the
            // dithering. A palette of each frame took ten times as long to
            // make no better picture, and one from every frame would hold
            // them all before writing the first.
            add({"-vf", "split[frame][first];[first]trim=end_frame=1,palettegen=reserve_transparent=0[palette];"
                        "[frame][palette]paletteuse=diff_mode=rectangle",
                 "-f", "gif"});
            break;
    }
    arguments.push_back(output);
    return arguments;
}

namespace {

// BT.709 in the range video keeps (16 to 235, 16 to 240), in 16-bit fixed
// point: the luma of a pixel, the chroma of the sum of four.
constexpr int32_t luma_r = 11966, luma_g = 40254, luma_b = 4064;
constexpr int32_t blue_r = -6596, blue_g = -22188, blue_b = 28784;
constexpr int32_t red_r = 28784, red_g = -26145, red_b = -2639;
static_assert(luma_r + luma_g + luma_b == 56284, "white is 235: 219/255 of 65536");
static_assert(blue_r + blue_g + blue_b == 0 && red_r + red_g + red_b == 0, "greys carry no colour");

// Sixteen bytes at a time: the C runtime's memcmp goes byte by byte.
bool same_pixels(const Rgba* a, const Rgba* b, int count) {
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(p, q)) != 0xFFFF) return false;
    }
    for (; i < count; ++i)
        if (!(a[i] == b[i])) return false;
    return true;
}

uint8_t luma(Rgba p) { return uint8_t(16 + ((luma_r * p.r + luma_g * p.g + luma_b * p.b + (1 << 15)) >> 16)); }

// `r`, `g`, `b` are sums of four pixels.
uint8_t chroma(int32_t r, int32_t g, int32_t b, int32_t kr, int32_t kg, int32_t kb) {
    return uint8_t(128 + ((kr * r + kg * g + kb * b + (1 << 17)) >> 18));
}

}  // namespace

const std::vector<uint8_t>& YuvFrames::convert(const Image& frame) {
    // Blocks of two rows by this many pixels are compared with the frame
    // before: a flight's frames differ around their needles and drums.
    constexpr int block = 32;
    const size_t luma_size = size_t(width_) * height_;
    const bool incremental = previous_.width == frame.width && previous_.height == frame.height;
    if (!incremental) {
        planes_.assign(luma_size + luma_size / 2, 0);
        previous_ = frame;
    }
    for (int pair = 0; pair < height_ / 2; ++pair) {
        for (int x0 = 0; x0 < width_; x0 += block) {
            const int x1 = std::min(width_, x0 + block);
            if (incremental) {
                bool same = true;
                for (int y = 2 * pair; y < std::min(2 * pair + 2, frame.height) && same; ++y) {
                    int end = std::min(x1, frame.width);
                    same = x0 >= end || same_pixels(&frame.at(x0, y), &previous_.at(x0, y), end - x0);
                }
                if (same) continue;
                for (int y = 2 * pair; y < std::min(2 * pair + 2, frame.height); ++y)
                    if (x0 < frame.width)
                        std::memcpy(&previous_.at(x0, y), &frame.at(x0, y), (std::min(x1, frame.width) - x0) * sizeof(Rgba));
            }
            convert_block(frame, pair, x0, x1);
        }
    }
    return planes_;
}

void YuvFrames::convert_block(const Image& frame, int pair, int x0, int x1) {
    const int chroma_width = width_ / 2;
    uint8_t* y_top = planes_.data() + size_t(2 * pair) * width_;
    uint8_t* y_bottom = y_top + width_;
    uint8_t* u_row = planes_.data() + size_t(width_) * height_ + size_t(pair) * chroma_width;
    uint8_t* v_row = u_row + size_t(chroma_width) * (height_ / 2);
    const Rgba black = opaque(0, 0, 0);
    auto pixel = [&](int x, int y) { return x < frame.width && y < frame.height ? frame.at(x, y) : black; };
    for (int x = x0; x < x1; x += 2) {
        const Rgba a = pixel(x, 2 * pair), b = pixel(x + 1, 2 * pair);
        const Rgba c = pixel(x, 2 * pair + 1), d = pixel(x + 1, 2 * pair + 1);
        y_top[x] = luma(a);
        y_top[x + 1] = luma(b);
        y_bottom[x] = luma(c);
        y_bottom[x + 1] = luma(d);
        const int32_t r = a.r + b.r + c.r + d.r, g = a.g + b.g + c.g + d.g, bl = a.b + b.b + c.b + d.b;
        u_row[x / 2] = chroma(r, g, bl, blue_r, blue_g, blue_b);
        v_row[x / 2] = chroma(r, g, bl, red_r, red_g, red_b);
    }
}

std::string windows_command_line(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += argument;
            continue;
        }
        // Backslashes are plain characters except before a quote, where
        // each stands for half of itself.
        line += '"';
        size_t backslashes = 0;
        for (char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            line += c;
            backslashes = 0;
        }
        line.append(2 * backslashes, '\\');
        line += '"';
    }
    return line;
}

// ---------------------------------------------------------------------------
// The ffmpeg process.

class EncoderProcess {
public:
    virtual ~EncoderProcess() = default;
    // All of `size` bytes to its standard input; false once it stopped reading.
    virtual bool send(const void* bytes, size_t size) = 0;
    // Ends its input and waits at most `wait_ms` for it to end: its exit
    // status, when it was learnt.
    virtual std::optional<int> end_input(unsigned long wait_ms) = 0;
};

namespace {

// A Windows program, its standard input a pipe.
class WindowsEncoderProcess : public EncoderProcess {
public:
    static std::unique_ptr<EncoderProcess> start(const std::string& program, const std::string& command_line,
                                                 std::string& error) {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        HANDLE read_end = nullptr, write_end = nullptr, error_copy = nullptr;
        // A megabyte: ffmpeg reads whole frames.
        if (!CreatePipe(&read_end, &write_end, &inherited, 1 << 20)) {
            error = "cannot make a pipe to ffmpeg: " + windows_error(GetLastError());
            return nullptr;
        }
        SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, 0);
        // ffmpeg's messages go to the user; stdout is this program's own.
        DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE), GetCurrentProcess(), &error_copy, 0,
                        TRUE, DUPLICATE_SAME_ACCESS);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = read_end;
        startup.hStdOutput = error_copy;
        startup.hStdError = error_copy;
        PROCESS_INFORMATION started{};
        std::string line = command_line;
        bool ok = CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &startup, &started);
        DWORD code = GetLastError();
        CloseHandle(read_end);
        if (error_copy) CloseHandle(error_copy);
        if (!ok) {
            CloseHandle(write_end);
            error = "cannot start " + program + ": " + windows_error(code);
            return nullptr;
        }
        CloseHandle(started.hThread);
        auto process = std::make_unique<WindowsEncoderProcess>();
        process->input_ = write_end;
        process->process_ = started.hProcess;
        return process;
    }
    ~WindowsEncoderProcess() override {
        end_input(0);
        CloseHandle(process_);
    }

    bool send(const void* bytes, size_t size) override {
        auto* at = static_cast<const char*>(bytes);
        while (size > 0 && input_) {
            DWORD done = 0;
            if (!WriteFile(input_, at, DWORD(std::min<size_t>(size, 1 << 30)), &done, nullptr) || done == 0) return false;
            at += done;
            size -= done;
        }
        return input_ != nullptr;
    }

    std::optional<int> end_input(unsigned long wait_ms) override {
        if (input_) CloseHandle(input_);
        input_ = nullptr;
        if (WaitForSingleObject(process_, wait_ms) != WAIT_OBJECT_0) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);  // so it lets go of its file
            return std::nullopt;
        }
        DWORD code = 0;
        if (!GetExitCodeProcess(process_, &code)) return std::nullopt;
        return int(code);
    }

private:
    HANDLE input_ = nullptr, process_ = nullptr;
};

// The name of a Windows path on the machine under Wine (UTF-8); empty when
// it has none. The file need not exist, its folder must.
std::string machine_path_of(const std::string& path) {
    char full[MAX_PATH * 4];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return "";
    std::string windows = full;
    size_t cut = windows.find_last_of('\\');
    std::string folder = machine_name_of_folder(windows.substr(0, cut + 1));
    if (folder.empty()) return "";
    std::wstring name = widened(windows.substr(cut + 1), CP_ACP);
    std::string name_utf8(name.size() * 4, '\0');
    name_utf8.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, name.data(), int(name.size()), name_utf8.data(),
                                                int(name_utf8.size()), nullptr, nullptr)));
    return folder + name_utf8;
}

// Two connected loopback sockets. Wine passes a socket, unlike a pipe, to a
// program of the machine under it as a file descriptor; one that never
// waits, as Wine keeps them, which ffmpeg reads by trying again.
bool socket_pair(SOCKET& mine, SOCKET& theirs) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    mine = theirs = INVALID_SOCKET;
    if (!started) return false;
    SOCKET listener = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bool ok = listener != INVALID_SOCKET && bind(listener, (sockaddr*)&address, sizeof address) == 0 &&
              listen(listener, 1) == 0 && getsockname(listener, (sockaddr*)&address, &length) == 0;
    if (ok) {
        mine = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0);
        ok = mine != INVALID_SOCKET && connect(mine, (sockaddr*)&address, sizeof address) == 0;
    }
    if (ok) {
        theirs = accept(listener, nullptr, nullptr);
        ok = theirs != INVALID_SOCKET;
    }
    if (listener != INVALID_SOCKET) closesocket(listener);
    if (!ok) {
        if (mine != INVALID_SOCKET) closesocket(mine);
        mine = INVALID_SOCKET;
    }
    return ok;
}

// ffmpeg of the machine under Wine, through its /bin/sh: Wine gives no
// handle to such a process, so the shell reports on its standard output
// whether it found ffmpeg, then ffmpeg's exit status. ffmpeg's own output
// goes to standard error, the user's.
constexpr const char* machine_ffmpeg_script =
    "command -v ffmpeg >/dev/null 2>&1 || { echo missing; exit 0; }; echo found; ffmpeg \"$@\" >&2; echo $?";

class MachineEncoderProcess : public EncoderProcess {
public:
    static std::unique_ptr<EncoderProcess> start(const std::vector<std::string>& ffmpeg_arguments,
                                                 std::string& error) {
        auto process = std::make_unique<MachineEncoderProcess>();
        SOCKET input_end = INVALID_SOCKET, report_end = INVALID_SOCKET;
        if (!socket_pair(process->input_, input_end) || !socket_pair(process->report_, report_end)) {
            if (input_end != INVALID_SOCKET) closesocket(input_end);
            error = "cannot connect to ffmpeg: " + windows_error(WSAGetLastError());
            return nullptr;
        }
        std::wstring shell = windows_name_of_machine_path("/bin/sh");
        std::vector<std::string> arguments = {"sh", "-c", machine_ffmpeg_script, "panelhost-ffmpeg"};
        arguments.insert(arguments.end(), ffmpeg_arguments.begin(), ffmpeg_arguments.end());
        std::wstring line = widened(windows_command_line(arguments), CP_UTF8);
        for (SOCKET s : {input_end, report_end}) SetHandleInformation(HANDLE(s), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = HANDLE(input_end);
        startup.hStdOutput = HANDLE(report_end);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION started{};
        bool ok = !shell.empty() && CreateProcessW(shell.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                                   nullptr, &startup, &started);
        DWORD code = GetLastError();
        closesocket(input_end);
        closesocket(report_end);
        if (!ok) {
            error = "cannot start /bin/sh to run ffmpeg" + (shell.empty() ? std::string() : ": " + windows_error(code));
            return nullptr;
        }
        // Wine gives none for such a process, but in case it ever does.
        if (started.hThread) CloseHandle(started.hThread);
        if (started.hProcess) CloseHandle(started.hProcess);
        char found[16];
        process->read_report(found);
        if (std::string(found) != "found") {
            error = std::string(found) == "missing" ? "no ffmpeg on the PATH (Debian: apt-get install ffmpeg)"
                                                    : "/bin/sh did not start ffmpeg";
            return nullptr;
        }
        u_long without_waiting = 1;
        ioctlsocket(process->input_, FIONBIO, &without_waiting);
        return process;
    }
    ~MachineEncoderProcess() override {
        end_input(0);
        if (report_ != INVALID_SOCKET) closesocket(report_);
    }

    bool send(const void* bytes, size_t size) override {
        auto* at = static_cast<const char*>(bytes);
        while (size > 0 && input_ != INVALID_SOCKET) {
            int done = ::send(input_, at, int(std::min<size_t>(size, 1 << 20)), 0);
            if (done > 0) {
                at += done;
                size -= size_t(done);
                continue;
            }
            if (done == 0 || WSAGetLastError() != WSAEWOULDBLOCK) return false;
            // Until it takes more, or ffmpeg has ended and the shell says
            // so: a send left waiting under Wine is not woken when the
            // other end goes away.
            fd_set writable, reported;
            FD_ZERO(&writable);
            FD_ZERO(&reported);
            FD_SET(input_, &writable);
            FD_SET(report_, &reported);
            if (select(0, &reported, &writable, nullptr, nullptr) == SOCKET_ERROR || FD_ISSET(report_, &reported))
                return false;
        }
        return input_ != INVALID_SOCKET;
    }

    std::optional<int> end_input(unsigned long wait_ms) override {
        if (input_ != INVALID_SOCKET) {
            shutdown(input_, SD_SEND);
            closesocket(input_);
            input_ = INVALID_SOCKET;
        }
        if (report_ == INVALID_SOCKET) return std::nullopt;
        if (wait_ms != INFINITE) {
            DWORD timeout = std::max<DWORD>(1, wait_ms);
            setsockopt(report_, SOL_SOCKET, SO_RCVTIMEO, (const char*)&timeout, sizeof timeout);
        }
        char status[16];
        read_report(status);
        closesocket(report_);
        report_ = INVALID_SOCKET;
        char* end = nullptr;
        long code = std::strtol(status, &end, 10);
        if (!*status || *end) return std::nullopt;
        return int(code);
    }

private:
    // The shell's next line of report (cut to fit), empty at its end; into
    // a buffer of the caller's, as the guard may end the process with the
    // heap in any state.
    template <size_t size>
    void read_report(char (&line)[size]) {
        size_t length = 0;
        char c;
        while (recv(report_, &c, 1, 0) == 1 && c != '\n')
            if (length + 1 < size) line[length++] = c;
        line[length] = '\0';
    }

    SOCKET input_ = INVALID_SOCKET, report_ = INVALID_SOCKET;
};

// ffmpeg.exe in a folder of the PATH; empty when none holds it.
std::string windows_ffmpeg() {
    DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (size == 0) return "";
    std::string folders(size, '\0');
    folders.resize(GetEnvironmentVariableA("PATH", folders.data(), size));
    char found[MAX_PATH];
    DWORD length = SearchPathA(folders.c_str(), "ffmpeg.exe", nullptr, MAX_PATH, found, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(found) : std::string();
}

std::atomic<VideoEncoder*> running_encoder{nullptr};

}  // namespace

// ---------------------------------------------------------------------------

std::unique_ptr<VideoEncoder> VideoEncoder::start(const std::string& path, const VideoPlan& plan, std::string& error) {
    std::unique_ptr<VideoEncoder> encoder(new VideoEncoder);
    encoder->path_ = path;
    encoder->plan_ = plan;
    encoder->temporary_ = format("%s.%lu.partial", path.c_str(), (unsigned long)GetCurrentProcessId());
    encoder->temporary_wide_ = widened(encoder->temporary_, CP_ACP);
    if (std::string program = windows_ffmpeg(); !program.empty()) {
        encoder->encoder_ = program;
        std::vector<std::string> arguments = plan.ffmpeg_arguments(encoder->temporary_);
        arguments.insert(arguments.begin(), program);
        encoder->process_ = WindowsEncoderProcess::start(program, windows_command_line(arguments), error);
    } else if (running_under_wine()) {
        encoder->encoder_ = "ffmpeg";
        std::string temporary = machine_path_of(encoder->temporary_);
        if (temporary.empty()) error = "cannot find where " + encoder->temporary_ + " is outside Wine";
        else encoder->process_ = MachineEncoderProcess::start(plan.ffmpeg_arguments(temporary), error);
    } else {
        error = "no ffmpeg.exe on the PATH";
    }
    if (!encoder->process_) return nullptr;
    running_encoder.store(encoder.get());
    set_cleanup_before_stop(abandon_running);
    return encoder;
}

VideoEncoder::~VideoEncoder() {
    if (!process_) return;
    end_input(10000);
    DeleteFileW(temporary_wide_.c_str());
}

std::optional<int> VideoEncoder::end_input(unsigned long wait_ms) {
    VideoEncoder* self = this;
    if (running_encoder.compare_exchange_strong(self, nullptr)) set_cleanup_before_stop(nullptr);
    std::optional<int> status = process_ ? process_->end_input(wait_ms) : std::nullopt;
    process_.reset();
    return status;
}

void VideoEncoder::abandon_running() {
    if (VideoEncoder* encoder = running_encoder.exchange(nullptr)) {
        encoder->process_->end_input(5000);
        DeleteFileW(encoder->temporary_wide_.c_str());
    }
}

bool VideoEncoder::write(const Image& frame) {
    static_assert(sizeof(Rgba) == 4, "a GIF's frames go to ffmpeg as rgb0, four bytes a pixel");
    if (stopped_reading_ || !process_) return false;
    // A frame of another size would shift every frame after it.
    bool sent = frame.width == plan_.frame_width && frame.height == plan_.frame_height;
    if (sent && plan_.format == VideoFormat::gif) {
        sent = process_->send(frame.pixels.data(), frame.pixels.size() * sizeof(Rgba));
    } else if (sent) {
        if (!yuv_) yuv_ = std::make_unique<YuvFrames>(plan_.video_width, plan_.video_height);
        const std::vector<uint8_t>& planes = yuv_->convert(frame);
        sent = process_->send(planes.data(), planes.size());
    }
    if (!sent) {
        stopped_reading_ = true;
        return false;
    }
    ++frames_taken_;
    return true;
}

bool VideoEncoder::finish(std::string& error) {
    std::optional<int> status = end_input(INFINITE);
    std::string problem;
    if (!status) problem = "ended without an exit status";
    else if (*status != 0) problem = format("failed (exit status %d)", *status);
    else if (stopped_reading_) problem = format("ended after taking %zu frames, before the last", frames_taken_);
    else if (!MoveFileExA(temporary_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        problem = "made it, but it cannot be named " + path_ + ": " + windows_error(GetLastError());
    if (problem.empty()) return true;
    DeleteFileW(temporary_wide_.c_str());
    error = encoder_ + " " + problem + ": no video written to " + path_;
    return false;
}

}  // namespace panelhost
