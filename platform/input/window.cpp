#include "platform/input/window.hpp"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "platform/runtime/code_page.hpp"
#include "platform/runtime/owned.hpp"
#include "platform/runtime/quit_signal.hpp"

namespace plat {

// The window and what its frames are drawn with: the window's own surface,
// filled by a plain scaler. A renderer would present the whole picture on
// every frame (through a software OpenGL driver where there is no GPU); here
// only the part of a frame that changed is scaled and sent.
struct Window::Native {
  Owned<SDL_Window, SDL_DestroyWindow> window;
  // RGB565 to the window surface's pixels, made for its format.
  std::vector<uint32_t> palette;
  uint32_t paletteFormat = SDL_PIXELFORMAT_UNKNOWN;
  // The frame's place in the window, aspect kept, and for each window
  // column of it the frame column shown there.
  int surfaceW = 0, surfaceH = 0;
  SDL_Rect box{0, 0, 0, 0};
  std::vector<int> sourceColumn;
  bool wholeDue = true;
};

namespace {
TestDriver g_driver;
WaitDuty g_duty;
bool g_inDuty = false;

SDL_Window* Win(void* p) { return static_cast<SDL_Window*>(p); }

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

// Typed text, in the keyboard's own layout or from an input method, becomes
// key presses of characters in the game's code page.
void DeliverText(WindowEvents& r, const char* utf8) {
  // Ctrl and Alt chords are commands, not typing; AltGr (right Alt) types.
  if (SDL_GetModState() & (KMOD_CTRL | KMOD_LALT)) return;
  for (int16_t code : KeyAsciiCodes(utf8)) r.OnKeyPress(code);
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
      const int16_t ascii = ControlKeyAscii(e.key.keysym.sym, shift);
      if (ascii != 0) r->OnKeyPress(ascii);
      return;
    }
    case SDL_TEXTINPUT:
      if (r) DeliverText(*r, e.text.text);
      return;
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
      float x = 0, y = 0;
      Window::Instance().WindowToFrame(e.button.x, e.button.y, &x, &y);
      x *= kTwipsPerPixelX;
      y *= kTwipsPerPixelY;
      if (e.type == SDL_MOUSEBUTTONDOWN)
        r->OnMouseDown(b, shift, x, y);
      else
        r->OnMouseUp(b, shift, x, y);
      return;
    }
    case SDL_MOUSEMOTION: {
      if (!r) return;
      float x = 0, y = 0;
      Window::Instance().WindowToFrame(e.motion.x, e.motion.y, &x, &y);
      r->OnMouseMove(HeldMask(e.motion.state), ShiftFromMod(SDL_GetModState()), x * kTwipsPerPixelX,
                     y * kTwipsPerPixelY);
      return;
    }
    case SDL_WINDOWEVENT:
      // Uncovered or resized: the display lost what was drawn.
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
        Window::Instance().Repaint();
      return;
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

// Pushed events are given in window coordinates, as real ones arrive, so
// they go through the same scaling back to the frame.
void WindowToPush(float xPixels, float yPixels, int* wx, int* wy) {
  Window::Instance().FrameToWindow(xPixels, yPixels, wx, wy);
}

// SDL draws off screen when it finds no display; a player would see nothing
// and the game would wait for keys that never come. Tests ask for that
// driver by name.
bool DrawsOffScreenUnasked() {
  const char* current = SDL_GetCurrentVideoDriver();
  if (!current) return true;
  if (std::strcmp(current, "offscreen") != 0 && std::strcmp(current, "dummy") != 0) return false;
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  return !asked || SDL_strcasecmp(asked, current) != 0;
}

// Where a frame of frameW x frameH lands in a window of winW x winH, aspect
// kept, centred.
SDL_Rect FitFrame(int winW, int winH, int frameW, int frameH) {
  SDL_Rect r{0, 0, winW, winH};
  if (int64_t{winW} * frameH <= int64_t{winH} * frameW)
    r.h = static_cast<int>(int64_t{winW} * frameH / frameW);
  else
    r.w = static_cast<int>(int64_t{winH} * frameW / frameH);
  r.w = std::max(r.w, 1);
  r.h = std::max(r.h, 1);
  r.x = (winW - r.w) / 2;
  r.y = (winH - r.h) / 2;
  return r;
}

// The first window pixel, counted from the box's edge, that shows frame
// pixel i or one after it, when n frame pixels fill m window pixels.
int FirstShowing(int i, int n, int m) { return static_cast<int>((int64_t{i} * m + n - 1) / n); }

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

// Xlib calls this when the connection to the display breaks (the X server
// ended: a logout, a dropped remote display). Left to itself it would exit
// the process through the normal exit path, whose destructors close the
// window and wait for ever on the dead connection at full speed. The game
// ends here at once instead: every file it saves is written beside its
// target and renamed over it, so ending mid-save leaves nothing
// half-written.
int DisplayLost(Display*) {
  static const char kLine[] = "Ferrowind: the connection to the display was lost; the game ends.\n";
  [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, kLine, sizeof kLine - 1);
  _exit(kDisplayLostStatus);
}

void EndWhenTheDisplayGoes(SDL_Window* w) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return;
  // SDL holds the library open while its X11 video runs; this handle only
  // finds the function and is kept, as the handler stays for the run.
  void* lib = SDL_LoadObject("libX11.so.6");
  if (!lib) return;
  using IOErrorHandler = int (*)(Display*);
  using SetIOErrorHandlerFn = IOErrorHandler (*)(IOErrorHandler);
  if (auto set = reinterpret_cast<SetIOErrorHandlerFn>(SDL_LoadFunction(lib, "XSetIOErrorHandler"))) set(DisplayLost);
}
#else
bool OnBareX11(SDL_Window*) { return false; }
void EndWhenTheDisplayGoes(SDL_Window*) {}
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

