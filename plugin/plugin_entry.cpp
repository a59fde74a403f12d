#include "plugin/plugin_header.h"

namespace {

int __cdecl PluginInit() { return 0; }
void __cdecl PluginConfig() {}
void __cdecl PluginQuit() {}

}  // namespace

GeneralPurposePluginHeader PluginHeader = {
    GeneralPurposeHeaderVersion, "Quillary v0.5", PluginInit, PluginConfig, PluginQuit, nullptr, nullptr,
};

extern "C" __declspec(dllexport) GeneralPurposePluginHeader* __cdecl winampGetGeneralPurposePlugin() {
  return &PluginHeader;
}
