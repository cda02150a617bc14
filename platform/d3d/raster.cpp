#include "platform/d3d/raster.hpp"

#include <algorithm>
#include <cmath>

#include "platform/d3d/raster_internal.hpp"
#include "platform/d3d/raster_pixel.hpp"

namespace plat {

ZBuffer::ZBuffer(int width, int height, int bits)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), bits_(bits),
      // Beyond 24 bits a float depth has no more precision to give.
      scale_(bits >= 24 ? 16777215.0f : static_cast<float>((1u << std::max(bits, 1)) - 1u)),
      // A new buffer stands at the far depth, so nothing fails against it.
      cells_(static_cast<size_t>(width_) * static_cast<size_t>(height_), static_cast<uint32_t>(scale_)) {}

void ZBuffer::Fill(int x0, int y0, int x1, int y1, float depth) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width_);
  y1 = std::min(y1, height_);
  if (x0 >= x1 || y0 >= y1) return;
  const uint32_t value = static_cast<uint32_t>(std::clamp(depth, 0.0f, 1.0f) * scale_);
  // A fill of the whole buffer hides every fill before it.
  if (x0 == 0 && y0 == 0 && x1 == width_ && y1 == height_) pending_.clear();
  pending_.push_back(PendingFill{x0, y0, x1, y1, value});
  if (pending_.size() > 64) FillPending();  // many small fills: keep the list short
}

void ZBuffer::FillPending() const {
  for (const PendingFill& f : pending_) {
    for (int y = f.y0; y < f.y1; ++y) {
      uint32_t* row = cells_.data() + static_cast<size_t>(y) * width_;
      std::fill(row + f.x0, row + f.x1, f.value);
    }
  }
  pending_.clear();
}

BlendMode ClassifyBlend(bool enabled, int srcBlend, int dstBlend, BlendCoefficients* coefs) {
  if (!enabled || (srcBlend == D3DBLEND_ONE && dstBlend == D3DBLEND_ZERO)) return BlendMode::Opaque;
  if (srcBlend == D3DBLEND_ONE && dstBlend == D3DBLEND_ONE) return BlendMode::Add;
  if (srcBlend == D3DBLEND_BOTHSRCALPHA || (srcBlend == D3DBLEND_SRCALPHA && dstBlend == D3DBLEND_INVSRCALPHA))
    return BlendMode::Alpha;
  // The target has no alpha of its own: destination alpha counts as one.
  auto factor = [](int f) {
    switch (f) {
      case D3DBLEND_ONE:
      case D3DBLEND_DESTALPHA: return BlendFactor{1, 0, 0, 0};
      case D3DBLEND_SRCCOLOR: return BlendFactor{0, 1, 0, 0};
      case D3DBLEND_INVSRCCOLOR: return BlendFactor{1, -1, 0, 0};
      case D3DBLEND_SRCALPHA: return BlendFactor{0, 0, 1, 0};
      case D3DBLEND_INVSRCALPHA: return BlendFactor{1, 0, -1, 0};
      case D3DBLEND_DESTCOLOR: return BlendFactor{0, 0, 0, 1};
      case D3DBLEND_INVDESTCOLOR: return BlendFactor{1, 0, 0, -1};
      default: return BlendFactor{};  // zero, inverse destination alpha, saturated source alpha
    }
  };
  if (coefs) {
    coefs->source = factor(srcBlend);
    coefs->destination = factor(dstBlend);
    if (srcBlend == D3DBLEND_BOTHINVSRCALPHA) {
      coefs->source = factor(D3DBLEND_INVSRCALPHA);
      coefs->destination = factor(D3DBLEND_SRCALPHA);
    }
  }
  return BlendMode::General;
}

