#include "platform/offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>

// The framebuffer calls, which OpenGL 1.1's headers do not declare.
struct FramebufferCalls {
  PFNGLGENFRAMEBUFFERSPROC GenFramebuffers;
  PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers;
  PFNGLBINDFRAMEBUFFERPROC BindFramebuffer;
  PFNGLGENRENDERBUFFERSPROC GenRenderbuffers;
  PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers;
  PFNGLBINDRENDERBUFFERPROC BindRenderbuffer;
  PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC RenderbufferStorageMultisample;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus;
  PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer;
};

namespace {

template <class Call>
bool Find(Call& call, const char* name) {
  call = reinterpret_cast<Call>(eglGetProcAddress(name));
  return call != nullptr;
}

bool FindCalls(FramebufferCalls& gl) {
  return Find(gl.GenFramebuffers, "glGenFramebuffers") &&
         Find(gl.DeleteFramebuffers, "glDeleteFramebuffers") &&
         Find(gl.BindFramebuffer, "glBindFramebuffer") &&
         Find(gl.GenRenderbuffers, "glGenRenderbuffers") &&
         Find(gl.DeleteRenderbuffers, "glDeleteRenderbuffers") &&
         Find(gl.BindRenderbuffer, "glBindRenderbuffer") &&
         Find(gl.RenderbufferStorageMultisample,
              "glRenderbufferStorageMultisample") &&
         Find(gl.FramebufferRenderbuffer, "glFramebufferRenderbuffer") &&
         Find(gl.CheckFramebufferStatus, "glCheckFramebufferStatus") &&
         Find(gl.BlitFramebuffer, "glBlitFramebuffer");
}

std::string EglError(const char* what) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%04x", eglGetError());
  return std::string(what) + " (EGL error " + code + ")";
}

// The displays to try, in order: Mesa's surfaceless platform, the first
// EGL device, the default display.
EGLDisplay OpenDisplay(std::string& why) {
  auto platform = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  auto devices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(
      eglGetProcAddress("eglQueryDevicesEXT"));
  EGLint major, minor;
  if (platform) {
    EGLDisplay d =
        platform(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (d != EGL_NO_DISPLAY && eglInitialize(d, &major, &minor)) return d;
    EGLDeviceEXT device;
    EGLint count = 0;
    if (devices && devices(1, &device, &count) && count > 0) {
      d = platform(EGL_PLATFORM_DEVICE_EXT, device, nullptr);
      if (d != EGL_NO_DISPLAY && eglInitialize(d, &major, &minor)) return d;
    }
  }
  EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (d != EGL_NO_DISPLAY && eglInitialize(d, &major, &minor)) return d;
  why = EglError("no EGL display can start");
  return EGL_NO_DISPLAY;
}

}  // namespace

Offscreen::Offscreen() : gl_(new FramebufferCalls()) {}

Offscreen::~Offscreen() {
  if (!display_) return;
  Release();
  eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (context_) eglDestroyContext(display_, context_);
  eglTerminate(display_);
}

bool Offscreen::Start(std::string& why) {
  EGLDisplay display = OpenDisplay(why);
  if (display == EGL_NO_DISPLAY) return false;
  display_ = display;
  if (!eglBindAPI(EGL_OPENGL_API)) {
    why = EglError("EGL has no desktop OpenGL");
    return false;
  }
  const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                               EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                               EGL_NONE};
  // No config: the context draws only into framebuffer objects.
  context_ =
      eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
  if (!context_) {
    why = EglError("EGL gives no OpenGL compatibility context");
    return false;
  }
  if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context_)) {
    why = EglError("EGL cannot make its context current");
    return false;
  }
  if (!FindCalls(*gl_)) {
    why = "the OpenGL context has no framebuffer objects";
    return false;
  }
  return true;
}

void Offscreen::Release() {
  if (!framebuffer_) return;
  FramebufferCalls& gl = *gl_;
  if (framebuffer_) gl.DeleteFramebuffers(1, &framebuffer_);
  if (resolved_) gl.DeleteFramebuffers(1, &resolved_);
  const GLuint buffers[3] = {colour_, depth_, resolvedcolour_};
  for (GLuint b : buffers)
    if (b) gl.DeleteRenderbuffers(1, &b);
  framebuffer_ = resolved_ = colour_ = depth_ = resolvedcolour_ = 0;
}

namespace {

// A framebuffer of one colour and, where asked, one depth renderbuffer.
GLuint MakeFramebuffer(FramebufferCalls& gl, int width, int height, int samples,
                       GLuint& colour, GLuint* depth, GLenum depthformat) {
  GLuint framebuffer = 0;
  gl.GenFramebuffers(1, &framebuffer);
  gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  gl.GenRenderbuffers(1, &colour);
  gl.BindRenderbuffer(GL_RENDERBUFFER, colour);
  gl.RenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width,
                                    height);
  gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                             GL_RENDERBUFFER, colour);
  if (depth) {
    gl.GenRenderbuffers(1, depth);
    gl.BindRenderbuffer(GL_RENDERBUFFER, *depth);
    gl.RenderbufferStorageMultisample(GL_RENDERBUFFER, samples, depthformat,
                                      width, height);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT,
                               GL_RENDERBUFFER, *depth);
  }
  return framebuffer;
}

}  // namespace

bool Offscreen::Size(int width, int height, int depthbits, int samples,
                     std::string& why) {
  FramebufferCalls& gl = *gl_;
  Release();
  GLint most = 0;
  glGetIntegerv(GL_MAX_SAMPLES, &most);
  samples = samples > most ? most : samples;
  if (samples < 2) samples = 0;
  while (glGetError() != GL_NO_ERROR) {
  }
  const GLenum depth =
      depthbits <= 16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24;
  if (samples)
    resolved_ =
        MakeFramebuffer(gl, width, height, 0, resolvedcolour_, nullptr, depth);
  framebuffer_ =
      MakeFramebuffer(gl, width, height, samples, colour_, &depth_, depth);
  const GLenum status = gl.CheckFramebufferStatus(GL_FRAMEBUFFER);
  const GLenum error = glGetError();
  if (status != GL_FRAMEBUFFER_COMPLETE || error != GL_NO_ERROR) {
    why = "OpenGL cannot make a " + std::to_string(width) + " x " +
          std::to_string(height) + " picture";
    Release();
    return false;
  }
  width_ = width;
  height_ = height;
  glViewport(0, 0, width, height);
  return true;
}

std::vector<unsigned char> Offscreen::Read(bool alpha, int width, int height) {
  if (width <= 0 || width > width_) width = width_;
  if (height <= 0 || height > height_) height = height_;
  FramebufferCalls& gl = *gl_;
  if (resolved_) {
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, resolved_);
    gl.BlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_,
                       GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, resolved_);
  }
  const int channels = alpha ? 4 : 3;
  std::vector<unsigned char> pixels(static_cast<size_t>(channels) * width *
                                    height);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  glReadPixels(0, 0, width, height, alpha ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE,
               pixels.data());
  gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  return pixels;
}
