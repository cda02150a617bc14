#pragma once
// A 24-bit drawing surface for the sample pictures, saved as BMP or JPG.
#include <cstdint>
#include <string>
#include <vector>

namespace mkdata {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
};

Rgb Mix(Rgb a, Rgb b, float t);

class Canvas {
 public:
  Canvas(int width, int height, Rgb fill = {});
  int Width() const { return w_; }
  int Height() const { return h_; }

  void Set(int x, int y, Rgb c);
  Rgb Get(int x, int y) const;
  void Fill(Rgb c);
  void Rect(int x, int y, int w, int h, Rgb c);
  void Frame(int x, int y, int w, int h, Rgb c, int thickness = 1);
  void VerticalGradient(int x, int y, int w, int h, Rgb top, Rgb bottom);
  void Disc(float cx, float cy, float radius, Rgb c);
  void Ring(float cx, float cy, float radius, float thickness, Rgb c);
  void Line(float x0, float y0, float x1, float y1, Rgb c, float thickness = 1.0f);
  // A filled polygon (even-odd rule).
  void Polygon(const std::vector<std::pair<float, float>>& points, Rgb c);
  // Deterministic speckle for textures: amount 0..1 of brightness change.
  void Noise(int x, int y, int w, int h, float amount, uint32_t seed);
  // Text in a Debian face (sans, bold when asked); size in pixels.
  void Text(int x, int y, const std::string& utf8, int pixelSize, Rgb c, bool bold = false);
  // Width in pixels of a text at a size.
  int TextWidth(const std::string& utf8, int pixelSize, bool bold = false) const;
  void TextCentered(int cx, int y, const std::string& utf8, int pixelSize, Rgb c, bool bold = false);
  // Copies another canvas in at (x, y).
  void Paste(const Canvas& src, int x, int y);

  std::vector<uint8_t> Bmp() const;
  std::vector<uint8_t> Jpg(int quality = 90) const;

 private:
  int w_, h_;
  std::vector<Rgb> px_;
};

// Deterministic value noise: Hash in [0, 1) per whole point, SmoothNoise
// blended between them, for the sample pictures' ground and grain.
float Hash(int x, int y, uint32_t seed);
float SmoothNoise(float x, float y, uint32_t seed);

}  // namespace mkdata