namespace {

using raster::Columns;
using raster::Filter;
using raster::Layout;
using raster::RectContext;
using raster::RectFn;
using px::Alpha256;
using px::Combine;
using px::KeyAlpha;
using px::LerpAlpha;

enum class Addr : uint8_t { Clamp, WrapPow2, WrapAny };

// The smallest whole number n with n + 0.5 >= v: the first pixel whose
// centre is at or past v. Coordinates are within the guard band here.
inline int FirstCentreAtOrAfter(float v) {
  const float f = v - 0.5f;
  const int i = static_cast<int>(f);
  return i + (f > static_cast<float>(i) ? 1 : 0);
}

template <Addr A>
inline int Address(int i, int max, int size) {
  if constexpr (A == Addr::Clamp) return std::min(std::max(i, 0), max);
  if constexpr (A == Addr::WrapPow2) return i & max;
  if constexpr (A == Addr::WrapAny) {
    const int m = i % size;
    return m < 0 ? m + size : m;
  }
}

// ---------------------------------------------------------------- triangles

struct SpanContext {
  const uint16_t* tex = nullptr;
  int pitch = 0, tw = 1, th = 1, umax = 0, vmax = 0;
  uint16_t key = 0;
  float dz = 0, dw = 0, duw = 0, dvw = 0;
  int32_t dr = 0, dg = 0, db = 0, da = 0;
  float zscale = 0;
  BlendCoefficients coefs;
};

struct SpanStart {
  float z, w, uw, vw;
  int32_t r, g, b, a;
};

using SpanFn = void (*)(const SpanContext&, uint16_t*, const uint32_t*, uint32_t*, int, SpanStart);

// Texture coordinates are corrected for perspective at every 16th pixel and
// stepped evenly in between, in 1/256 texel units.
constexpr int kPerspectiveStep = 16;

template <Filter F, bool Keyed, Addr A, BlendMode B, bool Z>
void Span(const SpanContext& c, uint16_t* __restrict dst, const uint32_t* zr, uint32_t* zw, int n, SpanStart s) {
  const int bias = F == Filter::Linear ? 128 : 0;
  int32_t fu = 0, fv = 0;
  if constexpr (F != Filter::None) {
    const float iw = 1.0f / s.w;
    fu = static_cast<int32_t>(s.uw * iw) - bias;
    fv = static_cast<int32_t>(s.vw * iw) - bias;
  }
  for (int i0 = 0; i0 < n; i0 += kPerspectiveStep) {
    const int len = n - i0 < kPerspectiveStep ? n - i0 : kPerspectiveStep;
    // Steps in 1/65536 texel, so the even stretch between two corrected
    // pixels drifts by less than one 1/256 texel unit.
    int32_t du = 0, dv = 0, nextU = 0, nextV = 0, accU = 0, accV = 0;
    const int32_t baseU = fu, baseV = fv;
    if constexpr (F != Filter::None) {
      const float flen = static_cast<float>(len);
      s.w += c.dw * flen;
      s.uw += c.duw * flen;
      s.vw += c.dvw * flen;
      const float iw = 1.0f / s.w;
      nextU = static_cast<int32_t>(s.uw * iw) - bias;
      nextV = static_cast<int32_t>(s.vw * iw) - bias;
      du = static_cast<int32_t>((static_cast<int64_t>(nextU - fu) * 256) / len);
      dv = static_cast<int32_t>((static_cast<int64_t>(nextV - fv) * 256) / len);
    }
    for (int i = i0; i < i0 + len; ++i, s.z += c.dz, s.r += c.dr, s.g += c.dg, s.b += c.db, s.a += c.da,
             accU += du, accV += dv, fu = baseU + (accU >> 8), fv = baseV + (accV >> 8)) {
      uint32_t zi = 0;
      if constexpr (Z) {
        zi = static_cast<uint32_t>(s.z * c.zscale);
        if (zi > zr[i]) continue;
      }
      uint32_t col;
      uint32_t a256 = Alpha256(s.a >> 16);
      if constexpr (F == Filter::None) {
        col = px::FromRgb8(static_cast<uint32_t>(s.r >> 16), static_cast<uint32_t>(s.g >> 16),
                           static_cast<uint32_t>(s.b >> 16));
      } else {
        if constexpr (F == Filter::Linear) {
          const int x0 = fu >> 8, y0 = fv >> 8;
          const uint32_t wx = static_cast<uint32_t>(fu & 255) >> 3, wy = static_cast<uint32_t>(fv & 255) >> 3;
          const int xa = Address<A>(x0, c.umax, c.tw), xb = Address<A>(x0 + 1, c.umax, c.tw);
          const uint16_t* r0 = c.tex + Address<A>(y0, c.vmax, c.th) * c.pitch;
          const uint16_t* r1 = c.tex + Address<A>(y0 + 1, c.vmax, c.th) * c.pitch;
          const uint16_t t00 = r0[xa], t01 = r0[xb], t10 = r1[xa], t11 = r1[xb];
          // Rows first, then columns, as the rectangle kernels do.
          col = px::Lerp(px::Lerp(px::Spread(t00), px::Spread(t10), wy),
                         px::Lerp(px::Spread(t01), px::Spread(t11), wy), wx);
          if constexpr (Keyed) {
            const uint32_t ta = LerpAlpha(LerpAlpha(KeyAlpha(t00, c.key), KeyAlpha(t10, c.key), wy),
                                          LerpAlpha(KeyAlpha(t01, c.key), KeyAlpha(t11, c.key), wy), wx);
            a256 = (a256 * ta) >> 8;
          }
        } else {
          const uint16_t t = c.tex[Address<A>(fv >> 8, c.vmax, c.th) * c.pitch + Address<A>(fu >> 8, c.umax, c.tw)];
          col = px::Spread(t);
          if constexpr (Keyed) a256 = (a256 * KeyAlpha(t, c.key)) >> 8;
        }
        col = px::Modulate(col, static_cast<uint32_t>(s.r >> 16), static_cast<uint32_t>(s.g >> 16),
                           static_cast<uint32_t>(s.b >> 16));
      }
      dst[i] = Combine<B>(col, dst[i], a256, c.coefs);
      if constexpr (Z) zw[i] = zi;
    }
    fu = nextU;
    fv = nextV;
  }
}

template <Filter F, bool K, Addr A, BlendMode B>
SpanFn PickDepth(bool z) {
  return z ? &Span<F, K, A, B, true> : &Span<F, K, A, B, false>;
}
template <Filter F, bool K, Addr A>
SpanFn PickBlend(BlendMode b, bool z) {
  switch (b) {
    case BlendMode::Opaque: return PickDepth<F, K, A, BlendMode::Opaque>(z);
    case BlendMode::Add: return PickDepth<F, K, A, BlendMode::Add>(z);
    case BlendMode::Alpha: return PickDepth<F, K, A, BlendMode::Alpha>(z);
    default: return PickDepth<F, K, A, BlendMode::General>(z);
  }
}
template <Filter F, bool K>
SpanFn PickAddress(Addr a, BlendMode b, bool z) {
  switch (a) {
    case Addr::Clamp: return PickBlend<F, K, Addr::Clamp>(b, z);
    case Addr::WrapPow2: return PickBlend<F, K, Addr::WrapPow2>(b, z);
    default: return PickBlend<F, K, Addr::WrapAny>(b, z);
  }
}
template <Filter F>
SpanFn PickKey(bool keyed, Addr a, BlendMode b, bool z) {
  return keyed ? PickAddress<F, true>(a, b, z) : PickAddress<F, false>(a, b, z);
}
SpanFn PickSpan(Filter f, bool keyed, Addr a, BlendMode b, bool z) {
  switch (f) {
    case Filter::None: return PickBlend<Filter::None, false, Addr::Clamp>(b, z);
    case Filter::Point: return PickKey<Filter::Point>(keyed, a, b, z);
    default: return PickKey<Filter::Linear>(keyed, a, b, z);
  }
}

RectFn PickRect(bool widest, Filter f, Layout l, bool keyed, BlendMode b, bool mod) {
  const RectFn best = widest ? raster::PickRectAvx2(f, l, keyed, b, mod) : nullptr;
  return best ? best : raster::PickRectBaseline(f, l, keyed, b, mod);
}

// ----------------------------------------------------------------- clipping

// Beyond this distance from the origin, triangles are cut before they are
// scanned, so edge arithmetic stays well inside float and int range.
constexpr float kGuardBand = 16384.0f;

// A vertex while clipping: texture coordinates divided by w so that every
// attribute is linear in screen space.
struct ClipVertex {
  float a[10];  // x, y, z, rhw, r, g, b, alpha, u*rhw, v*rhw
};

ClipVertex ToClip(const RasterVertex& v) {
  return ClipVertex{{v.x, v.y, v.z, v.rhw, v.r, v.g, v.b, v.a, v.u * v.rhw, v.v * v.rhw}};
}
RasterVertex FromClip(const ClipVertex& c) {
  RasterVertex v;
  v.x = c.a[0];
  v.y = c.a[1];
  v.z = std::clamp(c.a[2], 0.0f, 1.0f);
  v.rhw = c.a[3];
  v.r = c.a[4];
  v.g = c.a[5];
  v.b = c.a[6];
  v.a = c.a[7];
  v.u = c.a[8] / c.a[3];
  v.v = c.a[9] / c.a[3];
  return v;
}

// Keeps the part of the polygon where a[axis] * sign <= limit * sign.
int ClipPolygon(const ClipVertex* in, int n, ClipVertex* out, int axis, float sign, float limit) {
  int m = 0;
  for (int i = 0; i < n; ++i) {
    const ClipVertex& p = in[i];
    const ClipVertex& q = in[(i + 1) % n];
    const float dp = (limit - p.a[axis]) * sign;
    const float dq = (limit - q.a[axis]) * sign;
    if (dp >= 0) out[m++] = p;
    if ((dp >= 0) != (dq >= 0)) {
      const float t = dp / (dp - dq);
      ClipVertex r;
      for (int k = 0; k < 10; ++k) r.a[k] = p.a[k] + (q.a[k] - p.a[k]) * t;
      out[m++] = r;
    }
  }
  return m;
}

bool Finite(const RasterVertex& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.rhw) &&
         std::isfinite(v.u) && std::isfinite(v.v) && std::isfinite(v.r) && std::isfinite(v.g) && std::isfinite(v.b) &&
         std::isfinite(v.a);
}

