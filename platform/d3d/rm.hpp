#pragma once
// The retained-mode layer: a tree of frames carrying meshes and lights,
// animation sets that move frames by their keys, a camera frame seen through
// a viewport, and a device that renders the tree into a 16-bit surface with
// the software rasteriser. Conventions are DirectX's: left-handed, row
// vectors, angles in radians, a frame's reference frame null meaning its
// parent.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d/d3d_math.hpp"
#include "platform/d3d/raster.hpp"
#include "platform/d3d/texture.hpp"
#include "platform/d3d/xfile.hpp"
#include "platform/display/surface.hpp"

namespace plat {

class Direct3DRM3;
class Direct3DRMFrame3;
class Direct3DRMMeshBuilder3;
class Direct3DRMLight;
class Direct3DRMAnimationSet2;
class Direct3DRMDevice3;
class Direct3DRMViewport2;
class Direct3DRMTexture3;
using Direct3DRMFrame3Ptr = std::shared_ptr<Direct3DRMFrame3>;
using Direct3DRMMeshBuilder3Ptr = std::shared_ptr<Direct3DRMMeshBuilder3>;
using Direct3DRMLightPtr = std::shared_ptr<Direct3DRMLight>;
using Direct3DRMAnimationSet2Ptr = std::shared_ptr<Direct3DRMAnimationSet2>;

// How a transform is combined with a frame's own.
constexpr int D3DRMCOMBINE_REPLACE = 0;
constexpr int D3DRMCOMBINE_BEFORE = 1;
constexpr int D3DRMCOMBINE_AFTER = 2;

// Light types.
constexpr int D3DRMLIGHT_AMBIENT = 0;
constexpr int D3DRMLIGHT_POINT = 1;
constexpr int D3DRMLIGHT_SPOT = 2;
constexpr int D3DRMLIGHT_DIRECTIONAL = 3;
constexpr int D3DRMLIGHT_PARALLELPOINT = 4;

// Look-at constraints: the rotation left out.
constexpr int D3DRMCONSTRAIN_Z = 0;
constexpr int D3DRMCONSTRAIN_Y = 1;
constexpr int D3DRMCONSTRAIN_X = 2;

constexpr uint32_t D3DRMCLEAR_TARGET = 1;
constexpr uint32_t D3DRMCLEAR_ZBUFFER = 2;
constexpr uint32_t D3DRMCLEAR_DIRTYRECTS = 4;
constexpr uint32_t D3DRMCLEAR_ALL = 7;

// Render quality: shade mode | light mode | fill mode.
constexpr uint32_t D3DRMSHADE_FLAT = 0;
constexpr uint32_t D3DRMSHADE_GOURAUD = 1;
constexpr uint32_t D3DRMSHADE_PHONG = 2;
constexpr uint32_t D3DRMSHADE_MASK = 7;
constexpr uint32_t D3DRMLIGHT_OFF = 0;
constexpr uint32_t D3DRMLIGHT_ON = 8;
constexpr uint32_t D3DRMLIGHT_MASK = 0x38;
constexpr uint32_t D3DRMFILL_POINTS = 0;
constexpr uint32_t D3DRMFILL_WIREFRAME = 0x40;
constexpr uint32_t D3DRMFILL_SOLID = 0x80;
constexpr uint32_t D3DRMFILL_MASK = 0x1C0;
constexpr uint32_t D3DRMRENDER_GOURAUD = D3DRMSHADE_GOURAUD | D3DRMLIGHT_ON | D3DRMFILL_SOLID;  // 137

// Texture filtering; the mipmapped kinds filter like their base kind.
constexpr int D3DRMTEXTURE_NEAREST = 0;
constexpr int D3DRMTEXTURE_LINEAR = 1;
constexpr int D3DRMTEXTURE_MIPNEAREST = 2;
constexpr int D3DRMTEXTURE_MIPLINEAR = 3;
constexpr int D3DRMTEXTURE_LINEARMIPNEAREST = 4;
constexpr int D3DRMTEXTURE_LINEARMIPLINEAR = 5;

constexpr uint32_t D3DRMLOAD_FROMFILE = 0;
constexpr uint32_t D3DRMLOAD_INSTANCEBYREFERENCE = 0x100;

constexpr int D3DRMPROJECT_PERSPECTIVE = 0;
constexpr int D3DRMPROJECT_ORTHOGRAPHIC = 1;

// Result codes of the layer.
constexpr int D3DRM_OK = 0;
constexpr int D3DRMERR_BADOBJECT = static_cast<int>(0x88760309u);
constexpr int D3DRMERR_FILENOTFOUND = static_cast<int>(0x8876030Bu);
constexpr int D3DRMERR_BADFILE = static_cast<int>(0x8876030Cu);
constexpr int D3DRMERR_BADVALUE = static_cast<int>(0x88760312u);

// Stores a setting; the layer's setters report success as the interface
// does.
template <typename T>
int StoreSetting(T& field, T value) {
  field = value;
  return D3DRM_OK;
}

class Direct3DRMLight {
 public:
  Direct3DRMLight(int type, float r, float g, float b) : type_(type), color_{r, g, b, 1.0f} {}
  int GetType() const { return type_; }
  int SetType(int type);
  int SetColorRGB(float r, float g, float b);
  D3DCOLORVALUE GetColor() const { return color_; }
  // Beyond the range a point or spot light gives no light; none by default.
  int SetRange(float range);
  float GetRange() const { return range_; }
  // Attenuation 1 / (constant + linear * d + quadratic * d^2): none by default.
  int SetConstantAttenuation(float a);
  int SetLinearAttenuation(float a);
  int SetQuadraticAttenuation(float a);
  float GetConstantAttenuation() const { return constant_; }
  float GetLinearAttenuation() const { return linear_; }
  float GetQuadraticAttenuation() const { return quadratic_; }
  // A spot light lights fully within the umbra and fades out to the edge
  // of the penumbra (angles from its axis, in radians).
  int SetUmbra(float angle);
  int SetPenumbra(float angle);
  float GetUmbra() const { return umbra_; }
  float GetPenumbra() const { return penumbra_; }

