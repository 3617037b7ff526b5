// Records as the host reads them: the expected bytes of a record are built
// from the host's byte offsets (every byte not set is zero) and compared with
// the module's record byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <sstream>
#include <vector>

#include "module/records/gauge_records.h"

class RecordBytes {
public:
    explicit RecordBytes(size_t size) : bytes_(size, 0) {}

    RecordBytes& word(size_t offset, uint32_t value) { return put(offset, &value, 4); }
    RecordBytes& signed_word(size_t offset, int32_t value) { return put(offset, &value, 4); }
    RecordBytes& pointer(size_t offset, const void* value) {
        uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value));
        return put(offset, &address, 4);
    }
    RecordBytes& number(size_t offset, double value) { return put(offset, &value, 8); }

    // The common element header, at the start of every element.
    RecordBytes& element_header(uint32_t kind, uint32_t bitmap, PIXPOINT position, PIXPOINT pivot,
                                const GAUGEHDR* gauge, ELEMENT_HEADER* const* children,
                                const FAILURE_RECORD* failures, uint32_t image_flags) {
        return word(0, kind)
            .word(4, bitmap)
            .signed_word(8, position.x)
            .signed_word(12, position.y)
            .signed_word(24, pivot.x)
            .signed_word(28, pivot.y)
            .pointer(32, gauge)
            .pointer(40, children)
            .pointer(44, failures)
            .word(48, image_flags);
    }

    // Appends the next record of a list.
    RecordBytes& then(const RecordBytes& next) {
        bytes_.insert(bytes_.end(), next.bytes_.begin(), next.bytes_.end());
        return *this;
    }

    size_t size() const { return bytes_.size(); }
    const uint8_t* data() const { return bytes_.data(); }

private:
    RecordBytes& put(size_t offset, const void* value, size_t n) {
        std::memcpy(bytes_.data() + offset, value, n);
        return *this;
    }
    std::vector<uint8_t> bytes_;
};

// Names every differing byte offset (up to a few) so a wrong field is easy
// to find in the host's layout table.
inline ::testing::AssertionResult stored_as(const void* record, const RecordBytes& expected) {
    auto* actual = static_cast<const uint8_t*>(record);
    std::ostringstream differences;
    int count = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (actual[i] == expected.data()[i]) continue;
        if (count++ < 8) {
            differences << " byte " << i << ": 0x" << std::hex << int(actual[i]) << " instead of 0x"
                        << int(expected.data()[i]) << std::dec << ";";
        }
    }
    if (count == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << count << " bytes differ:" << differences.str();
}

// Host-format lists every gauge carries.
struct Failure {
    uint32_t key;
    uint32_t action;
};

inline RecordBytes failure_list(std::initializer_list<Failure> failures) {
    RecordBytes all(0);
    for (Failure f : failures) all.then(RecordBytes(12).word(0, f.key).word(4, f.action));
    return all.then(RecordBytes(12));  // key 0 ends the list
}

struct Point {
    int32_t x;
    int32_t y;
    double value;
};

// Angles are zero as stored: the host computes them at install.
inline RecordBytes calibration_points(std::initializer_list<Point> points) {
    RecordBytes all(0);
    for (Point p : points) all.then(RecordBytes(24).signed_word(0, p.x).signed_word(4, p.y).number(8, p.value));
    return all;
}

// A whole-gauge tooltip area and the two end records; no cursor anywhere.
inline RecordBytes tooltip_only_mouse_areas(uint32_t help_id) {
    return RecordBytes(44)
        .word(0, 1)
        .signed_word(20, -1)
        .word(24, help_id)
        .then(RecordBytes(44).word(0, 3).signed_word(20, -1))
        .then(RecordBytes(44).word(0, 0).signed_word(20, -1));
}

// A gauge header as the host reads it. The name's characters, and the seven
// routines, are checked elsewhere; here they only have to be in place.
inline RecordBytes gauge_header(const GAUGEHDR* gauge, GaugeCallback callback) {
    RecordBytes bytes(120);
    bytes.word(0, 700).pointer(4, gauge->gauge_name).pointer(8, gauge->elements_list);
    const void* const* routines = reinterpret_cast<const void* const*>(&gauge->routines);
    for (int i = 0; i < 7; ++i) bytes.pointer(12 + 4 * i, routines[i]);
    return bytes.word(44, 100).pointer(80, gauge->mouse_rect).pointer(84, reinterpret_cast<const void*>(callback));
}

// Puts a record back as stored when the test that fed it values is done.
class KeptAsStored {
public:
    KeptAsStored(void* record, size_t size)
        : record_(record), saved_(static_cast<uint8_t*>(record), static_cast<uint8_t*>(record) + size) {}
    template <typename Record>
    explicit KeptAsStored(Record* record) : KeptAsStored(record, sizeof(Record)) {}
    ~KeptAsStored() { std::memcpy(record_, saved_.data(), saved_.size()); }
    KeptAsStored(const KeptAsStored&) = delete;
    KeptAsStored& operator=(const KeptAsStored&) = delete;

private:
    void* record_;
    std::vector<uint8_t> saved_;
};
