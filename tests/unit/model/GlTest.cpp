// Texture upload and mesh drawing on a real GL context (Mesa, EGL on the
// surfaceless platform); fails where no such context exists.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "Builders.h"
#include "gl/egl/Offscreen.h"
#include "platform/GLHeaders.h"
#include "model/Cn3dmax.h"
#include "platform/Text.h"

namespace {

class GlContextTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gl_ = new OffscreenGl(64, 64); }
  static void TearDownTestSuite() {
    delete gl_;
    gl_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(gl_->ready()) << "no EGL/OpenGL context (Mesa's libegl-mesa0 and libgl1-mesa-dri provide one): "
                              << gl_->error();
  }
  static std::u16string WriteTemp(const std::string& name, const Bytes& data) {
    const std::string path = TestFileDir() + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    return text::FromUtf8(path);
  }

  static inline OffscreenGl* gl_ = nullptr;
};

// 2x2 red: rows of 6 bytes, so a four-byte unpack alignment would skew row 1.
Bytes RedTwoByTwo() {
  const Bytes row{0, 0, 255, 0, 0, 255, 0, 0};
  return BmpFile(InfoHeader(2, 2, 24), {}, Cat({row, row}));
}

}  // namespace

TEST_F(GlContextTest, TextureIsUploadedTightlyPackedWithMipmaps) {
  TextureInfo info;
  LoadTexture(WriteTemp("gl_red.bmp", RedTwoByTwo()).c_str(), &info);
  ASSERT_NE(0u, info.textureName);
  EXPECT_EQ(2, info.width);
  EXPECT_EQ(2, info.height);
  EXPECT_EQ(3, info.components);
  EXPECT_EQ(nullptr, info.pixels);

  GLint bound = 0, minFilter = 0, magFilter = 0, alignment = 0, level1 = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(GLint(info.textureName), bound);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
  EXPECT_EQ(GL_LINEAR_MIPMAP_NEAREST, minFilter);
  EXPECT_EQ(GL_LINEAR, magFilter);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(4, alignment);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
  EXPECT_EQ(1, level1);

  uint8_t texels[2 * 2 * 3] = {};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
  for (int i = 0; i < 4; ++i) EXPECT_EQ((Bytes{255, 0, 0}), Bytes(texels + 3 * i, texels + 3 * i + 3)) << i;
  glDeleteTextures(1, &info.textureName);
}

TEST_F(GlContextTest, ModelDrawsTexturedMeshAndReleasesTexture) {
  Bytes triangle = Cat({VertexList({{-3, -3, 0}, {3, -3, 0}, {0, 3, 0}}), FaceList({{0, 1, 2, 0}}),
                        MappingList({{0.2f, 0.2f}, {0.8f, 0.2f}, {0.5f, 0.8f}})});
  auto model = std::make_unique<Ccn3dmax>();
  EXPECT_EQ(1, model->LoadModelFrom(WriteTemp("gl_tri.bin", triangle).c_str(),
                                    WriteTemp("gl_tri.bmp", RedTwoByTwo()).c_str()));
  ASSERT_NE(nullptr, model->mesh);
  EXPECT_EQ(1, model->mesh->faceCount);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  const GLuint name = model->texture.textureName;
  ASSERT_NE(0u, name);

  glViewport(0, 0, 64, 64);
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-4, 4, -4, 4, -4, 4);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  GLint depthBefore = 0, depthAfter = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
  // Draw keeps the matrix stack balanced; its quarter turn about x shows
  // this flat triangle edge-on, so the pixel check draws the mesh alone.
  EXPECT_EQ(1, model->Draw());
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
  EXPECT_EQ(depthBefore, depthAfter);
  EXPECT_EQ(1, model->mesh->normalsReady);
  glClear(GL_COLOR_BUFFER_BIT);
  DrawMesh(model->mesh);
  uint8_t centre[4] = {};
  glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
  EXPECT_EQ(255, centre[0]);
  EXPECT_EQ(0, centre[2]);

  // Replayed from the recorded batch until new geometry resets normalsReady.
  const uint32_t list = model->mesh->displayList;
  EXPECT_NE(0u, list);
  for (int i = 0; i < 3; ++i) model->mesh->vertices[i].x += 10.0f;
  glClear(GL_COLOR_BUFFER_BIT);
  DrawMesh(model->mesh);
  glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
  EXPECT_EQ(255, centre[0]);
  model->mesh->normalsReady = 0;
  glClear(GL_COLOR_BUFFER_BIT);
  DrawMesh(model->mesh);
  glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
  EXPECT_EQ(0, centre[0]);
  EXPECT_EQ(255, centre[2]);
  EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());

  model.reset();
  EXPECT_FALSE(glIsTexture(name));
}

TEST_F(GlContextTest, MissingFilesLeaveAnEmptyModelThatStillRuns) {
  Ccn3dmax model;
  const std::u16string missing = text::FromUtf8(TestFileDir() + "gl_missing.bin");
  EXPECT_EQ(1, model.LoadModelFrom(missing.c_str(), nullptr));
  ASSERT_NE(nullptr, model.mesh);
  EXPECT_EQ(0, model.mesh->vertexCount);
  EXPECT_EQ(0u, model.texture.textureName);
  EXPECT_EQ(1, model.Draw());
  EXPECT_EQ(1, model.mesh->normalsReady);
  EXPECT_EQ(1, model.active);
}

TEST_F(GlContextTest, EachModelDrawsWithItsOwnTextureOrNone) {
  const std::u16string bitmap = WriteTemp("gl_own.bmp", RedTwoByTwo());
  const std::u16string missing = text::FromUtf8(TestFileDir() + "gl_own_missing.bin");
  Ccn3dmax first, second, bare;
  first.LoadModelFrom(missing.c_str(), bitmap.c_str());
  second.LoadModelFrom(missing.c_str(), bitmap.c_str());
  bare.LoadModelFrom(missing.c_str(), nullptr);
  ASSERT_NE(first.texture.textureName, second.texture.textureName);
  GLint bound = 0;
  first.Draw();
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(GLint(first.texture.textureName), bound);
  bare.Draw();
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(0, bound);
}
