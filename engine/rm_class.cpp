#include "engine/rm_class.hpp"

#include <cmath>
#include <cstdlib>

#include "platform/d3d/texture.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/strings.hpp"

namespace fw {

namespace {

// The runtime's Val: the number at the start of the text, 0 when none.
int32_t LeadingNumber(const std::string& text) {
  const std::string t = plat::Trim(text);
  char* end = nullptr;
  const long v = std::strtol(t.c_str(), &end, 10);
  if (end == t.c_str() || v < INT32_MIN || v > INT32_MAX) return 0;
  return static_cast<int32_t>(v);
}

[[noreturn]] void RaiseNoScene() {
  throw plat::RuntimeError(plat::ErrorCode::ObjectMissing, "Object variable or With block variable not set");
}

[[noreturn]] void RaiseDuplicate(const std::string& key) {
  throw plat::RuntimeError(plat::ErrorCode::DuplicateKey,
                           "This key is already associated with an element of this collection: \"" + key + "\"");
}

}  // namespace

// ------------------------------------------------------------- Object3Ds

plat::Direct3DRMFrame3Ptr Object3Ds::NewFrame(const std::string& key) const {
  plat::Direct3DRMFrame3Ptr frame = D3DRM->CreateFrame(SceneFrame);
  frame->SetName(key);
  return frame;
}

void Object3Ds::Discard(const plat::Direct3DRMFrame3Ptr& frame) const {
  if (frame && SceneFrame) SceneFrame->DeleteChild(frame);
}

Node3DPtr Object3Ds::AddLight(const std::string& key, int32_t lightType, float red, float green, float blue) {
  if (!D3DRM || !SceneFrame) RaiseNoScene();
  if (items_.Contains(key)) RaiseDuplicate(key);
  plat::Direct3DRMLightPtr light = D3DRM->CreateLightRGB(lightType, red, green, blue);
  if (!light)
    throw plat::RuntimeError(plat::ErrorCode::KeyNotFound,
                             "Invalid procedure call or argument: light type " + std::to_string(lightType));
  auto node = std::make_shared<Node3D>();
  node->Frame = NewFrame(key);
  node->Frame->AddLight(light);
  node->Light = light;
  node->Key = key;
  node->Style = "Light";
  items_.Add(node, key);
  return node;
}

Node3DPtr Object3Ds::AddClone(const std::string& key, const std::string& sourceKey) {
  if (!D3DRM || !SceneFrame) RaiseNoScene();
  const Node3DPtr source = items_.Item(sourceKey);
  if (items_.Contains(key)) RaiseDuplicate(key);
  auto node = std::make_shared<Node3D>();
  node->Frame = NewFrame(key);
  node->Frame->SetTransformDirect(source->Frame->GetTransform());
  for (const auto& visual : source->Frame->GetVisuals()) node->Frame->AddVisual(visual);
  for (const auto& light : source->Frame->GetLights()) node->Frame->AddLight(light);
  if (source->Animation) node->Animation = source->Animation->Clone(node->Frame);
  node->Mesh = source->Mesh;
  node->Light = source->Light;
  node->Key = key;
  node->FileX = source->FileX;
  node->Style = source->Style;
  items_.Add(node, key);
  return node;
}

Node3DPtr Object3Ds::AddAnimation(const std::string& key, const std::string& fileName) {
  if (!D3DRM || !SceneFrame) RaiseNoScene();
  if (items_.Contains(key)) RaiseDuplicate(key);
  auto node = std::make_shared<Node3D>();
  node->Frame = NewFrame(key);
  node->Animation = D3DRM->CreateAnimationSet();
  const int result = node->Animation->Load(fileName, plat::D3DRMLOAD_INSTANCEBYREFERENCE, node->Frame, *D3DRM,
                                           LeadingNumber(key));
  if (result != plat::D3DRM_OK) {
    Discard(node->Frame);
    throw plat::RuntimeError(result == plat::D3DRMERR_FILENOTFOUND ? plat::ErrorCode::FileNotFound
                                                                  : plat::ErrorCode::General,
                             "Cannot load the animation \"" + fileName + "\"");
  }
  node->Key = key;
  node->FileX = fileName;
  node->Style = "Animation";
  items_.Add(node, key);
  return node;
}

Node3DPtr Object3Ds::Add(const std::string& key, const std::string& fileName) {
  if (!D3DRM || !SceneFrame || items_.Contains(key)) return nullptr;
  auto node = std::make_shared<Node3D>();
  node->Frame = NewFrame(key);
  node->Mesh = D3DRM->CreateMeshBuilder();
  if (node->Mesh->Load(fileName, *D3DRM) != plat::D3DRM_OK) {
    Discard(node->Frame);
    return nullptr;
  }
  node->Frame->AddVisual(node->Mesh);
  node->Key = key;
  node->FileX = fileName;
  node->Style = "Mesh";
  items_.Add(node, key);
  return node;
}

void Object3Ds::Release(const Node3DPtr& node) {
  if (node->Style == "Mesh" || node->Style == "Frame") {
    if (node->Frame && node->Mesh) node->Frame->DeleteVisual(node->Mesh);
  } else if (node->Style == "Animation") {
    if (node->Animation) node->Animation->Detach();
  } else if (node->Style == "Light") {
    if (node->Frame && node->Light) node->Frame->DeleteLight(node->Light);
  }
}

void Object3Ds::Remove(std::string_view key) {
  Release(items_.Item(key));
  items_.Remove(key);
}

void Object3Ds::Remove(int32_t position) {
  Release(items_.Item(position));
  items_.Remove(position);
}

// ----------------------------------------------------------------- RMClass

bool RMClass::Start(int32_t windowHandle, int32_t cooperativeFlags, int32_t width, int32_t height) {
  if (!DX_7) DX_7 = std::make_shared<plat::DirectX7>();
  DirectDraw_4 = DX_7->DirectDrawCreate("");
  if (!DirectDraw_4) return false;
  // The game passes no window; a handle would be the one game window.
  DirectDraw_4->SetCooperativeLevel(windowHandle != 0 ? reinterpret_cast<void*>(static_cast<intptr_t>(windowHandle))
                                                      : nullptr,
                                    cooperativeFlags);
  backRect_ = plat::RECT{0, 0, width, height};
  if (!InitScene()) return false;
  strD3DGuid = UseHardWare ? plat::kHalDeviceGuid : plat::kRgbDeviceGuid;
  if (!ResizeWindowedDevice(width, height)) return false;
  BindObjects();
  return true;
}

bool RMClass::InitScene() {
  D3DRM3 = std::make_shared<plat::Direct3DRM3>();
  D3DFrameScene = D3DRM3->CreateFrame(nullptr);
  D3DFrameCamera = D3DRM3->CreateFrame(D3DFrameScene);
  D3DFrameCamera->SetPosition(nullptr, 0, 0, -10);
  if (DefaultLight) {
    D3DFrameDirLight = D3DRM3->CreateFrame(D3DFrameScene);
    D3DDirLight = D3DRM3->CreateLightRGB(plat::D3DRMLIGHT_DIRECTIONAL, 1.0f, 1.0f, 1.0f);
    D3DAmbientLight = D3DRM3->CreateLightRGB(plat::D3DRMLIGHT_AMBIENT, 0.2f, 0.2f, 0.2f);
    D3DFrameDirLight->AddLight(D3DDirLight);
    D3DFrameScene->AddLight(D3DAmbientLight);
    D3DFrameDirLight->SetPosition(nullptr, 5, 5, -5);
    D3DFrameDirLight->LookAt(D3DFrameScene, nullptr, plat::D3DRMCONSTRAIN_Z);
  }
  return true;
}

bool RMClass::ResizeWindowedDevice(int32_t width, int32_t height) {
  if (!DirectDraw_4) return false;
  memoryType_ = UseHardWare ? plat::DDSCAPS_VIDEOMEMORY : plat::DDSCAPS_SYSTEMMEMORY;
  D3DViewport.reset();
  D3DDevice.reset();
  ERRORMessage = "unable to create backbuffer for current window size - try setting Use3DHardware=FALSE";
  constexpr int32_t kMaxSide = 8192;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    BackBuffer4.reset();
    return false;
  }
  BackBuffer4 = std::make_shared<plat::Surface>(width, height);
  ERRORMessage = "unable to create RM Device or Viewport for current window size";
  D3DDevice = D3DRM3 ? D3DRM3->CreateDeviceFromSurface(strD3DGuid, DirectDraw_4, BackBuffer4, 0) : nullptr;
  if (D3DDevice) D3DViewport = D3DRM3->CreateViewport(D3DDevice, D3DFrameCamera, 0, 0, width, height);
  if (!D3DDevice || !D3DViewport) {
    D3DDevice.reset();
    D3DViewport.reset();
    BackBuffer4.reset();
    return false;
  }
  SetDeviceQuality();
  return true;
}

