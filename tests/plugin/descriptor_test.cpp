// The host finds the plug-in only through its one export and reads the descriptor by
// layout, so both are checked on the shipped DLL.
#include <cstddef>
#include <vector>

#include "host/plugin_header.h"
#include "quillary_version.h"
#include "tests/common/test_support.h"

using testing_support::PluginDllPath;

TEST(Descriptor, LayoutIsTheHostsThirtyTwoBitLayout) {
  if (sizeof(void*) != 4) GTEST_SKIP() << "a 64-bit build of the tests: the host's layout is 32-bit";
  EXPECT_EQ(28u, sizeof(GeneralPurposePluginHeader));
  EXPECT_EQ(0u, offsetof(GeneralPurposePluginHeader, version));
  EXPECT_EQ(4u, offsetof(GeneralPurposePluginHeader, description));
  EXPECT_EQ(8u, offsetof(GeneralPurposePluginHeader, init));
  EXPECT_EQ(12u, offsetof(GeneralPurposePluginHeader, config));
  EXPECT_EQ(16u, offsetof(GeneralPurposePluginHeader, quit));
  EXPECT_EQ(20u, offsetof(GeneralPurposePluginHeader, hwndParent));
  EXPECT_EQ(24u, offsetof(GeneralPurposePluginHeader, hDllInstance));
}

TEST_F(HostTest, ShippedDllHandsTheHostItsDescriptor) {
  standin::PluginLoader plugin;
  ASSERT_TRUE(plugin.Load(PluginDllPath())) << plugin.Error();
  standin::PluginDescriptor* d = plugin.Descriptor();
  EXPECT_EQ(0x10, d->version);
  EXPECT_STREQ("Quillary v0.5", d->description);
  EXPECT_NE(nullptr, d->init);
  EXPECT_NE(nullptr, d->config);
  EXPECT_NE(nullptr, d->quit);
  EXPECT_EQ(nullptr, d->hwndParent) << "the image carries no window; the host writes it";
  EXPECT_EQ(nullptr, d->hDllInstance);

  // The export hands back the same static descriptor each time.
  using GetHeader = standin::PluginDescriptor*(__cdecl*)();
  auto get = reinterpret_cast<GetHeader>(
      reinterpret_cast<void*>(GetProcAddress(plugin.Module(), "winampGetGeneralPurposePlugin")));
  ASSERT_NE(nullptr, get);
  EXPECT_EQ(d, get());

  EXPECT_EQ(0, plugin.Init(host.Window()));
  EXPECT_EQ(host.Window(), d->hwndParent);
  EXPECT_EQ(plugin.Module(), d->hDllInstance);
  plugin.Quit();
}

TEST(Descriptor, ExportsAreTheTwoEntriesUndecorated) {
  HMODULE module = LoadLibraryExW(PluginDllPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(nullptr, module);
  auto* base = reinterpret_cast<const BYTE*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(0u, dir.VirtualAddress);
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  ASSERT_EQ(2u, exports->NumberOfNames);
  auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  EXPECT_STREQ("winampGetGeneralPurposePlugin", reinterpret_cast<const char*>(base + names[0]));
  EXPECT_STREQ("winampUninstallPlugin", reinterpret_cast<const char*>(base + names[1]));
  FreeLibrary(module);
}

namespace {

// A file's version resource, and one string of the block its first translation names.
struct VersionInfo {
  explicit VersionInfo(const std::wstring& file) {
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), nullptr);
    data.resize(size + 1);
    if (!size || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) data.assign(data.size(), 0);
  }
  const WORD* Translation() const {
    void* value = nullptr;
    UINT size = 0;
    const bool ok = VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &size) && size >= 4;
    return ok ? static_cast<const WORD*>(value) : nullptr;
  }
  std::wstring String(const wchar_t* name) const {
    const WORD* t = Translation();
    wchar_t path[80];
    swprintf(path, 80, L"\\StringFileInfo\\%04X%04X\\%ls", t ? t[0] : 0, t ? t[1] : 0, name);
    void* value = nullptr;
    UINT size = 0;
    return VerQueryValueW(data.data(), path, &value, &size) ? static_cast<const wchar_t*>(value) : L"(none)";
  }
  std::vector<BYTE> data;
};

}  // namespace

// What Explorer shows for the DLL and the setup, both from the build's one version.
TEST(VersionResource, CarriesTheBuildsVersionInGerman) {
  const VersionInfo dll(PluginDllPath());
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(dll.data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(static_cast<DWORD>(MAKELONG(QUILLARY_VERSION_MINOR, QUILLARY_VERSION_MAJOR)), fixed->dwFileVersionMS);
  EXPECT_EQ(static_cast<DWORD>(MAKELONG(0, QUILLARY_VERSION_PATCH)), fixed->dwProductVersionLS);
  ASSERT_NE(nullptr, dll.Translation());
  EXPECT_EQ(0x0407, dll.Translation()[0]);
  EXPECT_EQ(1200, dll.Translation()[1]);
  for (const auto& s : std::vector<std::pair<const wchar_t*, std::wstring>>{
           {L"CompanyName", L"Quillary-Team"},
           {L"FileDescription", L"Quillary: Winamp-Plug-in, das der Windows-Sitzung folgt"},
           {L"FileVersion", L"" QUILLARY_VERSION_TEXT},
           {L"InternalName", L"gen_corvane"},
           {L"LegalCopyright", L"\u00a9 2026 The Quillary developers"},
           {L"OriginalFilename", L"gen_corvane.dll"},
           {L"ProductName", L"Quillary"},
           {L"ProductVersion", L"" QUILLARY_VERSION_TEXT}}) {
    EXPECT_EQ(s.second, dll.String(s.first));
  }
  // The setup lies beside the tests unless the build was configured without it.
  const std::wstring setup = standin::ProgramFolder() + L"quillary-setup.exe";
  if (!testing_support::FileExists(setup)) return;
  EXPECT_EQ(L"" QUILLARY_VERSION_TEXT, VersionInfo(setup).String(L"FileVersion"));
}
