// libs: plat_display
// A picture from arbitrary bytes, as an archive member or a loose file may
// hold them: refused or decoded, never harm. Every pixel of a decoded
// picture is read, so a row written short or past its end is caught.
#include <cstddef>
#include <cstdint>

#include "platform/display/surface.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const plat::SurfacePtr s = plat::DecodePicture(data, size);
  if (!s) return 0;
  if (s->Width() < 1 || s->Height() < 1 || s->Width() > plat::kMaxPictureSide || s->Height() > plat::kMaxPictureSide)
    __builtin_trap();
  uint32_t sum = 0;
  for (int y = 0; y < s->Height(); ++y)
    for (int x = 0; x < s->Width(); ++x) sum += s->Row(y)[x];
  volatile uint32_t keep = sum;
  (void)keep;
  return 0;
}
