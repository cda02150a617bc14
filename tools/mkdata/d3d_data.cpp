// Sample models of the 3D layer: a textured cube and an animated walker,
// with the crate texture they share, as members of "Data".
#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/d3d_models.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

// A wooden crate face: planks framed by a border, a diagonal brace.
Canvas CrateTexture() {
  const Rgb wood{158, 112, 62}, dark{92, 60, 30}, light{196, 150, 92};
  Canvas c(64, 64, wood);
  for (int y = 8; y < 56; y += 12) c.Line(6, static_cast<float>(y), 58, static_cast<float>(y), Mix(wood, dark, 0.5f));
  c.Noise(0, 0, 64, 64, 0.12f, 11);
  c.Line(8, 56, 56, 8, dark, 5.0f);
  c.Line(8, 55, 55, 8, light, 1.5f);
  c.Frame(0, 0, 64, 64, dark, 6);
  c.Frame(1, 1, 62, 62, light, 1);
  for (int x : {3, 60})
    for (int y : {3, 60}) c.Disc(static_cast<float>(x), static_cast<float>(y), 1.5f, {60, 60, 64});
  return c;
}

void Models(Context& ctx) {
  const auto crate = CrateTexture().Bmp();
  ctx.Member("Data", "Crate.bmp", crate.data(), crate.size());
  ctx.Member("Data", "Cube.x", models::CubeX("Crate.bmp"));
  ctx.Member("Data", "Walker.x", models::WalkerX("Crate.bmp"));
}

Step models("d3d models", 40, Models);

}  // namespace
}  // namespace mkdata