 private:
  int type_;
  D3DCOLORVALUE color_;
  float range_ = 1e30f;
  float constant_ = 1.0f, linear_ = 0.0f, quadratic_ = 0.0f;
  float umbra_ = 0.4f, penumbra_ = 0.5f;
};

// A texture of the retained-mode layer: a 16-bit surface.
class Direct3DRMTexture3 {
 public:
  explicit Direct3DRMTexture3(SurfacePtr surface) : surface_(std::move(surface)) {}
  const SurfacePtr& GetSurface() const { return surface_; }
  // The picture changed: nothing is cached here, so nothing to refresh.
  int Changed(uint32_t /*flags*/, uint32_t /*count*/) { return D3DRM_OK; }

 private:
  SurfacePtr surface_;
};

// A mesh: vertices with normals and texture coordinates, and groups of
// triangles sharing a material and texture.
class Direct3DRMMeshBuilder3 {
 public:
  struct Group {
    std::vector<uint32_t> triangles;  // front faces clockwise
    D3DCOLORVALUE color{1.0f, 1.0f, 1.0f, 1.0f};
    D3DCOLORVALUE emissive{0.0f, 0.0f, 0.0f, 1.0f};
    SurfacePtr texture;
  };

  // Loads every mesh of a `.x` file, frames' transforms applied, replacing
  // what the builder held; textures are found through the root's search
  // path. D3DRM_OK, or an error with the builder left empty.
  int Load(const std::string& fileName, const Direct3DRM3& root);
  // Builds from an already read scene (the meshes under one of its nodes).
  void Build(const xfile::Scene& scene, uint32_t node, bool withChildren, const Direct3DRM3& root);

