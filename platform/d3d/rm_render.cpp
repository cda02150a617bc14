// The retained-mode device and viewport, and the renderer: frames to
// camera space, per-vertex lighting, clipping at the front and back planes,
// projection, back-face culling, and the rasteriser for the pixels.
#include <algorithm>
#include <cmath>

#include "platform/d3d/device.hpp"
#include "platform/d3d/pixel565.hpp"
#include "platform/d3d/rm.hpp"

namespace plat {

namespace {
constexpr int kMaxSide = 8192;
// Depth precision of the retained-mode device.
constexpr int kDepthBits = 24;
}  // namespace

// ------------------------------------------------------------------ device

Direct3DRMDevice3::Direct3DRMDevice3(std::string guid, SurfacePtr target)
    : guid_(std::move(guid)), target_(std::move(target)), depth_(target_->Width(), target_->Height(), kDepthBits) {
  raster_.SetTarget(target_.get(), &depth_);
}

int Direct3DRMDevice3::SetQuality(uint32_t quality) { return StoreSetting(quality_, quality); }

int Direct3DRMDevice3::SetTextureQuality(int quality) {
  if (quality < D3DRMTEXTURE_NEAREST || quality > D3DRMTEXTURE_LINEARMIPLINEAR) return D3DRMERR_BADVALUE;
  textureQuality_ = quality;
  return D3DRM_OK;
}

int Direct3DRMDevice3::SetDither(bool on) { return StoreSetting(dither_, on); }

int Direct3DRMDevice3::SetShades(uint32_t shades) { return StoreSetting(shades_, shades); }

int Direct3DRMDevice3::SetRenderMode(uint32_t flags) { return StoreSetting(renderMode_, flags); }

std::shared_ptr<Direct3DRMDevice3> Direct3DRM3::CreateDeviceFromSurface(const std::string& guid,
                                                                        const std::shared_ptr<DirectDraw>&,
                                                                        const SurfacePtr& target, uint32_t) const {
  const std::string canonical = CanonicalDeviceGuid(guid);
  if (canonical.empty() || !target || target->Width() <= 0 || target->Height() <= 0 || target->Width() > kMaxSide ||
      target->Height() > kMaxSide)
    return nullptr;
  return std::make_shared<Direct3DRMDevice3>(canonical, target);
}

std::shared_ptr<Direct3DRMViewport2> Direct3DRM3::CreateViewport(const std::shared_ptr<Direct3DRMDevice3>& device,
                                                                 const Direct3DRMFrame3Ptr& camera, int x, int y,
                                                                 int width, int height) const {
  if (!device || !camera || x < 0 || y < 0 || width <= 0 || height <= 0 || x + width > device->GetWidth() ||
      y + height > device->GetHeight())
    return nullptr;
  return std::make_shared<Direct3DRMViewport2>(device, camera, x, y, width, height);
}

// ---------------------------------------------------------------- viewport

Direct3DRMViewport2::Direct3DRMViewport2(std::shared_ptr<Direct3DRMDevice3> device, Direct3DRMFrame3Ptr camera,
                                         int x, int y, int width, int height)
    : device_(std::move(device)), camera_(std::move(camera)), x_(x), y_(y), width_(width), height_(height) {}

int Direct3DRMViewport2::SetFront(float front) {
  if (!(front > 0.0f) || !(front < back_)) return D3DRMERR_BADVALUE;
  front_ = front;
  return D3DRM_OK;
}

int Direct3DRMViewport2::SetBack(float back) {
  if (!(back > front_) || !std::isfinite(back)) return D3DRMERR_BADVALUE;
  back_ = back;
  return D3DRM_OK;
}

int Direct3DRMViewport2::SetField(float field) {
  if (!(field > 0.0f) || !std::isfinite(field)) return D3DRMERR_BADVALUE;
  field_ = field;
  return D3DRM_OK;
}

int Direct3DRMViewport2::SetProjection(int type) {
  if (type != D3DRMPROJECT_PERSPECTIVE && type != D3DRMPROJECT_ORTHOGRAPHIC) return D3DRMERR_BADVALUE;
  projection_ = type;
  return D3DRM_OK;
}

int Direct3DRMViewport2::SetCamera(const Direct3DRMFrame3Ptr& camera) {
  if (!camera) return D3DRMERR_BADOBJECT;
  camera_ = camera;
  return D3DRM_OK;
}

int Direct3DRMViewport2::Clear(uint32_t flags) {
  Surface& target = *device_->GetTarget();
  if (flags & D3DRMCLEAR_TARGET) {
    const uint32_t background = camera_ ? camera_->GetScene()->GetSceneBackground() : 0;
    const uint16_t pixel = px::Rgb565FromArgb(background);
    for (int y = y_; y < y_ + height_; ++y) std::fill(target.Row(y) + x_, target.Row(y) + x_ + width_, pixel);
  }
  if (flags & D3DRMCLEAR_ZBUFFER) device_->Depth().Fill(x_, y_, x_ + width_, y_ + height_, 1.0f);
  return D3DRM_OK;
}

// ---------------------------------------------------------------- renderer

namespace {

struct CameraLight {
  int type;
  D3DVECTOR colour;
  D3DVECTOR position;   // camera space
  D3DVECTOR direction;  // camera space, where the light travels
  float range, constant, linear, quadratic;
  float cosUmbra, cosPenumbra;
};

struct MeshItem {
  const Direct3DRMMeshBuilder3* mesh;
  D3DMATRIX modelView;
  float depth;  // of the bounding sphere's centre, for drawing near ones first
};

// A vertex while clipping in camera space.
struct CamVertex {
  D3DVECTOR p;
  float r, g, b, u, v;
};

class Renderer {
 public:
  Renderer(Direct3DRMViewport2& vp, Direct3DRMDevice3& dev) : vp_(vp), dev_(dev) {
    front_ = vp.GetFront();
    back_ = vp.GetBack();
    perspective_ = vp.GetProjection() == D3DRMPROJECT_PERSPECTIVE;
    cx_ = static_cast<float>(vp.GetX()) + static_cast<float>(vp.GetWidth()) * 0.5f;
    cy_ = static_cast<float>(vp.GetY()) + static_cast<float>(vp.GetHeight()) * 0.5f;
    scale_ = static_cast<float>(std::max(vp.GetWidth(), vp.GetHeight())) * 0.5f / vp.GetField();
    halfX_ = static_cast<float>(vp.GetWidth()) * 0.5f / scale_;
    halfY_ = static_cast<float>(vp.GetHeight()) * 0.5f / scale_;
    const uint32_t quality = dev.GetQuality();
    lightsOn_ = (quality & D3DRMLIGHT_MASK) == D3DRMLIGHT_ON;
    flat_ = (quality & D3DRMSHADE_MASK) == D3DRMSHADE_FLAT;
    const int tq = dev.GetTextureQuality();
    linear_ = tq == D3DRMTEXTURE_LINEAR || tq == D3DRMTEXTURE_MIPLINEAR || tq == D3DRMTEXTURE_LINEARMIPLINEAR;
  }

