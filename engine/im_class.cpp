#include "engine/im_class.hpp"

#include <cmath>

#include "platform/d3d/d3d_math.hpp"
#include "platform/d3d/texture.hpp"
#include "platform/display/message_box.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"

namespace fw {

namespace {

constexpr const char* kHalDevice = "IID_IDIRECT3DHALDEVICE";
constexpr const char* kRgbDevice = "IID_IDIRECT3DRGBDEVICE";
constexpr int kMaxSide = 8192;

plat::D3DCOLORVALUE Colour(float r, float g, float b, float a) { return plat::D3DCOLORVALUE{r, g, b, a}; }

// A picture file as a texture, or a raised error naming the file.
plat::TextureSurfacePtr LoadTexturePicture(const std::string& fileName, int32_t width, int32_t height) {
  plat::TextureSurfacePtr tex = plat::LoadTextureFile(plat::NativePath(fileName), width, height);
  if (!tex) throw plat::RuntimeError(plat::ErrorCode::FileNotFound, "Cannot load the picture \"" + fileName + "\"");
  return tex;
}

}  // namespace

void SetVector(D3DVECTOR& v, float x, float y, float z) {
  v.x = x;
  v.y = y;
  v.z = z;
}

D3DVECTOR AddVector(const D3DVECTOR& a, const D3DVECTOR& b) { return D3DVECTOR{a.x + b.x, a.y + b.y, a.z + b.z}; }

D3DVECTOR MakeVector2(float x, float y, float z) { return D3DVECTOR{x, y, z}; }

D3DVECTOR IMClass::MakeVector(float x, float y, float z) const { return D3DVECTOR{x, y, z}; }

std::optional<plat::DDPIXELFORMAT> ChooseZBufferFormat(const std::vector<plat::DDPIXELFORMAT>& formats) {
  if (formats.empty()) return std::nullopt;
  for (const plat::DDPIXELFORMAT& f : formats)
    if (f.lZBufferBitDepth == 16) return f;
  return formats.back();
}

bool IMClass::Init(int32_t width, int32_t height) {
  if (!m_DX7) m_DX7 = std::make_shared<plat::DirectX7>();
  Ddw = m_DX7->DirectDrawCreate("");
  bool ok = Ddw != nullptr;
  if (ok) {
    Ddw->SetCooperativeLevel(nullptr, plat::DDSCL_NORMAL);
    D3D7 = std::make_shared<plat::Direct3D7>(Ddw);
    lWidth = width;
    lHeight = height;
    deviceGuid_ = DIRECT3DHALDEVICE ? kHalDevice : kRgbDevice;
    memoryType_ = DIRECT3DHALDEVICE ? plat::DDSCAPS_VIDEOMEMORY : plat::DDSCAPS_SYSTEMMEMORY;
    ok = width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide;
  }
  if (ok) {
    BackSurface = std::make_shared<plat::Surface>(width, height);
    AttatchZBuffer();
    D3Device = D3D7->CreateDevice(deviceGuid_, BackSurface);
    ok = D3Device != nullptr;
  }
  if (ok) {
    viewport_ = plat::D3DVIEWPORT7{0, 0, static_cast<uint32_t>(width), static_cast<uint32_t>(height), 0.0f, 1.0f};
    ok = D3Device->SetViewport(viewport_) == plat::D3D_OK;
  }
  if (!ok) {
    plat::MsgBox("Unable to Init Direct3D");
    return false;
  }
  initialised_ = true;
  // The battles draw pre-transformed vertices: no projection is needed.
  SetViewPort(MakeVector2(10, 5, -10), MakeVector2(0, 0, 0), MakeVector2(0, 1, 0), 0);
  return true;
}

bool IMClass::AttatchZBuffer() {
  zAttached_ = false;
  if (!D3D7 || !BackSurface) return false;
  const std::optional<plat::DDPIXELFORMAT> format = ChooseZBufferFormat(D3D7->EnumZBufferFormats(deviceGuid_));
  if (!format) return false;
  plat::DDPIXELFORMAT f = *format;
  f.lFlags |= plat::DDPF_ZBUFFER;
  zBuffer_ = D3D7->CreateZBuffer(BackSurface->Width(), BackSurface->Height(), f);
  if (!zBuffer_ || D3D7->AddAttachedSurface(BackSurface, zBuffer_) != plat::D3D_OK) {
    zBuffer_.reset();
    plat::MsgBox("Attatch ZBuffer Faild");
    return false;
  }
  zAttached_ = true;
  return true;
}

void IMClass::SetDefaultTransformsLightsAndMaterials() {
  if (!D3Device) return;
  const plat::D3DMATRIX identity = plat::IdentityMatrix();
  D3Device->SetTransform(plat::D3DTRANSFORMSTATE_WORLD, identity);
  D3Device->SetTransform(plat::D3DTRANSFORMSTATE_VIEW, identity);
  D3Device->SetTransform(plat::D3DTRANSFORMSTATE_PROJECTION, identity);
  SetViewPort(MakeVector(0, 0, -5), MakeVector(0, 0, 0), MakeVector(0, 1, 0), 0);
  SetViewFrustrum(10, 1000, 3.141f / 4.0f);
  plat::D3DLIGHT7 light;
  light.dltType = plat::D3DLIGHT_POINT;
  light.dcvDiffuse = light.dcvSpecular = light.dcvAmbient = Colour(1.0f, 0.5f, 0.5f, 1.0f);
  light.dvPosition = MakeVector(0, 100, 0);
  D3Device->SetLight(0, light);
  D3Device->LightEnable(0, true);
  plat::D3DMATERIAL7 material;
  material.diffuse = Colour(0.5f, 0.5f, 0.5f, 1.0f);
  material.ambient = Colour(4.0f, 4.0f, 4.0f, 0.0f);
  material.specular = material.emissive = Colour(0.5f, 0.5f, 0.5f, 0.0f);
  material.power = 0.0f;
  D3Device->SetMaterial(material);
}

void IMClass::ClearBackSurface() {
  if (!initialised_ || !D3Device) return;
  const plat::D3DRECT whole{0, 0, lWidth, lHeight};
  const uint32_t flags = zAttached_ ? plat::D3DCLEAR_TARGET | plat::D3DCLEAR_ZBUFFER : plat::D3DCLEAR_TARGET;
  D3Device->Clear(1, &whole, flags, static_cast<uint32_t>(BackBufferClearValue), 1.0f, 0);
}

void IMClass::SetViewPort(const D3DVECTOR& from, const D3DVECTOR& at, const D3DVECTOR& up, float roll) {
  const plat::D3DMATRIX view = plat::ViewMatrix(from, at, up, roll);
  if (D3Device) D3Device->SetTransform(plat::D3DTRANSFORMSTATE_VIEW, view);
}

void IMClass::SetViewPosition(float fromX, float fromY, float fromZ, float atX, float atY, float atZ, float upX,
                              float upY, float upZ) {
  SetViewPort(MakeVector(fromX, fromY, fromZ), MakeVector(atX, atY, atZ), MakeVector(upX, upY, upZ), 0);
}

void IMClass::SetView(const D3DVECTOR& direction, const D3DVECTOR& eye, const D3DVECTOR& up, float roll) {
  const D3DVECTOR at = AddVector(eye, MakeVector(std::cos(direction.x), direction.y, std::sin(direction.x)));
  SetViewPort(eye, at, up, roll);
}

void IMClass::SetViewFrustrum(float nearPlane, float farPlane, float fieldOfView) {
  const plat::D3DMATRIX projection = plat::ProjectionMatrix(nearPlane, farPlane, fieldOfView);
  if (D3Device) D3Device->SetTransform(plat::D3DTRANSFORMSTATE_PROJECTION, projection);
}

void IMClass::SetFog(int16_t enable, int32_t tableMode, int32_t color) {
  if (!D3Device) return;
  D3Device->SetRenderState(plat::D3DRENDERSTATE_FOGENABLE, enable != 0 ? 1u : 0u);
  D3Device->SetRenderState(plat::D3DRENDERSTATE_FOGTABLEMODE, static_cast<uint32_t>(tableMode));
  D3Device->SetRenderState(plat::D3DRENDERSTATE_FOGCOLOR, static_cast<uint32_t>(color));
}

void IMClass::SetFogState(float density, float start, float end) {
  if (!D3Device) return;
  D3Device->SetRenderStateSingle(plat::D3DRENDERSTATE_FOGDENSITY, density);
  D3Device->SetRenderStateSingle(plat::D3DRENDERSTATE_FOGSTART, start);
  D3Device->SetRenderStateSingle(plat::D3DRENDERSTATE_FOGEND, end);
}

plat::SurfacePtr IMClass::CreateTextureSurface(const std::string& fileName, int32_t mode, int32_t width,
                                               int32_t height) {
  if (!D3Device) return nullptr;
  plat::TextureSurfacePtr tex =
      fileName.empty() ? plat::CreateTexture(width, height) : LoadTexturePicture(fileName, width, height);
  if (!tex) return nullptr;
  if (D3Device->IsHardware()) {
    tex->Caps = plat::DDSCAPS_TEXTURE;
    tex->Caps2 = plat::DDSCAPS2_TEXTUREMANAGE;
  } else {
    tex->Caps = plat::DDSCAPS_TEXTURE | plat::DDSCAPS_SYSTEMMEMORY;
  }
  if (mode == 1) tex->SetAlphaKey(0x0000);
  if (mode == 2) tex->SetAlphaKey(0xFFFF);
  return tex;
}

plat::SurfacePtr IMClass::ConvertSurfaceToTexture(const plat::SurfacePtr& source, int32_t width, int32_t height) {
  if (!source) return nullptr;
  if (width == 0 || height == 0) {
    width = source->Width();
    height = source->Height();
  }
  plat::SurfacePtr tex = CreateTextureSurface("", 0, width, height);
  if (tex) plat::CopySurface(*source, *tex);
  return tex;
}

plat::SurfacePtr IMClass::CreateIMSurface7(const std::string& fileName) {
  if (!D3Device || fileName.empty()) return nullptr;
  plat::TextureSurfacePtr tex = LoadTexturePicture(fileName, 0, 0);
  if (D3Device->GetDeviceGuid() == plat::kHalDeviceGuid) {
    tex->Caps = plat::DDSCAPS_TEXTURE;
    tex->Caps2 = plat::DDSCAPS2_TEXTUREMANAGE;
  } else {
    tex->Caps = plat::DDSCAPS_TEXTURE | plat::DDSCAPS_SYSTEMMEMORY;
  }
  return tex;
}

plat::RECT IMClass::BLTAlphaBlend(const plat::SurfacePtr& target, const plat::SurfacePtr& source,
                                  const plat::RECT& dest) {
  if (!initialised_ || !D3Device || !target || !source) return plat::RECT{};
  plat::StretchSurface(*target, *BackSurface);
  D3Device->BeginScene();
  D3Device->SetTexture(0, source);
  D3Device->SetRenderState(plat::D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  plat::D3DMATERIAL7 material;
  material.emissive = Colour(1.0f, 1.0f, 1.0f, 1.0f);
  D3Device->SetMaterial(material);
  const float l = static_cast<float>(dest.Left), t = static_cast<float>(dest.Top);
  const float r = static_cast<float>(dest.Right), b = static_cast<float>(dest.Bottom);
  const plat::D3DTLVERTEX quad[4] = {plat::CreateD3DTLVertex(l, b, 0.99f, 0.5f, 0xFFFFFFFFu, 0, 0, 1),
                                     plat::CreateD3DTLVertex(l, t, 0.99f, 0.5f, 0xFFFFFFFFu, 0, 0, 0),
                                     plat::CreateD3DTLVertex(r, b, 0.99f, 0.5f, 0xFFFFFFFFu, 0, 1, 1),
                                     plat::CreateD3DTLVertex(r, t, 0.99f, 0.5f, 0xFFFFFFFFu, 0, 1, 0)};
  D3Device->DrawPrimitive(plat::D3DPT_TRIANGLESTRIP, plat::D3DFVF_TLVERTEX, quad, 4, 0);
  D3Device->EndScene();
  plat::StretchSurface(*BackSurface, *target);
  return plat::RECT{};
}

void IMClass::SetupRenderState() {
  if (!D3Device) return;
  D3Device->SetRenderState(plat::D3DRENDERSTATE_AMBIENT, 0xFFFFFFFFu);
  D3Device->SetRenderState(plat::D3DRENDERSTATE_SRCBLEND, plat::D3DBLEND_ONE);
  D3Device->SetRenderState(plat::D3DRENDERSTATE_DESTBLEND, plat::D3DBLEND_ONE);
  D3Device->SetRenderState(plat::D3DRENDERSTATE_DITHERENABLE, 1);
  D3Device->SetRenderState(plat::D3DRENDERSTATE_SPECULARENABLE, 0);
  D3Device->SetRenderState(plat::D3DRENDERSTATE_ZENABLE, 0);
  D3Device->SetTextureStageState(0, plat::D3DTSS_COLORARG1, plat::D3DTA_TEXTURE);
  D3Device->SetTextureStageState(0, plat::D3DTSS_COLORARG2, plat::D3DTA_DIFFUSE);
  D3Device->SetTextureStageState(0, plat::D3DTSS_COLOROP, plat::D3DTOP_MODULATE);
  D3Device->SetTextureStageState(0, plat::D3DTSS_MINFILTER, plat::D3DTFN_LINEAR);
  D3Device->SetTextureStageState(0, plat::D3DTSS_MAGFILTER, plat::D3DTFG_LINEAR);
}

int32_t IMClass::DeviceTextureMode() {
  if (!DIRECT3DHALDEVICE) return 1;
  // Without a device there is nothing to blend with.
  if (!D3Device) return 2;
  return (D3Device->GetCaps().dpcTriCaps.dwDestBlendCaps & plat::D3DPBLENDCAPS_ONE) ? 0 : 2;
}

}  // namespace fw