  int GetVertexCount() const { return static_cast<int>(positions_.size()); }
  int GetFaceCount() const;
  // The bounding box; false when empty.
  bool GetBox(D3DVECTOR& min, D3DVECTOR& max) const;
  int SetColorRGB(float r, float g, float b);
  // One texture for every face (null: none).
  int SetTexture(const SurfacePtr& texture);
  int SetTexture(const std::shared_ptr<Direct3DRMTexture3>& texture);
  int SetQuality(uint32_t quality);
  uint32_t GetQuality() const { return quality_; }
  void SetName(const std::string& name) { name_ = name; }
  const std::string& GetName() const { return name_; }

  const std::vector<D3DVECTOR>& Positions() const { return positions_; }
  const std::vector<D3DVECTOR>& Normals() const { return normals_; }
  const std::vector<float>& Uvs() const { return uvs_; }
  const std::vector<Group>& Groups() const { return groups_; }
  // Per vertex, the group whose material lights it.
  const std::vector<uint32_t>& VertexGroups() const { return vertexGroup_; }
  D3DVECTOR Centre() const { return centre_; }
  float Radius() const { return radius_; }

 private:
  void Append(const xfile::Scene& scene, uint32_t meshIndex, const D3DMATRIX& transform, const Direct3DRM3& root);
  void UpdateBounds();
  std::string name_;
  std::vector<D3DVECTOR> positions_, normals_;
  std::vector<float> uvs_;
  std::vector<uint32_t> vertexGroup_;
  std::vector<Group> groups_;
  uint32_t quality_ = D3DRMRENDER_GOURAUD;
  D3DVECTOR centre_;
  float radius_ = 0.0f;
};

class Direct3DRMFrame3 : public std::enable_shared_from_this<Direct3DRMFrame3> {
 public:
  Direct3DRMFrame3() : local_(IdentityMatrix()) {}

  Direct3DRMFrame3Ptr GetParent() const { return parent_.lock(); }
  // The root of the tree this frame is in.
  Direct3DRMFrame3Ptr GetScene();
  const std::vector<Direct3DRMFrame3Ptr>& GetChildren() const { return children_; }
  // Makes the frame a child of this one, taking it from its old parent;
  // its transform relative to its parent is kept.
  int AddChild(const Direct3DRMFrame3Ptr& child);
  int DeleteChild(const Direct3DRMFrame3Ptr& child);

  int SetName(const std::string& name);
  const std::string& GetName() const { return name_; }

  // The transform relative to the parent, and to the root.
  const D3DMATRIX& GetTransform() const { return local_; }
  D3DMATRIX GetWorldTransform() const;
  int AddTransform(int combine, const D3DMATRIX& m);
  int AddTranslation(int combine, float x, float y, float z);
  int AddScale(int combine, float sx, float sy, float sz);
  int AddRotation(int combine, float x, float y, float z, float theta);

  int SetPosition(const Direct3DRMFrame3Ptr& reference, float x, float y, float z);
  D3DVECTOR GetPosition(const Direct3DRMFrame3Ptr& reference) const;
  // Points the frame's z axis along the direction and its y axis as near
  // to 'up' as it can; a zero or parallel up falls back to the y, then the
  // z, then the x axis of the reference frame. The frame's scale is kept.
  int SetOrientation(const Direct3DRMFrame3Ptr& reference, float dx, float dy, float dz, float ux, float uy, float uz);
  void GetOrientation(const Direct3DRMFrame3Ptr& reference, D3DVECTOR& direction, D3DVECTOR& up) const;
  // Turns the frame's z axis towards another frame's origin.
  int LookAt(const Direct3DRMFrame3Ptr& target, const Direct3DRMFrame3Ptr& reference, int constraint);

  // Motion applied by Move: a turn of theta per unit of time about an axis
  // through the frame's origin, and a velocity.
  int SetRotation(const Direct3DRMFrame3Ptr& reference, float x, float y, float z, float theta);
  void GetRotation(D3DVECTOR& axis, float& theta) const;
  int SetVelocity(const Direct3DRMFrame3Ptr& reference, float x, float y, float z, bool withRotation);
  D3DVECTOR GetVelocity() const { return velocity_; }
  // Applies the motion of this frame and all below it for 'delta' units.
  int Move(float delta);

