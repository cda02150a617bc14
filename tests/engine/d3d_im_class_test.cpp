// The battles' immediate-mode device, used the way the battles use it.
#include <gtest/gtest.h>

#include "engine/im_class.hpp"
#include "platform/d3d/texture.hpp"
#include "platform/runtime/error.hpp"
#include "tests/common/test_support.hpp"

namespace {

using plat::D3DTLVERTEX;

uint16_t PixelAt(const plat::SurfacePtr& s, int x, int y) { return s->Row(y)[x]; }

void WritePicture(const fwtest::TempProgramFolder& folder, const std::string& name, int w, int h, uint16_t colour) {
  plat::Surface s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s.Row(y)[x] = colour;
  ASSERT_TRUE(plat::SaveBmp(s.Pixels(), w, h, w, folder.File(name)));
}

TEST(IMClass, InitSetsUpTheBattleDeviceAt640x480) {
  fw::IMClass im;
  EXPECT_TRUE(im.DIRECT3DHALDEVICE);
  // Before Init nothing is there to clear or to load into.
  im.ClearBackSurface();
  EXPECT_EQ(im.CreateIMSurface7("TextureBuffer64.bmp"), nullptr);
  ASSERT_TRUE(im.Init(640, 480));
  EXPECT_TRUE(im.Initialised());
  ASSERT_TRUE(im.BackSurface);
  EXPECT_EQ(im.BackSurface->Width(), 640);
  EXPECT_EQ(im.BackSurface->Height(), 480);
  EXPECT_EQ(im.lWidth, 640);
  EXPECT_EQ(im.DeviceGuid(), "IID_IDIRECT3DHALDEVICE");
  EXPECT_EQ(im.D3Device->GetDeviceGuid(), plat::kHalDeviceGuid);
  EXPECT_EQ(im.MemoryType(), plat::DDSCAPS_VIDEOMEMORY);
  EXPECT_TRUE(im.ZBufferAttached());
  EXPECT_EQ(im.D3Device->GetZBuffer()->Bits(), 16);
  EXPECT_EQ(im.Viewport().dwWidth, 640u);
  EXPECT_EQ(im.DeviceTextureMode(), 0);
  EXPECT_NE(im.Ddw, nullptr);
  EXPECT_NE(im.m_DX7, nullptr);
}

TEST(IMClass, TheSoftwareDeviceKeepsEverythingInSystemMemory) {
  fwtest::TempProgramFolder folder;
  WritePicture(folder, "TextureBuffer64.bmp", 64, 64, 0x07E0);
  fw::IMClass im;
  im.DIRECT3DHALDEVICE = false;
  ASSERT_TRUE(im.Init(640, 480));
  EXPECT_EQ(im.DeviceGuid(), "IID_IDIRECT3DRGBDEVICE");
  EXPECT_EQ(im.MemoryType(), plat::DDSCAPS_SYSTEMMEMORY);
  EXPECT_EQ(im.DeviceTextureMode(), 1);
  auto tex = std::dynamic_pointer_cast<plat::TextureSurface>(im.CreateIMSurface7(folder.File("TextureBuffer64.bmp")));
  ASSERT_TRUE(tex);
  EXPECT_EQ(tex->Caps, plat::DDSCAPS_TEXTURE | plat::DDSCAPS_SYSTEMMEMORY);
  EXPECT_EQ(tex->Caps2, 0u);
}

TEST(IMClass, TexturesComeFromPictureFiles) {
  fwtest::TempProgramFolder folder;
  WritePicture(folder, "TextureBuffer64.bmp", 64, 64, 0x07E0);
  fw::IMClass im;
  ASSERT_TRUE(im.Init(640, 480));
  EXPECT_EQ(im.CreateIMSurface7(""), nullptr);
  // The name as the game writes it: backslashes, any letter case.
  auto tex = std::dynamic_pointer_cast<plat::TextureSurface>(im.CreateIMSurface7(folder.Path() + "\\texturebuffer64.BMP"));
  ASSERT_TRUE(tex);
  EXPECT_EQ(tex->Width(), 64);
  EXPECT_EQ(PixelAt(tex, 10, 10), 0x07E0);
  EXPECT_EQ(tex->Caps2, plat::DDSCAPS2_TEXTUREMANAGE);
  EXPECT_THROW(im.CreateIMSurface7(folder.File("Missing.bmp")), plat::RuntimeError);
  // A keyed texture makes its key colour transparent; a sized one is
  // stretched; a blank one has the size asked for.
  auto keyed = std::dynamic_pointer_cast<plat::TextureSurface>(
      im.CreateTextureSurface(folder.File("TextureBuffer64.bmp"), 2, 32, 16));
  ASSERT_TRUE(keyed);
  EXPECT_EQ(keyed->Width(), 32);
  EXPECT_EQ(keyed->Height(), 16);
  EXPECT_TRUE(keyed->AlphaKeyed());
  EXPECT_EQ(keyed->AlphaKey(), 0xFFFF);
  auto blank = im.CreateTextureSurface("", 0, 8, 4);
  ASSERT_TRUE(blank);
  EXPECT_EQ(blank->Width(), 8);
  auto copy = im.ConvertSurfaceToTexture(tex, 0, 0);
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Width(), 64);
  EXPECT_EQ(PixelAt(copy, 63, 63), 0x07E0);
}

