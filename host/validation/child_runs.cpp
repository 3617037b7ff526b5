#include "host/validation/child_runs.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/exit_status.h"
#include "host/base/report.h"
#include "host/validation/test_runner.h"
#include "host/windows_error.h"

namespace panelhost {

namespace {

// Holds the board's handle, inherited, in decimal.
constexpr const char* board_variable = "PANELHOST_VALIDATE_BOARD";

Fault fault_of(DWORD status) {
    switch (int(status)) {
        case code(ExitStatus::service_misuse): return Fault::service_misuse;
        case code(ExitStatus::module_hung): return Fault::hang;
        case code(ExitStatus::calling_convention): return Fault::stack_convention;
        case code(ExitStatus::host_fault): return Fault::host_fault;
        default: return Fault::crash;
    }
}

// "writing 0x6f004010, in .rdata of the module, which is read-only"
std::string access_text(const RunBoard& board, const AddressSpace& file) {
    const char* how = board.access_fault == 1 ? "reading" : board.access_fault == 2 ? "writing" : "executing";
    std::string text = format("%s 0x%08x", how, unsigned(board.fault_address));
    uint64_t offset = uint64_t(board.fault_address) - board.module_base;
    if (!board.module_base || board.fault_address < board.module_base || offset >= file.end() - file.base())
        return text + (board.fault_address < 0x10000 ? ", near a null pointer" : ", outside the module");
    Placement p = file.place(uint32_t(file.base() + offset), 1, Access::none);
    if (!p) return text + ", in the module but in none of its sections";
    const Section& s = file.sections()[size_t(p.section)];
    return text + format(", in %s of the module, which is %s", s.name.c_str(),
                         s.writable ? "writable"
                         : s.readable ? "read-only"
                                      : "neither readable nor writable");
}

// The finding for a test whose process ended under it.
TestFinding ended_under(const RunBoard& board, const AddressSpace& file, DWORD status, bool stalled,
                        double limit_seconds, const std::string& messages) {
    TestFinding f;
    f.fault = stalled ? Fault::hang : fault_of(status);
    std::string what = messages;
    // The host's one-line reason, without its "panelhost: " and with every line kept.
    for (size_t at; (at = what.find("panelhost: ")) != std::string::npos;) what.erase(at, 11);
    if (stalled)
        what = format("nothing moved for %.0f s, so its process was ended", limit_seconds);
    else if (what.empty())
        what = format("its process ended with status %lu and said nothing", (unsigned long)status);
    if (f.fault == Fault::crash && board.access_fault) what += ": " + access_text(board, file);
    std::string stage(board.stage, strnlen(board.stage, sizeof board.stage));
    f.text = what + (stage.empty() ? "" : " (while " + stage + ")");
    if (board.has_sample) f.input = sample_text(board.sample);
    return f;
}

}  // namespace

bool run_in_children(size_t tests, double timeout_seconds, const AddressSpace& file,
                     const std::function<void(size_t test, const TestResult& result)>& done) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, &inherited, PAGE_READWRITE, 0, sizeof(RunBoard), nullptr);
    auto* board = mapping ? static_cast<RunBoard*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(RunBoard)))
                          : nullptr;
    if (!board) {
        std::fprintf(stderr, "validate: cannot make the memory its test processes share: %s\n",
                     windows_error(GetLastError(), "it").c_str());
        return false;
    }
    SetEnvironmentVariableA(board_variable, std::to_string(uintptr_t(mapping)).c_str());
    char program[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    const DWORD stall_limit_ms = DWORD(timeout_seconds * 1000) + 60000;

    for (size_t next = 0; next < tests;) {
        *board = {};
        board->first_test = uint32_t(next);
        HANDLE read_end = nullptr, write_end = nullptr;
        PROCESS_INFORMATION child{};
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        std::string command_line = GetCommandLineA();
        bool started = length && length < MAX_PATH && CreatePipe(&read_end, &write_end, &inherited, 0) &&
                       SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
        if (started) {
            // Its output and its errors come down one pipe, line by line.
            startup.hStdInput = INVALID_HANDLE_VALUE;
            startup.hStdOutput = startup.hStdError = write_end;
            started = CreateProcessA(program, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                     &startup, &child);
        }
        if (!started) {
            std::fprintf(stderr, "validate: cannot start a process to run its tests in: %s\n",
                         windows_error(GetLastError(), program).c_str());
            return false;
        }
        CloseHandle(write_end);
        CloseHandle(child.hThread);

        std::string pending, messages;
        auto take_lines = [&] {
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                std::string line = pending.substr(0, end);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                size_t test = 0;
                TestResult result;
                if (!line.empty() && line[0] == '{' && result_from_json(line, test, result) && test == next) {
                    done(test, result);
                    next = test + 1;
                    messages.clear();
                } else if (!line.empty()) {
                    messages += (messages.empty() ? "" : " ") + line;
                }
            }
        };
        auto read_some = [&] {
            char buffer[4096];
            DWORD got = 0;
            if (!ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) || got == 0) return false;
            pending.append(buffer, got);
            take_lines();
            return true;
        };
        uint32_t progress = board->progress;
        DWORD quiet_since = GetTickCount();
        bool stalled = false;
        for (;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr)) break;
            if (available) {
                read_some();
                quiet_since = GetTickCount();
                continue;
            }
            if (WaitForSingleObject(child.hProcess, 10) == WAIT_OBJECT_0) break;
            if (board->progress != progress) {
                progress = board->progress;
                quiet_since = GetTickCount();
            } else if (GetTickCount() - quiet_since > stall_limit_ms) {
                TerminateProcess(child.hProcess, UINT(code(ExitStatus::module_hung)));
                WaitForSingleObject(child.hProcess, INFINITE);
                stalled = true;
                break;
            }
        }
        // Whatever it wrote before it ended; the pipe breaks once it is read.
        while (read_some()) {
        }
        if (!pending.empty()) {
            pending += '\n';
            take_lines();
        }
        DWORD status = 0;
        WaitForSingleObject(child.hProcess, INFINITE);
        GetExitCodeProcess(child.hProcess, &status);
        CloseHandle(child.hProcess);
        CloseHandle(read_end);
        if (next >= tests) break;
        TestResult lost;
        lost.findings.push_back(ended_under(*board, file, status, stalled, stall_limit_ms / 1000.0, messages));
        done(next, lost);
        ++next;
    }
    return true;
}

bool is_validation_child() { return GetEnvironmentVariableA(board_variable, nullptr, 0) != 0; }

bool run_as_child(const ValidationSettings& settings, const std::vector<PlannedTest>& plan) {
    char value[32];
    DWORD n = GetEnvironmentVariableA(board_variable, value, sizeof value);
    if (n == 0 || n >= sizeof value) return false;
    HANDLE mapping = reinterpret_cast<HANDLE>(uintptr_t(std::strtoull(value, nullptr, 10)));
    auto* board = static_cast<RunBoard*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(RunBoard)));
    if (!board) return false;
    TestRunner runner(settings, plan, *board);
    for (size_t test = board->first_test; test < plan.size(); ++test) {
        TestResult result = runner.run(test);
        std::string line = result_json(test, result).dump(-1, ' ', false, Json::error_handler_t::replace);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    return true;
}

}  // namespace panelhost