  int AddVisual(const Direct3DRMMeshBuilder3Ptr& mesh);
  int DeleteVisual(const Direct3DRMMeshBuilder3Ptr& mesh);
  const std::vector<Direct3DRMMeshBuilder3Ptr>& GetVisuals() const { return visuals_; }
  int AddLight(const Direct3DRMLightPtr& light);
  int DeleteLight(const Direct3DRMLightPtr& light);
  const std::vector<Direct3DRMLightPtr>& GetLights() const { return lights_; }

  // The colour a viewport clears to when this frame is the scene's root.
  int SetSceneBackground(uint32_t argb);
  int SetSceneBackgroundRGB(float r, float g, float b);
  uint32_t GetSceneBackground() const { return background_; }

  // Replaces the whole local transform (animation keys).
  void SetTransformDirect(const D3DMATRIX& m) { local_ = m; }

 private:
  // The transform that maps a reference frame's coordinates into this
  // frame's parent's coordinates.
  D3DMATRIX ReferenceToParent(const Direct3DRMFrame3Ptr& reference) const;
  D3DMATRIX ParentWorld() const;
  void MoveSelf(float delta);

  std::weak_ptr<Direct3DRMFrame3> parent_;
  std::vector<Direct3DRMFrame3Ptr> children_;
  std::string name_;
  D3DMATRIX local_;
  D3DVECTOR rotationAxis_{0.0f, 1.0f, 0.0f};
  float rotationTheta_ = 0.0f;
  D3DVECTOR velocity_;
  bool velocityWithRotation_ = false;
  std::vector<Direct3DRMMeshBuilder3Ptr> visuals_;
  std::vector<Direct3DRMLightPtr> lights_;
  uint32_t background_ = 0;
};

// The keyed motion of frames: loading a file builds its frames (with their
// meshes) under a parent, and setting the time moves them as the keys say.
class Direct3DRMAnimationSet2 {
 public:
  // Loads the file's frames under the parent and its first animation set.
  int Load(const std::string& fileName, uint32_t options, const Direct3DRMFrame3Ptr& parent, const Direct3DRM3& root,
           int32_t id = 0);
  // The same from an already read scene, whose frames form a tree under
  // node 0 (as the reader hands it over).
  int Build(const xfile::Scene& scene, const Direct3DRMFrame3Ptr& parent, const Direct3DRM3& root, int32_t id = 0);
  // Moves every animated frame to where its keys put it at that time,
  // holding the first and last keys outside their range.
  int SetTime(float time);
  float GetTime() const { return time_; }
  int32_t GetId() const { return id_; }
  // The frames the load made directly under the parent.
  const std::vector<Direct3DRMFrame3Ptr>& Frames() const { return roots_; }
  // The same animation on a copy of its frames under another parent.
  std::shared_ptr<Direct3DRMAnimationSet2> Clone(const Direct3DRMFrame3Ptr& newParent) const;
  // Takes the frames out of their parent.
  void Detach();
  size_t TrackCount() const { return tracks_.size(); }

 private:
  struct Track {
    std::weak_ptr<Direct3DRMFrame3> frame;
    xfile::Track keys;
  };
  std::vector<Direct3DRMFrame3Ptr> roots_;
  std::vector<Track> tracks_;
  float time_ = 0.0f;
  int32_t id_ = 0;
};

class Direct3DRMDevice3 {
 public:
  Direct3DRMDevice3(std::string guid, SurfacePtr target);
  const std::string& GetDeviceGuid() const { return guid_; }
  const SurfacePtr& GetTarget() const { return target_; }
  ZBuffer& Depth() { return depth_; }
  Rasterizer& Raster() { return raster_; }
  int GetWidth() const { return target_->Width(); }
  int GetHeight() const { return target_->Height(); }

  int SetQuality(uint32_t quality);
  uint32_t GetQuality() const { return quality_; }
  int SetTextureQuality(int quality);
  int GetTextureQuality() const { return textureQuality_; }
  int SetDither(bool on);
  bool GetDither() const { return dither_; }
  int SetShades(uint32_t shades);
  uint32_t GetShades() const { return shades_; }
  int SetRenderMode(uint32_t flags);
  uint32_t GetRenderMode() const { return renderMode_; }
  // The picture is already in the target when a viewport has rendered.
  int Update() { return D3DRM_OK; }