bool InsideGuard(const RasterVertex& v) {
  return v.x >= -kGuardBand && v.x <= kGuardBand && v.y >= -kGuardBand && v.y <= kGuardBand && v.z >= 0.0f &&
         v.z <= 1.0f;
}

inline int32_t ToFixed(float v) { return static_cast<int32_t>(v * 65536.0f); }

}  // namespace

Rasterizer::Rasterizer() : rect_(std::make_unique<RectContext>()) {
  Select();
  ChooseKernels();
}

Rasterizer::~Rasterizer() = default;

void Rasterizer::UseKernels(bool widest, bool additive) {
  widestKernels_ = widest;
  additiveKernels_ = additive;
  ChooseKernels();
}

void Rasterizer::ChooseKernels() {
  for (int c = 0; c < 4; ++c)
    for (int linear = 0; linear < 2; ++linear)
      for (int mod = 0; mod < 2; ++mod) {
        const Columns columns = static_cast<Columns>(c);
        RectFn fn = nullptr;
        if (additiveKernels_) {
          if (widestKernels_) fn = raster::PickAddAvx2(columns, linear, mod);
          if (!fn) fn = raster::PickAddBaseline(columns, linear, mod);
        }
        addKernels_[c][linear][mod] = fn;
      }
}

void Rasterizer::SetTarget(Surface* target, ZBuffer* depth) {
  target_ = target;
  depth_ = depth;
  if (depth_ && target_ && (depth_->Width() < target_->Width() || depth_->Height() < target_->Height()))
    depth_ = nullptr;
  SetClip(0, 0, target_ ? target_->Width() : 0, target_ ? target_->Height() : 0);
  zScratch_.assign(static_cast<size_t>(target_ ? target_->Width() : 0) + 1, 0);
  Select();
}