void RMClass::SetDeviceQuality() { D3DDevice->SetQuality(plat::D3DRMRENDER_GOURAUD); }

void RMClass::BindObjects() {
  Objects->D3DRM = D3DRM3;
  Objects->SceneFrame = D3DFrameScene;
}

void RMClass::Update(bool clear, int32_t clearFlags) {
  Tick();
  Render(clear, clearFlags);
}

void RMClass::Tick() {
  const uint32_t now = plat::timeGetTime();
  if (ticked_ && D3DFrameScene)
    D3DFrameScene->Move(SceneSpeed * static_cast<float>(now - lastTick_) / 1000.0f);
  ticked_ = true;
  lastTick_ = now;
}

void RMClass::Render(bool clear, int32_t clearFlags) {
  // A scene whose start failed has nothing to render into.
  if (!D3DViewport || !D3DDevice) return;
  if (clear) D3DViewport->Clear(static_cast<uint32_t>(clearFlags));
  D3DViewport->Render(D3DFrameScene);
  D3DDevice->Update();
  if (UseBackBuffer7) BltBackBuffer2Surface7(BackBuffer7);
}

void RMClass::BltBackBuffer2Surface7(const plat::SurfacePtr& surface) {
  if (BackBuffer4 && surface) plat::CopySurface(*BackBuffer4, *surface);
}

