// What the built quorvex-installer.exe carries: a 64-bit GUI program that imports system DLLs
// only, with its manifest, skin package, icon and version among its resources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/app/TestChild_win32.h"

namespace {

using testsupport::RuntimePath;

// The executable's resources, mapped as data (nothing of it runs).
class ResourceModule {
public:
    ResourceModule()
        : module_(::LoadLibraryExW(RuntimePath(INSTALLER_EXE).c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ResourceModule() {
        if (module_) ::FreeLibrary(module_);
    }
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;
    HMODULE Get() const { return module_; }

    // The bytes of one resource; empty when it is missing.
    std::string Bytes(const wchar_t* name, const wchar_t* type) const {
        HRSRC info = ::FindResourceW(module_, name, type);
        if (!info) return {};
        HGLOBAL loaded = ::LoadResource(module_, info);
        const void* data = loaded ? ::LockResource(loaded) : nullptr;
        return data ? std::string(static_cast<const char*>(data), ::SizeofResource(module_, info)) : std::string();
    }

private:
    HMODULE module_;
};

std::vector<char> FileBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T>
bool ReadAt(const std::vector<char>& bytes, size_t offset, T& out) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
    std::memcpy(&out, bytes.data() + offset, sizeof(T));
    return true;
}

// The file offset of a relative virtual address, through the section table.
bool RvaToOffset(const std::vector<char>& bytes, size_t sectionTable, unsigned sections, DWORD rva, size_t& offset) {
    for (unsigned i = 0; i < sections; ++i) {
        IMAGE_SECTION_HEADER section{};
        if (!ReadAt(bytes, sectionTable + i * sizeof section, section)) return false;
        const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
        if (rva >= section.VirtualAddress && rva < section.VirtualAddress + size) {
            offset = rva - section.VirtualAddress + section.PointerToRawData;
            return true;
        }
    }
    return false;
}

// A program of the test's own architecture for `subsystem` whose every imported library is one
// the system carries (a compiler runtime or zlib DLL would be missing on a clean machine); a
// 32-bit one also takes the whole 4 GiB of address space that 64-bit Windows gives it.
void CheckImage(const char* buildPath, WORD subsystem) {
    SCOPED_TRACE(buildPath);
    const std::vector<char> bytes = FileBytes(RuntimePath(buildPath));
    IMAGE_DOS_HEADER dos{};
    ASSERT_TRUE(ReadAt(bytes, 0, dos));
    ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
    IMAGE_NT_HEADERS nt{};  // the 32- or 64-bit form, as this program is built
    ASSERT_TRUE(ReadAt(bytes, static_cast<size_t>(dos.e_lfanew), nt));
    ASSERT_EQ(nt.Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
#ifdef _WIN64
    EXPECT_EQ(nt.FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
#else
    EXPECT_EQ(nt.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(nt.FileHeader.Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE);
#endif
    ASSERT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR_MAGIC);
    EXPECT_EQ(nt.OptionalHeader.Subsystem, subsystem);

    const size_t sectionTable = static_cast<size_t>(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
                                nt.FileHeader.SizeOfOptionalHeader;
    const IMAGE_DATA_DIRECTORY imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    size_t offset = 0;
    ASSERT_TRUE(RvaToOffset(bytes, sectionTable, nt.FileHeader.NumberOfSections, imports.VirtualAddress, offset));
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    int count = 0;
    for (IMAGE_IMPORT_DESCRIPTOR entry{}; ReadAt(bytes, offset, entry) && entry.Name != 0; offset += sizeof entry) {
        size_t nameOffset = 0;
        ASSERT_TRUE(RvaToOffset(bytes, sectionTable, nt.FileHeader.NumberOfSections, entry.Name, nameOffset));
        const std::string name(bytes.data() + nameOffset);
        const std::wstring path = std::wstring(system) + L"\\" + std::wstring(name.begin(), name.end());
        EXPECT_NE(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << name << " is not a system library";
        // Wine carries some libraries of the toolchain's world in its system folder (zlib1.dll);
        // Windows carries none of them.
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(lower.rfind("lib", 0) != 0 && lower != "zlib1.dll") << name << " comes with the toolchain";
        ++count;
    }
    EXPECT_GT(count, 0);
}

}  // namespace

TEST(Executable_Image, TheInstallerAndTheSamplePackageImportOnlyLibrariesOfTheSystem) {
    CheckImage(INSTALLER_EXE, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    // The package, and the product and uninstaller it installs alone on a machine. The product
    // is a window program: started from the finish page, it opens no console.
    CheckImage(SAMPLE_PACKAGE, IMAGE_SUBSYSTEM_WINDOWS_CUI);
    CheckImage(SAMPLE_PRODUCT, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    CheckImage(SAMPLE_UNINSTALLER, IMAGE_SUBSYSTEM_WINDOWS_CUI);
}

TEST(Executable_Resources, TheSkinPackageIsAZipNamedAsTheWindowLooksItUp) {
    ResourceModule exe;
    ASSERT_NE(exe.Get(), nullptr) << ::GetLastError();
    const std::string skin = exe.Bytes(L"IDR_SKIN", L"ZIPRES");
    ASSERT_GT(skin.size(), 1000u);
    EXPECT_EQ(skin.substr(0, 4), std::string("PK\x03\x04", 4));
    // The archive's own end record closes the resource: nothing cut off.
    EXPECT_NE(skin.rfind(std::string("PK\x05\x06", 4)), std::string::npos);
}

TEST(Executable_Resources, Icon145HoldsTheProductIconAtTwoSizes) {
    ResourceModule exe;
    ASSERT_NE(exe.Get(), nullptr);
    const std::string group = exe.Bytes(MAKEINTRESOURCEW(145), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u + 2 * 14u);
    WORD count = 0;
    std::memcpy(&count, group.data() + 4, sizeof count);
    EXPECT_EQ(count, 2);
    for (const int size : {64, 128}) {
        const int id = ::LookupIconIdFromDirectoryEx(
            reinterpret_cast<PBYTE>(const_cast<char*>(group.data())), TRUE, size, size, LR_DEFAULTCOLOR);
        ASSERT_GT(id, 0) << size;
        const std::string image = exe.Bytes(MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));  // RT_ICON
        ASSERT_GT(image.size(), 8u) << size;
        EXPECT_EQ(image.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << size;
        HICON icon = ::CreateIconFromResourceEx(reinterpret_cast<PBYTE>(const_cast<char*>(image.data())),
                                                static_cast<DWORD>(image.size()), TRUE, 0x00030000, size, size,
                                                LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr) << "icon " << id << " does not decode";
        if (icon) ::DestroyIcon(icon);
    }
}

TEST(Executable_Resources, TheManifestAsksForAdministratorAndCommonControls6) {
    ResourceModule exe;
    ASSERT_NE(exe.Get(), nullptr);
    const std::string manifest = exe.Bytes(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    // Its own architecture, in its identity and in the Common Controls dependency: Windows binds
    // no assembly of another one, and the program would not start.
#if defined(_M_IX86) || defined(__i386__)
    const std::string arch = "processorArchitecture=\"x86\"";
#else
    const std::string arch = "processorArchitecture=\"amd64\"";
#endif
    const size_t first = manifest.find(arch);
    EXPECT_NE(first, std::string::npos) << manifest;
    EXPECT_NE(manifest.find(arch, first + 1), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("@"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);  // Windows 10
}

TEST(Executable_Resources, TheVersionNamesTheProduct) {
    const std::wstring path = RuntimePath(INSTALLER_EXE);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    const auto value = [&](const wchar_t* key) {
        void* text = nullptr;
        UINT length = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        if (!::VerQueryValueW(info.data(), query.c_str(), &text, &length) || !text) return std::wstring();
        return std::wstring(static_cast<const wchar_t*>(text));
    };
    EXPECT_EQ(value(L"ProductName"), L"Quorvex");
    EXPECT_EQ(value(L"ProductVersion"), L"1.1.0.0");
    EXPECT_EQ(value(L"OriginalFilename"), L"quorvex-installer.exe");
}
