// A stand-in for ffmpeg.exe, to see how panelhost runs one: it reads its
// standard input to the end, then writes into the file its last argument
// names how many bytes it read and its arguments, one a line. With
// FAKE_FFMPEG_FAIL_AFTER=N in the environment it stops reading after N
// bytes, leaves part of a file and exits 1, as ffmpeg does on a full disk.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* fail_after = std::getenv("FAKE_FFMPEG_FAIL_AFTER");
    const long long limit = fail_after ? std::atoll(fail_after) : -1;
    FILE* video = std::fopen(argv[argc - 1], "wb");
    if (!video) return 2;
    static char buffer[1 << 16];
    long long total = 0;
    DWORD got = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    while ((limit < 0 || total < limit) && ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got) total += got;
    if (limit >= 0) {
        std::fputs("half a video", video);
        std::fclose(video);
        return 1;
    }
    std::fprintf(video, "read %lld bytes\n", total);
    for (int i = 1; i < argc; ++i) std::fprintf(video, "%s\n", argv[i]);
    std::fclose(video);
    return 0;
}
