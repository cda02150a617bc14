// Material references of text model files written in place before the
// model reader sees them.
#include <gtest/gtest.h>

#include <string>

#include "platform/d3d/xfile.hpp"

namespace {

using plat::xfile::InlineMaterialReferences;

const std::string kHead = "xof 0302txt 0032\n";
const std::string kRed = "Material Red {\n 1;0;0;1;;\n}";
const std::string kBlue = "Material Blue { 0;0;1;1;; TextureFilename { \"b{ Red }.bmp\"; } }";

TEST(MaterialReferences, AreWrittenInPlaceOnlyInsideAMeshMaterialList) {
  const struct {
    const char* what;
    std::string in, out;
  } cases[] = {
      {"a reference by name", kRed + "\nMesh M { MeshMaterialList { 1;1;0;; { Red } } }",
       kRed + "\nMesh M { MeshMaterialList { 1;1;0;; " + kRed + " } }"},
      {"without spaces, each to its own", kRed + kBlue + "Mesh M { MeshMaterialList { 2;2;0,1;; {Blue} {Red} } }",
       kRed + kBlue + "Mesh M { MeshMaterialList { 2;2;0,1;; " + kBlue + " " + kRed + " } }"},
      {"named before it is defined", "Mesh M { MeshMaterialList { 1;1;0;; { Red } } }\n" + kRed,
       "Mesh M { MeshMaterialList { 1;1;0;; " + kRed + " } }\n" + kRed},
      {"a frame named in an animation", kRed + "Frame Red {} AnimationSet A { Animation B { { Red } } }",
       kRed + "Frame Red {} AnimationSet A { Animation B { { Red } } }"},
      {"a name no top-level material has", kRed + "Mesh M { MeshMaterialList { 1;1;0;; { Green } } }",
       kRed + "Mesh M { MeshMaterialList { 1;1;0;; { Green } } }"},
      {"braces in texts and comments", kBlue + "// { Blue }\nMesh M { MeshMaterialList { 1;1;0;; { Blue } } }",
       kBlue + "// { Blue }\nMesh M { MeshMaterialList { 1;1;0;; " + kBlue + " } }"},
  };
  for (const auto& c : cases) EXPECT_EQ(InlineMaterialReferences(kHead + c.in), kHead + c.out) << c.what;
}

}  // namespace
