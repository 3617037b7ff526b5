#include "host/gauge_module.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "host/module_call.h"

namespace panelhost {

std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    return buffer;
}

std::string Report::text() const {
    std::string all;
    for (const Finding& f : findings) {
        all += f.level == Finding::Error ? "error: " : f.level == Finding::Warning ? "warning: " : "";
        all += f.text;
        all += '\n';
    }
    return all;
}

namespace {

template <typename T>
bool read_at(const std::vector<char>& file, size_t offset, T& out) {
    if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
    std::memcpy(&out, file.data() + offset, sizeof(T));
    return true;
}

// What the loader would trip over, said in words: the file's own headers
// must be whole and every section's stored bytes must be in the file.
bool check_file_layout(const std::string& path, Report& report) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        report.error(format("%s: cannot open the file", path.c_str()));
        return false;
    }
    std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    IMAGE_DOS_HEADER dos;
    if (!read_at(file, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) {
        report.error(format("%s: not a Windows library (no MZ header; the file has %zu bytes)",
                            path.c_str(), file.size()));
        return false;
    }
    IMAGE_NT_HEADERS32 nt;
    if (dos.e_lfanew < 0 || !read_at(file, size_t(dos.e_lfanew), nt)) {
        report.error(format("%s: truncated: the file ends (at %zu bytes) before its PE header",
                            path.c_str(), file.size()));
        return false;
    }
    if (nt.Signature != IMAGE_NT_SIGNATURE || nt.FileHeader.Machine != IMAGE_FILE_MACHINE_I386 ||
        nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        report.error(format("%s: not a 32-bit x86 Windows library", path.c_str()));
        return false;
    }
    if (!(nt.FileHeader.Characteristics & IMAGE_FILE_DLL)) {
        report.error(format("%s: a program, not a library (DLL flag not set)", path.c_str()));
        return false;
    }
    size_t table = size_t(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                   nt.FileHeader.SizeOfOptionalHeader;
    for (unsigned i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section;
        if (!read_at(file, table + i * sizeof section, section)) {
            report.error(format("%s: truncated: the file ends (at %zu bytes) inside its section table",
                                path.c_str(), file.size()));
            return false;
        }
        uint64_t stored_end = uint64_t(section.PointerToRawData) + section.SizeOfRawData;
        if (section.SizeOfRawData && stored_end > file.size()) {
            char name[9] = {};
            std::memcpy(name, section.Name, 8);
            report.error(format("%s: truncated: section %s is stored at bytes %lu..%llu, but the "
                                "file has only %zu bytes",
                                path.c_str(), name, (unsigned long)section.PointerToRawData,
                                (unsigned long long)stored_end, file.size()));
            return false;
        }
    }
    return true;
}

}  // namespace

std::string windows_error(unsigned long code) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s.empty() ? format("Windows error %lu", code) : s;
}

std::unique_ptr<GaugeModule> GaugeModule::load(const std::string& path, Report& report) {
    if (!check_file_layout(path, report)) return nullptr;
    std::unique_ptr<GaugeModule> module(new GaugeModule);
    module->path_ = path;
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    // A full path, so the loader never goes searching for a same-named file.
    std::string load_path = n && n < MAX_PATH ? std::string(full, n) : path;
    UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    DWORD error;
    {
        // The loader runs the module's entry routine.
        ModuleCallScope scope("entry routine (run by the loader)");
        module->handle_ = LoadLibraryA(load_path.c_str());
        error = GetLastError();
    }
    SetErrorMode(old_mode);
    if (!module->handle_) {
        report.error(format("%s: the Windows loader refused it: %s", path.c_str(),
                            windows_error(error).c_str()));
        return nullptr;
    }
    module->base_ = reinterpret_cast<uintptr_t>(module->handle_);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(module->base_);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(module->base_ + dos->e_lfanew);
    module->image_size_ = nt->OptionalHeader.SizeOfImage;
    IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        char name[9] = {};
        std::memcpy(name, section->Name, 8);
        DWORD size = section->Misc.VirtualSize ? section->Misc.VirtualSize : section->SizeOfRawData;
        module->sections_.push_back({name, module->base_ + section->VirtualAddress,
                                     module->base_ + section->VirtualAddress + size,
                                     bool(section->Characteristics & IMAGE_SCN_MEM_WRITE),
                                     bool(section->Characteristics & IMAGE_SCN_MEM_EXECUTE)});
    }
    module->import_table_ =
        reinterpret_cast<GAUGESIMPORT*>(GetProcAddress(module->handle_, "ImportTable"));
    module->linkage_ = reinterpret_cast<uint32_t*>(GetProcAddress(module->handle_, "Linkage"));
    if (!module->import_table_) report.error(format("%s: exports no ImportTable", path.c_str()));
    if (!module->linkage_) report.error(format("%s: exports no Linkage", path.c_str()));
    if (!module->import_table_ || !module->linkage_) return nullptr;
    return module;
}

GaugeModule::~GaugeModule() {
    if (handle_) FreeLibrary(handle_);
}

const Section* GaugeModule::section_of(uintptr_t address, size_t bytes) const {
    for (const Section& s : sections_) {
        if (address >= s.start && address < s.end && s.end - address >= bytes) return &s;
    }
    return nullptr;
}

