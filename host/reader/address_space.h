// A module's image as the host reads it: its sections with what each may be
// used for, one set of rules for where a record may lie, and typed, bounded
// reads. The file on disk (at the module's preferred base) and the library
// the Windows loader mapped (at its real base) are both address spaces, so
// every record is checked by the same rules in both.
#pragma once

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace panelhost {

struct Section {
    std::string name;  // printable: escaped as it is stored
    uint32_t start = 0;
    uint64_t end = 0;  // one past its last byte
    bool readable = false;
    bool writable = false;
    bool code = false;
    std::string access_source;  // "flags 0xc0000040" or "pages PAGE_READONLY", for messages
};

// What the host (or the loader) will do with a record's bytes: `none`
// asks only that they lie inside one section.
enum class Access { none, read, write, code };

// Why a range of addresses cannot be used, if it cannot.
struct Placement {
    enum Fault { fine, null, outside_image, in_headers, between_sections, past_section_end, not_readable,
                 not_writable, not_code };
    Fault fault = fine;
    // The section the first address lies in; for an address between
    // sections, the one before it.
    int section = -1;
    explicit operator bool() const { return fault == fine; }
    // A section that lacks the access asked for, or ends too soon: one
    // fault for every record placed there, which callers report once.
    bool section_wide() const {
        return fault == between_sections || fault == past_section_end || fault >= not_readable;
    }
};

class AddressSpace {
public:
    virtual ~AddressSpace() = default;

    uint32_t base() const { return base_; }
    uint64_t end() const { return end_; }
    const std::vector<Section>& sections() const { return sections_; }

    Placement place(uint32_t address, uint64_t size, Access access) const;
    // "0x6b747000 (in .edata)", "0x00000010 (outside the module image ...)".
    std::string describe(uint32_t address) const;
    // What is wrong with `size` bytes at `address`, as the rest of a
    // sentence naming them: "lies in section .rdata (flags 0x40000040),
    // which is read-only".
    std::string explain(uint32_t address, uint64_t size, const Placement& placement) const;

    // The same for a range given relative to the base (an RVA), as the
    // file's own directories give them: empty when it is fine.
    std::string rva_fault(uint32_t rva, uint64_t size, Access access, Placement* placement = nullptr) const;

    // A fault that holds for a whole section (a missing access, or a
    // section that ends too soon) is one fault however many records it
    // hits: true only the first time it is asked about.
    bool first_telling(const Placement& p) const {
        return !p.section_wide() || told_.insert({p.section, p.fault >= Placement::not_readable ? int(p.fault) : -1}).second;
    }

    // Copies a record after placing it; false (and nothing copied) when
    // the placement has a fault.
    template <typename Record>
    Placement read(uint32_t address, Record& out, Access access = Access::read) const {
        Placement p = place(address, sizeof(Record), access);
        if (p) copy(address, &out, sizeof(Record));
        return p;
    }

    Placement read_bytes(uint32_t address, void* out, uint64_t size, Access access = Access::read) const {
        Placement p = place(address, size, access);
        if (p) copy(address, out, size_t(size));
        return p;
    }

    // Bytes from `address` up to a zero byte, at most `limit` of them.
    struct Text {
        std::string bytes;
        Placement placement;     // of the first byte
        bool unended = false;    // the section ends first
        bool too_long = false;   // no zero within `limit` bytes
    };
    Text read_text(uint32_t address, size_t limit) const;

protected:
    // Copies bytes that `place` accepted for reading.
    virtual void copy(uint32_t address, void* out, size_t size) const = 0;

    uint32_t base_ = 0;
    uint64_t end_ = 0;
    uint64_t headers_end_ = 0;
    std::vector<Section> sections_;

private:
    mutable std::set<std::pair<int, int>> told_;
};

// Walks a list of `Entry` records laid end to end from `address` until one
// for which `is_end` holds, visiting the others in order. Never reads past
// the section the list starts in, nor more than `limit` entries.
struct ListWalk {
    enum Outcome { ended, misplaced, runs_off, too_long, stopped };
    Outcome outcome = ended;
    uint32_t entries = 0;  // entries visited before the end (or the fault)
    Placement placement;   // of the first entry, when misplaced
};

template <typename Entry, typename IsEnd, typename Visit>
ListWalk walk_list(const AddressSpace& space, uint32_t address, Access access, uint32_t limit, IsEnd is_end,
                   Visit visit) {
    ListWalk walk;
    for (uint64_t at = address;; at += sizeof(Entry)) {
        Entry entry;
        Placement p = at > UINT32_MAX ? Placement{Placement::outside_image} : space.read(uint32_t(at), entry, access);
        if (!p) {
            walk.outcome = walk.entries == 0 ? ListWalk::misplaced : ListWalk::runs_off;
            walk.placement = p;
            return walk;
        }
        if (is_end(entry)) return walk;
        if (walk.entries == limit) {
            walk.outcome = ListWalk::too_long;
            return walk;
        }
        if (!visit(uint32_t(at), entry)) {
            walk.outcome = ListWalk::stopped;
            return walk;
        }
        ++walk.entries;
    }
}

}  // namespace panelhost
