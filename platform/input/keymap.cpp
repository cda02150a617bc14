// SDL key codes against the Windows virtual-key codes that the game's key
// bindings and settings file hold.
#include <SDL.h>

#include <string>
#include <utility>

#include "platform/input/window.hpp"

namespace plat {
namespace {

struct KeyPair {
  SDL_Keycode sdl;
  int16_t vk;
};

// Keys other than letters, digits and function keys, which are computed.
constexpr KeyPair kKeys[] = {
    {SDLK_BACKSPACE, 8},   {SDLK_TAB, 9},         {SDLK_CLEAR, 12},       {SDLK_RETURN, 13},     {SDLK_KP_ENTER, 13},
    {SDLK_LSHIFT, 16},     {SDLK_RSHIFT, 16},     {SDLK_LCTRL, 17},       {SDLK_RCTRL, 17},      {SDLK_LALT, 18},
    {SDLK_RALT, 18},       {SDLK_PAUSE, 19},      {SDLK_CAPSLOCK, 20},    {SDLK_ESCAPE, 27},     {SDLK_SPACE, 32},
    {SDLK_PAGEUP, 33},     {SDLK_PAGEDOWN, 34},   {SDLK_END, 35},         {SDLK_HOME, 36},       {SDLK_LEFT, 37},
    {SDLK_UP, 38},         {SDLK_RIGHT, 39},      {SDLK_DOWN, 40},        {SDLK_SELECT, 41},     {SDLK_PRINTSCREEN, 44},
    {SDLK_INSERT, 45},     {SDLK_DELETE, 46},     {SDLK_LGUI, 91},        {SDLK_RGUI, 92},       {SDLK_APPLICATION, 93},
    {SDLK_KP_0, 96},       {SDLK_KP_1, 97},       {SDLK_KP_2, 98},        {SDLK_KP_3, 99},       {SDLK_KP_4, 100},
    {SDLK_KP_5, 101},      {SDLK_KP_6, 102},      {SDLK_KP_7, 103},       {SDLK_KP_8, 104},      {SDLK_KP_9, 105},
    {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107}, {SDLK_KP_MINUS, 109},   {SDLK_KP_PERIOD, 110}, {SDLK_KP_DIVIDE, 111},
    {SDLK_NUMLOCKCLEAR, 144}, {SDLK_SCROLLLOCK, 145}, {SDLK_SEMICOLON, 186}, {SDLK_EQUALS, 187}, {SDLK_COMMA, 188},
    {SDLK_MINUS, 189},     {SDLK_PERIOD, 190},    {SDLK_SLASH, 191},      {SDLK_BACKQUOTE, 192}, {SDLK_LEFTBRACKET, 219},
    {SDLK_BACKSLASH, 220}, {SDLK_RIGHTBRACKET, 221}, {SDLK_QUOTE, 222},
};

// US layout: the character of each key with Shift held.
char Shifted(char c) {
  static const char* from = "1234567890-=[]\\;',./`";
  static const char* to = "!@#$%^&*()_+{}|:\"<>?~";
  for (int i = 0; from[i]; ++i)
    if (from[i] == c) return to[i];
  return c;
}
}  // namespace

int16_t VirtualKeyFromSdl(int32_t key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<int16_t>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<int16_t>('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<int16_t>(112 + (key - SDLK_F1));
  for (const auto& k : kKeys)
    if (k.sdl == key) return k.vk;
  return 0;
}

int32_t SdlKeyFromVirtual(int16_t vk) {
  if (vk >= 'A' && vk <= 'Z') return SDLK_a + (vk - 'A');
  if (vk >= '0' && vk <= '9') return SDLK_0 + (vk - '0');
  if (vk >= 112 && vk <= 123) return SDLK_F1 + (vk - 112);
  for (const auto& k : kKeys)
    if (k.vk == vk) return k.sdl;
  return SDLK_UNKNOWN;
}

int16_t ControlKeyAscii(int32_t key, int16_t shift) {
  // Characters come from the text input; these keys type none but still
  // report their control code, as do Ctrl chords of letters.
  if (shift & 4) return 0;
  if (key >= SDLK_a && key <= SDLK_z) return (shift & 2) ? static_cast<int16_t>(1 + (key - SDLK_a)) : 0;
  if (shift & 2) return 0;
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return 13;
    case SDLK_ESCAPE: return 27;
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    default: return 0;
  }
}

std::string UsLayoutText(int32_t key, int16_t shift) {
  if (shift & 6) return "";  // Ctrl and Alt chords type nothing
  const bool shiftHeld = (shift & 1) != 0;
  if (key >= SDLK_a && key <= SDLK_z) return std::string(1, static_cast<char>((shiftHeld ? 'A' : 'a') + (key - SDLK_a)));
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return std::string(1, static_cast<char>('1' + (key - SDLK_KP_1)));
  switch (key) {
    case SDLK_KP_0: return "0";
    case SDLK_KP_MULTIPLY: return "*";
    case SDLK_KP_PLUS: return "+";
    case SDLK_KP_MINUS: return "-";
    case SDLK_KP_PERIOD: return ".";
    case SDLK_KP_DIVIDE: return "/";
    default: break;
  }
  if (key >= 32 && key <= 126) {
    const char c = static_cast<char>(key);
    return std::string(1, shiftHeld ? Shifted(c) : c);
  }
  return "";
}

}  // namespace plat
