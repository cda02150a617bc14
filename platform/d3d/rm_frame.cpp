#include <algorithm>
#include <cmath>

#include "platform/d3d/rm.hpp"

namespace plat {

// ------------------------------------------------------------------- lights

int Direct3DRMLight::SetType(int type) {
  if (type < D3DRMLIGHT_AMBIENT || type > D3DRMLIGHT_PARALLELPOINT) return D3DRMERR_BADVALUE;
  type_ = type;
  return D3DRM_OK;
}

int Direct3DRMLight::SetColorRGB(float r, float g, float b) {
  color_ = {r, g, b, 1.0f};
  return D3DRM_OK;
}

int Direct3DRMLight::SetRange(float range) {
  if (!(range > 0.0f)) return D3DRMERR_BADVALUE;
  range_ = range;
  return D3DRM_OK;
}

int Direct3DRMLight::SetConstantAttenuation(float value) { return StoreSetting(constant_, value); }
int Direct3DRMLight::SetLinearAttenuation(float value) { return StoreSetting(linear_, value); }
int Direct3DRMLight::SetQuadraticAttenuation(float value) { return StoreSetting(quadratic_, value); }
int Direct3DRMLight::SetUmbra(float value) { return StoreSetting(umbra_, value); }
int Direct3DRMLight::SetPenumbra(float value) { return StoreSetting(penumbra_, value); }

// ------------------------------------------------------------------- frames

namespace {

D3DVECTOR Row(const D3DMATRIX& m, int r) { return {m.m[r][0], m.m[r][1], m.m[r][2]}; }
void SetRow(D3DMATRIX& m, int r, D3DVECTOR v) {
  m.m[r][0] = v.x;
  m.m[r][1] = v.y;
  m.m[r][2] = v.z;
}

}  // namespace

Direct3DRMFrame3Ptr Direct3DRMFrame3::GetScene() {
  Direct3DRMFrame3Ptr f = shared_from_this();
  while (Direct3DRMFrame3Ptr p = f->GetParent()) f = p;
  return f;
}

int Direct3DRMFrame3::AddChild(const Direct3DRMFrame3Ptr& child) {
  if (!child) return D3DRMERR_BADOBJECT;
  // A frame cannot go below itself.
  for (const Direct3DRMFrame3* p = this; p; p = p->parent_.lock().get())
    if (p == child.get()) return D3DRMERR_BADVALUE;
  if (Direct3DRMFrame3Ptr old = child->GetParent()) {
    if (old.get() == this) return D3DRM_OK;
    old->DeleteChild(child);
  }
  child->parent_ = weak_from_this();
  children_.push_back(child);
  return D3DRM_OK;
}

int Direct3DRMFrame3::DeleteChild(const Direct3DRMFrame3Ptr& child) {
  const auto it = std::find(children_.begin(), children_.end(), child);
  if (it == children_.end()) return D3DRMERR_BADVALUE;
  (*it)->parent_.reset();
  children_.erase(it);
  return D3DRM_OK;
}

int Direct3DRMFrame3::SetName(const std::string& name) { return StoreSetting(name_, name); }

D3DMATRIX Direct3DRMFrame3::ParentWorld() const {
  const Direct3DRMFrame3Ptr p = GetParent();
  return p ? p->GetWorldTransform() : IdentityMatrix();
}

D3DMATRIX Direct3DRMFrame3::GetWorldTransform() const {
  D3DMATRIX m = local_;
  for (Direct3DRMFrame3Ptr p = GetParent(); p; p = p->GetParent()) m = Multiply(m, p->local_);
  return m;
}

D3DMATRIX Direct3DRMFrame3::ReferenceToParent(const Direct3DRMFrame3Ptr& reference) const {
  if (!reference) return IdentityMatrix();
  return Multiply(reference->GetWorldTransform(), AffineInverse(ParentWorld()));
}

int Direct3DRMFrame3::AddTransform(int combine, const D3DMATRIX& m) {
  switch (combine) {
    case D3DRMCOMBINE_REPLACE: local_ = m; return D3DRM_OK;
    case D3DRMCOMBINE_BEFORE: local_ = Multiply(m, local_); return D3DRM_OK;
    case D3DRMCOMBINE_AFTER: local_ = Multiply(local_, m); return D3DRM_OK;
    default: return D3DRMERR_BADVALUE;
  }
}

int Direct3DRMFrame3::AddTranslation(int combine, float x, float y, float z) {
  return AddTransform(combine, TranslationMatrix(x, y, z));
}

int Direct3DRMFrame3::AddScale(int combine, float sx, float sy, float sz) {
  return AddTransform(combine, ScalingMatrix(sx, sy, sz));
}

int Direct3DRMFrame3::AddRotation(int combine, float x, float y, float z, float theta) {
  return AddTransform(combine, RotationMatrix(Vec(x, y, z), theta));
}

int Direct3DRMFrame3::SetPosition(const Direct3DRMFrame3Ptr& reference, float x, float y, float z) {
  const D3DVECTOR p = TransformPoint(Vec(x, y, z), ReferenceToParent(reference));
  local_.m[3][0] = p.x;
  local_.m[3][1] = p.y;
  local_.m[3][2] = p.z;
  return D3DRM_OK;
}

D3DVECTOR Direct3DRMFrame3::GetPosition(const Direct3DRMFrame3Ptr& reference) const {
  const D3DVECTOR local = Row(local_, 3);
  if (!reference) return local;
  const D3DVECTOR world = TransformPoint(local, ParentWorld());
  return TransformPoint(world, AffineInverse(reference->GetWorldTransform()));
}

int Direct3DRMFrame3::SetOrientation(const Direct3DRMFrame3Ptr& reference, float dx, float dy, float dz, float ux,
                                     float uy, float uz) {
  const D3DMATRIX toParent = ReferenceToParent(reference);
  const D3DVECTOR z = Normalize(TransformDirection(Vec(dx, dy, dz), toParent));
  if (Length(z) == 0.0f) return D3DRMERR_BADVALUE;
  D3DVECTOR x{};
  for (D3DVECTOR up : {Vec(ux, uy, uz), Vec(0, 1, 0), Vec(0, 0, 1), Vec(1, 0, 0)}) {
    x = Normalize(Cross(TransformDirection(up, toParent), z));
    if (Length(x) > 0.0f) break;
  }
  const D3DVECTOR y = Cross(z, x);
  auto scale = [this](int r) {
    const float s = Length(Row(local_, r));
    return s > 0.0f ? s : 1.0f;
  };
  const float sx = scale(0), sy = scale(1), sz = scale(2);
  SetRow(local_, 0, x * sx);
  SetRow(local_, 1, y * sy);
  SetRow(local_, 2, z * sz);
  return D3DRM_OK;
}

void Direct3DRMFrame3::GetOrientation(const Direct3DRMFrame3Ptr& reference, D3DVECTOR& direction, D3DVECTOR& up) const {
  direction = Normalize(Row(local_, 2));
  up = Normalize(Row(local_, 1));
  if (!reference) return;
  const D3DMATRIX toReference = Multiply(ParentWorld(), AffineInverse(reference->GetWorldTransform()));
  direction = Normalize(TransformDirection(direction, toReference));
  up = Normalize(TransformDirection(up, toReference));
}

int Direct3DRMFrame3::LookAt(const Direct3DRMFrame3Ptr& target, const Direct3DRMFrame3Ptr& reference, int constraint) {
  if (!target) return D3DRMERR_BADOBJECT;
  const D3DMATRIX referenceWorld = reference ? reference->GetWorldTransform() : ParentWorld();
  const D3DMATRIX toReference = AffineInverse(referenceWorld);
  const D3DVECTOR targetWorld = TransformPoint(Vec(0, 0, 0), target->GetWorldTransform());
  const D3DVECTOR selfWorld = TransformPoint(Vec(0, 0, 0), GetWorldTransform());
  D3DVECTOR d = TransformDirection(targetWorld - selfWorld, toReference);
  if (constraint == D3DRMCONSTRAIN_Y) d.x = 0.0f;
  if (constraint == D3DRMCONSTRAIN_X) d.y = 0.0f;
  if (Length(d) == 0.0f) return D3DRM_OK;
  // Directions relative to the reference (the parent when none is given).
  const D3DMATRIX toParent = Multiply(referenceWorld, AffineInverse(ParentWorld()));
  const D3DVECTOR dp = TransformDirection(d, toParent);
  const D3DVECTOR up = TransformDirection(Vec(0, 1, 0), toParent);
  return SetOrientation(nullptr, dp.x, dp.y, dp.z, up.x, up.y, up.z);
}

int Direct3DRMFrame3::SetRotation(const Direct3DRMFrame3Ptr& reference, float x, float y, float z, float theta) {
  rotationAxis_ = TransformDirection(Vec(x, y, z), ReferenceToParent(reference));
  rotationTheta_ = theta;
  return D3DRM_OK;
}

void Direct3DRMFrame3::GetRotation(D3DVECTOR& axis, float& theta) const {
  axis = rotationAxis_;
  theta = rotationTheta_;
}

int Direct3DRMFrame3::SetVelocity(const Direct3DRMFrame3Ptr& reference, float x, float y, float z,
                                  bool withRotation) {
  velocity_ = TransformDirection(Vec(x, y, z), ReferenceToParent(reference));
  velocityWithRotation_ = withRotation;
  return D3DRM_OK;
}

void Direct3DRMFrame3::MoveSelf(float delta) {
  if (rotationTheta_ != 0.0f && Length(rotationAxis_) > 0.0f) {
    // A turn about an axis through the frame's own origin: the axes turn,
    // the position stays.
    const D3DMATRIX r = RotationMatrix(rotationAxis_, rotationTheta_ * delta);
    for (int row = 0; row < 3; ++row) SetRow(local_, row, TransformDirection(Row(local_, row), r));
  }
  if (velocity_.x != 0.0f || velocity_.y != 0.0f || velocity_.z != 0.0f) {
    const D3DVECTOR v = velocityWithRotation_ ? TransformDirection(velocity_, local_) : velocity_;
    local_.m[3][0] += v.x * delta;
    local_.m[3][1] += v.y * delta;
    local_.m[3][2] += v.z * delta;
  }
}

int Direct3DRMFrame3::Move(float delta) {
  std::vector<Direct3DRMFrame3*> pending{this};
  while (!pending.empty()) {
    Direct3DRMFrame3* f = pending.back();
    pending.pop_back();
    f->MoveSelf(delta);
    for (const Direct3DRMFrame3Ptr& c : f->children_) pending.push_back(c.get());
  }
  return D3DRM_OK;
}

namespace {

template <typename T>
int AddOnce(std::vector<std::shared_ptr<T>>& list, const std::shared_ptr<T>& item) {
  if (!item) return D3DRMERR_BADOBJECT;
  if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
  return D3DRM_OK;
}

template <typename T>
int RemoveFrom(std::vector<std::shared_ptr<T>>& list, const std::shared_ptr<T>& item) {
  const auto it = std::find(list.begin(), list.end(), item);
  if (it == list.end()) return D3DRMERR_BADVALUE;
  list.erase(it);
  return D3DRM_OK;
}

}  // namespace

int Direct3DRMFrame3::AddVisual(const Direct3DRMMeshBuilder3Ptr& mesh) { return AddOnce(visuals_, mesh); }
int Direct3DRMFrame3::DeleteVisual(const Direct3DRMMeshBuilder3Ptr& mesh) { return RemoveFrom(visuals_, mesh); }
int Direct3DRMFrame3::AddLight(const Direct3DRMLightPtr& light) { return AddOnce(lights_, light); }
int Direct3DRMFrame3::DeleteLight(const Direct3DRMLightPtr& light) { return RemoveFrom(lights_, light); }

int Direct3DRMFrame3::SetSceneBackground(uint32_t argb) { return StoreSetting(background_, argb); }

int Direct3DRMFrame3::SetSceneBackgroundRGB(float r, float g, float b) {
  auto channel = [](float c) { return static_cast<uint32_t>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f)); };
  background_ = 0xFF000000u | (channel(r) << 16) | (channel(g) << 8) | channel(b);
  return D3DRM_OK;
}

}  // namespace plat