bool GaugeModule::holds_code(const void* address) const {
    const Section* s = section_of(reinterpret_cast<uintptr_t>(address), 1);
    return s && s->executable;
}

bool GaugeModule::holds_writable(const void* address, size_t bytes) const {
    const Section* s = section_of(reinterpret_cast<uintptr_t>(address), bytes);
    return s && s->writable;
}

std::string GaugeModule::describe(const void* address) const {
    uintptr_t a = reinterpret_cast<uintptr_t>(address);
    if (const Section* s = section_of(a, 1)) return format("0x%08x (in %s)", unsigned(a), s->name.c_str());
    return format("0x%08x (outside the module image 0x%08x..0x%08x)", unsigned(a), unsigned(base_),
                  unsigned(image_end()));
}

namespace {

// Decodes a packed device-independent bitmap (header, colour table, rows).
bool decode_bitmap(const uint8_t* data, size_t size, Image& out, std::string& why) {
    BITMAPINFOHEADER h;
    if (size < sizeof h) {
        why = format("only %zu bytes, less than a bitmap header", size);
        return false;
    }
    std::memcpy(&h, data, sizeof h);
    if (h.biSize < sizeof h || h.biSize > size) {
        why = format("header size %lu is not a bitmap header's", (unsigned long)h.biSize);
        return false;
    }
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biWidth > 8192 || h.biHeight > 8192 ||
        h.biHeight < -8192) {
        why = format("size %ld x %ld is not a picture's", (long)h.biWidth, (long)h.biHeight);
        return false;
    }
    if (h.biCompression != BI_RGB) {
        why = format("compression %lu; this host reads uncompressed bitmaps only",
                     (unsigned long)h.biCompression);
        return false;
    }
    unsigned bits = h.biBitCount;
    if (bits != 8 && bits != 4 && bits != 1 && bits != 24 && bits != 32) {
        why = format("%u bits per pixel; this host reads 1, 4, 8, 24 and 32", bits);
        return false;
    }
    // A 24- or 32-bit picture may still carry a colour table (a hint for
    // palette displays); its rows begin after it.
    size_t colours = h.biClrUsed ? h.biClrUsed : bits <= 8 ? size_t(1) << bits : 0;
    if (colours > 256 || (bits <= 8 && colours > (size_t(1) << bits))) {
        why = format("%zu colours for %u bits per pixel", colours, bits);
        return false;
    }
    int width = h.biWidth, height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    size_t row_bytes = ((size_t(width) * bits + 31) / 32) * 4;
    size_t needed = h.biSize + colours * 4 + row_bytes * height;
    if (size < needed) {
        why = format("%zu bytes, but a %d x %d bitmap of %u bits with %zu colours needs %zu", size,
                     width, height, bits, colours, needed);
        return false;
    }
    const uint8_t* palette = data + h.biSize;
    const uint8_t* rows = palette + colours * 4;
    out = Image(width, height);
    for (int y = 0; y < height; ++y) {
        // Stored bottom row first unless the height is negative.
        const uint8_t* row = rows + row_bytes * size_t(h.biHeight > 0 ? height - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            uint8_t r, g, b;
            if (bits <= 8) {
                unsigned index = bits == 8 ? row[x]
                                 : bits == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF
                                             : (row[x / 8] >> (7 - x % 8)) & 1;
                if (index >= colours) {
                    why = format("pixel %d, %d uses colour %u of a %zu-colour table", x, y, index,
                                 colours);
                    return false;
                }
                b = palette[index * 4], g = palette[index * 4 + 1], r = palette[index * 4 + 2];
            } else {
                const uint8_t* p = row + size_t(x) * (bits / 8);
                b = p[0], g = p[1], r = p[2];
            }
            // See-through goes by colour value, whatever the table index.
            out.at(x, y) = (r | g | b) ? opaque(r, g, b) : Rgba{};
        }
    }
    return true;
}

}  // namespace

const Bitmap* GaugeModule::bitmap(uint32_t id, std::string& why) {
    auto [entry, inserted] = bitmaps_.try_emplace(id);
    CachedBitmap& cached = entry->second;
    if (inserted) {
        HRSRC resource = id && id <= 0xFFFF
                             ? FindResourceA(handle_, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2))
                             : nullptr;
        if (!resource) {
            cached.why = format("no bitmap resource %u in the module", unsigned(id));
        } else {
            HGLOBAL loaded = LoadResource(handle_, resource);
            const void* data = loaded ? LockResource(loaded) : nullptr;
            DWORD size = SizeofResource(handle_, resource);
            Image picture;
            std::string decode_why;
            if (!data || !holds(data, size)) {
                cached.why = format("bitmap resource %u cannot be read", unsigned(id));
            } else if (!decode_bitmap(static_cast<const uint8_t*>(data), size, picture, decode_why)) {
                cached.why = format("bitmap resource %u: %s", unsigned(id), decode_why.c_str());
            } else {
                cached.bitmap = Bitmap{id, std::move(picture)};
            }
        }
    }
    why = cached.why;
    return cached.bitmap ? &*cached.bitmap : nullptr;
}

}  // namespace panelhost
