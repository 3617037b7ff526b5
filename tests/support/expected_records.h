// Records as the host reads them. An expected record is built from the host's
// byte offsets (every byte not set is zero); its pointer fields say where
// they must lead — to an address found apart from the record (a gauge header
// from Linkage), to a record that is itself expected, to a routine of the
// module's code, or to a string — and stored_as follows them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/loaded_module.h"

class ExpectedRecord {
public:
    explicit ExpectedRecord(size_t size = 0) : bytes_(size, 0) {}

    ExpectedRecord& word(size_t offset, uint32_t value);
    ExpectedRecord& signed_word(size_t offset, int32_t value) { return word(offset, uint32_t(value)); }
    ExpectedRecord& number(size_t offset, double value);

    ExpectedRecord& points_at(size_t offset, Record address);
    ExpectedRecord& points_to(size_t offset, ExpectedRecord target);
    ExpectedRecord& routine(size_t offset);
    ExpectedRecord& text(size_t offset, std::string expected);

    // Appends the next record of a list.
    ExpectedRecord& then(const ExpectedRecord& next);
    // What a difference names the record by.
    ExpectedRecord& named(std::string name) {
        name_ = std::move(name);
        return *this;
    }

    size_t size() const { return bytes_.size(); }

private:
    friend void compare(Record actual, const ExpectedRecord& expected, const std::string& path,
                        std::vector<std::string>& differences);

    struct Pointer {
        enum Kind { to_address, to_record, to_routine, to_text } kind;
        size_t offset;
        Record address_found;
        std::shared_ptr<const ExpectedRecord> target;
        std::string text;
    };
    ExpectedRecord& pointer(Pointer p);

    std::vector<uint8_t> bytes_;
    std::vector<Pointer> pointers_;
    std::string name_ = "record";
};

// Names every difference (up to a few) by its byte offset, through the
// pointers followed to reach it.
::testing::AssertionResult stored_as(Record actual, const ExpectedRecord& expected);

// The shapes every gauge is made of.
struct Pixel {
    int32_t x, y;
};

// An element of `size` bytes beginning with the common header; its gauge is
// the header found through Linkage.
ExpectedRecord element(size_t size, uint32_t kind, uint32_t bitmap, Pixel position, Pixel pivot,
                       uint32_t image_flags, Record gauge);

// A list of pointers to the expected elements, ended by null.
ExpectedRecord child_list(std::initializer_list<ExpectedRecord> children);

struct Failure {
    uint32_t key, action;
};
ExpectedRecord failure_list(std::initializer_list<Failure> failures);

struct Point {
    int32_t x, y;
    double value;
};
// Angles are zero as stored: the host computes them at install.
ExpectedRecord calibration_points(std::initializer_list<Point> points);

// A whole-gauge tooltip area and the two end records; no cursor anywhere.
ExpectedRecord tooltip_only_mouse_areas(uint32_t help_id);

// A gauge header naming its name, its one root, its seven routines, its
// mouse areas and its callback.
ExpectedRecord gauge_header(const std::string& name, ExpectedRecord root, ExpectedRecord mouse_areas);

// Puts a record back as stored when the test that fed it values is done.
class KeptAsStored {
public:
    KeptAsStored(Record record, size_t size)
        : record_(record), saved_(record.address(), record.address() + size) {}
    ~KeptAsStored() { std::copy(saved_.begin(), saved_.end(), record_.address()); }
    KeptAsStored(const KeptAsStored&) = delete;
    KeptAsStored& operator=(const KeptAsStored&) = delete;

private:
    Record record_;
    std::vector<uint8_t> saved_;
};
