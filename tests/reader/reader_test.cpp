// The reader's own rules, each at its edge: where a record may lie in an
// image, how a bitmap's pixels are laid out at every depth, how far a file
// must reach, and what the built module holds when it is read.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "host/reader/bitmap_resources.h"
#include "host/reader/check_module.h"
#include "tests/reader/test_inputs.h"

namespace panelhost::testing {
namespace {

// ---------------------------------------------------------------------------
// Placement: a made-up image of headers, code, a gap, read-only data and
// writable data.

class MadeUpImage : public AddressSpace {
public:
    MadeUpImage() {
        base_ = 0x10000000;
        end_ = 0x10005000;
        headers_end_ = 0x10000400;
        sections_ = {{".text", 0x10001000, 0x10001800, true, false, true, "flags 0x60000020"},
                     {".rdata", 0x10003000, 0x10003100, true, false, false, "flags 0x40000040"},
                     {".data", 0x10004000, 0x10004010, true, true, false, "flags 0xc0000040"}};
        for (uint32_t i = 0; i < 16; ++i) std::memcpy(data_ + 4 * i, &i, 4);
    }

protected:
    void copy(uint32_t address, void* out, size_t size) const override {
        std::memcpy(out, data_ + (address - 0x10004000), size);
    }

private:
    uint8_t data_[64] = {};
};

TEST(Placement, EachRangeIsPlacedByWhereItEndsAndWhatItIsFor) {
    MadeUpImage image;
    struct Case {
        uint32_t address;
        uint64_t size;
        Access access;
        Placement::Fault fault;
    } cases[] = {
        {0x10004000, 16, Access::write, Placement::fine},
        {0x1000400C, 4, Access::write, Placement::fine},
        {0x1000400C, 5, Access::write, Placement::past_section_end},
        {0x10004010, 1, Access::read, Placement::between_sections},
        {0x10003000, 4, Access::write, Placement::not_writable},
        {0x10003000, 4, Access::read, Placement::fine},
        {0x10003000, 4, Access::code, Placement::not_code},
        {0x10001000, 1, Access::code, Placement::fine},
        {0x10000010, 4, Access::read, Placement::in_headers},
        {0x10002000, 4, Access::read, Placement::between_sections},
        {0x0FFFFFFF, 1, Access::read, Placement::outside_image},
        {0x10005000, 1, Access::read, Placement::outside_image},
        {0xFFFFFFFF, 4, Access::none, Placement::outside_image},
        {0, 4, Access::read, Placement::null},
    };
    for (const Case& c : cases)
        EXPECT_EQ(image.place(c.address, c.size, c.access).fault, c.fault) << std::hex << c.address << " + " << c.size;
    // A section-wide fault is one fault, however many records it meets.
    Placement read_only = image.place(0x10003000, 4, Access::write);
    EXPECT_TRUE(image.first_telling(read_only));
    EXPECT_FALSE(image.first_telling(image.place(0x100030F0, 4, Access::write)));
    EXPECT_TRUE(image.first_telling(image.place(0x10003000, 4, Access::code)));
}

TEST(Placement, ListsEndWhereTheySayWithinTheirSectionAndBound) {
    MadeUpImage image;  // .data holds the words 0, 1, ... 3
    auto walk = [&](uint32_t address, uint32_t limit, uint32_t end_word) {
        return walk_list<uint32_t>(image, address, Access::read, limit,
                                   [=](uint32_t word) { return word == end_word; }, [](uint32_t, uint32_t) { return true; });
    };
    ListWalk ended = walk(0x10004000, 8, 3);
    EXPECT_EQ(ended.outcome, ListWalk::ended);
    EXPECT_EQ(ended.entries, 3u);
    EXPECT_EQ(walk(0x10004000, 2, 3).outcome, ListWalk::too_long);
    ListWalk unended = walk(0x10004000, 8, 99);
    EXPECT_EQ(unended.outcome, ListWalk::runs_off);
    EXPECT_EQ(unended.entries, 4u);
    EXPECT_EQ(walk(0x10002000, 8, 3).outcome, ListWalk::misplaced);
}

// ---------------------------------------------------------------------------
// Bitmaps, built byte by byte: the 40-byte header, the colour table, the
// rows as stored.

std::vector<uint8_t> bitmap(int width, int height, int bits, const std::vector<uint32_t>& colours,
                            const std::vector<std::vector<uint8_t>>& stored_rows, uint32_t compression = 0) {
    std::vector<uint8_t> out(40);
    auto put = [&](size_t at, auto value) { std::memcpy(out.data() + at, &value, sizeof value); };
    put(0, uint32_t(40));
    put(4, int32_t(width));
    put(8, int32_t(height));
    put(12, uint16_t(1));
    put(14, uint16_t(bits));
    put(16, compression);
    put(32, uint32_t(colours.size()));
    for (uint32_t c : colours)
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(c >> (8 * i)));
    for (const std::vector<uint8_t>& row : stored_rows) out.insert(out.end(), row.begin(), row.end());
    return out;
}

Image decoded(const std::vector<uint8_t>& bytes) {
    Image image;
    std::string why;
    EXPECT_TRUE(decode_bitmap(bytes.data(), bytes.size(), image, why)) << why;
    return image;
}

constexpr uint32_t red = 0x00C80000, green = 0x0000C800, blue = 0x000000C8, black = 0, near_black = 0x00010101;

TEST(BitmapDecoding, EveryDepthPutsEachPixelWhereItBelongs) {
    // 4 bits: the left pixel in the high nibble; rows stored bottom first,
    // each padded to 4 bytes.
    Image four = decoded(bitmap(3, 2, 4, {black, red, green, blue}, {{0x12, 0x30, 0, 0}, {0x21, 0x00, 0, 0}}));
    EXPECT_EQ(four.at(0, 1), opaque(200, 0, 0));
    EXPECT_EQ(four.at(1, 1), opaque(0, 200, 0));
    EXPECT_EQ(four.at(2, 1), opaque(0, 0, 200));
    EXPECT_EQ(four.at(0, 0), opaque(0, 200, 0));
    EXPECT_EQ(four.at(1, 0), opaque(200, 0, 0));
    EXPECT_EQ(four.at(2, 0), Rgba{});
    // 1 bit: the left pixel in the highest bit.
    Image one = decoded(bitmap(9, 1, 1, {black, blue}, {{0x80, 0x80, 0, 0}}));
    for (int x = 0; x < 9; ++x) EXPECT_EQ(one.at(x, 0), x == 0 || x == 8 ? opaque(0, 0, 200) : Rgba{}) << x;
    // 8 bits with a negative height: rows stored top first.
    Image top_down = decoded(bitmap(1, -2, 8, {red, blue}, {{0, 0, 0, 0}, {1, 0, 0, 0}}));
    EXPECT_EQ(top_down.at(0, 0), opaque(200, 0, 0));
    EXPECT_EQ(top_down.at(0, 1), opaque(0, 0, 200));
    // 24 bits behind a one-colour table the rows do not use.
    Image true_colour = decoded(bitmap(2, 1, 24, {red}, {{0xC8, 0, 0, 0, 0, 0, 0, 0}}));
    EXPECT_EQ(true_colour.at(0, 0), opaque(0, 0, 200));
    EXPECT_EQ(true_colour.at(1, 0), Rgba{});
    // See-through goes by colour, never by index: index 0 is opaque here,
    // and pure black at any index is not.
    Image by_colour = decoded(bitmap(3, 1, 8, {near_black, black, black}, {{0, 1, 2, 0}}));
    EXPECT_EQ(by_colour.at(0, 0), opaque(1, 1, 1));
    EXPECT_EQ(by_colour.at(1, 0), Rgba{});
    EXPECT_EQ(by_colour.at(2, 0), Rgba{});
}

TEST(BitmapDecoding, WhatCannotBeDrawnIsRefusedWithTheReason) {
    struct Case {
        std::vector<uint8_t> bytes;
        const char* says;
    } cases[] = {
        {std::vector<uint8_t>(39), "less than a bitmap header"},
        {bitmap(2, 2, 16, {}, {{0, 0, 0, 0}, {0, 0, 0, 0}}), "16 bits per pixel"},
        {bitmap(2, 2, 8, {red}, {{0, 0, 0, 0}, {0, 0, 0, 0}}, 1), "compression 1"},
        {bitmap(0, 2, 8, {red}, {}), "size 0 x 2"},
        {bitmap(2, 1, 4, std::vector<uint32_t>(17), {{0, 0, 0, 0}}), "17 colours for 4 bits"},
        {bitmap(2, 1, 8, {red}, {{0, 1, 0, 0}}), "uses colour 1 of a 1-colour table"},
    };
    for (const Case& c : cases) {
        Image image;
        std::string why;
        EXPECT_FALSE(decode_bitmap(c.bytes.data(), c.bytes.size(), image, why)) << c.says;
        EXPECT_NE(why.find(c.says), std::string::npos) << why;
    }
    // Rows must be there to their last padding byte, and no more is asked.
    std::vector<uint8_t> whole = bitmap(5, 2, 8, {red}, {{0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}});
    Image image;
    std::string why;
    EXPECT_TRUE(decode_bitmap(whole.data(), whole.size(), image, why)) << why;
    EXPECT_FALSE(decode_bitmap(whole.data(), whole.size() - 1, image, why));
    EXPECT_NE(why.find("needs 60"), std::string::npos) << why;
}

// ---------------------------------------------------------------------------
// The built module.

// The built module, read and checked before each test.
class BuiltModule : public ::testing::Test {
protected:
    void SetUp() override {
        module = file_bytes(built_module_path());
        ASSERT_FALSE(module.empty()) << "cannot read " << built_module_path();
        checked = check_module_bytes(module, report);
        ASSERT_TRUE(checked.passed) << report.text();
    }
    std::vector<uint8_t> module;
    Report report;
    CheckedModule checked;
};

TEST_F(BuiltModule, ReadsWithoutFindingAsItsTablesDescribeIt) {
    EXPECT_EQ(report.text(), "");
    const char* names[] = {"Airspeed", "Manifold Pressure", "Engine_Tachometer", "Fuel_Quantity",
                           "Engine_Instruments", "Radar_Altimeter", "LABS_Instrument", "Direction_Finder"};
    uint32_t faces[] = {100, 105, 110, 120, 125, 131, 135, 145};
    const std::vector<GaugeModel>& gauges = checked.records.gauges;
    ASSERT_EQ(gauges.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(gauges[i].name, names[i]);
        EXPECT_EQ(gauges[i].table_index, i);
        ASSERT_FALSE(gauges[i].elements.empty());
        EXPECT_EQ(gauges[i].elements[0].kind, stored::static_image);
        EXPECT_EQ(gauges[i].elements[0].header.bitmap, faces[i]);
    }
    // The exports as the file gives them: ImportTable's panels entry is its first.
    EXPECT_EQ(checked.records.panels_entry, checked.records.import_table);
    EXPECT_EQ(checked.file->bitmaps().stored().size(), 23u);
}

TEST_F(BuiltModule, FileMustHoldEveryStoredByteOfItsSections) {
    size_t stored_end = 0;
    for (const pe::SectionHeader& s : checked.file->section_headers())
        stored_end = std::max<size_t>(stored_end, size_t(s.raw_offset) + s.raw_size);
    module.resize(stored_end);
    Report whole;
    EXPECT_TRUE(check_module_bytes(module, whole).passed) << whole.text();
    module.pop_back();
    Report short_by_one;
    EXPECT_FALSE(check_module_bytes(module, short_by_one).passed);
    EXPECT_NE(short_by_one.text().find("truncated"), std::string::npos) << short_by_one.text();
}

// Two faults, two lines: a module moved from its base whose relocations
// cannot be read is held against Linkage's own pointers, and once the base
// is found wrong no record repeats it.
TEST_F(BuiltModule, AWrongBaseIsToldOnceEvenWithRelocationsUnreadable) {
    uint32_t pe = 0;
    std::memcpy(&pe, module.data() + 0x3C, 4);
    const size_t optional = pe + 24;
    uint32_t relocations_rva = 0;
    std::memcpy(&relocations_rva, module.data() + optional + 96 + 8 * 5, 4);
    std::optional<size_t> relocations = checked.file->file_offset(checked.file->base() + relocations_rva);
    ASSERT_TRUE(relocations);
    const uint32_t moved = checked.file->base() + 0x10000, zero = 0;
    std::memcpy(module.data() + optional + 28, &moved, 4);  // image base
    std::memcpy(module.data() + *relocations + 4, &zero, 4);  // the first block's size
    Report moved_report;
    EXPECT_FALSE(check_module_bytes(module, moved_report).passed);
    ASSERT_EQ(moved_report.findings.size(), 2u) << moved_report.text();
    EXPECT_NE(moved_report.findings[0].text.find("base relocations: block 1"), std::string::npos) << moved_report.text();
    EXPECT_NE(moved_report.findings[1].text.find("image base 0x"), std::string::npos) << moved_report.text();
    EXPECT_NE(moved_report.findings[1].text.find("disagrees with Linkage's own pointers"), std::string::npos)
        << moved_report.text();
    // Relocations broken alone: the base agrees with Linkage, and the
    // records are read (and found sound).
    std::vector<uint8_t> unmoved = file_bytes(built_module_path());
    std::memcpy(unmoved.data() + *relocations + 4, &zero, 4);
    Report alone;
    check_module_bytes(unmoved, alone);
    ASSERT_EQ(alone.findings.size(), 1u) << alone.text();
}

}  // namespace
}  // namespace panelhost::testing
