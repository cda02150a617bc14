#include "platform/input/window.hpp"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstring>

namespace plat {
namespace {
TestDriver g_driver;

SDL_Window* Win(void* p) { return static_cast<SDL_Window*>(p); }
SDL_Renderer* Ren(void* p) { return static_cast<SDL_Renderer*>(p); }
SDL_Texture* Tex(void* p) { return static_cast<SDL_Texture*>(p); }

int16_t ShiftFromMod(Uint16 mod) {
  int16_t s = 0;
  if (mod & KMOD_SHIFT) s |= 1;
  if (mod & KMOD_CTRL) s |= 2;
  if (mod & KMOD_ALT) s |= 4;
  return s;
}

Uint16 ModFromShift(int16_t shift) {
  Uint16 m = 0;
  if (shift & 1) m |= KMOD_LSHIFT;
  if (shift & 2) m |= KMOD_LCTRL;
  if (shift & 4) m |= KMOD_LALT;
  return m;
}

int16_t ButtonMask(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 4;
    default: return 0;
  }
}

int16_t HeldMask(Uint32 state) {
  int16_t m = 0;
  if (state & SDL_BUTTON_LMASK) m |= 1;
  if (state & SDL_BUTTON_RMASK) m |= 2;
  if (state & SDL_BUTTON_MMASK) m |= 4;
  return m;
}

void Deliver(const SDL_Event& e) {
  WindowEvents* r = Window::Instance().Receiver();
  switch (e.type) {
    case SDL_QUIT:
      if (r) r->OnQuit();
      return;
    case SDL_KEYDOWN: {
      if (!r) return;
      const int16_t vk = VirtualKeyFromSdl(e.key.keysym.sym);
      const int16_t shift = ShiftFromMod(e.key.keysym.mod);
      if (vk != 0) r->OnKeyDown(vk, shift);
      const int16_t ascii = KeyAsciiFor(e.key.keysym.sym, shift, (e.key.keysym.mod & KMOD_CAPS) != 0);
      if (ascii != 0) r->OnKeyPress(ascii);
      return;
    }
    case SDL_KEYUP: {
      if (!r) return;
      const int16_t vk = VirtualKeyFromSdl(e.key.keysym.sym);
      if (vk != 0) r->OnKeyUp(vk, ShiftFromMod(e.key.keysym.mod));
      return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      if (!r) return;
      const int16_t b = ButtonMask(e.button.button);
      if (b == 0) return;
      const int16_t shift = ShiftFromMod(SDL_GetModState());
      const float x = e.button.x * kTwipsPerPixelX, y = e.button.y * kTwipsPerPixelY;
      if (e.type == SDL_MOUSEBUTTONDOWN)
        r->OnMouseDown(b, shift, x, y);
      else
        r->OnMouseUp(b, shift, x, y);
      return;
    }
    case SDL_MOUSEMOTION: {
      if (!r) return;
      r->OnMouseMove(HeldMask(e.motion.state), ShiftFromMod(SDL_GetModState()), e.motion.x * kTwipsPerPixelX,
                     e.motion.y * kTwipsPerPixelY);
      return;
    }
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED:
    case SDL_JOYAXISMOTION:
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
    case SDL_JOYHATMOTION:
      if (r) r->OnDeviceEvent(static_cast<int32_t>(e.type));
      return;
    default:
      return;
  }
}

void WindowToPush(float xPixels, float yPixels, int* wx, int* wy) {
  Window& w = Window::Instance();
  *wx = static_cast<int>(xPixels + 0.5f);
  *wy = static_cast<int>(yPixels + 0.5f);
  if (!w.IsOpen()) return;
  // Pushed events go through the renderer's scaling like real ones, so they
  // are given in window coordinates.
  if (SDL_Renderer* r = SDL_GetRenderer(Win(w.NativeHandle()))) SDL_RenderLogicalToWindow(r, xPixels, yPixels, wx, wy);
}

#if defined(SDL_VIDEO_DRIVER_X11)
// Whether the window is on an X server without a window manager (such as a
// bare Xvfb): there SDL's full-screen request is never carried out. Xlib is
// looked up at run time, as SDL itself does, so nothing more is linked.
bool OnBareX11(SDL_Window* w) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  void* lib = SDL_LoadObject("libX11.so.6");
  if (!lib) return false;
  using InternAtomFn = Atom (*)(Display*, const char*, Bool);
  using RootFn = ::Window (*)(Display*);
  using GetPropertyFn = int (*)(Display*, ::Window, Atom, long, long, Bool, Atom, Atom*, int*, unsigned long*,
                                unsigned long*, unsigned char**);
  using FreeFn = int (*)(void*);
  auto internAtom = reinterpret_cast<InternAtomFn>(SDL_LoadFunction(lib, "XInternAtom"));
  auto root = reinterpret_cast<RootFn>(SDL_LoadFunction(lib, "XDefaultRootWindow"));
  auto getProperty = reinterpret_cast<GetPropertyFn>(SDL_LoadFunction(lib, "XGetWindowProperty"));
  auto xfree = reinterpret_cast<FreeFn>(SDL_LoadFunction(lib, "XFree"));
  bool bare = false;
  if (internAtom && root && getProperty && xfree) {
    Display* d = info.info.x11.display;
    // A window manager names its check window on the root window.
    const Atom check = internAtom(d, "_NET_SUPPORTING_WM_CHECK", True);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = check != None &&
                       getProperty(d, root(d), check, 0, 1, False, XA_WINDOW, &type, &format, &items, &after,
                                   &data) == Success &&
                       type == XA_WINDOW && items == 1;
    if (data) xfree(data);
    bare = !found;
  }
  SDL_UnloadObject(lib);
  return bare;
}
#else
bool OnBareX11(SDL_Window*) { return false; }
#endif