void Rasterizer::SetClip(int x0, int y0, int x1, int y1) {
  const int w = target_ ? target_->Width() : 0, h = target_ ? target_->Height() : 0;
  clipX0_ = std::clamp(x0, 0, w);
  clipY0_ = std::clamp(y0, 0, h);
  clipX1_ = std::clamp(x1, clipX0_, w);
  clipY1_ = std::clamp(y1, clipY0_, h);
}

void Rasterizer::SetState(const RasterState& state) {
  // The device hands over its state before every quad.
  if (state == state_) return;
  state_ = state;
  Select();
}

void Rasterizer::Select() {
  blendMode_ = ClassifyBlend(state_.blend, state_.srcBlend, state_.dstBlend, &coefs_);
}

void Rasterizer::DrawTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c) {
  if (!target_ || clipX0_ >= clipX1_ || clipY0_ >= clipY1_) return;
  if (!Finite(a) || !Finite(b) || !Finite(c)) return;
  // Wholly outside the clip rectangle on one side.
  if ((a.x < clipX0_ && b.x < clipX0_ && c.x < clipX0_) || (a.x > clipX1_ && b.x > clipX1_ && c.x > clipX1_) ||
      (a.y < clipY0_ && b.y < clipY0_ && c.y < clipY0_) || (a.y > clipY1_ && b.y > clipY1_ && c.y > clipY1_))
    return;
  if (InsideGuard(a) && InsideGuard(b) && InsideGuard(c))
    Setup(a, b, c);
  else
    DrawClipped(a, b, c);
}

void Rasterizer::DrawClipped(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c) {
  ClipVertex bufA[16], bufB[16];
  bufA[0] = ToClip(a);
  bufA[1] = ToClip(b);
  bufA[2] = ToClip(c);
  int n = 3;
  struct Plane {
    int axis;
    float sign, limit;
  };
  const Plane planes[] = {{0, 1, kGuardBand}, {0, -1, -kGuardBand}, {1, 1, kGuardBand},
                          {1, -1, -kGuardBand}, {2, 1, 1.0f}, {2, -1, 0.0f}};
  ClipVertex* in = bufA;
  ClipVertex* out = bufB;
  for (const Plane& p : planes) {
    n = ClipPolygon(in, n, out, p.axis, p.sign, p.limit);
    if (n < 3) return;
    std::swap(in, out);
  }
  const RasterVertex first = FromClip(in[0]);
  for (int i = 1; i + 1 < n; ++i) Setup(first, FromClip(in[i]), FromClip(in[i + 1]));
}

