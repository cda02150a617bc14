#pragma once
// A retained-mode scene of the factory: its own display object, an
// off-screen back buffer with a device and viewport on it, the scene's root
// frame, a camera and, optionally, a default pair of lights; and the keyed
// collection of the scene's nodes (meshes from `.x` files, lights,
// animation sets), each in a frame of its own under the root.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/lazy.hpp"
#include "platform/d3d/rm.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/keyed_collection.hpp"

namespace fw {

class Node3D {
 public:
  std::string Key;
  plat::Direct3DRMFrame3Ptr Frame;
  plat::Direct3DRMMeshBuilder3Ptr Mesh;
  std::string FileX;
  plat::Direct3DRMAnimationSet2Ptr Animation;
  plat::Direct3DRMLightPtr Light;
  // "Mesh", "Light" or "Animation".
  std::string Style;
};
using Node3DPtr = std::shared_ptr<Node3D>;

class Object3Ds {
 public:
  // Handed over by RMClass.Start.
  std::shared_ptr<plat::Direct3DRM3> D3DRM;
  plat::Direct3DRMFrame3Ptr SceneFrame;

  // A light of a type (0 ambient, 1 point, 2 spot, 3 directional, 4
  // parallel point) and colour in a new frame. Errors raise.
  Node3DPtr AddLight(const std::string& key, int32_t lightType, float red, float green, float blue);
  // A copy of another node's frame and animation. Errors raise.
  Node3DPtr AddClone(const std::string& key, const std::string& sourceKey);
  // The frames and animation set of an `.x` file in a new frame; the key's
  // number is the set's identifier. Errors raise.
  Node3DPtr AddAnimation(const std::string& key, const std::string& fileName);
  // The meshes of an `.x` file in a new frame; null, with nothing added,
  // when the model cannot be loaded or the key is taken.
  Node3DPtr Add(const std::string& key, const std::string& fileName);
  // Null when there is no such node.
  Node3DPtr Item(std::string_view key) const { return items_.Find(key); }
  Node3DPtr Item(int32_t position) const { return items_.At(position); }
  int32_t Count() const { return items_.Count(); }
  // Takes the node's mesh, animation or light out of its frame, which stays
  // in the scene, empty; then the node leaves the collection. An unknown
  // key raises.
  void Remove(std::string_view key);
  void Remove(int32_t position);
  // NewEnum.
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  plat::Direct3DRMFrame3Ptr NewFrame(const std::string& key) const;
  void Discard(const plat::Direct3DRMFrame3Ptr& frame) const;
  void Release(const Node3DPtr& node);
  plat::KeyedCollection<Node3D> items_;
};

class RMClass {
 public:
  std::shared_ptr<plat::DirectX7> DX_7;
  std::shared_ptr<plat::DirectDraw> DirectDraw_4;
  plat::SurfacePtr BackBuffer4;
  plat::SurfacePtr BackBuffer7;
  bool UseBackBuffer7 = false;
  Lazy<Object3Ds> Objects;
  std::shared_ptr<plat::Direct3DRM3> D3DRM3;
  std::shared_ptr<plat::Direct3DRMDevice3> D3DDevice;
  std::shared_ptr<plat::Direct3DRMViewport2> D3DViewport;
  plat::Direct3DRMFrame3Ptr D3DFrameScene;
  plat::Direct3DRMFrame3Ptr D3DFrameCamera;
  plat::Direct3DRMFrame3Ptr D3DFrameDirLight;
  plat::Direct3DRMFrame3Ptr D3DFrameAmbientLight;
  plat::Direct3DRMLightPtr D3DDirLight;
  plat::Direct3DRMLightPtr D3DAmbientLight;
  // 1: drags turn RotateFrame about the vertical axis; else freely.
  int32_t RotateMethod = 0;
  plat::Direct3DRMFrame3Ptr RotateFrame;
  float RotateRadius = 100.0f;
  std::string strDDGuid;
  std::string strD3DGuid;
  // Units of frame motion per second of Tick.
  float SceneSpeed = 30.0f;
  bool UseHardWare = true;
  // The step ResizeWindowedDevice last attempted.
  std::string ERRORMessage;
  bool DefaultLight = true;

  void RotateFromXY(int16_t x, int16_t y, bool buttonDown);
  // Picking is not provided: nothing in the game asks which model is under
  // a point (the factory uses fixed screen areas).
  plat::Direct3DRMMeshBuilder3Ptr PickTopMesh(int32_t x, int32_t y);
  plat::Direct3DRMFrame3Ptr PickTopFrame(int32_t x, int32_t y);
  std::shared_ptr<plat::Direct3DRMTexture3> CreateUpdateableTexture(int32_t width, int32_t height,
                                                                     const std::string& fileName);
  void Update(bool clear, int32_t clearFlags);
  // Moves the scene by the time since the last call; the first call only
  // takes the time.
  void Tick();
  void Render(bool clear, int32_t clearFlags);
  bool Start(int32_t windowHandle, int32_t cooperativeFlags, int32_t width, int32_t height);
  bool ResizeWindowedDevice(int32_t width, int32_t height);
  plat::RECT BackBufferRECT() const { return backRect_; }
  void BltBackBuffer2Surface7(const plat::SurfacePtr& surface);
  void BltBackBuffer4Surface7(const plat::SurfacePtr& surface);

  // DDSCAPS_VIDEOMEMORY or DDSCAPS_SYSTEMMEMORY, as Start chose.
  uint32_t MemoryType() const { return memoryType_; }

 private:
  void RotateFrameFree(int16_t x, int16_t y);
  void RotateFrameAxis(int16_t x, int16_t y);
  void BindObjects();
  bool InitScene();
  void SetDeviceQuality();

  plat::RECT backRect_;
  bool ticked_ = false;
  uint32_t lastTick_ = 0;
  int32_t lastX_ = 0, lastY_ = 0;
  uint32_t memoryType_ = 0;
};

}  // namespace fw