  void Run(const Direct3DRMFrame3Ptr& top) {
    const D3DMATRIX view = AffineInverse(vp_.GetCamera()->GetWorldTransform());
    Gather(top, view);
    // Nearer meshes first, so hidden pixels fail the depth test early.
    std::sort(items_.begin(), items_.end(), [](const MeshItem& a, const MeshItem& b) { return a.depth < b.depth; });
    Rasterizer& raster = dev_.Raster();
    raster.SetClip(vp_.GetX(), vp_.GetY(), vp_.GetX() + vp_.GetWidth(), vp_.GetY() + vp_.GetHeight());
    for (const MeshItem& item : items_) DrawMesh(item);
  }

 private:
  void Gather(const Direct3DRMFrame3Ptr& top, const D3DMATRIX& view) {
    std::vector<std::pair<const Direct3DRMFrame3*, D3DMATRIX>> pending{{top.get(), top->GetWorldTransform()}};
    while (!pending.empty()) {
      const auto [frame, world] = pending.back();
      pending.pop_back();
      const D3DMATRIX toCamera = Multiply(world, view);
      for (const Direct3DRMLightPtr& l : frame->GetLights()) AddLight(*l, toCamera);
      for (const Direct3DRMMeshBuilder3Ptr& m : frame->GetVisuals()) {
        if (m->GetVertexCount() == 0) continue;
        const D3DVECTOR c = TransformPoint(m->Centre(), toCamera);
        const float r = m->Radius() * MaxScale(toCamera);
        if (Visible(c, r)) items_.push_back(MeshItem{m.get(), toCamera, c.z});
      }
      for (const Direct3DRMFrame3Ptr& child : frame->GetChildren())
        pending.emplace_back(child.get(), Multiply(child->GetTransform(), world));
    }
  }