void Rasterizer::Setup(const RasterVertex& va, const RasterVertex& vb, const RasterVertex& vc) {
  // Top to bottom, ties left to right, so an edge shared by two triangles
  // is walked from the same end with the same numbers in both.
  const RasterVertex* v[3] = {&va, &vb, &vc};
  auto above = [](const RasterVertex* p, const RasterVertex* q) { return p->y < q->y || (p->y == q->y && p->x < q->x); };
  if (above(v[1], v[0])) std::swap(v[0], v[1]);
  if (above(v[2], v[1])) std::swap(v[1], v[2]);
  if (above(v[1], v[0])) std::swap(v[0], v[1]);
  const RasterVertex& p0 = *v[0];
  const RasterVertex& p1 = *v[1];
  const RasterVertex& p2 = *v[2];

  const float area = (p1.x - p0.x) * (p2.y - p0.y) - (p2.x - p0.x) * (p1.y - p0.y);
  if (!(std::fabs(area) > 1e-6f)) return;
  const int yStart = std::max(FirstCentreAtOrAfter(p0.y), clipY0_);
  const int yEnd = std::min(FirstCentreAtOrAfter(p2.y), clipY1_);
  if (yStart >= yEnd) return;

  const Surface* tex = state_.texture;
  const bool textured = tex && tex->Width() > 0 && tex->Height() > 0;
  const bool ztest = state_.zTest && depth_;

  // With one reciprocal w for all three corners there is nothing to
  // correct for perspective; an unusable w is treated the same way.
  const bool affine = (p0.rhw == p1.rhw && p1.rhw == p2.rhw) || !(p0.rhw > 0 && p1.rhw > 0 && p2.rhw > 0);
  const float w0 = affine ? 1.0f : p0.rhw, w1 = affine ? 1.0f : p1.rhw, w2 = affine ? 1.0f : p2.rhw;

  const float inv = 1.0f / area;
  const float ey1 = p1.y - p0.y, ey2 = p2.y - p0.y, ex1 = p1.x - p0.x, ex2 = p2.x - p0.x;
  auto gradient = [&](float a0, float a1, float a2, float& dx, float& dy) {
    dx = ((a1 - a0) * ey2 - (a2 - a0) * ey1) * inv;
    dy = ((a2 - a0) * ex1 - (a1 - a0) * ex2) * inv;
  };

  SpanContext ctx;
  float tsu = 0, tsv = 0;
  Addr addr = Addr::Clamp;
  if (textured) {
    ctx.tex = tex->Pixels();
    ctx.pitch = tex->PitchPixels();
    ctx.tw = tex->Width();
    ctx.th = tex->Height();
    ctx.umax = ctx.tw - 1;
    ctx.vmax = ctx.th - 1;
    ctx.key = state_.alphaKey;
    tsu = static_cast<float>(ctx.tw) * 256.0f;
    tsv = static_cast<float>(ctx.th) * 256.0f;
    auto in01 = [](float t) { return t >= 0.0f && t <= 1.0f; };
    const bool inRange = in01(p0.u) && in01(p1.u) && in01(p2.u) && in01(p0.v) && in01(p1.v) && in01(p2.v);
    if (state_.wrap && !inRange) {
      const bool pow2 = (ctx.tw & (ctx.tw - 1)) == 0 && (ctx.th & (ctx.th - 1)) == 0;
      addr = pow2 ? Addr::WrapPow2 : Addr::WrapAny;
    }
  }
  ctx.coefs = coefs_;
  ctx.zscale = ztest ? depth_->Scale() : 0.0f;
  const SpanFn span = PickSpan(textured ? (state_.linearFilter ? Filter::Linear : Filter::Point) : Filter::None,
                               textured && state_.textureAlpha, addr, blendMode_, ztest);

  float dzx, dzy, dwx, dwy, dux, duy, dvx, dvy, drx, dry, dgx, dgy, dbx, dby, dax, day;
  gradient(p0.z, p1.z, p2.z, dzx, dzy);
  gradient(w0, w1, w2, dwx, dwy);
  const float u0 = p0.u * w0 * tsu, u1 = p1.u * w1 * tsu, u2 = p2.u * w2 * tsu;
  const float q0 = p0.v * w0 * tsv, q1 = p1.v * w1 * tsv, q2 = p2.v * w2 * tsv;
  gradient(u0, u1, u2, dux, duy);
  gradient(q0, q1, q2, dvx, dvy);
  gradient(p0.r, p1.r, p2.r, drx, dry);
  gradient(p0.g, p1.g, p2.g, dgx, dgy);
  gradient(p0.b, p1.b, p2.b, dbx, dby);
  gradient(p0.a, p1.a, p2.a, dax, day);
  ctx.dz = dzx;
  ctx.dw = dwx;
  ctx.duw = dux;
  ctx.dvw = dvx;

  const float slopeLong = (p2.x - p0.x) / (p2.y - p0.y);
  const float slopeTop = p1.y > p0.y ? (p1.x - p0.x) / (p1.y - p0.y) : 0.0f;
  const float slopeBottom = p2.y > p1.y ? (p2.x - p1.x) / (p2.y - p1.y) : 0.0f;
  const bool longOnLeft = area > 0;

  uint16_t* pixels = target_->Pixels();
  const int pitch = target_->PitchPixels();
  static constexpr float kTop = 255.99f;
  static constexpr int64_t kTopFixed = static_cast<int64_t>(255.99 * 65536.0);
  const int32_t stepR = ToFixed(drx), stepG = ToFixed(dgx), stepB = ToFixed(dbx), stepA = ToFixed(dax);
  for (int y = yStart; y < yEnd; ++y) {
    const float yc = static_cast<float>(y) + 0.5f;
    const float xLong = p0.x + (yc - p0.y) * slopeLong;
    const float xShort = yc < p1.y ? p0.x + (yc - p0.y) * slopeTop : p1.x + (yc - p1.y) * slopeBottom;
    const float xl = longOnLeft ? xLong : xShort;
    const float xr = longOnLeft ? xShort : xLong;
    const int xs = std::max(FirstCentreAtOrAfter(xl), clipX0_);
    const int xe = std::min(FirstCentreAtOrAfter(xr), clipX1_);
    if (xs >= xe) continue;
    const float fx = static_cast<float>(xs) + 0.5f - p0.x, fy = yc - p0.y;
    const int n = xe - xs;
    SpanStart s;
    s.z = std::clamp(p0.z + fx * dzx + fy * dzy, 0.0f, 1.0f);
    s.w = w0 + fx * dwx + fy * dwy;
    s.uw = u0 + fx * dux + fy * duy;
    s.vw = q0 + fx * dvx + fy * dvy;
    // Colours stay within 0..255 at both ends of the span, whatever the
    // rounding at the triangle's edges; only a span that would leave the
    // range gets a step of its own.
    auto colour = [n](float start, int32_t stepAll, int32_t& out, int32_t& step) {
      out = ToFixed(std::clamp(start, 0.0f, kTop));
      step = stepAll;
      const int64_t end = static_cast<int64_t>(out) + static_cast<int64_t>(stepAll) * (n - 1);
      if (end < 0 || end > kTopFixed) step = static_cast<int32_t>(((end < 0 ? 0 : kTopFixed) - out) / std::max(n - 1, 1));
    };
    colour(p0.r + fx * drx + fy * dry, stepR, s.r, ctx.dr);
    colour(p0.g + fx * dgx + fy * dgy, stepG, s.g, ctx.dg);
    colour(p0.b + fx * dbx + fy * dby, stepB, s.b, ctx.db);
    colour(p0.a + fx * dax + fy * day, stepA, s.a, ctx.da);
    uint32_t* zrow = ztest ? depth_->Row(y) + xs : nullptr;
    uint32_t* zwrite = ztest ? (state_.zWrite ? zrow : zScratch_.data()) : nullptr;
    span(ctx, pixels + static_cast<ptrdiff_t>(y) * pitch + xs, zrow, zwrite, n, s);
  }
}

