// The host finds the plug-in only through its one export and reads the descriptor by
// layout, so both are checked on the shipped DLL.
#include <cstddef>

#include "plugin/plugin_header.h"
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

TEST(Descriptor, ExportIsTheOnlyOneAndUndecorated) {
  HMODULE module = LoadLibraryExW(PluginDllPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(nullptr, module);
  auto* base = reinterpret_cast<const BYTE*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(0u, dir.VirtualAddress);
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  ASSERT_EQ(1u, exports->NumberOfNames);
  auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  EXPECT_STREQ("winampGetGeneralPurposePlugin", reinterpret_cast<const char*>(base + names[0]));
  FreeLibrary(module);
}