  static float MaxScale(const D3DMATRIX& m) {
    float s = 0.0f;
    for (int r = 0; r < 3; ++r) s = std::max(s, Length(Vec(m.m[r][0], m.m[r][1], m.m[r][2])));
    return s;
  }

  bool Visible(D3DVECTOR c, float r) const {
    if (c.z + r < front_ || c.z - r > back_) return false;
    if (!perspective_)
      return std::fabs(c.x) - r <= halfX_ && std::fabs(c.y) - r <= halfY_;
    // Distance outside each side plane of the view pyramid.
    const float nx = 1.0f / std::sqrt(1.0f + halfX_ * halfX_), ny = 1.0f / std::sqrt(1.0f + halfY_ * halfY_);
    if ((std::fabs(c.x) - halfX_ * c.z) * nx > r) return false;
    if ((std::fabs(c.y) - halfY_ * c.z) * ny > r) return false;
    return true;
  }

  void AddLight(const Direct3DRMLight& l, const D3DMATRIX& toCamera) {
    const D3DCOLORVALUE c = l.GetColor();
    if (l.GetType() == D3DRMLIGHT_AMBIENT) {
      ambient_ = ambient_ + Vec(c.r, c.g, c.b);
      return;
    }
    CameraLight cl;
    cl.type = l.GetType();
    cl.colour = Vec(c.r, c.g, c.b);
    cl.position = TransformPoint(Vec(0, 0, 0), toCamera);
    cl.direction = Normalize(TransformDirection(Vec(0, 0, 1), toCamera));
    cl.range = l.GetRange();
    cl.constant = l.GetConstantAttenuation();
    cl.linear = l.GetLinearAttenuation();
    cl.quadratic = l.GetQuadraticAttenuation();
    const float umbra = std::max(0.0f, l.GetUmbra());
    const float penumbra = std::max(umbra, l.GetPenumbra());
    cl.cosUmbra = std::cos(umbra);
    cl.cosPenumbra = std::cos(penumbra);
    lights_.push_back(cl);
  }

  D3DVECTOR Irradiance(D3DVECTOR p, D3DVECTOR n, const std::vector<D3DVECTOR>& parallelDirs) const {
    D3DVECTOR sum = ambient_;
    for (size_t i = 0; i < lights_.size(); ++i) {
      const CameraLight& l = lights_[i];
      switch (l.type) {
        case D3DRMLIGHT_DIRECTIONAL: {
          const float d = -Dot(n, l.direction);
          if (d > 0.0f) sum = sum + l.colour * d;
          break;
        }
        case D3DRMLIGHT_PARALLELPOINT: {
          const float d = Dot(n, parallelDirs[i]);
          if (d > 0.0f) sum = sum + l.colour * d;
          break;
        }
        default: {  // point and spot
          const D3DVECTOR v = l.position - p;
          const float dist = Length(v);
          if (dist > l.range || dist <= 0.0f) break;
          const D3DVECTOR L = v * (1.0f / dist);
          float d = Dot(n, L);
          if (d <= 0.0f) break;
          const float att = l.constant + l.linear * dist + l.quadratic * dist * dist;
          if (att > 0.0f) d /= att;
          if (l.type == D3DRMLIGHT_SPOT) {
            const float cosA = -Dot(L, l.direction);
            if (cosA <= l.cosPenumbra) break;
            if (cosA < l.cosUmbra) d *= (cosA - l.cosPenumbra) / (l.cosUmbra - l.cosPenumbra);
          }
          sum = sum + l.colour * d;
          break;
        }
      }
    }
    return sum;
  }

