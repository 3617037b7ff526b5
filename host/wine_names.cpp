#include "host/wine_names.h"

#include <windows.h>

namespace panelhost {

namespace {

// One of Wine's own calls; null when not under Wine.
template <typename Function>
Function wine_call(const char* library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(library), name)));
}

}  // namespace

bool running_under_wine() {
    static const bool wine = wine_call<void (*)()>("ntdll.dll", "wine_get_version") != nullptr;
    return wine;
}

std::wstring widened(const std::string& text, unsigned code_page) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(size_t(MultiByteToWideChar(code_page, 0, text.data(), int(text.size()), wide.data(), int(wide.size()))));
    return wide;
}

std::string machine_name_of_folder(const std::string& folder) {
    using UnixFileName = char*(__cdecl*)(const wchar_t*);
    // Looked up once: writing a run of frames asks for every one.
    static const auto unix_file_name = wine_call<UnixFileName>("kernel32.dll", "wine_get_unix_file_name");
    if (!unix_file_name) return "";
    char* name = unix_file_name(widened(folder, CP_ACP).c_str());
    if (!name) return "";
    std::string machine = name;
    HeapFree(GetProcessHeap(), 0, name);
    if (machine.empty() || machine.back() != '/') machine += '/';
    return machine;
}

std::wstring windows_name_of_machine_path(const char* path) {
    using DosFileName = wchar_t*(__cdecl*)(const char*);
    static const auto dos_file_name = wine_call<DosFileName>("kernel32.dll", "wine_get_dos_file_name");
    wchar_t* name = dos_file_name ? dos_file_name(path) : nullptr;
    if (!name) return L"";
    std::wstring copy = name;
    HeapFree(GetProcessHeap(), 0, name);
    return copy;
}

}  // namespace panelhost