const Rasterizer::AxisTable& Rasterizer::BuildAxis(AxisTable& t, int first, int count, float c0, float c1, float t0,
                                                   float t1, int size, bool linear, bool wrap) {
  const float offset = static_cast<float>(first) - c0, extent = c1 - c0;
  if (t.valid && t.offset == offset && t.count == count && t.extent == extent && t.t0 == t0 && t.t1 == t1 &&
      t.size == size && t.linear == linear && t.wrap == wrap)
    return t;
  t.valid = true;
  t.offset = offset;
  t.count = count;
  t.extent = extent;
  t.t0 = t0;
  t.t1 = t1;
  t.size = size;
  t.linear = linear;
  t.wrap = wrap;
  t.windowsMade = false;
  const size_t n = static_cast<size_t>(count);
  // Vector kernels may look up to 16 entries past the last; those repeat it.
  const size_t padded = n + 16;
  t.a.resize(padded);
  t.b.resize(padded);
  t.w.resize(padded);
  // In 1/256 texel steps, less half a texel for the linear filter, whose
  // samples are centred between texels.
  const double scale = (static_cast<double>(t1) - t0) / extent * size * 256.0;
  const double start = static_cast<double>(t0) * size * 256.0 + (offset + 0.5) * scale - (linear ? 128.0 : 0.0);
  const int max = size - 1;
  t.zeroWeights = t.unitRun = t.halvingRun = true;
  t.lowest = max;
  t.highest = 0;
  for (size_t i = 0; i < n; ++i) {
    const double pos = start + scale * static_cast<double>(i);
    int f = static_cast<int>(pos);
    f -= static_cast<double>(f) > pos ? 1 : 0;
    int ia = f >> 8, ib = ia + 1;
    if (wrap) {
      ia = ((ia % size) + size) % size;
      ib = ((ib % size) + size) % size;
    } else {
      ia = std::clamp(ia, 0, max);
      ib = std::clamp(ib, 0, max);
    }
    const uint8_t wt = linear ? static_cast<uint8_t>((f & 255) >> 3) : 0;
    t.a[i] = ia;
    t.b[i] = ib;
    t.w[i] = wt;
    t.zeroWeights = t.zeroWeights && wt == 0;
    t.unitRun = t.unitRun && ia == t.a[0] + static_cast<int>(i);
    t.halvingRun = t.halvingRun && wt == 16 && ia == t.a[0] + 2 * static_cast<int>(i) && ib == ia + 1;
    t.lowest = std::min({t.lowest, ia, ib});
    t.highest = std::max({t.highest, ia, ib});
  }
  for (size_t i = n; i < padded; ++i) {
    t.a[i] = t.a[n - 1];
    t.b[i] = t.b[n - 1];
    t.w[i] = t.w[n - 1];
  }
  t.aFromLowest.resize(padded);
  t.bFromLowest.resize(padded);
  for (size_t i = 0; i < padded; ++i) {
    t.aFromLowest[i] = t.a[i] - t.lowest;
    t.bFromLowest[i] = t.b[i] - t.lowest;
  }
  return t;
}

