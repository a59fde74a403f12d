#include "tools/standin/plugin_loader.h"

#include <cstdio>

namespace standin {

PluginLoader::~PluginLoader() { Unload(); }

bool PluginLoader::Load(const std::wstring& path) {
  Unload();
  error_.clear();
  path_ = path;
  module_ = LoadLibraryW(path.c_str());
  if (!module_) {
    char text[64];
    std::snprintf(text, sizeof(text), "LoadLibraryW failed with error %lu", GetLastError());
    error_ = text;
    return false;
  }
  using GetHeader = PluginDescriptor*(__cdecl*)();
  auto get = reinterpret_cast<GetHeader>(reinterpret_cast<void*>(GetProcAddress(module_, PluginExportName)));
  descriptor_ = get ? get() : nullptr;
  if (!descriptor_ || descriptor_->version != AcceptedHeaderVersion) {
    error_ = get ? "the plug-in's header version is not 0x10" : "the DLL has no winampGetGeneralPurposePlugin export";
    Unload();
    return false;
  }
  return true;
}

int PluginLoader::Init(HWND host_window) {
  if (!descriptor_) return -1;
  descriptor_->hwndParent = host_window;
  descriptor_->hDllInstance = module_;
  int result = descriptor_->init();
  if (result != 0) Unload();
  return result;
}

void PluginLoader::Config() {
  if (descriptor_) descriptor_->config();
}

void PluginLoader::Quit() {
  if (descriptor_) descriptor_->quit();
}

void PluginLoader::Unload() {
  descriptor_ = nullptr;
  if (module_) {
    FreeLibrary(module_);
    module_ = nullptr;
  }
}

UninstallOutcome PluginLoader::Uninstall(HWND parent, bool delete_file, const std::function<bool()>& safe_to_free) {
  if (!module_) return UninstallOutcome::NoExport;
  using UninstallFunction = int(__cdecl*)(HINSTANCE, HWND, int);
  auto uninstall =
      reinterpret_cast<UninstallFunction>(reinterpret_cast<void*>(GetProcAddress(module_, UninstallExportName)));
  if (!uninstall) return UninstallOutcome::NoExport;
  if (uninstall(module_, parent, 0) != 1) return UninstallOutcome::Refused;
  Quit();
  if (safe_to_free && !safe_to_free()) {
    Release();
    return UninstallOutcome::FileBusy;
  }
  Unload();
  if (delete_file) return DeleteFileW(path_.c_str()) ? UninstallOutcome::Removed : UninstallOutcome::FileBusy;
  return GetModuleHandleW(path_.c_str()) ? UninstallOutcome::FileBusy : UninstallOutcome::Removed;
}

void PluginLoader::Release() {
  descriptor_ = nullptr;
  module_ = nullptr;
}

bool PluginLoader::ImageContains(const void* address) const {
  if (!module_ || !address) return false;
  auto* base = reinterpret_cast<const BYTE*>(module_);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  auto* at = static_cast<const BYTE*>(address);
  return at >= base && at < base + nt->OptionalHeader.SizeOfImage;
}

void* PluginLoader::ReplaceImport(const char* dll, const char* function, void* replacement) {
  if (!module_) return nullptr;
  auto* base = reinterpret_cast<BYTE*>(module_);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!imports.VirtualAddress) return nullptr;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; ++entry) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
    // The names stand in the lookup table, the addresses the code calls through beside them.
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* named = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<const char*>(named->Name), function) != 0) continue;
      DWORD protection = 0;
      if (!VirtualProtect(&addresses->u1.Function, sizeof(addresses->u1.Function), PAGE_READWRITE, &protection))
        return nullptr;
      void* previous = reinterpret_cast<void*>(addresses->u1.Function);
      addresses->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&addresses->u1.Function, sizeof(addresses->u1.Function), protection, &protection);
      return previous;
    }
  }
  return nullptr;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

}  // namespace standin