  RasterVertex Project(const CamVertex& c) const {
    RasterVertex v;
    const float z = c.p.z;
    if (perspective_) {
      const float iz = 1.0f / z;
      v.x = cx_ + c.p.x * iz * scale_;
      v.y = cy_ - c.p.y * iz * scale_;
      v.z = (1.0f / front_ - iz) / (1.0f / front_ - 1.0f / back_);
      v.rhw = iz;
    } else {
      v.x = cx_ + c.p.x * scale_;
      v.y = cy_ - c.p.y * scale_;
      v.z = (z - front_) / (back_ - front_);
      v.rhw = 1.0f;
    }
    v.z = std::clamp(v.z, 0.0f, 1.0f);
    v.r = c.r;
    v.g = c.g;
    v.b = c.b;
    v.a = 255.0f;
    v.u = c.u;
    v.v = c.v;
    return v;
  }

  void DrawMesh(const MeshItem& item) {
    const Direct3DRMMeshBuilder3& mesh = *item.mesh;
    const auto& positions = mesh.Positions();
    const auto& normals = mesh.Normals();
    const auto& uvs = mesh.Uvs();
    const auto& vgroup = mesh.VertexGroups();
    const auto& groups = mesh.Groups();
    const size_t n = positions.size();
    cam_.resize(n);
    screen_.resize(n);
    side_.resize(n);

    // Normals by the inverse transpose of the model-view transform.
    const D3DMATRIX inv = AffineInverse(item.modelView);
    D3DMATRIX normalMatrix = IdentityMatrix();
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) normalMatrix.m[i][j] = inv.m[j][i];
    std::vector<D3DVECTOR> parallelDirs(lights_.size());
    const D3DVECTOR origin = TransformPoint(Vec(0, 0, 0), item.modelView);
    for (size_t i = 0; i < lights_.size(); ++i)
      if (lights_[i].type == D3DRMLIGHT_PARALLELPOINT) parallelDirs[i] = Normalize(lights_[i].position - origin);

    for (size_t i = 0; i < n; ++i) {
      CamVertex& c = cam_[i];
      c.p = TransformPoint(positions[i], item.modelView);
      const Direct3DRMMeshBuilder3::Group& g = groups[vgroup[i]];
      D3DVECTOR colour{g.color.r, g.color.g, g.color.b};
      if (lightsOn_) {
        const D3DVECTOR nn = Normalize(TransformDirection(normals[i], normalMatrix));
        const D3DVECTOR e = Irradiance(c.p, nn, parallelDirs);
        colour = Vec(g.emissive.r + colour.x * e.x, g.emissive.g + colour.y * e.y, g.emissive.b + colour.z * e.z);
      }
      c.r = std::clamp(colour.x, 0.0f, 1.0f) * 255.0f;
      c.g = std::clamp(colour.y, 0.0f, 1.0f) * 255.0f;
      c.b = std::clamp(colour.z, 0.0f, 1.0f) * 255.0f;
      c.u = uvs[2 * i];
      c.v = uvs[2 * i + 1];
      side_[i] = c.p.z < front_ ? 1 : (c.p.z > back_ ? 2 : 0);
      if (side_[i] == 0) screen_[i] = Project(c);
    }

