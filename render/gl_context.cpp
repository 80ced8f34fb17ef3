#include "render/gl_context.h"

#include <EGL/egl.h>
#include <GL/glx.h>

GlContextId CurrentGlContext() {
  GlContextId lId;
  lId.egl = eglGetCurrentContext();
  lId.glx = glXGetCurrentContext();
  return lId;
}
