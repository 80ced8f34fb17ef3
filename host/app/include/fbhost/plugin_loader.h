#pragma once
// Loads a plug-in library as the host does: dlopen runs the library's own
// load-time code, which registers its classes.

#include <memory>
#include <string>

namespace fbhost {

class PluginLibrary {
 public:
  // Loads the library at pPath; null with pError set when it cannot be loaded.
  static std::unique_ptr<PluginLibrary> Load(const std::string& pPath, std::string* pError);
  // Forgets the classes whose factories live in the library, then dlcloses it.
  ~PluginLibrary();

  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  void* Symbol(const char* pName) const;
  const std::string& Path() const { return mPath; }

 private:
  PluginLibrary(void* pHandle, std::string pPath) : mHandle(pHandle), mPath(std::move(pPath)) {}
  void* mHandle;
  std::string mPath;
};

// The plug-in built beside the running program (VEXAHUD_PLUGIN_PATH overrides
// it for tests and installed layouts).
std::string DefaultPluginPath();

}  // namespace fbhost
