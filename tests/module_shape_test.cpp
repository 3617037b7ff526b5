// The module as a Windows image: what it exports, that it imports nothing,
// that it can be relocated, and that its entry routine accepts every
// notification.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/support/loaded_module.h"

namespace {

const BYTE* image() {
    return reinterpret_cast<const BYTE*>(corvalenx().handle);
}

const IMAGE_NT_HEADERS32& nt_headers() {
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image());
    return *reinterpret_cast<const IMAGE_NT_HEADERS32*>(image() + dos->e_lfanew);
}

const IMAGE_DATA_DIRECTORY& directory(int index) {
    return nt_headers().OptionalHeader.DataDirectory[index];
}

const IMAGE_SECTION_HEADER* section_holding(DWORD rva) {
    const auto& nt = nt_headers();
    auto* section = IMAGE_FIRST_SECTION(&nt);
    for (int i = 0; i < nt.FileHeader.NumberOfSections; ++i, ++section) {
        DWORD size = std::max(section->Misc.VirtualSize, section->SizeOfRawData);
        if (rva >= section->VirtualAddress && rva < section->VirtualAddress + size) return section;
    }
    return nullptr;
}

TEST(ModuleShape, IsA32BitRelocatableDll) {
    const auto& nt = nt_headers();
    EXPECT_EQ(nt.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(nt.FileHeader.Characteristics & IMAGE_FILE_DLL);
    EXPECT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_FALSE(nt.FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
    EXPECT_GT(directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size, 0u)
        << "the records hold absolute pointers: the module needs base relocations";
}

TEST(ModuleShape, ImportsNothing) {
    for (int entry : {IMAGE_DIRECTORY_ENTRY_IMPORT, IMAGE_DIRECTORY_ENTRY_IAT,
                      IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, IMAGE_DIRECTORY_ENTRY_BOUND_IMPORT}) {
        EXPECT_EQ(directory(entry).VirtualAddress, 0u) << "data directory " << entry;
        EXPECT_EQ(directory(entry).Size, 0u) << "data directory " << entry;
    }
}

TEST(ModuleShape, ExportsExactlyTheTwoRecordsAsData) {
    const auto& dir = directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_GT(dir.Size, 0u);
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(image() + dir.VirtualAddress);
    EXPECT_EQ(exports->NumberOfFunctions, 2u);
    ASSERT_EQ(exports->NumberOfNames, 2u);

    auto* names = reinterpret_cast<const DWORD*>(image() + exports->AddressOfNames);
    auto* ordinals = reinterpret_cast<const WORD*>(image() + exports->AddressOfNameOrdinals);
    auto* addresses = reinterpret_cast<const DWORD*>(image() + exports->AddressOfFunctions);
    std::set<std::string> exported;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        std::string name = reinterpret_cast<const char*>(image() + names[i]);
        exported.insert(name);
        DWORD rva = addresses[ordinals[i]];
        auto* section = section_holding(rva);
        ASSERT_NE(section, nullptr) << name;
        EXPECT_FALSE(section->Characteristics & IMAGE_SCN_MEM_EXECUTE)
            << name << " must be exported as data, not code";
        EXPECT_TRUE(section->Characteristics & IMAGE_SCN_MEM_WRITE)
            << name << " holds fields the host writes";
    }
    EXPECT_EQ(exported, (std::set<std::string>{"ImportTable", "Linkage"}));
}

TEST(ModuleShape, EntryRoutineAcceptsEveryNotification) {
    using Entry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
    auto entry =
        reinterpret_cast<Entry>(const_cast<BYTE*>(image()) + nt_headers().OptionalHeader.AddressOfEntryPoint);
    auto handle = reinterpret_cast<HINSTANCE>(corvalenx().handle);
    for (DWORD reason : {DLL_PROCESS_ATTACH, DLL_THREAD_ATTACH, DLL_THREAD_DETACH, DLL_PROCESS_DETACH}) {
        EXPECT_EQ(entry(handle, reason, nullptr), TRUE) << "reason " << reason;
    }
}

DWORD WINAPI exit_with_seven(LPVOID) {
    return 7;
}

std::vector<uint8_t> linkage_bytes() {
    const uint8_t* start = corvalenx().linkage.address();
    return {start, start + 64};
}

TEST(ModuleShape, ThreadsComeAndGoWithoutDisturbingTheRecords) {
    std::vector<uint8_t> before = linkage_bytes();
    HANDLE thread = CreateThread(nullptr, 0, exit_with_seven, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(linkage_bytes(), before);
}

// A real unload: the last FreeLibrary unmaps the image, and loading it again
// gives the records as stored, not as a host left them.
TEST(ModuleShape, UnloadsCompletelyAndLoadsAgainAsStored) {
    namespace entry = host_layout::import_entry;
    corvalenx().import_table.set_word(entry::pointer, 0x12345678);  // a host's service table
    ASSERT_TRUE(unload_and_load_corvalenx_again()) << "the module stays mapped after its last FreeLibrary";
    EXPECT_EQ(corvalenx().import_table.word(entry::pointer), 0u);
    EXPECT_EQ(corvalenx().gauges().size(), 8u);
}

}  // namespace
