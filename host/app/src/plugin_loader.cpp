#include "fbhost/plugin_loader.h"

#include <dlfcn.h>
#include <fbsdk/runtime.h>
#include <link.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fbhost {

namespace {

// The executable segments of the loaded object whose load address is pBase.
struct TextRanges {
  ElfW(Addr) base;
  std::vector<std::pair<const char*, const char*>> ranges;
};

int CollectText(dl_phdr_info* pInfo, size_t, void* pData) {
  TextRanges* lRanges = static_cast<TextRanges*>(pData);
  if (pInfo->dlpi_addr != lRanges->base) return 0;
  for (ElfW(Half) i = 0; i < pInfo->dlpi_phnum; ++i) {
    const ElfW(Phdr)& lSegment = pInfo->dlpi_phdr[i];
    if (lSegment.p_type != PT_LOAD || !(lSegment.p_flags & PF_X)) continue;
    const char* lBegin = reinterpret_cast<const char*>(pInfo->dlpi_addr + lSegment.p_vaddr);
    lRanges->ranges.emplace_back(lBegin, lBegin + lSegment.p_memsz);
  }
  return 1;
}

}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& pPath, std::string* pError) {
  dlerror();
  void* lHandle = dlopen(pPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lHandle) {
    if (pError) {
      const char* lReason = dlerror();
      *pError = lReason ? lReason : ("cannot load " + pPath);
    }
    return nullptr;
  }
  return std::unique_ptr<PluginLibrary>(new PluginLibrary(lHandle, pPath));
}

PluginLibrary::~PluginLibrary() {
  // A factory left registered after dlclose would point into unmapped code.
  link_map* lMap = nullptr;
  if (dlinfo(mHandle, RTLD_DI_LINKMAP, &lMap) == 0 && lMap) {
    TextRanges lRanges{lMap->l_addr, {}};
    dl_iterate_phdr(CollectText, &lRanges);
    for (const auto& lRange : lRanges.ranges) ForgetClassesIn(lRange.first, lRange.second);
  }
  dlclose(mHandle);
}

void* PluginLibrary::Symbol(const char* pName) const { return dlsym(mHandle, pName); }

std::string DefaultPluginPath() {
  const char* lOverride = std::getenv("VEXAHUD_PLUGIN_PATH");
  if (lOverride && *lOverride) return lOverride;
  std::error_code lError;
  const std::filesystem::path lProgram = std::filesystem::read_symlink("/proc/self/exe", lError);
  if (lError) return "libvexahudelement.so";
  return (lProgram.parent_path() / "libvexahudelement.so").string();
}

}  // namespace fbhost