void RMClass::BltBackBuffer4Surface7(const plat::SurfacePtr& surface) { BltBackBuffer2Surface7(surface); }

plat::Direct3DRMMeshBuilder3Ptr RMClass::PickTopMesh(int32_t, int32_t) { return nullptr; }
plat::Direct3DRMFrame3Ptr RMClass::PickTopFrame(int32_t, int32_t) { return nullptr; }

std::shared_ptr<plat::Direct3DRMTexture3> RMClass::CreateUpdateableTexture(int32_t width, int32_t height,
                                                                            const std::string& fileName) {
  if (!D3DRM3) return nullptr;
  plat::SurfacePtr surface;
  if (!fileName.empty()) {
    surface = plat::LoadTextureFile(plat::NativePath(fileName), width, height);
    if (!surface) throw plat::RuntimeError(plat::ErrorCode::FileNotFound, "Cannot load the picture \"" + fileName + "\"");
  } else {
    surface = plat::CreateTexture(width, height);
  }
  return D3DRM3->CreateTextureFromSurface(surface);
}

void RMClass::RotateFromXY(int16_t x, int16_t y, bool buttonDown) {
  if (!RotateFrame || RotateRadius == 0.0f) return;
  if (buttonDown) {
    lastX_ = x;
    lastY_ = y;
    return;
  }
  if (RotateMethod == 1)
    RotateFrameAxis(x, y);
  else
    RotateFrameFree(x, y);
  Update(false, 0);
}

void RMClass::RotateFrameAxis(int16_t x, int16_t y) {
  const float angle = static_cast<float>(lastX_ - x) * 3.14f / (RotateRadius * 10.0f);
  RotateFrame->AddRotation(plat::D3DRMCOMBINE_BEFORE, 0, 1, 0, angle);
  RotateFrameFree(static_cast<int16_t>(lastX_), y);
  lastX_ = x;
}

void RMClass::RotateFrameFree(int16_t x, int16_t y) {
  const float dx = static_cast<float>(x - lastX_), dy = static_cast<float>(y - lastY_);
  lastX_ = x;
  lastY_ = y;
  const float length = std::sqrt(dx * dx + dy * dy);
  if (length == 0.0f) return;
  // Dragging right turns the near side to the right, dragging down turns
  // it down; the frame turns in place.
  const plat::D3DVECTOR at = RotateFrame->GetPosition(nullptr);
  RotateFrame->AddRotation(plat::D3DRMCOMBINE_AFTER, -dy, -dx, 0, length / RotateRadius);
  RotateFrame->SetPosition(nullptr, at.x, at.y, at.z);
}

}  // namespace fw
