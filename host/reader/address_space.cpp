#include "host/reader/address_space.h"

#include "host/base/report.h"

namespace panelhost {

Placement AddressSpace::place(uint32_t address, uint64_t size, Access access) const {
    if (address == 0) return {Placement::null};
    uint64_t last = uint64_t(address) + (size ? size : 1);
    for (size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (address < s.start || address >= s.end) continue;
        int index = int(i);
        if (last > s.end) return {Placement::past_section_end, index};
        if (!s.readable && (access == Access::read || access == Access::write)) return {Placement::not_readable, index};
        if (access == Access::write && !s.writable) return {Placement::not_writable, index};
        if (access == Access::code && !s.code) return {Placement::not_code, index};
        return {Placement::fine, index};
    }
    if (address < base_ || address >= end_) return {Placement::outside_image};
    if (address < headers_end_) return {Placement::in_headers};
    int before = -1;
    for (size_t i = 0; i < sections_.size(); ++i)
        if (sections_[i].end <= address && (before < 0 || sections_[i].end > sections_[size_t(before)].end)) before = int(i);
    return {Placement::between_sections, before};
}

std::string AddressSpace::describe(uint32_t address) const {
    Placement p = place(address, 1, Access::none);
    if (p) return format("0x%08x (in %s)", unsigned(address), sections_[size_t(p.section)].name.c_str());
    return format("0x%08x", unsigned(address));
}

std::string AddressSpace::explain(uint32_t address, uint64_t size, const Placement& p) const {
    const Section* s = p.section >= 0 ? &sections_[size_t(p.section)] : nullptr;
    switch (p.fault) {
        case Placement::fine: return "is fine";
        case Placement::null: return "is null";
        case Placement::outside_image:
            return format("0x%08x lies outside the module image 0x%08x..0x%08llx", unsigned(address), unsigned(base_),
                          (unsigned long long)end_);
        case Placement::in_headers:
            return format("0x%08x lies in the module's file headers (0x%08x..0x%08llx), not in a section",
                          unsigned(address), unsigned(base_), (unsigned long long)headers_end_);
        case Placement::between_sections:
            if (s)
                return format("0x%08x lies between the module's sections (past the end of %s at 0x%08llx), where "
                              "nothing is stored", unsigned(address), s->name.c_str(), (unsigned long long)s->end);
            return format("0x%08x lies between the module's sections, where nothing is stored", unsigned(address));
        case Placement::past_section_end:
            return format("0x%08x (%llu bytes) runs past the end of section %s at 0x%08llx", unsigned(address),
                          (unsigned long long)size, s->name.c_str(), (unsigned long long)s->end);
        case Placement::not_readable:
            return format("0x%08x lies in section %s (%s), which cannot be read", unsigned(address), s->name.c_str(),
                          s->access_source.c_str());
        case Placement::not_writable:
            return format("0x%08x lies in section %s (%s), which is read-only", unsigned(address), s->name.c_str(),
                          s->access_source.c_str());
        case Placement::not_code:
            return format("0x%08x lies in section %s (%s), which is not code", unsigned(address), s->name.c_str(),
                          s->access_source.c_str());
    }
    return "";
}

std::string AddressSpace::rva_fault(uint32_t rva, uint64_t size, Access access, Placement* placement) const {
    uint64_t address = uint64_t(base_) + rva;
    Placement p = address > UINT32_MAX ? Placement{Placement::outside_image} : place(uint32_t(address), size, access);
    if (placement) *placement = p;
    if (address > UINT32_MAX)
        return format("RVA 0x%x lies outside the module image (0x%llx bytes)", unsigned(rva),
                      (unsigned long long)(end_ - base_));
    return p ? "" : format("RVA 0x%x: %s", unsigned(rva), explain(uint32_t(address), size, p).c_str());
}

AddressSpace::Text AddressSpace::read_text(uint32_t address, size_t limit) const {
    Text text;
    text.placement = place(address, 1, Access::read);
    if (!text.placement) return text;
    const Section& s = sections_[size_t(text.placement.section)];
    for (uint64_t at = address;; ++at) {
        if (at >= s.end) {
            text.unended = true;
            return text;
        }
        if (text.bytes.size() == limit) {
            text.too_long = true;
            return text;
        }
        char c;
        copy(uint32_t(at), &c, 1);
        if (!c) return text;
        text.bytes += c;
    }
}

}  // namespace panelhost