 private:
  std::string guid_;
  SurfacePtr target_;
  ZBuffer depth_;
  Rasterizer raster_;
  uint32_t quality_ = D3DRMRENDER_GOURAUD;
  int textureQuality_ = D3DRMTEXTURE_NEAREST;
  bool dither_ = true;
  uint32_t shades_ = 32;
  uint32_t renderMode_ = 0;
};

class Direct3DRMViewport2 {
 public:
  Direct3DRMViewport2(std::shared_ptr<Direct3DRMDevice3> device, Direct3DRMFrame3Ptr camera, int x, int y, int width,
                      int height);
  int SetFront(float front);
  int SetBack(float back);
  // The half width of the view at one unit from the camera, along the
  // viewport's longer side.
  int SetField(float field);
  int SetProjection(int type);
  int SetCamera(const Direct3DRMFrame3Ptr& camera);
  float GetFront() const { return front_; }
  float GetBack() const { return back_; }
  float GetField() const { return field_; }
  int GetProjection() const { return projection_; }
  const Direct3DRMFrame3Ptr& GetCamera() const { return camera_; }
  const std::shared_ptr<Direct3DRMDevice3>& GetDevice() const { return device_; }
  int GetX() const { return x_; }
  int GetY() const { return y_; }
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }

  // Fills the viewport with the camera's scene background and the depth
  // buffer with the far depth, as the flags say.
  int Clear(uint32_t flags);
  // Draws the meshes of the frame and all below it, lit by the lights found
  // there, as the camera sees them.
  int Render(const Direct3DRMFrame3Ptr& frame);

 private:
  std::shared_ptr<Direct3DRMDevice3> device_;
  Direct3DRMFrame3Ptr camera_;
  int x_, y_, width_, height_;
  float front_ = 1.0f, back_ = 100.0f, field_ = 0.5f;
  int projection_ = D3DRMPROJECT_PERSPECTIVE;
};

// The retained-mode root object.
class Direct3DRM3 {
 public:
  Direct3DRMFrame3Ptr CreateFrame(const Direct3DRMFrame3Ptr& parent) const;
  Direct3DRMMeshBuilder3Ptr CreateMeshBuilder() const;
  Direct3DRMAnimationSet2Ptr CreateAnimationSet() const;
  Direct3DRMLightPtr CreateLightRGB(int type, float r, float g, float b) const;
  // A device rendering into the surface; null for an unknown identifier or
  // an unusable surface.
  std::shared_ptr<Direct3DRMDevice3> CreateDeviceFromSurface(const std::string& guid,
                                                             const std::shared_ptr<DirectDraw>& directDraw,
                                                             const SurfacePtr& target, uint32_t flags) const;
  // Null when the rectangle is not within the device.
  std::shared_ptr<Direct3DRMViewport2> CreateViewport(const std::shared_ptr<Direct3DRMDevice3>& device,
                                                      const Direct3DRMFrame3Ptr& camera, int x, int y, int width,
                                                      int height) const;
  std::shared_ptr<Direct3DRMTexture3> CreateTextureFromSurface(const SurfacePtr& surface) const;

  // Folders (game paths, ";" between them) searched for models and
  // textures named without a folder of their own.
  int SetSearchPath(const std::string& path);
  int AddSearchPath(const std::string& path);
  const std::string& GetSearchPath() const { return searchPath_; }
  // The native path of a file: as given when it exists, else found in the
  // search path, else in the program folder; "" when nowhere.
  std::string FindFile(const std::string& name) const;
  // A texture picture by name, loaded once per root; null when it cannot be
  // found or read.
  TextureSurfacePtr LoadTexture(const std::string& name) const;

 private:
  std::string searchPath_;
  mutable std::map<std::string, TextureSurfacePtr> textures_;
};

}  // namespace plat
