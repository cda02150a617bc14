#pragma once
// The immediate-mode device of the battle screens: an off-screen 640x480
// back surface that every frame is composed in, with a device that draws
// the blended effects onto it as textured, pre-transformed quads.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/d3d/d3d_types.hpp"
#include "platform/d3d/device.hpp"
#include "platform/display/surface.hpp"

namespace fw {

using plat::D3DVECTOR;

class IMClass {
 public:
  std::shared_ptr<plat::DirectX7> m_DX7;
  std::shared_ptr<plat::DirectDraw> Ddw;
  // The render target; the battles also blit into it directly.
  plat::SurfacePtr BackSurface;
  std::shared_ptr<plat::Direct3D7> D3D7;
  std::shared_ptr<plat::Direct3DDevice7> D3Device;
  int32_t lWidth = 0;
  int32_t lHeight = 0;
  // ARGB colour of ClearBackSurface.
  int32_t BackBufferClearValue = 0;
  // True: the hardware device, surfaces in video memory; False: the
  // software device, everything in system memory.
  bool DIRECT3DHALDEVICE = true;

  // Sets up the back surface, its z-buffer, the device and viewport; shows
  // "Unable to Init Direct3D" and returns false on failure.
  bool Init(int32_t width, int32_t height);
  bool AttatchZBuffer();
  void SetDefaultTransformsLightsAndMaterials();
  // Clears to BackBufferClearValue (and the z-buffer to 1.0); nothing
  // before a completed Init.
  void ClearBackSurface();
  void SetViewPosition(float fromX, float fromY, float fromZ, float atX, float atY, float atZ, float upX, float upY,
                       float upZ);
  // Looks from the eye towards eye + (cos d.x, d.y, sin d.x).
  void SetView(const D3DVECTOR& direction, const D3DVECTOR& eye, const D3DVECTOR& up, float roll);
  // Sets the view transform (the viewport itself is left alone).
  void SetViewPort(const D3DVECTOR& from, const D3DVECTOR& at, const D3DVECTOR& up, float roll);
  void SetViewFrustrum(float nearPlane, float farPlane, float fieldOfView);
  void SetFog(int16_t enable, int32_t tableMode, int32_t color);
  void SetFogState(float density, float start, float end);
  // A texture from a picture file (stretched to width x height when both
  // are given) or blank of that size; mode 1 or 2 makes black or white
  // transparent. A picture that cannot be loaded raises.
  plat::SurfacePtr CreateTextureSurface(const std::string& fileName, int32_t mode, int32_t width, int32_t height);
  plat::SurfacePtr ConvertSurfaceToTexture(const plat::SurfacePtr& source, int32_t width, int32_t height);
  // A texture loaded from a picture file; null before Init or for an empty
  // name. A picture that cannot be loaded raises.
  plat::SurfacePtr CreateIMSurface7(const std::string& fileName);
  // Draws the source as a blended texture over the rectangle of the target.
  plat::RECT BLTAlphaBlend(const plat::SurfacePtr& target, const plat::SurfacePtr& source, const plat::RECT& dest);
  void SetupRenderState();
  // 0: blended effects possible; 1: software device; 2: no additive blend.
  int32_t DeviceTextureMode();

  // What the object keeps to itself, for those who check it.
  const std::string& DeviceGuid() const { return deviceGuid_; }
  uint32_t MemoryType() const { return memoryType_; }
  bool Initialised() const { return initialised_; }
  bool ZBufferAttached() const { return zAttached_; }
  const plat::D3DVIEWPORT7& Viewport() const { return viewport_; }

 private:
  D3DVECTOR MakeVector(float x, float y, float z) const;

  plat::D3DVIEWPORT7 viewport_;
  std::shared_ptr<plat::ZBuffer> zBuffer_;
  std::string deviceGuid_;
  uint32_t memoryType_ = 0;
  bool initialised_ = false;
  bool zAttached_ = false;
};

void SetVector(D3DVECTOR& v, float x, float y, float z);
D3DVECTOR AddVector(const D3DVECTOR& a, const D3DVECTOR& b);
D3DVECTOR MakeVector2(float x, float y, float z);

// The z-buffer format AttatchZBuffer takes: the first of 16 bits, else the
// last one offered; nothing when none is offered.
std::optional<plat::DDPIXELFORMAT> ChooseZBufferFormat(const std::vector<plat::DDPIXELFORMAT>& formats);

}  // namespace fw