Uint32 WindowId() {
  Window& w = Window::Instance();
  return w.IsOpen() ? SDL_GetWindowID(Win(w.NativeHandle())) : 0;
}
}  // namespace

Window& Window::Instance() {
  static Window w;
  return w;
}

bool Window::Create(const char* title) {
  if (window_) return true;
  if (!(SDL_WasInit(SDL_INIT_VIDEO) & SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
    return false;
  SDL_Window* w = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kFrameWidth, kFrameHeight,
                                   SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (!w) return false;
  window_ = w;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  // No vertical sync: the primary surface's flip paces the menus itself, and
  // blits onto the primary must show without waiting, as the battles expect.
  SDL_Renderer* r = SDL_CreateRenderer(w, -1, SDL_RENDERER_ACCELERATED);
  if (!r) r = SDL_CreateRenderer(w, -1, SDL_RENDERER_SOFTWARE);
  if (r) {
    SDL_RenderSetLogicalSize(r, kFrameWidth, kFrameHeight);
    renderer_ = r;
  }
  // The game has no text fields; keys become characters through KeyPress,
  // and an input method would only swallow them.
  SDL_StopTextInput();
  return true;
}

void Window::Show() {
  if (window_) SDL_ShowWindow(Win(window_));
}

void Window::Destroy() {
  if (texture_) SDL_DestroyTexture(Tex(texture_));
  if (renderer_) SDL_DestroyRenderer(Ren(renderer_));
  if (window_) SDL_DestroyWindow(Win(window_));
  texture_ = renderer_ = window_ = nullptr;
  textureW_ = textureH_ = 0;
  fullscreen_ = false;
}

void Window::SetFullscreen(bool on) {
  if (!window_ || on == fullscreen_) return;
  SDL_Window* w = Win(window_);
  if (OnBareX11(w)) {
    // Without a window manager the window covers the display by itself.
    SDL_Rect bounds;
    if (on && SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(w), &bounds) == 0) {
      SDL_SetWindowBordered(w, SDL_FALSE);
      SDL_SetWindowPosition(w, bounds.x, bounds.y);
      SDL_SetWindowSize(w, bounds.w, bounds.h);
      fullscreen_ = true;
    } else if (!on) {
      SDL_SetWindowBordered(w, SDL_TRUE);
      SDL_SetWindowSize(w, kFrameWidth, kFrameHeight);
      SDL_SetWindowPosition(w, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
      fullscreen_ = false;
    }
    return;
  }
  if (SDL_SetWindowFullscreen(w, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0)
    fullscreen_ = on;
  else
    fullscreen_ = false;  // the desktop refused: stay a normal window
}

void Window::Present(const uint16_t* pixels, int width, int height, int pitchPixels) {
  if (width <= 0 || height <= 0) return;
  lastFrame_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    std::memcpy(&lastFrame_[static_cast<size_t>(y) * width], pixels + static_cast<ptrdiff_t>(y) * pitchPixels,
                static_cast<size_t>(width) * 2);
  lastWidth_ = width;
  lastHeight_ = height;
  ++framesPresented_;
  if (!renderer_) return;
  SDL_Renderer* r = Ren(renderer_);
  if (!texture_ || textureW_ != width || textureH_ != height) {
    if (texture_) SDL_DestroyTexture(Tex(texture_));
    texture_ = SDL_CreateTexture(r, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, width, height);
    textureW_ = width;
    textureH_ = height;
    if (!texture_) return;
  }
  SDL_UpdateTexture(Tex(texture_), nullptr, pixels, pitchPixels * 2);
  SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
  SDL_RenderClear(r);
  SDL_RenderCopy(r, Tex(texture_), nullptr, nullptr);
  SDL_RenderPresent(r);
}

void Window::ShowSystemCursor(bool show) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void Window::DisableInputMethod() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_StopTextInput();
}

int ShowCursor(bool show) {
  static int counter = 0;
  counter += show ? 1 : -1;
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(counter >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return counter;
}

void QuitPlatform() { SDL_Quit(); }

void DoEvents() {
  if (g_driver) g_driver();
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) Deliver(e);
}

void SetTestDriver(TestDriver driver) { g_driver = std::move(driver); }

namespace {
void PushKey(Uint32 type, int16_t vk, int16_t shift) {
  SDL_Event e{};
  e.type = type;
  e.key.windowID = WindowId();
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = SdlKeyFromVirtual(vk);
  e.key.keysym.scancode = SDL_GetScancodeFromKey(e.key.keysym.sym);
  e.key.keysym.mod = ModFromShift(shift);
  SDL_PushEvent(&e);
}

void PushButton(Uint32 type, int16_t button, float x, float y) {
  SDL_Event e{};
  e.type = type;
  e.button.windowID = WindowId();
  e.button.button = button == 2 ? SDL_BUTTON_RIGHT : button == 4 ? SDL_BUTTON_MIDDLE : SDL_BUTTON_LEFT;
  e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.button.clicks = 1;
  WindowToPush(x, y, &e.button.x, &e.button.y);
  SDL_PushEvent(&e);
}
}  // namespace

void PushKeyDown(int16_t vk, int16_t shift) { PushKey(SDL_KEYDOWN, vk, shift); }
void PushKeyUp(int16_t vk, int16_t shift) { PushKey(SDL_KEYUP, vk, shift); }
void PushKeyStroke(int16_t vk, int16_t shift) {
  PushKeyDown(vk, shift);
  PushKeyUp(vk, shift);
}
void PushMouseDown(int16_t button, float x, float y) { PushButton(SDL_MOUSEBUTTONDOWN, button, x, y); }
void PushMouseUp(int16_t button, float x, float y) { PushButton(SDL_MOUSEBUTTONUP, button, x, y); }
void PushMouseMove(float x, float y, int16_t held) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = WindowId();
  e.motion.state = (held & 1 ? SDL_BUTTON_LMASK : 0) | (held & 2 ? SDL_BUTTON_RMASK : 0) | (held & 4 ? SDL_BUTTON_MMASK : 0);
  WindowToPush(x, y, &e.motion.x, &e.motion.y);
  SDL_PushEvent(&e);
}

}  // namespace plat
