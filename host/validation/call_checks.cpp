#include "host/validation/call_checks.h"

#include <algorithm>
#include <cstring>

#include "host/base/report.h"

namespace panelhost {

namespace {

// Sections up to this size are compared around every call; larger ones
// (bitmap resources, mostly) only at the end of a test, apart from the
// pages of them that hold records.
constexpr uint64_t compared_every_call = 64 * 1024;
constexpr uint32_t page = 4096;

const uint8_t* memory(uint32_t address) { return reinterpret_cast<const uint8_t*>(uintptr_t(address)); }

const char* precision_name(unsigned pc) {
    switch (pc) {
        case 0: return "24-bit";
        case 2: return "53-bit";
        case 3: return "64-bit";
        default: return "reserved";
    }
}

const char* rounding_name(unsigned rc) {
    switch (rc) {
        case 0: return "to nearest";
        case 1: return "down";
        case 2: return "up";
        default: return "toward zero";
    }
}

// "precision 53-bit to 24-bit; rounding to nearest to down"
std::string control_word_change(uint16_t before, uint16_t after) {
    std::string parts;
    auto part = [&parts](const std::string& text) { parts += (parts.empty() ? "" : "; ") + text; };
    if ((before ^ after) & 0x0300)
        part(format("precision %s to %s", precision_name(before >> 8 & 3), precision_name(after >> 8 & 3)));
    if ((before ^ after) & 0x0C00)
        part(format("rounding %s to %s", rounding_name(before >> 10 & 3), rounding_name(after >> 10 & 3)));
    if ((before ^ after) & 0x003F) part(format("exception masks 0x%02X to 0x%02X", before & 0x3F, after & 0x3F));
    if ((before ^ after) & 0x1000) part("infinity control");
    return parts;
}

std::string mxcsr_change(uint32_t before, uint32_t after) {
    std::string parts;
    auto part = [&parts](const std::string& text) { parts += (parts.empty() ? "" : "; ") + text; };
    if ((before ^ after) & 0x6000)
        part(format("rounding %s to %s", rounding_name(before >> 13 & 3), rounding_name(after >> 13 & 3)));
    if ((before ^ after) & 0x8000) part(after & 0x8000 ? "flush to zero on" : "flush to zero off");
    if ((before ^ after) & 0x0040) part(after & 0x0040 ? "denormals are zeros on" : "denormals are zeros off");
    if ((before ^ after) & 0x1F80)
        part(format("exception masks 0x%02X to 0x%02X", unsigned(before >> 7 & 0x3F), unsigned(after >> 7 & 0x3F)));
    return parts;
}

}  // namespace

CallChecks::CallChecks(Host& host, int gauge, FindingList& findings, std::function<std::string()> input)
    : host_(host), gauge_(gauge), findings_(findings), input_(std::move(input)), records_(host.module().records()) {
    std::vector<std::pair<uint32_t, uint64_t>> hot;
    for (const Section& s : host.module().image().sections()) {
        if (!s.readable || s.end <= s.start) continue;
        uint64_t size = s.end - s.start;
        cold_.push_back({s.start, std::vector<uint8_t>(memory(s.start), memory(s.start) + size), s.name});
        if (!s.writable) continue;
        if (size <= compared_every_call) {
            hot.push_back({s.start, s.end});
            continue;
        }
        for (const RecordSpan& r : records_.records()) {
            if (r.start < s.start || r.start >= s.end) continue;
            uint64_t from = std::max<uint64_t>(s.start, r.start / page * page);
            uint64_t to = std::min<uint64_t>(s.end, (uint64_t(r.start) + r.size + page - 1) / page * page);
            hot.push_back({uint32_t(from), to});
        }
    }
    // Overlapping and touching ranges made one.
    std::sort(hot.begin(), hot.end());
    for (size_t i = 0; i < hot.size(); ++i) {
        uint32_t from = hot[i].first;
        uint64_t to = hot[i].second;
        while (i + 1 < hot.size() && hot[i + 1].first <= to) to = std::max(to, hot[++i].second);
        std::string section;
        for (const Region& c : cold_)
            if (from >= c.start && from < c.start + c.copy.size()) section = c.section;
        hot_.push_back({from, std::vector<uint8_t>(memory(from), memory(from) + (to - from)), section});
    }
    host_.host_writes = &host_writes_;
    observe_module_calls(this);
}

CallChecks::~CallChecks() { observe_module_calls(nullptr); }

void CallChecks::entering(const char* what) {
    compare(hot_, nullptr);
    running_.push_back(what);
}

void CallChecks::left(const char* what, bool returns_double, const KeptState& before, const KeptState& after) {
    ++calls_;
    compare(hot_, nullptr);
    if (!running_.empty()) running_.pop_back();
    convention(what, returns_double, before, after);
}

void CallChecks::check_whole_image() {
    compare(hot_, nullptr);
    compare(cold_, &hot_);
}

void CallChecks::compare(std::vector<Region>& regions, const std::vector<Region>* skip) {
    learn_host_writes();
    for (Region& r : regions) {
        if (skip)  // already compared call by call: what they hold now stands
            for (const Region& h : *skip) {
                uint64_t from = std::max<uint64_t>(r.start, h.start);
                uint64_t to = std::min<uint64_t>(r.start + r.copy.size(), h.start + h.copy.size());
                if (from < to) std::memcpy(&r.copy[from - r.start], memory(uint32_t(from)), to - from);
            }
        const uint8_t* now = memory(r.start);
        uint8_t* copy = r.copy.data();
        const size_t size = r.copy.size();
        if (std::memcmp(copy, now, size) == 0) continue;
        // The host refreshes variable records before most calls, so a few
        // bytes differ almost every time: unchanged stretches are passed a
        // block at a time, not byte by byte.
        constexpr size_t block = 64;
        for (size_t i = 0; i < size;) {
            size_t n = std::min(block, size - i);
            if (std::memcmp(copy + i, now + i, n) == 0) {
                i += n;
                continue;
            }
            while (copy[i] == now[i]) ++i;  // a difference lies within the block
            size_t end = i;
            while (end < size && copy[end] != now[end]) ++end;
            changed(r.start + uint32_t(i), r.start + uint32_t(end), r.section);
            std::memcpy(copy + i, now + i, end - i);
            i = end;
        }
    }
    host_writes_.clear();
}

void CallChecks::learn_host_writes() {
    // A variable record the host refreshed that is no record of the model
    // is an auxiliary one, the gauge's own.
    for (const auto& [address, size] : host_writes_)
        if (size == sizeof(stored::ModuleVar) && !records_.find(address)) {
            std::string name = gauge_ >= 0 ? host_.gauges()[size_t(gauge_)].name : "the module";
            records_.add_variable(address, gauge_, name);
        }
}

bool CallChecks::host_wrote(uint32_t address) const {
    for (const auto& [start, size] : host_writes_)
        if (address - start < size) return true;
    return false;
}

void CallChecks::changed(uint32_t from, uint32_t to, const std::string& section) {
    // With no module call under way, the host made the change.
    if (running_.empty()) return;
    const std::string what = running_.back();
    for (uint32_t a = from; a < to;) {
        if (host_wrote(a)) {
            ++a;
            continue;
        }
        const RecordSpan* record = records_.find(a);
        if (!record) {
            uint32_t b = a + 1;
            while (b < to && !host_wrote(b) && !records_.find(b)) ++b;
            add(Fault::memory_write, what + "|" + section,
                format("the %s wrote %u byte(s) at 0x%08x (in %s), outside every record: data of its own, which "
                       "the host cannot tell from its records",
                       what.c_str(), unsigned(b - a), unsigned(a), section.c_str()));
            a = b;
            continue;
        }
        RecordField field = RecordMap::field(*record, a - record->start);
        uint32_t b = a + 1;
        while (b < to && !host_wrote(b) && records_.find(b) == record &&
               RecordMap::field(*record, b - record->start).name == field.name)
            ++b;
        bool own = gauge_ < 0 || record->gauge < 0 || record->gauge == gauge_;
        if (!own)
            add(Fault::memory_write, what + "|" + record->name + "|" + field.name,
                format("the %s wrote into the %s of %s, a record of another gauge", what.c_str(), field.name.c_str(),
                       record->name.c_str()));
        else if (!field.host_owned)
            add(Fault::memory_write, what + "|" + record->name + "|" + field.name,
                format("the %s wrote into the %s of %s, a field the module sets and the host only reads",
                       what.c_str(), field.name.c_str(), record->name.c_str()));
        a = b;
    }
}

void CallChecks::convention(const char* what, bool returns_double, const KeptState& before,
                            const KeptState& after) {
    const struct {
        const char* name;
        uint32_t before, after;
    } registers[] = {{"ebx", before.ebx, after.ebx},
                     {"esi", before.esi, after.esi},
                     {"edi", before.edi, after.edi},
                     {"ebp", before.ebp, after.ebp}};
    for (const auto& r : registers)
        if (r.before != r.after)
            add(Fault::callee_saved_register, std::string(what) + "|" + r.name,
                format("the %s changed %s, a register the host calling convention keeps (0x%08x before the call, "
                       "0x%08x after)",
                       what, r.name, unsigned(r.before), unsigned(r.after)));
    if ((before.x87_control ^ after.x87_control) & 0x1F3F)
        add(Fault::x87_control_word, what,
            format("the %s left the x87 control word changed, from 0x%04X to 0x%04X (%s)", what,
                   unsigned(before.x87_control), unsigned(after.x87_control),
                   control_word_change(before.x87_control, after.x87_control).c_str()));
    if ((before.mxcsr ^ after.mxcsr) & 0xFFC0)
        add(Fault::mxcsr, what,
            format("the %s left MXCSR's control bits changed, from 0x%04X to 0x%04X (%s)", what,
                   unsigned(before.mxcsr & 0xFFC0), unsigned(after.mxcsr & 0xFFC0),
                   mxcsr_change(before.mxcsr, after.mxcsr).c_str()));
    if (after.eflags & 0x400)
        add(Fault::direction_flag, what, format("the %s returned with the direction flag set", what));
    // Each value pushed takes the stack's top one register down.
    unsigned pushed = ((before.x87_status >> 11) - (after.x87_status >> 11)) & 7;
    unsigned expected = returns_double ? 1 : 0;
    if (pushed != expected)
        add(Fault::x87_stack, what,
            format("the %s left %u value(s) on the x87 register stack (as counted modulo 8); a routine %s leaves %u",
                   what, pushed, returns_double ? "returning a double" : "returning nothing", expected));
}

void CallChecks::add(Fault fault, const std::string& place, const std::string& text) {
    if (findings_.count_again(fault, place)) return;
    findings_.add(TestFinding::error, fault, place, text, input_ ? input_() : std::string());
}

}  // namespace panelhost