Window::Window() : native_(std::make_unique<Native>()) {}
Window::~Window() = default;

bool Window::IsOpen() const { return native_->window != nullptr; }
void* Window::NativeHandle() const { return native_->window.get(); }

bool Window::Create(const char* title) {
  if (native_->window) return true;
  if (!(SDL_WasInit(SDL_INIT_VIDEO) & SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
    return false;
  if (DrawsOffScreenUnasked()) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  // The window's surface straight from the display server (shared memory on
  // X11), not through a renderer SDL would otherwise put behind it.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  native_->window.reset(SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kFrameWidth,
                                         kFrameHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE));
  if (!native_->window) return false;
  EndWhenTheDisplayGoes(native_->window.get());
  native_->wholeDue = true;
  // Characters are typed through the text input, so every keyboard layout
  // and input method types what its keys show.
  SDL_StartTextInput();
  return true;
}

void Window::Show() {
  if (!native_->window) return;
  // Placed before it maps: a bare X server keeps where a window first shows.
  SetFullscreen(true);
  SDL_ShowWindow(native_->window.get());
}

void Window::Destroy() {
  native_ = std::make_unique<Native>();
  fullscreen_ = false;
}

void Window::SetFullscreen(bool on) {
  if (!native_->window || on == fullscreen_) return;
  SDL_Window* w = native_->window.get();
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
    native_->wholeDue = true;
    return;
  }
  if (SDL_SetWindowFullscreen(w, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0)
    fullscreen_ = on;
  else
    fullscreen_ = false;  // the desktop refused: stay a normal window
  native_->wholeDue = true;
}

void Window::Present(const uint16_t* pixels, int width, int height, int pitchPixels) {
  if (width <= 0 || height <= 0) return;
  const bool newSize = width != lastWidth_ || height != lastHeight_;
  if (newSize) {
    lastFrame_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    lastWidth_ = width;
    lastHeight_ = height;
    native_->wholeDue = true;
  }
  // Keep the new frame and find the box around what changed.
  int x0 = width, x1 = 0, y0 = height, y1 = 0;
  for (int y = 0; y < height; ++y) {
    const uint16_t* in = pixels + static_cast<ptrdiff_t>(y) * pitchPixels;
    uint16_t* kept = &lastFrame_[static_cast<size_t>(y) * width];
    if (std::memcmp(in, kept, static_cast<size_t>(width) * 2) == 0) continue;
    int a = 0, b = width;
    while (in[a] == kept[a]) ++a;
    while (in[b - 1] == kept[b - 1]) --b;
    std::memcpy(kept + a, in + a, static_cast<size_t>(b - a) * 2);
    x0 = std::min(x0, a);
    x1 = std::max(x1, b);
    y0 = std::min(y0, y);
    y1 = y + 1;
  }
  ++framesPresented_;
  if (native_->wholeDue)
    ShowArea(0, 0, width, height);
  else if (x0 < x1)
    ShowArea(x0, y0, x1, y1);
}

void Window::Repaint() {
  native_->wholeDue = true;
  if (lastWidth_ > 0) ShowArea(0, 0, lastWidth_, lastHeight_);
}