bool Rasterizer::MakeWindows(AxisTable& t) {
  if (t.windowsMade) return t.windowsFit;
  t.windowsMade = true;
  t.windowsFit = false;
  const int groups = (t.count + 15) / 16, windows = 2 * groups;
  t.windowStart.assign(static_cast<size_t>(windows), 0);
  t.windowCtrl.assign(static_cast<size_t>(groups) * raster::kWindowGroupBytes, 0x80);
  for (int w = 0; w < windows; ++w) {
    // Groups of 16 pixels from the first, but for a last one that would
    // reach past the row: that one ends with the row where the row is wide
    // enough (see the kernels); the padded tables reach past it.
    const int group = w / 2;
    const int from = group == t.count / 16 && t.count >= 16 ? t.count - 16 : 16 * group;
    const size_t p0 = static_cast<size_t>(from + (w % 2) * raster::kWindowPixels);
    int lo = t.aFromLowest[p0], hi = lo;
    for (size_t p = p0; p < p0 + raster::kWindowPixels; ++p)
      for (int e : {t.aFromLowest[p], t.bFromLowest[p]}) {
        lo = std::min(lo, e);
        hi = std::max(hi, e);
      }
    if (hi - lo > 15) return false;
    t.windowStart[static_cast<size_t>(w)] = lo;
    // Both bytes of a texel, from the window's first or last eight; the
    // other control leaves the lane zero.
    uint8_t* ctrl = t.windowCtrl.data() + (w / 2) * raster::kWindowGroupBytes + (w % 2) * 16;
    for (int j = 0; j < raster::kWindowPixels; ++j)
      for (int second = 0; second < 2; ++second) {
        const int e = (second ? t.bFromLowest : t.aFromLowest)[p0 + static_cast<size_t>(j)] - lo;
        uint8_t* half = ctrl + second * 64 + (e < 8 ? 0 : 32);
        half[2 * j] = static_cast<uint8_t>(2 * (e % 8));
        half[2 * j + 1] = static_cast<uint8_t>(2 * (e % 8) + 1);
      }
  }
  t.windowsFit = true;
  return true;
}

void Rasterizer::DrawStripQuad(const RasterVertex v[4]) {
  if (!target_ || clipX0_ >= clipX1_ || clipY0_ >= clipY1_) return;
  if (TryRectangle(v)) return;
  DrawTriangle(v[0], v[1], v[2]);
  DrawTriangle(v[1], v[2], v[3]);
}

