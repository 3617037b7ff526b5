// Several hundred damaged copies of the built module through the reader's
// check: none may crash, hang or trip a sanitizer; every finding names the
// header, directory or record it is about in printable words; a damage to
// one field gives one finding, naming that field.
#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "host/reader/check_module.h"
#include "tests/reader/module_damages.h"
#include "tests/reader/test_inputs.h"

namespace panelhost::testing {
namespace {

// No raw byte from the file, and no system text with its inserts unfilled.
bool printable(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) return false;
    return text.find("%1") == std::string::npos;
}

TEST(DamagedCopies, EachGetsClearFindingsAndOneFieldOneFinding) {
    std::vector<uint8_t> module = file_bytes(built_module_path());
    ASSERT_FALSE(module.empty()) << "cannot read " << built_module_path();
    std::vector<Damage> copies = damaged_copies(module, 20240607);
    ASSERT_GE(copies.size(), 300u);
    std::map<std::string, int> per_kind;
    for (const Damage& d : copies) {
        ++per_kind[d.kind];
        auto start = std::chrono::steady_clock::now();
        Report report;
        CheckedModule checked = check_module_bytes(d.bytes, report);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 5.0) << d.what << ": the check took far too long";
        std::string all = report.text();
        for (const Finding& f : report.findings) {
            EXPECT_TRUE(names_a_structure(f.text)) << d.what << ": a finding that names no structure:\n" << f.text;
            EXPECT_TRUE(printable(f.text)) << d.what << ": a finding with raw bytes:\n" << f.text;
        }
        if (!d.single_field) continue;
        if (d.names.empty()) {
            EXPECT_LE(report.findings.size(), 1u) << d.what << " (" << d.kind << "):\n" << all;
        } else {
            EXPECT_EQ(report.findings.size(), 1u) << d.what << " (" << d.kind << "):\n" << all;
            EXPECT_NE(all.find(d.names), std::string::npos) << d.what << ": expected it to name \"" << d.names
                                                            << "\":\n" << all;
        }
    }
    std::string kinds;
    for (const auto& [kind, count] : per_kind) kinds += kind + " " + std::to_string(count) + ", ";
    std::printf("%zu damaged copies: %s\n", copies.size(), kinds.c_str());
}

}  // namespace
}  // namespace panelhost::testing