void Window::ShowArea(int x0, int y0, int x1, int y1) {
  Native& n = *native_;
  if (!n.window) return;
  SDL_Surface* surface = SDL_GetWindowSurface(n.window.get());
  if (!surface) {
    n.wholeDue = true;
    return;
  }
  const int bpp = surface->format->BytesPerPixel;
  if (bpp != 2 && bpp != 4) {
    // Displays of other depths are rare; SDL's own scaler serves them.
    Owned<SDL_Surface, SDL_FreeSurface> frame(SDL_CreateRGBSurfaceWithFormatFrom(
        lastFrame_.data(), lastWidth_, lastHeight_, 16, lastWidth_ * 2, SDL_PIXELFORMAT_RGB565));
    SDL_FillRect(surface, nullptr, 0);
    SDL_Rect box = FitFrame(surface->w, surface->h, lastWidth_, lastHeight_);
    if (frame) SDL_BlitScaled(frame.get(), nullptr, surface, &box);
    SDL_UpdateWindowSurface(n.window.get());
    n.wholeDue = false;
    return;
  }
  if (n.paletteFormat != surface->format->format) {
    n.palette.resize(65536);
    for (uint32_t c = 0; c < 65536; ++c) {
      const uint8_t r = static_cast<uint8_t>(((c >> 11) & 31) * 255 / 31);
      const uint8_t g = static_cast<uint8_t>(((c >> 5) & 63) * 255 / 63);
      const uint8_t b = static_cast<uint8_t>((c & 31) * 255 / 31);
      n.palette[c] = SDL_MapRGB(surface->format, r, g, b);
    }
    n.paletteFormat = surface->format->format;
  }
  const SDL_Rect box = FitFrame(surface->w, surface->h, lastWidth_, lastHeight_);
  const bool whole = n.wholeDue || surface->w != n.surfaceW || surface->h != n.surfaceH || box.w != n.box.w ||
                     box.h != n.box.h || static_cast<int>(n.sourceColumn.size()) != box.w;
  if (whole) {
    n.surfaceW = surface->w;
    n.surfaceH = surface->h;
    n.box = box;
    n.sourceColumn.resize(static_cast<size_t>(box.w));
    for (int i = 0; i < box.w; ++i)
      n.sourceColumn[static_cast<size_t>(i)] = static_cast<int>(int64_t{i} * lastWidth_ / box.w);
    x0 = y0 = 0;
    x1 = lastWidth_;
    y1 = lastHeight_;
  }
  const int wx0 = FirstShowing(x0, lastWidth_, box.w), wx1 = FirstShowing(x1, lastWidth_, box.w);
  const int wy0 = FirstShowing(y0, lastHeight_, box.h), wy1 = FirstShowing(y1, lastHeight_, box.h);
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
  if (whole) SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
  const uint32_t* palette = n.palette.data();
  const int* columns = n.sourceColumn.data();
  int64_t rowBefore = -1;
  for (int wy = wy0; wy < wy1; ++wy) {
    const int64_t source = int64_t{wy} * lastHeight_ / box.h;
    const uint16_t* in = &lastFrame_[static_cast<size_t>(source) * lastWidth_];
    uint8_t* row = static_cast<uint8_t*>(surface->pixels) + static_cast<ptrdiff_t>(box.y + wy) * surface->pitch;
    if (source == rowBefore) {
      // Enlarged, a frame row fills several window rows: copy the one made.
      const ptrdiff_t at = static_cast<ptrdiff_t>(box.x + wx0) * bpp;
      std::memcpy(row + at, row - surface->pitch + at, static_cast<size_t>(wx1 - wx0) * static_cast<size_t>(bpp));
      continue;
    }
    rowBefore = source;
    if (bpp == 4) {
      uint32_t* out = reinterpret_cast<uint32_t*>(row) + box.x;
      for (int wx = wx0; wx < wx1; ++wx) out[wx] = palette[in[columns[wx]]];
    } else {
      uint16_t* out = reinterpret_cast<uint16_t*>(row) + box.x;
      for (int wx = wx0; wx < wx1; ++wx) out[wx] = static_cast<uint16_t>(palette[in[columns[wx]]]);
    }
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  if (whole) {
    SDL_UpdateWindowSurface(n.window.get());
  } else if (wx0 < wx1 && wy0 < wy1) {
    const SDL_Rect changed{box.x + wx0, box.y + wy0, wx1 - wx0, wy1 - wy0};
    SDL_UpdateWindowSurfaceRects(n.window.get(), &changed, 1);
  }
  n.wholeDue = false;
}

void Window::ShownSize(int* width, int* height) const {
  *width = *height = 0;
  if (native_->window) SDL_GetWindowSizeInPixels(native_->window.get(), width, height);
}

uint32_t Window::ShownPixel(int x, int y) const {
  if (!native_->window) return 0;
  SDL_Surface* s = SDL_GetWindowSurface(native_->window.get());
  if (!s || x < 0 || y < 0 || x >= s->w || y >= s->h) return 0;
  const uint8_t* p = static_cast<const uint8_t*>(s->pixels) + static_cast<ptrdiff_t>(y) * s->pitch +
                     static_cast<ptrdiff_t>(x) * s->format->BytesPerPixel;
  uint32_t v = 0;
  std::memcpy(&v, p, std::min<size_t>(s->format->BytesPerPixel, sizeof v));
  uint8_t r = 0, g = 0, b = 0;
  SDL_GetRGB(v, s->format, &r, &g, &b);
  return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

namespace {
// The frame's box in the window as events count (window coordinates).
SDL_Rect EventBox(SDL_Window* w, int frameW, int frameH) {
  int ww = frameW, wh = frameH;
  if (w) SDL_GetWindowSize(w, &ww, &wh);
  return FitFrame(std::max(ww, 1), std::max(wh, 1), frameW, frameH);
}
}  // namespace

void Window::FrameToWindow(float x, float y, int* wx, int* wy) const {
  const SDL_Rect box = EventBox(native_->window.get(), kFrameWidth, kFrameHeight);
  const int fx = static_cast<int>(std::floor(x)), fy = static_cast<int>(std::floor(y));
  *wx = box.x + FirstShowing(fx, kFrameWidth, box.w);
  *wy = box.y + FirstShowing(fy, kFrameHeight, box.h);
}

void Window::WindowToFrame(int wx, int wy, float* x, float* y) const {
  const SDL_Rect box = EventBox(native_->window.get(), kFrameWidth, kFrameHeight);
  // The 640x480 display ends at its edges: the black bars beside the
  // picture count as its nearest pixels.
  const int64_t fx = (int64_t{wx} - box.x) * kFrameWidth / box.w;
  const int64_t fy = (int64_t{wy} - box.y) * kFrameHeight / box.h;
  *x = static_cast<float>(std::clamp<int64_t>(fx, 0, kFrameWidth - 1));
  *y = static_cast<float>(std::clamp<int64_t>(fy, 0, kFrameHeight - 1));
}

void Window::WarpPointer(float x, float y) {
  if (!IsOpen()) return;
  int wx = 0, wy = 0;
  FrameToWindow(x, y, &wx, &wy);
  SDL_WarpMouseInWindow(native_->window.get(), wx, wy);
}

void Window::ShowSystemCursor(bool show) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void Window::DisableInputMethod() {
  // Typing must go on: without the text input no key gives a character. The
  // input method stays as the player set it.
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_StartTextInput();
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
  RunWaitDuty();
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
  if (TakeQuitSignal()) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
  }
  SDL_Event e;
  while (SDL_PollEvent(&e)) Deliver(e);
}

void SetTestDriver(TestDriver driver) { g_driver = std::move(driver); }

void RunTestDriver() {
  if (g_driver) g_driver();
}

WaitDuty SetWaitDuty(WaitDuty duty) {
  std::swap(g_duty, duty);
  return duty;
}

void RunWaitDuty() {
  // Not into itself: a duty that waits in turn does not run again inside.
  if (!g_duty || g_inDuty) return;
  g_inDuty = true;
  const WaitDuty duty = g_duty;  // the duty may replace itself
  duty();
  g_inDuty = false;
}

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
  if (type == SDL_KEYDOWN) PushText(UsLayoutText(e.key.keysym.sym, shift));
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

void PushText(std::string_view utf8) {
  // An event holds a few characters; longer text comes in several, split
  // between characters.
  constexpr size_t kRoom = sizeof(SDL_TextInputEvent::text) - 1;
  while (!utf8.empty()) {
    size_t n = std::min(utf8.size(), kRoom);
    while (n < utf8.size() && n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
    if (n == 0) n = std::min(utf8.size(), kRoom);
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = WindowId();
    std::memcpy(e.text.text, utf8.data(), n);
    SDL_PushEvent(&e);
    utf8.remove_prefix(n);
  }
}

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
