#include "render/gl_context.h"

#include <EGL/egl.h>
#include <GL/glx.h>
#include <dlfcn.h>

#include <initializer_list>

namespace {

// The function as the first of the libraries that the process has already
// loaded gives it, in whatever scope the host loaded it; RTLD_NOLOAD never
// loads one, so a host that draws through GLX needs no EGL, and one that draws
// through EGL no GLX. Not cached: a host may load either after the plug-in.
template <class tFunction>
tFunction FromLoaded(std::initializer_list<const char*> pLibraries, const char* pName) {
  for (const char* lLibrary : pLibraries) {
    void* lHandle = dlopen(lLibrary, RTLD_LAZY | RTLD_NOLOAD);
    if (!lHandle) continue;
    void* lFunction = dlsym(lHandle, pName);
    dlclose(lHandle);  // only drops the count dlopen added; the host holds the library
    if (lFunction) return reinterpret_cast<tFunction>(lFunction);
  }
  return reinterpret_cast<tFunction>(dlsym(RTLD_DEFAULT, pName));
}

}  // namespace

GlContextId CurrentGlContext() {
  using EglCurrent = EGLContext (*)();
  using GlxCurrent = GLXContext (*)();
  GlContextId lId;
  if (const auto lEgl = FromLoaded<EglCurrent>({"libEGL.so.1"}, "eglGetCurrentContext"))
    lId.egl = lEgl();
  // Without GLVND, GLX lives in libGL itself.
  if (const auto lGlx =
          FromLoaded<GlxCurrent>({"libGLX.so.0", "libGL.so.1"}, "glXGetCurrentContext"))
    lId.glx = lGlx();
  return lId;
}
