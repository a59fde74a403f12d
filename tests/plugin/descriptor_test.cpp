// The host finds the plug-in only through its one export and reads the descriptor by
// layout, so both are checked on the shipped DLL.
#include <cstddef>
#include <vector>

#include "plugin/plugin_header.h"
#include "quillary_version.h"
#include "tests/common/test_support.h"

using testing_support::PluginDllPath;

TEST(Descriptor, LayoutIsTheHostsThirtyTwoBitLayout) {
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
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
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

// One string of a file's version resource, from the first language block it lists.
std::wstring VersionString(const std::vector<BYTE>& data, const wchar_t* name) {
  WORD* translation = nullptr;
  UINT size = 0;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size) ||
      size < 4)
    return L"(no translation)";
  wchar_t path[96];
  swprintf(path, 96, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1], name);
  wchar_t* value = nullptr;
  if (!VerQueryValueW(data.data(), path, reinterpret_cast<void**>(&value), &size)) return L"(none)";
  return value;
}

std::vector<BYTE> VersionData(const std::wstring& file) {
  std::vector<BYTE> data(GetFileVersionInfoSizeW(file.c_str(), nullptr));
  if (data.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(data.size()), data.data())) data.clear();
  return data;
}

}  // namespace

// What Explorer shows for the DLL, and the setup's own version, both from the one version of
// the build.
TEST(VersionResource, CarriesTheBuildsVersionInGerman) {
  const std::vector<BYTE> data = VersionData(PluginDllPath());
  ASSERT_FALSE(data.empty());
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(static_cast<DWORD>(MAKELONG(QUILLARY_VERSION_MINOR, QUILLARY_VERSION_MAJOR)), fixed->dwFileVersionMS);
  EXPECT_EQ(static_cast<DWORD>(MAKELONG(0, QUILLARY_VERSION_PATCH)), fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
  WORD* translation = nullptr;
  ASSERT_TRUE(
      VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
  EXPECT_EQ(0x0407, translation[0]);
  EXPECT_EQ(1200, translation[1]);
  const struct {
    const wchar_t* name;
    const wchar_t* value;
  } strings[] = {
      {L"CompanyName", L"Quillary-Team"},
      {L"FileDescription", L"Quillary: Winamp-Plug-in, das der Windows-Sitzung folgt"},
      {L"FileVersion", L"" QUILLARY_VERSION_TEXT},
      {L"InternalName", L"gen_corvane"},
      {L"LegalCopyright", L"\u00a9 2026 The Quillary developers"},
      {L"OriginalFilename", L"gen_corvane.dll"},
      {L"ProductName", L"Quillary"},
      {L"ProductVersion", L"" QUILLARY_VERSION_TEXT},
  };
  for (const auto& s : strings) EXPECT_EQ(s.value, VersionString(data, s.name)) << testing::PrintToString(s.name);

  // The setup is built beside the tests unless the build was configured without it.
  const std::wstring setup = standin::ProgramFolder() + L"quillary-setup.exe";
  if (!testing_support::FileExists(setup)) return;
  const std::vector<BYTE> setup_data = VersionData(setup);
  EXPECT_EQ(L"" QUILLARY_VERSION_TEXT, VersionString(setup_data, L"ProductVersion"));
  EXPECT_EQ(L"" QUILLARY_VERSION_TEXT, VersionString(setup_data, L"FileVersion"));
}
