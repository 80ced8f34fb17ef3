#pragma once
// Which OpenGL context is current. A host draws through GLX or EGL; texture
// names belong to a context (and those sharing with it), so a name can be
// released only where it was made. A context of a kind whose library the
// process has not loaded counts as none.

struct GlContextId {
  const void* egl = nullptr;
  const void* glx = nullptr;

  bool IsNone() const { return egl == nullptr && glx == nullptr; }
  bool operator==(const GlContextId& pOther) const {
    return egl == pOther.egl && glx == pOther.glx;
  }
};

GlContextId CurrentGlContext();