    Rasterizer& raster = dev_.Raster();
    RasterState rs;
    rs.zTest = true;
    rs.zWrite = true;
    rs.linearFilter = linear_;
    rs.wrap = true;
    for (const Direct3DRMMeshBuilder3::Group& g : groups) {
      rs.texture = g.texture.get();
      raster.SetState(rs);
      const std::vector<uint32_t>& t = g.triangles;
      for (size_t k = 0; k + 2 < t.size(); k += 3) {
        const uint32_t a = t[k], b = t[k + 1], c = t[k + 2];
        if (a >= n || b >= n || c >= n) continue;
        const int sa = side_[a], sb = side_[b], sc = side_[c];
        if ((sa & sb & sc) != 0) continue;  // all before the front or all beyond the back
        if ((sa | sb | sc) == 0) {
          DrawScreenTriangle(screen_[a], screen_[b], screen_[c]);
        } else {
          DrawClipped(cam_[a], cam_[b], cam_[c]);
        }
      }
    }
  }

  // Front faces run clockwise on the screen; the others are not drawn.
  void DrawScreenTriangle(RasterVertex a, RasterVertex b, RasterVertex c) {
    const float cross = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (!(cross > 0.0f)) return;
    if (flat_) {
      b.r = c.r = a.r;
      b.g = c.g = a.g;
      b.b = c.b = a.b;
    }
    dev_.Raster().DrawTriangle(a, b, c);
  }

  void DrawClipped(const CamVertex& a, const CamVertex& b, const CamVertex& c) {
    CamVertex bufA[8] = {a, b, c}, bufB[8];
    int count = 3;
    count = ClipZ(bufA, count, bufB, front_, true);
    if (count < 3) return;
    count = ClipZ(bufB, count, bufA, back_, false);
    if (count < 3) return;
    RasterVertex v[8];
    for (int i = 0; i < count; ++i) v[i] = Project(bufA[i]);
    for (int i = 1; i + 1 < count; ++i) DrawScreenTriangle(v[0], v[i], v[i + 1]);
  }

  // Keeps the part of the polygon at or beyond z = limit (or at or before
  // it when 'keepFar' is false).
  static int ClipZ(const CamVertex* in, int n, CamVertex* out, float limit, bool keepFar) {
    int m = 0;
    for (int i = 0; i < n; ++i) {
      const CamVertex& p = in[i];
      const CamVertex& q = in[(i + 1) % n];
      const float dp = keepFar ? p.p.z - limit : limit - p.p.z;
      const float dq = keepFar ? q.p.z - limit : limit - q.p.z;
      if (dp >= 0.0f) out[m++] = p;
      if ((dp >= 0.0f) != (dq >= 0.0f)) {
        const float t = dp / (dp - dq);
        CamVertex r;
        r.p = p.p + (q.p - p.p) * t;
        r.p.z = limit;
        r.r = p.r + (q.r - p.r) * t;
        r.g = p.g + (q.g - p.g) * t;
        r.b = p.b + (q.b - p.b) * t;
        r.u = p.u + (q.u - p.u) * t;
        r.v = p.v + (q.v - p.v) * t;
        out[m++] = r;
      }
    }
    return m;
  }

  Direct3DRMViewport2& vp_;
  Direct3DRMDevice3& dev_;
  float front_, back_, cx_, cy_, scale_, halfX_, halfY_;
  bool perspective_, lightsOn_, flat_, linear_;
  D3DVECTOR ambient_;
  std::vector<CameraLight> lights_;
  std::vector<MeshItem> items_;
  std::vector<CamVertex> cam_;
  std::vector<RasterVertex> screen_;
  std::vector<uint8_t> side_;
};

}  // namespace

int Direct3DRMViewport2::Render(const Direct3DRMFrame3Ptr& frame) {
  if (!frame || !camera_) return D3DRMERR_BADOBJECT;
  Renderer(*this, *device_).Run(frame);
  return D3DRM_OK;
}

}  // namespace plat