TEST(IMClass, ZBufferFormatIsTheFirst16BitOneElseTheLast) {
  auto fmt = [](uint32_t bits) { return plat::ZBufferFormat(plat::DDPF_ZBUFFER, bits, 0); };
  EXPECT_FALSE(fw::ChooseZBufferFormat({}).has_value());
  EXPECT_EQ(fw::ChooseZBufferFormat({fmt(24), fmt(16), fmt(32)})->lZBufferBitDepth, 16u);
  EXPECT_EQ(fw::ChooseZBufferFormat({fmt(24), fmt(32), fmt(24)})->lZBufferBitDepth, 24u);
  // A device offering no 16-bit format gets the last one it offers.
  fw::IMClass im;
  ASSERT_TRUE(im.Init(64, 48));
  im.D3D7->SetZBufferFormats({fmt(32), fmt(24)});
  ASSERT_TRUE(im.AttatchZBuffer());
  EXPECT_EQ(im.D3D7->AttachedZBuffer(im.BackSurface)->Bits(), 24);
  // Offering none fails quietly.
  im.D3D7->SetZBufferFormats({});
  EXPECT_FALSE(im.AttatchZBuffer());
  EXPECT_FALSE(im.ZBufferAttached());
}

TEST(IMClass, AFailedInitReportsFalse) {
  fw::IMClass im;
  EXPECT_FALSE(im.Init(0, 480));
  EXPECT_FALSE(im.Initialised());
  im.ClearBackSurface();
  EXPECT_EQ(im.DeviceTextureMode(), 2);
}

TEST(IMClass, SetupRenderStateGivesAdditiveModulatedLinearDrawing) {
  fw::IMClass im;
  ASSERT_TRUE(im.Init(640, 480));
  im.SetupRenderState();
  auto& d = *im.D3Device;
  EXPECT_EQ(d.GetRenderState(plat::D3DRENDERSTATE_AMBIENT), 0xFFFFFFFFu);
  EXPECT_EQ(d.GetRenderState(plat::D3DRENDERSTATE_SRCBLEND), 2u);
  EXPECT_EQ(d.GetRenderState(plat::D3DRENDERSTATE_DESTBLEND), 2u);
  EXPECT_EQ(d.GetRenderState(plat::D3DRENDERSTATE_DITHERENABLE), 1u);
  EXPECT_EQ(d.GetRenderState(plat::D3DRENDERSTATE_SPECULARENABLE), 0u);
  EXPECT_EQ(d.GetRenderState(plat::D3DRENDERSTATE_ZENABLE), 0u);
  EXPECT_EQ(d.GetRenderState(plat::D3DRENDERSTATE_ALPHABLENDENABLE), 0u);
  EXPECT_EQ(d.GetTextureStageState(0, plat::D3DTSS_COLORARG1), 2u);
  EXPECT_EQ(d.GetTextureStageState(0, plat::D3DTSS_COLORARG2), 0u);
  EXPECT_EQ(d.GetTextureStageState(0, plat::D3DTSS_COLOROP), 4u);
  EXPECT_EQ(d.GetTextureStageState(0, plat::D3DTSS_MINFILTER), 2u);
  EXPECT_EQ(d.GetTextureStageState(0, plat::D3DTSS_MAGFILTER), 2u);
}

