#include "host/loaded_image.h"

#include <windows.h>

#include <cstring>

#include "host/base/report.h"

namespace panelhost {

namespace {

constexpr DWORD readable_pages =
    PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD writable_pages = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD executable_pages = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

const char* protection_name(DWORD protection) {
    switch (protection & 0xFF) {
        case PAGE_NOACCESS: return "PAGE_NOACCESS";
        case PAGE_READONLY: return "PAGE_READONLY";
        case PAGE_READWRITE: return "PAGE_READWRITE";
        case PAGE_WRITECOPY: return "PAGE_WRITECOPY";
        case PAGE_EXECUTE: return "PAGE_EXECUTE";
        case PAGE_EXECUTE_READ: return "PAGE_EXECUTE_READ";
        case PAGE_EXECUTE_READWRITE: return "PAGE_EXECUTE_READWRITE";
        case PAGE_EXECUTE_WRITECOPY: return "PAGE_EXECUTE_WRITECOPY";
        default: return "no access";
    }
}

}  // namespace

LoadedImage::LoadedImage(uintptr_t base, const ModuleFile& file) : preferred_base_(file.base()) {
    base_ = uint32_t(base);
    end_ = uint64_t(base_) + file.image_size();
    for (const Section& stored : file.sections()) {
        Section s = stored;
        s.start = relocated(stored.start);
        s.end = s.start + (stored.end - stored.start);
        s.readable = s.writable = s.code = true;
        std::string seen;
        // Every page of the section must allow an access for it to count.
        for (uint64_t at = s.start; at < s.end;) {
            MEMORY_BASIC_INFORMATION region{};
            DWORD protection = 0;
            uint64_t next = s.end;
            if (VirtualQuery(reinterpret_cast<void*>(uintptr_t(at)), &region, sizeof region)) {
                if (region.State == MEM_COMMIT && !(region.Protect & PAGE_GUARD)) protection = region.Protect;
                next = uint64_t(uintptr_t(region.BaseAddress)) + region.RegionSize;
            }
            s.readable &= (protection & readable_pages) != 0;
            s.writable &= (protection & writable_pages) != 0;
            s.code &= (protection & executable_pages) != 0;
            std::string name = protection_name(protection);
            if (seen.find(name) == std::string::npos) seen += (seen.empty() ? "" : ", ") + name;
            at = next > at ? next : s.end;
        }
        s.access_source = "loaded pages " + seen;
        sections_.push_back(s);
    }
    // The headers end where the first section begins, at the latest.
    headers_end_ = sections_.empty() ? end_ : sections_.front().start;
}

void LoadedImage::copy(uint32_t address, void* out, size_t size) const {
    std::memcpy(out, reinterpret_cast<const void*>(uintptr_t(address)), size);
}

}  // namespace panelhost
