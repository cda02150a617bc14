#include "platform/d3d/device.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d/d3d_math.hpp"
#include "platform/d3d/pixel565.hpp"
#include "platform/runtime/strings.hpp"

namespace plat {

namespace {
constexpr int kMaxLights = 64;
constexpr int kMaxSurfaceSide = 8192;

uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}
float BitsFloat(uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}
}  // namespace

std::string CanonicalDeviceGuid(const std::string& guid) {
  if (EqualNoCase(guid, kHalDeviceGuid)) return kHalDeviceGuid;
  if (EqualNoCase(guid, kRgbDeviceGuid)) return kRgbDeviceGuid;
  return "";
}

D3DTLVERTEX CreateD3DTLVertex(float sx, float sy, float sz, float rhw, uint32_t color, uint32_t specular, float tu,
                              float tv) {
  return D3DTLVERTEX{sx, sy, sz, rhw, color, specular, tu, tv};
}

// ------------------------------------------------------------------- device

Direct3DDevice7::Direct3DDevice7(std::string guid, SurfacePtr target, std::shared_ptr<ZBuffer> depth)
    : guid_(std::move(guid)), target_(std::move(target)), depth_(std::move(depth)) {
  // The defaults of the interface.
  renderStates_[D3DRENDERSTATE_ZENABLE] = depth_ ? 1u : 0u;
  renderStates_[D3DRENDERSTATE_FILLMODE] = 3;
  renderStates_[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
  renderStates_[D3DRENDERSTATE_ZWRITEENABLE] = 1;
  renderStates_[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
  renderStates_[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
  renderStates_[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
  renderStates_[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
  renderStates_[D3DRENDERSTATE_FOGEND] = FloatBits(1.0f);
  renderStates_[D3DRENDERSTATE_FOGDENSITY] = FloatBits(1.0f);
  renderStates_[D3DRENDERSTATE_LIGHTING] = 1;
  for (int s = 0; s < kTextureStages; ++s) {
    auto& st = stageStates_[static_cast<size_t>(s)];
    st[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    st[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    st[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    st[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    st[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    st[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    st[D3DTSS_ADDRESS] = st[D3DTSS_ADDRESSU] = st[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
    st[D3DTSS_MAGFILTER] = D3DTFG_POINT;
    st[D3DTSS_MINFILTER] = D3DTFN_POINT;
    st[D3DTSS_MIPFILTER] = 1;
  }
  world_ = view_ = projection_ = IdentityMatrix();
  if (target_) {
    viewport_.dwWidth = static_cast<uint32_t>(target_->Width());
    viewport_.dwHeight = static_cast<uint32_t>(target_->Height());
  }
  raster_.SetTarget(target_.get(), depth_.get());
}

bool Direct3DDevice7::IsHardware() const { return guid_ == kHalDeviceGuid; }

D3DDEVICEDESC7 Direct3DDevice7::GetCaps() const {
  D3DDEVICEDESC7 d;
  d.deviceGUID = guid_;
  d.dwDevCaps = D3DDEVCAPS_DRAWPRIMTLVERTEX |
                (IsHardware() ? D3DDEVCAPS_HWRASTERIZATION : D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_TEXTURESYSTEMMEMORY);
  D3DPRIMCAPS& t = d.dpcTriCaps;
  const uint32_t blends = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR | D3DPBLENDCAPS_INVSRCCOLOR |
                          D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA | D3DPBLENDCAPS_DESTCOLOR |
                          D3DPBLENDCAPS_INVDESTCOLOR;
  t.dwSrcBlendCaps = t.dwDestBlendCaps = blends;
  t.dwRasterCaps = D3DPRASTERCAPS_ZTEST;
  t.dwZCmpCaps = D3DPCMPCAPS_LESSEQUAL;
  t.dwShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB;
  t.dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA;
  t.dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR | D3DPTFILTERCAPS_MINFPOINT |
                          D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
  t.dwTextureBlendCaps = D3DPTBLENDCAPS_MODULATE;
  t.dwTextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP;
  d.dwDeviceRenderBitDepth = 16;
  d.dwDeviceZBufferBitDepth = 16 | 24 | 32;
  d.dwMinTextureWidth = d.dwMinTextureHeight = 1;
  d.dwMaxTextureWidth = d.dwMaxTextureHeight = kMaxSurfaceSide;
  return d;
}

int Direct3DDevice7::BeginScene() {
  if (inScene_) return D3DERR_SCENE_IN_SCENE;
  inScene_ = true;
  return D3D_OK;
}

int Direct3DDevice7::EndScene() {
  if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
  inScene_ = false;
  return D3D_OK;
}

int Direct3DDevice7::Clear(uint32_t count, const D3DRECT* rects, uint32_t flags, uint32_t color, float z, uint32_t) {
  if (!target_) return DDERR_INVALIDPARAMS;
  if ((flags & D3DCLEAR_ZBUFFER) && !depth_) return DDERR_INVALIDPARAMS;
  const D3DRECT whole{static_cast<int32_t>(viewport_.dwX), static_cast<int32_t>(viewport_.dwY),
                      static_cast<int32_t>(viewport_.dwX + viewport_.dwWidth),
                      static_cast<int32_t>(viewport_.dwY + viewport_.dwHeight)};
  if (count == 0 || !rects) {
    count = 1;
    rects = &whole;
  }
  const uint16_t pixel = px::Rgb565FromArgb(color);
  for (uint32_t i = 0; i < count; ++i) {
    const int x0 = std::max(rects[i].x1, whole.x1), y0 = std::max(rects[i].y1, whole.y1);
    const int x1 = std::min({rects[i].x2, whole.x2, target_->Width()});
    const int y1 = std::min({rects[i].y2, whole.y2, target_->Height()});
    if (x0 >= x1 || y0 >= y1) continue;
    if (flags & D3DCLEAR_TARGET)
      for (int y = y0; y < y1; ++y) std::fill(target_->Row(y) + x0, target_->Row(y) + x1, pixel);
    if (flags & D3DCLEAR_ZBUFFER) depth_->Fill(x0, y0, x1, y1, z);
  }
  return D3D_OK;
}

int Direct3DDevice7::SetRenderState(int state, uint32_t value) {
  if (state < 0 || state >= kRenderStateCount) return DDERR_INVALIDPARAMS;
  renderStates_[static_cast<size_t>(state)] = value;
  stateDirty_ = true;
  return D3D_OK;
}

uint32_t Direct3DDevice7::GetRenderState(int state) const {
  if (state < 0 || state >= kRenderStateCount) return 0;
  return renderStates_[static_cast<size_t>(state)];
}

int Direct3DDevice7::SetRenderStateSingle(int state, float value) { return SetRenderState(state, FloatBits(value)); }
float Direct3DDevice7::GetRenderStateSingle(int state) const { return BitsFloat(GetRenderState(state)); }

int Direct3DDevice7::SetTextureStageState(int stage, int type, uint32_t value) {
  if (stage < 0 || stage >= kTextureStages || type < 0 || type >= kTextureStageStateCount) return DDERR_INVALIDPARAMS;
  auto& st = stageStates_[static_cast<size_t>(stage)];
  st[static_cast<size_t>(type)] = value;
  if (type == D3DTSS_ADDRESS) st[D3DTSS_ADDRESSU] = st[D3DTSS_ADDRESSV] = value;
  stateDirty_ = true;
  return D3D_OK;
}

uint32_t Direct3DDevice7::GetTextureStageState(int stage, int type) const {
  if (stage < 0 || stage >= kTextureStages || type < 0 || type >= kTextureStageStateCount) return 0;
  return stageStates_[static_cast<size_t>(stage)][static_cast<size_t>(type)];
}

int Direct3DDevice7::SetTexture(int stage, SurfacePtr texture) {
  if (stage < 0 || stage >= kTextureStages) return DDERR_INVALIDPARAMS;
  textures_[static_cast<size_t>(stage)] = std::move(texture);
  stateDirty_ = true;
  return D3D_OK;
}

SurfacePtr Direct3DDevice7::GetTexture(int stage) const {
  if (stage < 0 || stage >= kTextureStages) return nullptr;
  return textures_[static_cast<size_t>(stage)];
}

int Direct3DDevice7::SetViewport(const D3DVIEWPORT7& viewport) {
  if (!target_ || viewport.dwWidth == 0 || viewport.dwHeight == 0 ||
      static_cast<uint64_t>(viewport.dwX) + viewport.dwWidth > static_cast<uint64_t>(target_->Width()) ||
      static_cast<uint64_t>(viewport.dwY) + viewport.dwHeight > static_cast<uint64_t>(target_->Height()))
    return DDERR_INVALIDPARAMS;
  viewport_ = viewport;
  raster_.SetClip(static_cast<int>(viewport.dwX), static_cast<int>(viewport.dwY),
                  static_cast<int>(viewport.dwX + viewport.dwWidth), static_cast<int>(viewport.dwY + viewport.dwHeight));
  return D3D_OK;
}

int Direct3DDevice7::SetTransform(int type, const D3DMATRIX& matrix) {
  switch (type) {
    case D3DTRANSFORMSTATE_WORLD: world_ = matrix; return D3D_OK;
    case D3DTRANSFORMSTATE_VIEW: view_ = matrix; return D3D_OK;
    case D3DTRANSFORMSTATE_PROJECTION: projection_ = matrix; return D3D_OK;
    default: return DDERR_INVALIDPARAMS;
  }
}

D3DMATRIX Direct3DDevice7::GetTransform(int type) const {
  switch (type) {
    case D3DTRANSFORMSTATE_WORLD: return world_;
    case D3DTRANSFORMSTATE_VIEW: return view_;
    case D3DTRANSFORMSTATE_PROJECTION: return projection_;
    default: return IdentityMatrix();
  }
}

int Direct3DDevice7::SetLight(int index, const D3DLIGHT7& light) {
  if (index < 0 || index >= kMaxLights) return DDERR_INVALIDPARAMS;
  if (lights_.size() <= static_cast<size_t>(index)) lights_.resize(static_cast<size_t>(index) + 1);
  lights_[static_cast<size_t>(index)].first = light;
  return D3D_OK;
}

D3DLIGHT7 Direct3DDevice7::GetLight(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= lights_.size()) return {};
  return lights_[static_cast<size_t>(index)].first;
}

int Direct3DDevice7::LightEnable(int index, bool enable) {
  if (index < 0 || index >= kMaxLights) return DDERR_INVALIDPARAMS;
  if (lights_.size() <= static_cast<size_t>(index)) lights_.resize(static_cast<size_t>(index) + 1);
  lights_[static_cast<size_t>(index)].second = enable;
  return D3D_OK;
}

bool Direct3DDevice7::GetLightEnable(int index) const {
  return index >= 0 && static_cast<size_t>(index) < lights_.size() && lights_[static_cast<size_t>(index)].second;
}

int Direct3DDevice7::SetMaterial(const D3DMATERIAL7& material) {
  material_ = material;
  return D3D_OK;
}

void Direct3DDevice7::PrepareState() {
  if (!stateDirty_) return;
  stateDirty_ = false;
  const auto& st = stageStates_[0];
  const SurfacePtr& tex = textures_[0];
  // Stage 0 decides whether the texture, the vertex colour or both make the
  // colour, and likewise the alpha.
  auto uses = [](uint32_t op, uint32_t arg1, uint32_t arg2, uint32_t what) {
    auto is = [what](uint32_t arg) {
      const uint32_t a = arg & 0xF;
      return what == D3DTA_TEXTURE ? a == D3DTA_TEXTURE : (a == D3DTA_DIFFUSE || a == D3DTA_CURRENT);
    };
    if (op == D3DTOP_DISABLE) return what != D3DTA_TEXTURE;
    if (op == D3DTOP_SELECTARG1) return is(arg1);
    if (op == D3DTOP_SELECTARG2) return is(arg2);
    return is(arg1) || is(arg2);
  };
  const bool colourTexture = tex && uses(st[D3DTSS_COLOROP], st[D3DTSS_COLORARG1], st[D3DTSS_COLORARG2], D3DTA_TEXTURE);
  const bool colourDiffuse =
      !colourTexture || uses(st[D3DTSS_COLOROP], st[D3DTSS_COLORARG1], st[D3DTSS_COLORARG2], D3DTA_DIFFUSE);
  const bool alphaTexture = tex && uses(st[D3DTSS_ALPHAOP], st[D3DTSS_ALPHAARG1], st[D3DTSS_ALPHAARG2], D3DTA_TEXTURE);
  const bool alphaDiffuse =
      !alphaTexture || uses(st[D3DTSS_ALPHAOP], st[D3DTSS_ALPHAARG1], st[D3DTSS_ALPHAARG2], D3DTA_DIFFUSE);
  whiteVertexColour_ = !colourDiffuse;
  opaqueVertexAlpha_ = !alphaDiffuse;
  flat_ = renderStates_[D3DRENDERSTATE_SHADEMODE] == D3DSHADE_FLAT;
  cullMode_ = static_cast<int>(renderStates_[D3DRENDERSTATE_CULLMODE]);
  minLinear_ = st[D3DTSS_MINFILTER] == D3DTFN_LINEAR;
  magLinear_ = st[D3DTSS_MAGFILTER] == D3DTFG_LINEAR;

  RasterState rs;
  rs.texture = colourTexture || alphaTexture ? tex.get() : nullptr;
  rs.linearFilter = magLinear_;
  // Mirror and border addressing are drawn clamped.
  rs.wrap = st[D3DTSS_ADDRESSU] == D3DTADDRESS_WRAP && st[D3DTSS_ADDRESSV] == D3DTADDRESS_WRAP;
  const auto* keyed = dynamic_cast<const TextureSurface*>(tex.get());
  rs.textureAlpha = alphaTexture && keyed && keyed->AlphaKeyed();
  rs.alphaKey = keyed ? keyed->AlphaKey() : 0;
  rs.blend = renderStates_[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
  rs.srcBlend = static_cast<int>(renderStates_[D3DRENDERSTATE_SRCBLEND]);
  rs.dstBlend = static_cast<int>(renderStates_[D3DRENDERSTATE_DESTBLEND]);
  rs.zTest = renderStates_[D3DRENDERSTATE_ZENABLE] != 0 && depth_;
  rs.zWrite = renderStates_[D3DRENDERSTATE_ZWRITEENABLE] != 0;
  raster_.SetState(rs);
}

RasterVertex Direct3DDevice7::Convert(const D3DTLVERTEX& v) const {
  RasterVertex r;
  r.x = v.sx;
  r.y = v.sy;
  r.z = v.sz;
  r.rhw = v.rhw;
  r.a = opaqueVertexAlpha_ ? 255.0f : static_cast<float>(v.color >> 24);
  if (whiteVertexColour_) {
    r.r = r.g = r.b = 255.0f;
  } else {
    r.r = static_cast<float>((v.color >> 16) & 255u);
    r.g = static_cast<float>((v.color >> 8) & 255u);
    r.b = static_cast<float>(v.color & 255u);
  }
  r.u = v.tu;
  r.v = v.tv;
  return r;
}

bool Direct3DDevice7::Culled(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, bool flip) const {
  if (cullMode_ != D3DCULL_CW && cullMode_ != D3DCULL_CCW) return false;
  // Positive: clockwise as seen on the screen (y grows downwards).
  float cross = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
  if (flip) cross = -cross;
  return cullMode_ == D3DCULL_CCW ? cross < 0 : cross > 0;
}

void Direct3DDevice7::DrawOne(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c, bool flip) {
  RasterVertex va = Convert(a), vb = Convert(b), vc = Convert(c);
  if (Culled(va, vb, vc, flip)) return;
  if (flat_) {
    vb.r = vc.r = va.r;
    vb.g = vc.g = va.g;
    vb.b = vc.b = va.b;
    vb.a = vc.a = va.a;
  }
  if (minLinear_ != magLinear_) {
    // Minified when one pixel covers more than one texel.
    const Surface* tex = raster_.State().texture;
    const float screen = std::fabs((vb.x - va.x) * (vc.y - va.y) - (vc.x - va.x) * (vb.y - va.y));
    const float texels = tex ? std::fabs((vb.u - va.u) * (vc.v - va.v) - (vc.u - va.u) * (vb.v - va.v)) *
                                   static_cast<float>(tex->Width()) * static_cast<float>(tex->Height())
                             : 0.0f;
    const bool linear = texels > screen ? minLinear_ : magLinear_;
    if (linear != raster_.State().linearFilter) {
      RasterState rs = raster_.State();
      rs.linearFilter = linear;
      raster_.SetState(rs);
    }
  }
  raster_.DrawTriangle(va, vb, vc);
}

int Direct3DDevice7::DrawPrimitive(int type, uint32_t vertexFormat, const D3DTLVERTEX* v, uint32_t count, uint32_t) {
  if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
  if (vertexFormat != D3DFVF_TLVERTEX || (!v && count > 0)) return DDERR_INVALIDPARAMS;
  if (!target_) return DDERR_INVALIDPARAMS;
  PrepareState();
  switch (type) {
    case D3DPT_TRIANGLELIST:
      for (uint32_t i = 0; i + 2 < count; i += 3) DrawOne(v[i], v[i + 1], v[i + 2], false);
      return D3D_OK;
    case D3DPT_TRIANGLESTRIP:
      if (count == 4 && minLinear_ == magLinear_) {
        // The battles' quads: both halves drawn in one go when both face
        // the viewer and flat shading gives them one colour.
        RasterVertex q[4] = {Convert(v[0]), Convert(v[1]), Convert(v[2]), Convert(v[3])};
        if (!Culled(q[0], q[1], q[2], false) && !Culled(q[1], q[2], q[3], true) &&
            (!flat_ || v[0].color == v[1].color)) {
          if (flat_)
            for (RasterVertex& x : q) {
              x.r = q[0].r;
              x.g = q[0].g;
              x.b = q[0].b;
              x.a = q[0].a;
            }
          raster_.DrawStripQuad(q);
          return D3D_OK;
        }
      }
      // Every other triangle of a strip runs the other way round.
      for (uint32_t i = 0; i + 2 < count; ++i) DrawOne(v[i], v[i + 1], v[i + 2], (i & 1) != 0);
      return D3D_OK;
    case D3DPT_TRIANGLEFAN:
      for (uint32_t i = 1; i + 1 < count; ++i) DrawOne(v[0], v[i], v[i + 1], false);
      return D3D_OK;
    default: return D3DERR_INVALIDPRIMITIVETYPE;
  }
}

// ------------------------------------------------------------ Direct3D7

std::vector<DDPIXELFORMAT> Direct3D7::EnumZBufferFormats(const std::string& deviceGuid) const {
  if (CanonicalDeviceGuid(deviceGuid).empty()) return {};
  if (overridden_) return formats_;
  std::vector<DDPIXELFORMAT> out;
  for (uint32_t bits : {16u, 24u, 32u})
    out.push_back(ZBufferFormat(DDPF_ZBUFFER, bits, bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u));
  return out;
}

std::shared_ptr<ZBuffer> Direct3D7::CreateZBuffer(int width, int height, const DDPIXELFORMAT& format) const {
  if (!(format.lFlags & DDPF_ZBUFFER) || format.lZBufferBitDepth < 8 || format.lZBufferBitDepth > 32) return nullptr;
  if (width <= 0 || height <= 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) return nullptr;
  return std::make_shared<ZBuffer>(width, height, static_cast<int>(format.lZBufferBitDepth));
}

int Direct3D7::AddAttachedSurface(const SurfacePtr& target, const std::shared_ptr<ZBuffer>& depth) {
  if (!target || !depth || depth->Width() != target->Width() || depth->Height() != target->Height())
    return DDERR_INVALIDPARAMS;
  attached_.erase(std::remove_if(attached_.begin(), attached_.end(),
                                 [&](const auto& e) { return e.first.expired() || e.first.lock() == target; }),
                  attached_.end());
  attached_.emplace_back(target, depth);
  return D3D_OK;
}

std::shared_ptr<ZBuffer> Direct3D7::AttachedZBuffer(const SurfacePtr& target) const {
  for (const auto& e : attached_)
    if (e.first.lock() == target) return e.second;
  return nullptr;
}

std::shared_ptr<Direct3DDevice7> Direct3D7::CreateDevice(const std::string& deviceGuid, const SurfacePtr& target) {
  const std::string guid = CanonicalDeviceGuid(deviceGuid);
  if (guid.empty() || !target || target->Width() <= 0 || target->Height() <= 0) return nullptr;
  return std::make_shared<Direct3DDevice7>(guid, target, AttachedZBuffer(target));
}

}  // namespace plat
