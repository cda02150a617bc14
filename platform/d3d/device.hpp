#pragma once
// The immediate-mode device: render and texture-stage states, scenes,
// clearing, and pre-transformed, lit primitives drawn by the software
// rasteriser into a 16-bit surface with an optional depth buffer. The
// device keeps transforms, lights, material and fog as state for the
// callers that set them; only pre-transformed vertices are drawn.
#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/d3d/d3d_types.hpp"
#include "platform/d3d/raster.hpp"
#include "platform/d3d/texture.hpp"
#include "platform/display/surface.hpp"

namespace plat {

class Direct3DDevice7 {
 public:
  Direct3DDevice7(std::string guid, SurfacePtr target, std::shared_ptr<ZBuffer> depth);

  const std::string& GetDeviceGuid() const { return guid_; }
  bool IsHardware() const;
  const SurfacePtr& GetRenderTarget() const { return target_; }
  const std::shared_ptr<ZBuffer>& GetZBuffer() const { return depth_; }
  D3DDEVICEDESC7 GetCaps() const;

  int BeginScene();
  int EndScene();
  bool InScene() const { return inScene_; }

  // Clears the rectangles (the whole viewport when there are none) within
  // the viewport: the target to an ARGB colour, the depth buffer to a depth.
  int Clear(uint32_t count, const D3DRECT* rects, uint32_t flags, uint32_t color, float z, uint32_t stencil);

  int SetRenderState(int state, uint32_t value);
  uint32_t GetRenderState(int state) const;
  // For the states that hold a number (fog start, end, density).
  int SetRenderStateSingle(int state, float value);
  float GetRenderStateSingle(int state) const;
  int SetTextureStageState(int stage, int type, uint32_t value);
  uint32_t GetTextureStageState(int stage, int type) const;
  int SetTexture(int stage, SurfacePtr texture);
  SurfacePtr GetTexture(int stage) const;

  int SetViewport(const D3DVIEWPORT7& viewport);
  D3DVIEWPORT7 GetViewport() const { return viewport_; }
  int SetTransform(int type, const D3DMATRIX& matrix);
  D3DMATRIX GetTransform(int type) const;
  int SetLight(int index, const D3DLIGHT7& light);
  D3DLIGHT7 GetLight(int index) const;
  int LightEnable(int index, bool enable);
  bool GetLightEnable(int index) const;
  int SetMaterial(const D3DMATERIAL7& material);
  D3DMATERIAL7 GetMaterial() const { return material_; }

  // Triangle lists, strips and fans of D3DTLVERTEX (format 0x1C4), inside a
  // scene. Triangles are clipped to the viewport; back faces are culled as
  // the cull mode says (counter-clockwise ones by default).
  int DrawPrimitive(int type, uint32_t vertexFormat, const D3DTLVERTEX* vertices, uint32_t count, uint32_t flags);

  Rasterizer& RasterizerForTests() { return raster_; }

 private:
  void PrepareState();
  void DrawOne(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c, bool flip);
  bool Culled(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, bool flip) const;
  RasterVertex Convert(const D3DTLVERTEX& v) const;

  std::string guid_;
  SurfacePtr target_;
  std::shared_ptr<ZBuffer> depth_;
  Rasterizer raster_;
  bool inScene_ = false;
  bool stateDirty_ = true;
  std::array<uint32_t, kRenderStateCount> renderStates_{};
  std::array<std::array<uint32_t, kTextureStageStateCount>, kTextureStages> stageStates_{};
  std::array<SurfacePtr, kTextureStages> textures_{};
  D3DVIEWPORT7 viewport_;
  D3DMATRIX world_, view_, projection_;
  std::vector<std::pair<D3DLIGHT7, bool>> lights_;
  D3DMATERIAL7 material_;
  // Derived from the states when drawing starts.
  bool whiteVertexColour_ = false, opaqueVertexAlpha_ = false, flat_ = false;
  bool minLinear_ = false, magLinear_ = false;
  int cullMode_ = D3DCULL_CCW;
};

// The Direct3D object of a DirectDraw object: the depth-buffer formats it
// offers, depth buffers attached to render targets, and devices.
class Direct3D7 {
 public:
  explicit Direct3D7(std::shared_ptr<DirectDraw> owner) : owner_(std::move(owner)) {}

  // The formats for a device identifier in the order they are offered:
  // 16, 24 and 32 bits; none for an unknown identifier.
  std::vector<DDPIXELFORMAT> EnumZBufferFormats(const std::string& deviceGuid) const;
  // Test hook: the formats offered from now on.
  void SetZBufferFormats(std::vector<DDPIXELFORMAT> formats) { formats_ = std::move(formats); overridden_ = true; }

  // A depth buffer of that size and format; null when the format is no
  // depth format or the size is unusable.
  std::shared_ptr<ZBuffer> CreateZBuffer(int width, int height, const DDPIXELFORMAT& format) const;
  // Attaches a depth buffer to a render target of its size, for the
  // devices created on the target afterwards.
  int AddAttachedSurface(const SurfacePtr& target, const std::shared_ptr<ZBuffer>& depth);
  std::shared_ptr<ZBuffer> AttachedZBuffer(const SurfacePtr& target) const;

  // A device of that identifier (the hardware or the software one, letter
  // case ignored) drawing into the target; null when either is unusable.
  std::shared_ptr<Direct3DDevice7> CreateDevice(const std::string& deviceGuid, const SurfacePtr& target);

 private:
  std::shared_ptr<DirectDraw> owner_;
  std::vector<DDPIXELFORMAT> formats_;
  bool overridden_ = false;
  std::vector<std::pair<std::weak_ptr<Surface>, std::shared_ptr<ZBuffer>>> attached_;
};

// The canonical spelling of a device identifier, or "" when it names no
// device of this layer.
std::string CanonicalDeviceGuid(const std::string& guid);

// A transformed-and-lit vertex from its eight values.
D3DTLVERTEX CreateD3DTLVertex(float sx, float sy, float sz, float rhw, uint32_t color, uint32_t specular, float tu,
                              float tv);

}  // namespace plat
