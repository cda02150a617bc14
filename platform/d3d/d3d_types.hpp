#pragma once
// The records and constants of the 3D interfaces the game was written
// against, with their original values, so the game's code reads as it was
// written (render state 27 is alpha blending, blend factor 2 is one, ...).
#include <cstdint>
#include <string>

#include "platform/display/surface.hpp"

namespace plat {

struct D3DVECTOR {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

// Row-vector convention, as DirectX: a point is transformed as v * M and the
// translation stands in the last row (_41, _42, _43).
struct D3DMATRIX {
  float m[4][4] = {};
};

struct D3DCOLORVALUE {
  float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
};

// A transformed and lit vertex: screen position, depth 0..1, reciprocal w,
// ARGB colour and specular, texture coordinates.
struct D3DTLVERTEX {
  float sx = 0.0f, sy = 0.0f, sz = 0.0f, rhw = 1.0f;
  uint32_t color = 0xFFFFFFFFu, specular = 0;
  float tu = 0.0f, tv = 0.0f;
};

struct D3DVIEWPORT7 {
  uint32_t dwX = 0, dwY = 0, dwWidth = 0, dwHeight = 0;
  float dvMinZ = 0.0f, dvMaxZ = 1.0f;
};

// Right and bottom exclusive.
struct D3DRECT {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct D3DMATERIAL7 {
  D3DCOLORVALUE diffuse, ambient, specular, emissive;
  float power = 0.0f;
};

struct D3DLIGHT7 {
  int32_t dltType = 1;
  D3DCOLORVALUE dcvDiffuse, dcvSpecular, dcvAmbient;
  D3DVECTOR dvPosition, dvDirection;
  float dvRange = 0.0f, dvFalloff = 0.0f;
  float dvAttenuation0 = 0.0f, dvAttenuation1 = 0.0f, dvAttenuation2 = 0.0f;
  float dvTheta = 0.0f, dvPhi = 0.0f;
};

struct D3DPRIMCAPS {
  uint32_t dwMiscCaps = 0, dwRasterCaps = 0, dwZCmpCaps = 0;
  uint32_t dwSrcBlendCaps = 0, dwDestBlendCaps = 0, dwAlphaCmpCaps = 0;
  uint32_t dwShadeCaps = 0, dwTextureCaps = 0, dwTextureFilterCaps = 0;
  uint32_t dwTextureBlendCaps = 0, dwTextureAddressCaps = 0;
};

struct D3DDEVICEDESC7 {
  uint32_t dwDevCaps = 0;
  D3DPRIMCAPS dpcLineCaps, dpcTriCaps;
  uint32_t dwDeviceRenderBitDepth = 0, dwDeviceZBufferBitDepth = 0;
  uint32_t dwMinTextureWidth = 0, dwMinTextureHeight = 0;
  uint32_t dwMaxTextureWidth = 0, dwMaxTextureHeight = 0;
  std::string deviceGUID;
};

// A z-buffer pixel format as the device enumerates it.
// A depth format of the given bits, as the device lists them.
inline DDPIXELFORMAT ZBufferFormat(uint32_t flags, uint32_t bits, uint32_t mask) {
  DDPIXELFORMAT f;
  f.lFlags = static_cast<int32_t>(flags);
  f.lZBufferBitDepth = static_cast<int32_t>(bits);
  f.lZBitMask = mask;
  return f;
}

// Result codes.
constexpr int D3D_OK = 0;
constexpr int D3DERR_INVALIDPRIMITIVETYPE = static_cast<int>(0x887602CBu);
constexpr int D3DERR_SCENE_IN_SCENE = static_cast<int>(0x887602F8u);
constexpr int D3DERR_SCENE_NOT_IN_SCENE = static_cast<int>(0x887602F9u);
constexpr int D3DERR_SCENE_END_FAILED = static_cast<int>(0x887602FAu);

// Device identifiers.
inline const char* const kHalDeviceGuid = "IID_IDirect3DHALDevice";
inline const char* const kRgbDeviceGuid = "IID_IDirect3DRGBDevice";

// Surface capability bits the device code passes on.
constexpr uint32_t DDSCAPS_TEXTURE = 0x1000;
constexpr uint32_t DDSCAPS_3DDEVICE = 0x2000;
constexpr uint32_t DDSCAPS_ZBUFFER = 0x20000;
constexpr uint32_t DDSCAPS2_TEXTUREMANAGE = 0x10;
constexpr uint32_t DDPF_ZBUFFER = 0x400;

// Render states.
constexpr int D3DRENDERSTATE_ZENABLE = 7;
constexpr int D3DRENDERSTATE_FILLMODE = 8;
constexpr int D3DRENDERSTATE_SHADEMODE = 9;
constexpr int D3DRENDERSTATE_ZWRITEENABLE = 14;
constexpr int D3DRENDERSTATE_ALPHATESTENABLE = 15;
constexpr int D3DRENDERSTATE_SRCBLEND = 19;
constexpr int D3DRENDERSTATE_DESTBLEND = 20;
constexpr int D3DRENDERSTATE_CULLMODE = 22;
constexpr int D3DRENDERSTATE_ZFUNC = 23;
constexpr int D3DRENDERSTATE_DITHERENABLE = 26;
constexpr int D3DRENDERSTATE_ALPHABLENDENABLE = 27;
constexpr int D3DRENDERSTATE_FOGENABLE = 28;
constexpr int D3DRENDERSTATE_SPECULARENABLE = 29;
constexpr int D3DRENDERSTATE_FOGCOLOR = 34;
constexpr int D3DRENDERSTATE_FOGTABLEMODE = 35;
constexpr int D3DRENDERSTATE_FOGSTART = 36;
constexpr int D3DRENDERSTATE_FOGEND = 37;
constexpr int D3DRENDERSTATE_FOGDENSITY = 38;
constexpr int D3DRENDERSTATE_COLORKEYENABLE = 41;
constexpr int D3DRENDERSTATE_LIGHTING = 137;
constexpr int D3DRENDERSTATE_AMBIENT = 139;
constexpr int kRenderStateCount = 256;

// Texture stage states.
constexpr int D3DTSS_COLOROP = 1;
constexpr int D3DTSS_COLORARG1 = 2;
constexpr int D3DTSS_COLORARG2 = 3;
constexpr int D3DTSS_ALPHAOP = 4;
constexpr int D3DTSS_ALPHAARG1 = 5;
constexpr int D3DTSS_ALPHAARG2 = 6;
constexpr int D3DTSS_ADDRESS = 12;
constexpr int D3DTSS_ADDRESSU = 13;
constexpr int D3DTSS_ADDRESSV = 14;
constexpr int D3DTSS_MAGFILTER = 16;
constexpr int D3DTSS_MINFILTER = 17;
constexpr int D3DTSS_MIPFILTER = 18;
constexpr int kTextureStageStateCount = 32;
constexpr int kTextureStages = 8;

// Texture operations and arguments.
constexpr int D3DTOP_DISABLE = 1;
constexpr int D3DTOP_SELECTARG1 = 2;
constexpr int D3DTOP_SELECTARG2 = 3;
constexpr int D3DTOP_MODULATE = 4;
constexpr int D3DTA_DIFFUSE = 0;
constexpr int D3DTA_CURRENT = 1;
constexpr int D3DTA_TEXTURE = 2;
constexpr int D3DTFG_POINT = 1;
constexpr int D3DTFG_LINEAR = 2;
constexpr int D3DTFN_POINT = 1;
constexpr int D3DTFN_LINEAR = 2;
constexpr int D3DTADDRESS_WRAP = 1;
constexpr int D3DTADDRESS_CLAMP = 3;

// Blend factors.
constexpr int D3DBLEND_ZERO = 1;
constexpr int D3DBLEND_ONE = 2;
constexpr int D3DBLEND_SRCCOLOR = 3;
constexpr int D3DBLEND_INVSRCCOLOR = 4;
constexpr int D3DBLEND_SRCALPHA = 5;
constexpr int D3DBLEND_INVSRCALPHA = 6;
constexpr int D3DBLEND_DESTALPHA = 7;
constexpr int D3DBLEND_INVDESTALPHA = 8;
constexpr int D3DBLEND_DESTCOLOR = 9;
constexpr int D3DBLEND_INVDESTCOLOR = 10;
constexpr int D3DBLEND_SRCALPHASAT = 11;
constexpr int D3DBLEND_BOTHSRCALPHA = 12;
constexpr int D3DBLEND_BOTHINVSRCALPHA = 13;

constexpr int D3DCULL_NONE = 1;
constexpr int D3DCULL_CW = 2;
constexpr int D3DCULL_CCW = 3;
constexpr int D3DSHADE_FLAT = 1;
constexpr int D3DSHADE_GOURAUD = 2;
constexpr int D3DCMP_LESSEQUAL = 4;

// Primitives and vertex formats.
constexpr int D3DPT_POINTLIST = 1;
constexpr int D3DPT_LINELIST = 2;
constexpr int D3DPT_LINESTRIP = 3;
constexpr int D3DPT_TRIANGLELIST = 4;
constexpr int D3DPT_TRIANGLESTRIP = 5;
constexpr int D3DPT_TRIANGLEFAN = 6;
constexpr uint32_t D3DFVF_TLVERTEX = 0x1C4;

constexpr uint32_t D3DCLEAR_TARGET = 1;
constexpr uint32_t D3DCLEAR_ZBUFFER = 2;
constexpr uint32_t D3DCLEAR_STENCIL = 4;

constexpr int D3DTRANSFORMSTATE_WORLD = 1;
constexpr int D3DTRANSFORMSTATE_VIEW = 2;
constexpr int D3DTRANSFORMSTATE_PROJECTION = 3;

constexpr int D3DLIGHT_POINT = 1;
constexpr int D3DLIGHT_SPOT = 2;
constexpr int D3DLIGHT_DIRECTIONAL = 3;

// Capability bits reported by GetCaps.
constexpr uint32_t D3DPBLENDCAPS_ZERO = 0x1;
constexpr uint32_t D3DPBLENDCAPS_ONE = 0x2;
constexpr uint32_t D3DPBLENDCAPS_SRCCOLOR = 0x4;
constexpr uint32_t D3DPBLENDCAPS_INVSRCCOLOR = 0x8;
constexpr uint32_t D3DPBLENDCAPS_SRCALPHA = 0x10;
constexpr uint32_t D3DPBLENDCAPS_INVSRCALPHA = 0x20;
constexpr uint32_t D3DPBLENDCAPS_DESTCOLOR = 0x100;
constexpr uint32_t D3DPBLENDCAPS_INVDESTCOLOR = 0x200;
constexpr uint32_t D3DPTFILTERCAPS_NEAREST = 0x1;
constexpr uint32_t D3DPTFILTERCAPS_LINEAR = 0x2;
constexpr uint32_t D3DPTFILTERCAPS_MINFPOINT = 0x100;
constexpr uint32_t D3DPTFILTERCAPS_MINFLINEAR = 0x200;
constexpr uint32_t D3DPTFILTERCAPS_MAGFPOINT = 0x1000000;
constexpr uint32_t D3DPTFILTERCAPS_MAGFLINEAR = 0x2000000;
constexpr uint32_t D3DPSHADECAPS_COLORGOURAUDRGB = 0x8;
constexpr uint32_t D3DPTEXTURECAPS_PERSPECTIVE = 0x1;
constexpr uint32_t D3DPTEXTURECAPS_ALPHA = 0x4;
constexpr uint32_t D3DPTBLENDCAPS_MODULATE = 0x8;
constexpr uint32_t D3DPTADDRESSCAPS_WRAP = 0x1;
constexpr uint32_t D3DPTADDRESSCAPS_CLAMP = 0x4;
constexpr uint32_t D3DPRASTERCAPS_ZTEST = 0x10;
constexpr uint32_t D3DPCMPCAPS_LESSEQUAL = 0x8;
constexpr uint32_t D3DDEVCAPS_TLVERTEXSYSTEMMEMORY = 0x40;
constexpr uint32_t D3DDEVCAPS_TEXTURESYSTEMMEMORY = 0x100;
constexpr uint32_t D3DDEVCAPS_DRAWPRIMTLVERTEX = 0x400;
constexpr uint32_t D3DDEVCAPS_HWRASTERIZATION = 0x80000;

}  // namespace plat