bool Rasterizer::TryRectangle(const RasterVertex v[4]) {
  if (!rectPath_ || (state_.zTest && depth_)) return false;
  const RasterVertex &a = v[0], &b = v[1], &c = v[2], &d = v[3];
  // The strip's shared edge (b-c) and the other pair (a-d) must be the
  // rectangle's diagonals: b and c differ in x and in y, and a shares its x
  // with one of them and its y with the other (sharing both, the strip's
  // triangles have no area). Every comparison that pairs them fails for NaN.
  const bool xWithB = a.x == b.x && d.x == c.x, xWithC = a.x == c.x && d.x == b.x;
  const bool yWithB = a.y == b.y && d.y == c.y, yWithC = a.y == c.y && d.y == b.y;
  if (!(b.x != c.x && b.y != c.y && ((xWithB && yWithC) || (xWithC && yWithB)))) return false;
  auto inGuard = [](float t) { return t >= -kGuardBand && t <= kGuardBand; };
  auto inDepth = [](float z) { return z >= 0.0f && z <= 1.0f; };
  if (!(inGuard(b.x) && inGuard(c.x) && inGuard(b.y) && inGuard(c.y) && inDepth(a.z) && inDepth(b.z) &&
        inDepth(c.z) && inDepth(d.z)))
    return false;
  // One finite colour and w.
  for (int i = 1; i < 4; ++i)
    if (v[i].rhw != a.rhw || v[i].r != a.r || v[i].g != a.g || v[i].b != a.b || v[i].a != a.a) return false;
  if (!std::isfinite(a.rhw) || !std::isfinite(a.r) || !std::isfinite(a.g) || !std::isfinite(a.b) ||
      !std::isfinite(a.a))
    return false;
  // Texture coordinates must follow the axes: u from x alone, v from y.
  if (!(xWithB ? a.u == b.u && d.u == c.u : a.u == c.u && d.u == b.u)) return false;
  if (!(yWithB ? a.v == b.v && d.v == c.v : a.v == c.v && d.v == b.v)) return false;
  const float xmin = std::min(b.x, c.x), xmax = std::max(b.x, c.x);
  const float ymin = std::min(b.y, c.y), ymax = std::max(b.y, c.y);
  const float uL = b.x < c.x ? b.u : c.u, uR = b.x < c.x ? c.u : b.u;
  const float vT = b.y < c.y ? b.v : c.v, vB = b.y < c.y ? c.v : b.v;
  if (!std::isfinite(uL) || !std::isfinite(uR) || !std::isfinite(vT) || !std::isfinite(vB)) return false;

  const int x0 = std::max(FirstCentreAtOrAfter(xmin), clipX0_), x1 = std::min(FirstCentreAtOrAfter(xmax), clipX1_);
  const int y0 = std::max(FirstCentreAtOrAfter(ymin), clipY0_), y1 = std::min(FirstCentreAtOrAfter(ymax), clipY1_);
  if (x0 >= x1 || y0 >= y1) return true;
  const int w = x1 - x0, h = y1 - y0;

  RectContext& rc = *rect_;
  rc.dst = target_->Pixels() + static_cast<ptrdiff_t>(y0) * target_->PitchPixels() + x0;
  rc.dstPitch = target_->PitchPixels();
  rc.width = w;
  rc.height = h;
  rc.coefs = coefs_;
  auto channel = [](float c) { return static_cast<uint32_t>(std::clamp(c, 0.0f, 255.0f)); };
  rc.r8 = channel(v[0].r);
  rc.g8 = channel(v[0].g);
  rc.b8 = channel(v[0].b);
  rc.a256 = Alpha256(static_cast<int32_t>(channel(v[0].a)));
  rc.flat = px::FromRgb8(rc.r8, rc.g8, rc.b8);

  const Surface* tex = state_.texture;
  if (!tex || tex->Width() <= 0 || tex->Height() <= 0) {
    PickRect(widestKernels_, Filter::None, Layout::Gather, false, blendMode_, false)(rc);
    return true;
  }
  const int tw = tex->Width(), th = tex->Height();
  rc.tex = tex->Pixels();
  rc.texPitch = tex->PitchPixels();
  rc.texSize = static_cast<ptrdiff_t>(rc.texPitch) * th;
  rc.key = state_.alphaKey;
  auto in01 = [](float t) { return t >= 0.0f && t <= 1.0f; };
  const bool wrap = state_.wrap && !(in01(uL) && in01(uR) && in01(vT) && in01(vB));
  bool linear = state_.linearFilter;

  // Per column and per row: the texel pair and the weight of the second.
  // Effects of one size at whole-pixel positions share their tables.
  const AxisTable& cols = BuildAxis(colTable_, x0, w, xmin, xmax, uL, uR, tw, linear, wrap);
  const AxisTable& rows = BuildAxis(rowTable_, y0, h, ymin, ymax, vT, vB, th, linear, wrap);
  // A linear filter whose samples all fall on texel centres is point
  // sampling.
  if (linear && cols.zeroWeights && rows.zeroWeights) linear = false;
  const bool mod = rc.r8 != 255 || rc.g8 != 255 || rc.b8 != 255;
  rc.colW = cols.w.data();
  rc.rowA = rows.a.data();
  rc.rowB = rows.b.data();
  rc.rowW = rows.w.data();
  if (blendMode_ == BlendMode::Add && additiveKernels_) {
    // Columns whose weights are all zero take their first texels alone,
    // whatever the filter.
    const bool colLinear = linear && !cols.zeroWeights;
    Columns how = Columns::Gather;
    if (!colLinear && cols.unitRun)
      how = Columns::Unit;
    else if (colLinear && cols.halvingRun)
      how = Columns::Halving;
    else if (addKernels_[static_cast<int>(Columns::Window)][colLinear][mod] && MakeWindows(colTable_))
      how = Columns::Window;
    if (const RectKernel kernel = addKernels_[static_cast<int>(how)][colLinear][mod]) {
      rc.first = cols.lowest;
      rc.count = cols.highest - cols.lowest + 1;
      // Two padded rows (see the kernels).
      const size_t rowsSize = 2 * static_cast<size_t>(rc.count + raster::kRowPad);
      if (row565_.size() < rowsSize) row565_.resize(rowsSize);
      rc.row565 = row565_.data();
      rc.colA = cols.aFromLowest.data();
      rc.colB = cols.bFromLowest.data();
      rc.windowStart = colTable_.windowStart.data();
      rc.windowCtrl = colTable_.windowCtrl.data();
      kernel(rc);
      return true;
    }
  }
  const Layout layout = (linear ? cols.halvingRun : cols.unitRun) ? Layout::Run : Layout::Gather;
  if (linear || layout == Layout::Gather) {
    // The row buffers hold the texel columns the pixels use.
    rc.first = cols.lowest;
    rc.count = cols.highest - cols.lowest + 1;
    if (rowBuffer_.size() < static_cast<size_t>(rc.count)) {
      rowBuffer_.resize(static_cast<size_t>(rc.count));
      rowAlpha_.resize(static_cast<size_t>(rc.count));
    }
    rc.rowBuffer = rowBuffer_.data();
    rc.rowAlpha = rowAlpha_.data();
    rc.colA = cols.aFromLowest.data();
    rc.colB = cols.bFromLowest.data();
  } else {
    rc.colA = cols.a.data();
    rc.colB = cols.b.data();
  }
  PickRect(widestKernels_, linear ? Filter::Linear : Filter::Point, layout, state_.textureAlpha, blendMode_, mod)(rc);
  return true;
}

}  // namespace plat
