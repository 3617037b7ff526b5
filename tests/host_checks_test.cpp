// panelhost's checks: a malformed module is refused with an error naming the
// gauge, the element and the field, before the host reads the bad record;
// check runs none of the module's code; the loaded records are checked
// again against the pages' real protection; the service table stops a module
// that calls a slot the host does not provide; a routine in the wrong
// calling convention, a crash, a hang, and a fault of panelhost's own each
// end the process with one line.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "host/panel_host.h"
#include "host/reader/check_module.h"
#include "tests/support/loaded_module.h"

namespace {

using panelhost::Host;
using panelhost::Report;

std::string beside_tests(const std::string& file) {
    std::string dir = module_path();
    return dir.substr(0, dir.find_last_of("\\/") + 1) + file;
}

std::string fixture(const std::string& fault) { return beside_tests("fixture_" + fault + ".gau"); }

// Opens a module expected to be refused; returns every error's text.
std::string refusal(const std::string& path) {
    Report report;
    std::unique_ptr<Host> host = Host::open(path, report);
    EXPECT_EQ(host, nullptr) << path << " was accepted";
    EXPECT_TRUE(report.has_errors());
    return report.text();
}

// Runs panelhost.exe, beside the tests, with `arguments`: its exit status,
// and what it printed in `output`.
int run_panelhost(const std::string& arguments, std::string& output) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE from_child, to_parent;
    if (!CreatePipe(&from_child, &to_parent, &inherited, 0)) return -1;
    SetHandleInformation(from_child, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = to_parent;
    PROCESS_INFORMATION process{};
    std::string command = panelhost::format("\"%s\" %s", beside_tests("panelhost.exe").c_str(), arguments.c_str());
    bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(to_parent);
    char buffer[4096];
    DWORD got;
    while (started && ReadFile(from_child, buffer, sizeof buffer, &got, nullptr) && got) output.append(buffer, got);
    CloseHandle(from_child);
    if (!started) return -1;
    DWORD status = DWORD(-1);
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return int(status);
}

TEST(HostChecks, WellFormedFixtureAndBuiltModulePass) {
    for (std::string path : {fixture("well_formed"), module_path()}) {
        Report report;
        std::unique_ptr<Host> host = Host::open(path, report);
        ASSERT_NE(host, nullptr) << report.text();
        EXPECT_EQ(report.text(), "") << path;
        EXPECT_FALSE(host->gauges().empty());
    }
}

TEST(HostChecks, EachMalformedModuleGetsItsOwnClearError) {
    const std::string needle = "gauge \"Fixture\": element 2 (needle, bitmap ";
    struct Case {
        const char* fault;
        std::string says;
    } cases[] = {
        {"pointer_outside_image",
         needle + "102, child 1 of element 1): calibration table (2 points) 0x00000010 lies outside the module image"},
        {"unterminated_list",
         needle + "102, child 1 of element 1): failure list at 0x"},  // ... runs off the end of section .tail
        {"child_cycle",
         "gauge \"Fixture\": child list of element 2, entry 1: child cycle: it lists element 1 (static image, bitmap "
         "100, root), its own ancestor"},
        {"missing_bitmap", needle + "103, child 1 of element 1): bitmap resource 103 is missing"},
        {"missing_mask",
         "gauge \"Fixture\": element 3 (moving image, bitmap 100, child 2 of element 1): window mask (bitmap + 1): "
         "bitmap resource 101 is missing"},
        {"empty_calibration", needle + "102, child 1 of element 1): calibration point count 0; a table needs 2 to 64"},
        {"huge_calibration", needle + "102, child 1 of element 1): calibration point count 1073741824"},
        {"unended_mouse_areas",
         "gauge \"Fixture\": mouse area 2: the mouse-area list at 0x"},  // ... runs off the end of its section
        {"mask_larger_than_image",
         "element 3 (moving image, bitmap 106, child 2 of element 1): window mask 107 (16 x 16) is larger than its "
         "image (4 x 2)"},
        {"pivot_outside_bitmap", needle + "102, child 1 of element 1): pivot 9, 1 lies outside its 8 x 3 bitmap"},
        {"truncated_bitmap", needle + "110, child 1 of element 1): bitmap resource 110: 56 bytes, but a 8 x 3 bitmap"},
        {"sixteen_bit_bitmap", needle + "111, child 1 of element 1): bitmap resource 111: 16 bits per pixel"},
        {"unknown_kind", "gauge \"Fixture\": child list of element 3, entry 1: element 0x"},  // ... has kind 2
        {"far_mouse_box",
         "gauge \"Fixture\": mouse area 3: box 2147483636, 6, 3 x 3 on the face (stored as 2147483632, 2 within "
         "area 2's box at 4, 4) lies far outside the 16 x 16 face"},
    };
    for (const Case& c : cases) {
        std::string text = refusal(fixture(c.fault));
        EXPECT_NE(text.find(c.says), std::string::npos) << c.fault << ":\n" << text;
        // One fault, one error: nothing else in the fixture is reported.
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << c.fault << ":\n" << text;
    }
}

// Linting a module must not run it: neither the loader (its entry routine)
// nor its init routine. The fixture's code leaves files when it runs; check
// leaves none and still finds the fixture's fault, and loading it does.
TEST(HostChecks, CheckRunsNoneOfTheModulesCode) {
    std::string entry_ran = beside_tests("entry_ran.txt"), init_ran = beside_tests("init_ran.txt");
    DeleteFileA(entry_ran.c_str());
    DeleteFileA(init_ran.c_str());
    std::string output;
    EXPECT_EQ(run_panelhost("check \"" + fixture("code_writes_files") + "\"", output), 2) << output;
    EXPECT_NE(output.find("bitmap resource 103 is missing"), std::string::npos) << output;
    EXPECT_EQ(GetFileAttributesA(entry_ran.c_str()), INVALID_FILE_ATTRIBUTES) << "check ran the entry routine";
    EXPECT_EQ(GetFileAttributesA(init_ran.c_str()), INVALID_FILE_ATTRIBUTES) << "check ran the init routine";
    // Nor does a command that runs gauges load a module that failed.
    output.clear();
    EXPECT_EQ(run_panelhost("render \"" + fixture("code_writes_files") + "\" Fixture -o x.png", output), 2) << output;
    EXPECT_EQ(GetFileAttributesA(entry_ran.c_str()), INVALID_FILE_ATTRIBUTES) << "render loaded a failed module";
    // The fixture does leave its file when loaded.
    HMODULE loaded = LoadLibraryA(fixture("code_writes_files").c_str());
    ASSERT_NE(loaded, nullptr);
    FreeLibrary(loaded);
    EXPECT_NE(GetFileAttributesA(entry_ran.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileA(entry_ran.c_str());
}

// Once loaded, records are read again against the pages as they are: an
// entry routine that makes them read-only is caught before the host writes.
TEST(HostChecks, LoadedRecordsAreCheckedAgainstTheirPagesRealProtection) {
    Report file_report;
    EXPECT_TRUE(panelhost::check_module_file(fixture("entry_protects_records"), file_report).passed) << file_report.text();
    std::string text = refusal(fixture("entry_protects_records"));
    EXPECT_NE(text.find("after loading: "), std::string::npos) << text;
    EXPECT_NE(text.find("PAGE_READONLY), which is read-only"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;

    Report report;
    std::unique_ptr<Host> host = Host::open(module_path(), report);
    ASSERT_NE(host, nullptr) << report.text();
    for (const panelhost::Section& s : host->module().image().sections()) {
        bool right = s.name == ".text"    ? s.code && !s.writable
                     : s.name == ".data"  ? s.readable && s.writable && !s.code
                     : s.name == ".rdata" ? s.readable && !s.writable
                                          : true;
        EXPECT_TRUE(right) << s.name << ": " << s.access_source;
    }
}

// Routines that hand the host another gauge's tree (every gauge driving
// gauge 0's tree) pass the record checks; running them shows it.
TEST(HostChecks, GaugeWhoseRoutinesWorkOnAnotherGaugesTreeIsReported) {
    Report report;
    std::unique_ptr<Host> host = Host::open(fixture("borrowed_tree"), report);
    ASSERT_NE(host, nullptr) << report.text();
    EXPECT_EQ(report.text(), "");
    const panelhost::GaugeModel* second = host->gauge("Second");
    ASSERT_NE(second, nullptr);
    host->install(*second);
    EXPECT_FALSE(host->installed(*second));
    EXPECT_TRUE(host->installed(*host->gauge("Fixture")));
    std::string all;
    for (const std::string& w : host->warnings) all += w + "\n";
    EXPECT_NE(all.find("a routine of \"Second\" passed element_list_install the element tree of \"Fixture\""),
              std::string::npos) << all;
    EXPECT_NE(all.find("the install routine of \"Second\" did not install its element tree"), std::string::npos)
        << all;
}

TEST(HostChecks, SecondGaugeOfTheSameNameIsReportedAsUnreachable) {
    Report report;
    std::unique_ptr<Host> host = Host::open(fixture("duplicate_name"), report);
    ASSERT_NE(host, nullptr) << report.text();
    EXPECT_EQ(report.text(), "warning: Linkage: gauge table entries 0 and 1 are both named \"Fixture\"; only entry 0 "
                             "can be chosen by name\n");
    EXPECT_EQ(host->gauge("Fixture")->table_index, 0);
}

TEST(HostChecks, MissingFileIsAnErrorNotACrash) {
    EXPECT_NE(refusal(beside_tests("no_such_module.gau")).find("cannot open the file"), std::string::npos);
}

using HostCheckDeathTest = ::testing::Test;

TEST(HostCheckDeathTest, UnprovidedServiceSlotStopsNamingTheSlot) {
    EXPECT_EXIT(
        {
            Report report;
            std::unique_ptr<Host> host = Host::open(fixture("well_formed"), report);
            if (!host) std::exit(99);
            auto** slots = reinterpret_cast<void**>(
                host->module().live<panelhost::stored::ImportEntry>(host->module().records().panels_entry)->pointer);
            // 0x78 lies between plot and kill; 0x200 is far beyond the named slots.
            uint32_t args[1] = {0};
            panelhost::call_module("test call", slots[0x78 / 4], args, 1);
        },
        ::testing::ExitedWithCode(3), "panel service slot 0x78");
    EXPECT_EXIT(
        {
            Report report;
            std::unique_ptr<Host> host = Host::open(fixture("well_formed"), report);
            if (!host) std::exit(99);
            auto** slots = reinterpret_cast<void**>(
                host->module().live<panelhost::stored::ImportEntry>(host->module().records().panels_entry)->pointer);
            panelhost::call_module("test call", slots[0x200 / 4], nullptr, 0);
        },
        ::testing::ExitedWithCode(3), "panel service slot 0x200");
}

double __cdecl caller_cleans(uint32_t) { return 1; }
double __stdcall callee_cleans(uint32_t value) { return value; }

TEST(HostCheckDeathTest, RoutineInAnotherCallingConventionIsCaught) {
    uint32_t arg = 42;
    EXPECT_EQ(panelhost::call_module_double("stdcall routine", (void*)callee_cleans, &arg, 1), 42.0);
    EXPECT_EXIT(panelhost::call_module_double("cdecl routine", (void*)caller_cleans, &arg, 1),
                ::testing::ExitedWithCode(6), "cdecl routine does not use the host calling convention");
}

}  // namespace

namespace {

double __stdcall crashes(uint32_t address) { return *reinterpret_cast<volatile double*>(uintptr_t(address)); }
double __stdcall recurses(uint32_t depth) {
    if (depth == 0xFFFFFFFF) return 0;  // never reached: the stack runs out first
    volatile uint32_t deeper = depth + 1;
    return recurses(deeper) + 1;
}
double __stdcall never_returns(uint32_t) {
    for (;;) __asm__ volatile("" ::: "memory");
}

TEST(HostCheckDeathTest, CrashingOrHangingRoutineIsReportedByName) {
    uint32_t null_address = 0;
    EXPECT_EXIT(panelhost::call_module_double("conversion routine of \"Probe\"", (void*)crashes, &null_address, 1),
                ::testing::ExitedWithCode(4), "crashed with an access violation .* in conversion routine of \"Probe\"");
    EXPECT_EXIT(
        {
            panelhost::set_module_call_timeout(0.3);
            panelhost::call_module_double("update routine of \"Probe\"", (void*)never_returns, &null_address, 1);
        },
        ::testing::ExitedWithCode(5), "update routine of \"Probe\" has not returned after 0.3 s");
    EXPECT_EXIT(panelhost::call_module_double("conversion routine of \"Deep\"", (void*)recurses, &null_address, 1),
                ::testing::ExitedWithCode(4), "crashed with a stack overflow .* in conversion routine of \"Deep\"");
}

double __stdcall sleeps(uint32_t milliseconds) {
    Sleep(milliseconds);
    return 1;
}

// A timeout beyond what the watchdog counts in milliseconds is as good as
// none; it must not wrap round to a timeout of nothing.
TEST(HostCheckDeathTest, VeryLongTimeoutStillLetsRoutinesRun) {
    EXPECT_EXIT(
        {
            panelhost::set_module_call_timeout(5e6);
            uint32_t milliseconds = 300;
            std::exit(panelhost::call_module_double("slow routine", (void*)sleeps, &milliseconds, 1) == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// The loader runs the entry routine while it holds its lock, under which no
// new thread starts: the watchdog must already be running by then.
TEST(HostCheckDeathTest, CrashingOrHangingEntryRoutineIsReported) {
    EXPECT_EXIT(
        {
            Report report;
            Host::open(fixture("crashing_entry"), report);
        },
        ::testing::ExitedWithCode(4), "crashed with an access violation .* in entry routine \\(run by the loader\\)");
    EXPECT_EXIT(
        {
            panelhost::set_module_call_timeout(0.5);
            Report report;
            Host::open(fixture("hanging_entry"), report);
        },
        ::testing::ExitedWithCode(5), "entry routine \\(run by the loader\\) has not returned after 0.5 s");
}

DWORD WINAPI faults(void*) {
    *static_cast<volatile int*>(nullptr) = 1;
    return 0;
}

// A fault outside any module call is panelhost's own: one line and its own
// status, never the debugger. (On a thread of its own, where the test
// framework catches nothing.)
TEST(HostCheckDeathTest, FaultOfPanelhostsOwnEndsWithOneLine) {
    EXPECT_EXIT(
        {
            CloseHandle(CreateThread(nullptr, 0, faults, nullptr, 0, nullptr));
            Sleep(INFINITE);
        },
        ::testing::ExitedWithCode(panelhost::code(panelhost::ExitStatus::host_fault)),
        "panelhost: internal fault: panelhost itself stopped with an access violation");
}

// A routine that updates its own tree would recurse until the stack ran out
// inside the host; the host stops at the first nested call instead.
TEST(HostCheckDeathTest, ElementRoutineDrivingItsTreeStopsNamingTheRoutine) {
    EXPECT_EXIT(
        {
            Report report;
            std::unique_ptr<Host> host = Host::open(fixture("reentrant_routine"), report);
            if (!host) std::exit(99);
            host->install(*host->gauge("Fixture"));
            std::exit(0);
        },
        ::testing::ExitedWithCode(3),
        "called element_list_update from inside the conversion routine of \"Fixture\" element 2 \\(needle");
}

}  // namespace
