// panelhost's checks: a malformed module is refused with an error naming the
// gauge, the element and the field, before the host reads the bad record;
// the service table stops a module that calls a slot the host does not
// provide; a routine in the wrong calling convention is caught.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "host/panel_host.h"
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
    struct Case {
        const char* fault;
        std::vector<std::string> mentions;
    } cases[] = {
        {"pointer_outside_image",
         {"gauge \"Fixture\"", "element 2 (needle, bitmap 102", "calibration table pointer 0x00000010",
          "outside the module image"}},
        {"unterminated_list",
         {"gauge \"Fixture\"", "element 2 (needle", "failure list runs off the end of its section",
          "without an end record"}},
        {"child_cycle",
         {"gauge \"Fixture\"", "child list of element 2, entry 1", "child cycle",
          "element 1 (static image, bitmap 100, root)"}},
        {"missing_bitmap", {"gauge \"Fixture\"", "element 2 (needle, bitmap 103", "no bitmap resource 103"}},
        {"missing_mask",
         {"gauge \"Fixture\"", "element 3 (moving image, bitmap 100", "window mask (bitmap + 1) 101",
          "no bitmap resource 101"}},
        {"empty_calibration", {"element 2 (needle", "calibration point count 0; a table needs 2 to 64 points"}},
        {"huge_calibration", {"element 2 (needle", "calibration point count 1073741824"}},
        {"unended_mouse_areas",
         {"gauge \"Fixture\"", "mouse area 2", "runs off the end of its section without an end-of-list record"}},
        {"mask_larger_than_image",
         {"element 3 (moving image, bitmap 106", "window mask 107 (16 x 16) is larger than its image (4 x 2)"}},
        {"pivot_outside_bitmap", {"element 2 (needle", "pivot 9, 1 lies outside its 8 x 3 bitmap"}},
        {"truncated_bitmap", {"element 2 (needle, bitmap 110", "56 bytes, but a 8 x 3 bitmap", "needs 72"}},
        {"sixteen_bit_bitmap", {"element 2 (needle, bitmap 111", "16 bits per pixel"}},
        {"unknown_kind", {"element 4 (unknown kind, bitmap 107", "kind 2 is not one this host draws"}},
        {"far_mouse_box", {"mouse area 3", "box 2147483636, 6, 3 x 3 on the face lies far outside the 16 x 16 face"}},
    };
    for (const Case& c : cases) {
        std::string text = refusal(fixture(c.fault));
        for (const std::string& m : c.mentions) EXPECT_NE(text.find(m), std::string::npos) << c.fault << ":\n" << text;
        // One fault, one error: nothing else in the fixture is reported.
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << c.fault << ":\n" << text;
    }
}

TEST(HostChecks, TruncatedFileIsRefusedBeforeTheLoaderSeesIt) {
    std::ifstream in(fixture("well_formed"), std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(whole.size(), 4096u);
    // Where the last section's stored bytes end: what follows (symbols) the
    // loader never reads, so cutting there loses nothing the host needs.
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(whole.data());
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(whole.data() + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    size_t sections_end = 0;
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i)
        sections_end = std::max<size_t>(sections_end, section[i].PointerToRawData + section[i].SizeOfRawData);
    std::string copy = beside_tests("truncated_fixture.gau");
    struct Cut {
        size_t length;
        const char* says;
    } cuts[] = {
        {0, "not a Windows library"},
        {40, "not a Windows library"},
        {200, "truncated: the file ends"},
        {whole.size() / 2, "truncated: section"},
        {sections_end - 1, "truncated: section"},
    };
    for (const Cut& cut : cuts) {
        std::ofstream(copy, std::ios::binary | std::ios::trunc).write(whole.data(), std::streamsize(cut.length));
        std::string text = refusal(copy);
        EXPECT_NE(text.find(cut.says), std::string::npos) << cut.length << " bytes:\n" << text;
    }
    std::remove(copy.c_str());
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

// A true-colour bitmap's rows follow its colour table, if it has one.
TEST(HostChecks, TrueColourBitmapIsReadPastItsColourTable) {
    Report report;
    std::unique_ptr<Host> host = Host::open(fixture("true_colour_needle"), report);
    ASSERT_NE(host, nullptr) << report.text();
    const panelhost::Image& needle = host->gauge("Fixture")->elements[1].picture->picture;
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(needle.at(x, 1), panelhost::opaque(240, 240, 240)) << x;
        EXPECT_EQ(needle.at(x, 0), panelhost::Rgba{}) << x;
    }
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