// One effect of a battle frame, as the battle's mode-1 drawing does it.
TEST(IMClass, AFrameOfTheBattleClearsThenAddsTheEffects) {
  fw::IMClass im;
  ASSERT_TRUE(im.Init(640, 480));
  im.SetupRenderState();
  im.BackBufferClearValue = static_cast<int32_t>(0xFF102030u);
  auto& s = *im.BackSurface;
  s.Row(5)[5] = 0xFFFF;
  im.ClearBackSurface();
  const uint16_t cleared = static_cast<uint16_t>((0x10 >> 3) << 11 | (0x20 >> 2) << 5 | (0x30 >> 3));
  EXPECT_EQ(PixelAt(im.BackSurface, 5, 5), cleared);
  EXPECT_EQ(PixelAt(im.BackSurface, 639, 479), cleared);
  // The texture buffer holds the effect's cell; the quad adds it.
  auto buffer = plat::CreateTexture(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) buffer->Row(y)[x] = (x < 32) ? 0x0841 : 0;  // left half faintly lit
  im.D3Device->SetRenderState(plat::D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  D3DTLVERTEX quad[4] = {plat::CreateD3DTLVertex(0, 1, 0.99f, 0.5f, 0xFFFFFFFFu, 0, 0, 1),
                         plat::CreateD3DTLVertex(0, 0, 0.99f, 0.5f, 0xFFFFFFFFu, 0, 0, 0),
                         plat::CreateD3DTLVertex(1, 1, 0.99f, 0.5f, 0xFFFFFFFFu, 0, 1, 1),
                         plat::CreateD3DTLVertex(1, 0, 0.99f, 0.5f, 0xFFFFFFFFu, 0, 1, 0)};
  // SetQuadRect: the effect's rectangle (0, 0, 40, 40) moved to (100, 200).
  quad[0].sx = quad[1].sx = 100;
  quad[2].sx = quad[3].sx = 140;
  quad[1].sy = quad[3].sy = 200;
  quad[0].sy = quad[2].sy = 240;
  ASSERT_EQ(im.D3Device->BeginScene(), plat::D3D_OK);
  im.D3Device->SetTexture(0, buffer);
  ASSERT_EQ(im.D3Device->DrawPrimitive(plat::D3DPT_TRIANGLESTRIP, plat::D3DFVF_TLVERTEX, quad, 4, 0), plat::D3D_OK);
  ASSERT_EQ(im.D3Device->EndScene(), plat::D3D_OK);
  EXPECT_EQ(PixelAt(im.BackSurface, 105, 220), static_cast<uint16_t>(cleared + 0x0841));
  EXPECT_EQ(PixelAt(im.BackSurface, 135, 220), cleared);
  EXPECT_EQ(PixelAt(im.BackSurface, 99, 220), cleared);
  EXPECT_EQ(PixelAt(im.BackSurface, 105, 240), cleared);
}

TEST(IMClass, BltAlphaBlendDrawsTheSourceOverTheTargetsRectangle) {
  fw::IMClass im;
  ASSERT_TRUE(im.Init(160, 120));
  auto target = std::make_shared<plat::Surface>(160, 120);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) target->Row(y)[x] = 0x0821;
  auto source = plat::CreateTexture(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) source->Row(y)[x] = 0x1082;
  // Default blending replaces; after SetupRenderState it adds.
  im.BLTAlphaBlend(target, source, plat::RECT{10, 20, 30, 40});
  EXPECT_EQ(PixelAt(target, 15, 25), 0x1082);
  EXPECT_EQ(PixelAt(target, 35, 25), 0x0821);
  im.SetupRenderState();
  im.BLTAlphaBlend(target, source, plat::RECT{10, 20, 30, 40});
  EXPECT_EQ(PixelAt(target, 15, 25), 0x1082 + 0x1082);
  EXPECT_EQ(PixelAt(target, 9, 25), 0x0821);
}

TEST(IMClass, ViewAndFogOperationsSetTheDevicesState) {
  fw::IMClass im;
  ASSERT_TRUE(im.Init(64, 48));
  im.SetFog(1, 3, 0x00FF00);
  EXPECT_EQ(im.D3Device->GetRenderState(plat::D3DRENDERSTATE_FOGENABLE), 1u);
  EXPECT_EQ(im.D3Device->GetRenderState(plat::D3DRENDERSTATE_FOGTABLEMODE), 3u);
  EXPECT_EQ(im.D3Device->GetRenderState(plat::D3DRENDERSTATE_FOGCOLOR), 0x00FF00u);
  im.SetFogState(0.5f, 10.0f, 100.0f);
  EXPECT_FLOAT_EQ(im.D3Device->GetRenderStateSingle(plat::D3DRENDERSTATE_FOGEND), 100.0f);
  // Looking from (0, 0, -5) at the origin puts the origin 5 ahead.
  im.SetViewPosition(0, 0, -5, 0, 0, 0, 0, 1, 0);
  const plat::D3DMATRIX v = im.D3Device->GetTransform(plat::D3DTRANSFORMSTATE_VIEW);
  EXPECT_NEAR(v.m[3][2], 5.0f, 1e-5f);
  // SetView looks along (cos d.x, d.y, sin d.x): d.x = 0 looks along +x.
  im.SetView(fw::MakeVector2(0, 0, 0), fw::MakeVector2(1, 2, 3), fw::MakeVector2(0, 1, 0), 0);
  const plat::D3DMATRIX w = im.D3Device->GetTransform(plat::D3DTRANSFORMSTATE_VIEW);
  EXPECT_NEAR(w.m[0][2], 1.0f, 1e-5f);
  im.SetDefaultTransformsLightsAndMaterials();
  EXPECT_TRUE(im.D3Device->GetLightEnable(0));
  EXPECT_FLOAT_EQ(im.D3Device->GetLight(0).dvPosition.y, 100.0f);
  EXPECT_FLOAT_EQ(im.D3Device->GetMaterial().ambient.r, 4.0f);
  fw::D3DVECTOR a;
  fw::SetVector(a, 1, 2, 3);
  const fw::D3DVECTOR b = fw::AddVector(a, fw::MakeVector2(10, 20, 30));
  EXPECT_FLOAT_EQ(b.x, 11);
  EXPECT_FLOAT_EQ(b.z, 33);
}

}  // namespace
