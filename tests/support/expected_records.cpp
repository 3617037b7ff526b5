#include "tests/support/expected_records.h"

#include <cstring>
#include <sstream>

namespace layout = host_layout;

ExpectedRecord& ExpectedRecord::word(size_t offset, uint32_t value) {
    std::memcpy(bytes_.data() + offset, &value, sizeof value);
    return *this;
}

ExpectedRecord& ExpectedRecord::number(size_t offset, double value) {
    std::memcpy(bytes_.data() + offset, &value, sizeof value);
    return *this;
}

ExpectedRecord& ExpectedRecord::pointer(Pointer p) {
    pointers_.push_back(std::move(p));
    return *this;
}

ExpectedRecord& ExpectedRecord::points_at(size_t offset, Record address) {
    return pointer({Pointer::to_address, offset, address, nullptr, {}});
}

ExpectedRecord& ExpectedRecord::points_to(size_t offset, ExpectedRecord target) {
    return pointer({Pointer::to_record, offset, {}, std::make_shared<const ExpectedRecord>(std::move(target)), {}});
}

ExpectedRecord& ExpectedRecord::routine(size_t offset) {
    return pointer({Pointer::to_routine, offset, {}, nullptr, {}});
}

ExpectedRecord& ExpectedRecord::text(size_t offset, std::string expected) {
    return pointer({Pointer::to_text, offset, {}, nullptr, std::move(expected)});
}

ExpectedRecord& ExpectedRecord::then(const ExpectedRecord& next) {
    const size_t start = bytes_.size();
    bytes_.insert(bytes_.end(), next.bytes_.begin(), next.bytes_.end());
    for (Pointer p : next.pointers_) {
        p.offset += start;
        pointers_.push_back(std::move(p));
    }
    return *this;
}

namespace {

std::string hex(uint32_t value) {
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

}  // namespace

void compare(Record actual, const ExpectedRecord& expected, const std::string& path,
             std::vector<std::string>& differences) {
    const std::string where = path + expected.name_ + ", ";
    std::vector<bool> is_pointer(expected.size(), false);
    for (const ExpectedRecord::Pointer& p : expected.pointers_) {
        for (size_t i = 0; i < layout::pointer_size; ++i) is_pointer[p.offset + i] = true;
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (is_pointer[i] || actual.address()[i] == expected.bytes_[i]) continue;
        differences.push_back(where + "byte " + std::to_string(i) + ": " + hex(actual.address()[i]) + " instead of " +
                              hex(expected.bytes_[i]));
    }
    for (const ExpectedRecord::Pointer& p : expected.pointers_) {
        const std::string field = where + "pointer at " + std::to_string(p.offset);
        const Record target = actual.at(p.offset);
        switch (p.kind) {
        case ExpectedRecord::Pointer::to_address:
            if (target != p.address_found) {
                differences.push_back(field + ": " + hex(actual.word(p.offset)) + " instead of " +
                                      hex(uint32_t(uintptr_t(p.address_found.address()))));
            }
            break;
        case ExpectedRecord::Pointer::to_routine:
            if (!corvalenx().holds_code(target.address())) {
                differences.push_back(field + ": " + hex(actual.word(p.offset)) + " is no routine of the module");
            }
            break;
        case ExpectedRecord::Pointer::to_text:
            if (!corvalenx().holds(target.address())) {
                differences.push_back(field + ": " + hex(actual.word(p.offset)) + " lies outside the module");
            } else if (actual.text(p.offset) != p.text) {
                differences.push_back(field + ": \"" + actual.text(p.offset) + "\" instead of \"" + p.text + "\"");
            }
            break;
        case ExpectedRecord::Pointer::to_record:
            if (!corvalenx().holds(target.address())) {
                differences.push_back(field + ": " + hex(actual.word(p.offset)) + " lies outside the module");
            } else {
                compare(target, *p.target, path + expected.name_ + " +" + std::to_string(p.offset) + " -> ",
                        differences);
            }
            break;
        }
    }
}

::testing::AssertionResult stored_as(Record actual, const ExpectedRecord& expected) {
    std::vector<std::string> differences;
    compare(actual, expected, "", differences);
    if (differences.empty()) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    failure << differences.size() << " differences:";
    for (size_t i = 0; i < differences.size() && i < 12; ++i) failure << "\n  " << differences[i];
    return failure;
}

ExpectedRecord element(size_t size, uint32_t kind, uint32_t bitmap, Pixel position, Pixel pivot,
                       uint32_t image_flags, Record gauge) {
    namespace e = layout::element;
    return ExpectedRecord(size)
        .named("element " + std::to_string(bitmap))
        .word(e::kind, kind)
        .word(e::bitmap, bitmap)
        .signed_word(e::x, position.x)
        .signed_word(e::y, position.y)
        .signed_word(e::pivot_x, pivot.x)
        .signed_word(e::pivot_y, pivot.y)
        .points_at(e::gauge, gauge)
        .word(e::image_flags, image_flags);
}

ExpectedRecord child_list(std::initializer_list<ExpectedRecord> children) {
    ExpectedRecord list(layout::pointer_size * (children.size() + 1));
    list.named("list");
    size_t offset = 0;
    for (const ExpectedRecord& child : children) {
        list.points_to(offset, child);
        offset += layout::pointer_size;
    }
    return list;
}

ExpectedRecord failure_list(std::initializer_list<Failure> failures) {
    namespace f = layout::failure;
    ExpectedRecord all;
    for (Failure failure : failures) {
        all.then(ExpectedRecord(f::size).word(f::key, failure.key).word(f::action, failure.action));
    }
    return all.then(ExpectedRecord(f::size)).named("failure list");  // key 0 ends the list
}

ExpectedRecord calibration_points(std::initializer_list<Point> points) {
    namespace c = layout::calibration_point;
    ExpectedRecord all;
    for (Point p : points) {
        all.then(ExpectedRecord(c::size).signed_word(c::x, p.x).signed_word(c::y, p.y).number(c::value, p.value));
    }
    return all.named("calibration table");
}

ExpectedRecord tooltip_only_mouse_areas(uint32_t help_id) {
    namespace m = layout::mouse_area;
    return ExpectedRecord(m::size)
        .word(m::kind, m::parent)
        .signed_word(m::cursor, -1)
        .word(m::help, help_id)
        .then(ExpectedRecord(m::size).word(m::kind, m::end_of_parent).signed_word(m::cursor, -1))
        .then(ExpectedRecord(m::size).word(m::kind, m::end_of_list).signed_word(m::cursor, -1))
        .named("mouse areas");
}

ExpectedRecord gauge_header(const std::string& name, ExpectedRecord root, ExpectedRecord mouse_areas) {
    namespace h = layout::gauge_header;
    ExpectedRecord header(h::size);
    header.named("header of \"" + name + "\"")
        .word(h::version, 700)
        .text(h::name, name)
        .points_to(h::element_list, child_list({std::move(root)}))
        .word(h::default_size, 100)
        .points_to(h::mouse_areas, std::move(mouse_areas))
        .routine(h::callback);
    for (size_t i = 0; i < h::routine_count; ++i) header.routine(h::first_routine + layout::pointer_size * i);
    return header;
}
