#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hub/Application.h"
#include "content/ContentList.h"
#include "gl/egl/Offscreen.h"
#include "platform/GLHeaders.h"
#include "model/Cn3dmax.h"
#include "model/Timer.h"
#include "platform/Text.h"
#include "scene/Scene.h"
#include "settings/DataPaths.h"
#include "unit/FakeClock.h"

namespace {

using fake_clock::g_now;
using fake_clock::kFrame;
constexpr double kHalfTurnSeconds = 180.0 / 7.0;

std::string Utf8(const char16_t* s) { return text::ToUtf8(s); }

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl_.ready()) << "no surfaceless EGL context";
    g_now = 0;
    SetClockSource(&fake_clock::kSource);
    dir_ = std::filesystem::temp_directory_path() /
           ("lumi-scene-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    text::Copy(paths_.modelDir, kPathCapacity, text::FromUtf8(dir_.string()).c_str());
    app_.paths = &paths_;
    app_.displayMyFavorites = 0;  // the list starts empty; tests fill it
    list_ = new CContentList(&app_);
    app_.contentList = list_;
    text::Copy(app_.font, 85, u"Georgia");
    app_.screenWidth = 64;
    app_.screenHeight = 64;
    for (int i = 0; i < 100; ++i) texts_.push_back(u"Entry " + text::FromUtf8(std::to_string(i)) + u" | Meaning");
  }

  void TearDown() override {
    delete scene_;
    SetClockSource(nullptr);
    // The rows belong to the test, not to the list.
    for (int i = 0; i < kContentCapacity; ++i) list_->items[i] = nullptr;
    list_->count = 0;
    delete list_;
    std::filesystem::remove_all(dir_);
  }

  void FillList(int count, int current) {
    for (int i = 0; i < count; ++i) list_->items[i] = texts_[static_cast<size_t>(i)].data();
    list_->count = count;
    list_->current = current;
  }

  void StartScene() {
    scene_ = new CScene;
    scene_->InitScene(&app_);
  }
  // The whole catalogue on a screen of this size; the projection set up.
  std::array<GLdouble, 16> StartSceneOn(int width, int height) {
    FillList(100, 0);
    app_.screenWidth = width;
    app_.screenHeight = height;
    StartScene();
    std::array<GLdouble, 16> p{};
    glGetDoublev(GL_PROJECTION_MATRIX, p.data());
    return p;
  }

  // Renders frames every 50 ms from the current time until a new model
  // appears (its clock starts in the frame that switched) or `limitSeconds`
  // pass; returns the time of the switching frame in seconds, or -1.
  double RunUntilSwitch(double limitSeconds) {
    const int64_t first = g_now;
    for (int64_t t = first; t <= first + static_cast<int64_t>(limitSeconds * 1e6); t += kFrame) {
      g_now = t;
      scene_->RenderScene();
      const CTimer* clock = scene_->objects[1]->clock;
      if (t > 0 && clock->started && clock->start == t) {
        g_now = t + kFrame;
        return static_cast<double>(t) / 1e6;
      }
    }
    return -1.0;
  }

  void WriteFile(const char* name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }

  OffscreenGl gl_{64, 64};
  std::filesystem::path dir_;
  CDataPaths paths_;
  CApplication app_;
  CContentList* list_ = nullptr;
  std::vector<std::u16string> texts_;
  CScene* scene_ = nullptr;
};

TEST(CameraTest, OrbitingTwiceEndsBehindTheViewerOfTheModel) {
  CCamera camera;
  camera.centreZ = -3.0;
  camera.angle = 270.0;
  camera.radius = -40.0;
  camera.ComputeEye();
  // 270 degrees with pi taken as 3.141 is 4.7115 radians, just short of 3/2 pi.
  EXPECT_NEAR(camera.eyeX, std::cos(4.7115) * -40.0, 1e-9);
  EXPECT_NEAR(camera.eyeZ, std::sin(4.7115) * -40.0 - 3.0, 1e-9);
  camera.centreY += -1.8;
  camera.centreZ += -14.0;
  camera.ComputeEye();
  EXPECT_NEAR(camera.eyeX, 0.0356, 5e-4);
  EXPECT_DOUBLE_EQ(camera.eyeY, 0.0);
  EXPECT_NEAR(camera.eyeZ, 23.0, 1e-3);
}

TEST_F(SceneTest, SetUpLeavesTheFixedStateCameraAndSlots) {
  const std::array<GLdouble, 16> p = StartSceneOn(1280, 1024);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 1280);
  EXPECT_EQ(viewport[3], 1024);
  EXPECT_NEAR(p[5] / p[0], 1.25, 1e-6);                                      // aspect
  EXPECT_NEAR(p[5], 1.0 / std::tan(22.5 * 3.14159265358979 / 180.0), 1e-6);  // 45 degrees
  const double nearPlane = p[14] / (p[10] - 1.0), farPlane = p[14] / (p[10] + 1.0);
  EXPECT_NEAR(nearPlane, 0.1, 1e-6);
  EXPECT_NEAR(farPlane, 50.0, 1e-3);
  for (GLenum cap : {GL_DEPTH_TEST, GL_COLOR_MATERIAL, GL_LIGHTING, GL_CULL_FACE, GL_LIGHT0, GL_LIGHT1,
                     GL_NORMALIZE}) {
    EXPECT_TRUE(glIsEnabled(cap)) << std::hex << cap;
  }
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLint value = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &value);
  EXPECT_EQ(value, GL_LEQUAL);
  glGetIntegerv(GL_SHADE_MODEL, &value);
  EXPECT_EQ(value, GL_SMOOTH);
  glGetIntegerv(GL_CULL_FACE_MODE, &value);
  EXPECT_EQ(value, GL_BACK);
  glGetIntegerv(GL_MATRIX_MODE, &value);
  EXPECT_EQ(value, GL_MODELVIEW);

  ASSERT_NE(scene_->camera, nullptr);
  EXPECT_NEAR(scene_->camera->eyeX, 0.0356, 5e-4);
  EXPECT_NEAR(scene_->camera->eyeZ, 23.0, 1e-3);
  EXPECT_DOUBLE_EQ(scene_->camera->centreY, -1.8);
  EXPECT_DOUBLE_EQ(scene_->camera->centreZ, -17.0);

  EXPECT_EQ(scene_->objectCount, 2);
  ASSERT_NE(scene_->objects[0], nullptr);
  ASSERT_NE(scene_->objects[1], nullptr);
  EXPECT_TRUE(HasTypeTag(scene_->objects[0], "AnimString"));
  EXPECT_TRUE(HasTypeTag(scene_->objects[1], "cn3dmax"));
  EXPECT_EQ(scene_->companion[1], 0);
  EXPECT_NE(scene_->listBase, 0u);
  EXPECT_GT(scene_->glyphMetrics[u'A'].gmfCellIncX, 0.0f);

  // Each frame looks from the stored eye at the stored centre.
  scene_->RenderScene();
  GLdouble m[16] = {};
  glGetDoublev(GL_MODELVIEW_MATRIX, m);
  const CCamera& c = *scene_->camera;
  auto apply = [&m](double x, double y, double z, int row) {
    return m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
  };
  for (int row = 0; row < 3; ++row) EXPECT_NEAR(apply(c.eyeX, c.eyeY, c.eyeZ, row), 0.0, 1e-4);
  EXPECT_NEAR(apply(c.centreX, c.centreY, c.centreZ, 0), 0.0, 1e-4);
  EXPECT_NEAR(apply(c.centreX, c.centreY, c.centreZ, 1), 0.0, 1e-4);
  EXPECT_LT(apply(c.centreX, c.centreY, c.centreZ, 2), -39.0);
}

TEST_F(SceneTest, ZeroHeightKeepsTheProjectionFinite) {
  const std::array<GLdouble, 16> p = StartSceneOn(640, 0);
  for (double v : p) EXPECT_TRUE(std::isfinite(v));
  EXPECT_GT(std::fabs(p[0]), 0.0);
}

TEST_F(SceneTest, EntryFileNamesCountFromOneWithALeadingZeroBelowTen) {
  const struct {
    int current;
    const char* model;
    const char* bitmap;
  } cases[] = {{0, "01.bin", "01.bmp"}, {8, "09.bin", "09.bmp"}, {9, "10.bin", "10.bmp"}, {99, "100.bin", "100.bmp"}};
  FillList(100, 0);
  for (const auto& c : cases) {
    list_->current = c.current;
    StartScene();
    const std::string model = Utf8(paths_.modelPath), bitmap = Utf8(paths_.texturePath);
    EXPECT_EQ(model.rfind(dir_.string(), 0), 0u) << model;
    EXPECT_TRUE(EndsWith(model, c.model)) << model;
    EXPECT_TRUE(EndsWith(bitmap, c.bitmap)) << bitmap;
    const char before = model[model.size() - std::string(c.model).size() - 1];
    EXPECT_TRUE(before == '/' || before == '\\') << model;
    EXPECT_NE(model[model.size() - std::string(c.model).size() - 2], '0') << "no second leading digit";
    delete scene_;
    scene_ = nullptr;
  }
}

TEST_F(SceneTest, FinishedModelIsReplacedOnTheNextFrameAndTheListWraps) {
  // A corrupt pair for position 98, nothing at all for 99: neither may
  // shorten its entry.
  WriteFile("99.bin", std::string(300, '\x4d'));
  WriteFile("99.bmp", "BM" + std::string(40, '\xff'));
  FillList(100, 98);
  StartScene();

  const double first = RunUntilSwitch(60.0);
  ASSERT_GT(first, 0.0) << "the first entry never ended";
  // The model clears its flag in the first frame past the half turn and is
  // replaced at the start of the frame after that.
  EXPECT_GT(first, kHalfTurnSeconds + 0.05 - 1e-6);
  EXPECT_LE(first, kHalfTurnSeconds + 0.1 + 1e-6);
  EXPECT_EQ(list_->current, 99);
  EXPECT_TRUE(EndsWith(Utf8(paths_.modelPath), "100.bin"));
  EXPECT_NE(scene_->objects[1], nullptr);
  EXPECT_TRUE(HasTypeTag(scene_->objects[1], "cn3dmax"));
  EXPECT_EQ(scene_->objects[1]->active, 1);
  EXPECT_TRUE(HasTypeTag(scene_->objects[0], "AnimString"));
  EXPECT_EQ(scene_->objects[0]->active, 1);
  EXPECT_EQ(scene_->objectCount, 2);

  const double second = RunUntilSwitch(60.0);
  ASSERT_GT(second, 0.0);
  EXPECT_NEAR(second - first, first, 1e-6) << "both entries last the same";
  EXPECT_EQ(list_->current, 0);
  EXPECT_TRUE(EndsWith(Utf8(paths_.modelPath), "01.bin"));
  EXPECT_TRUE(EndsWith(Utf8(paths_.texturePath), "01.bmp"));
}

TEST_F(SceneTest, FinishedTextWaitsUndrawnForItsModel) {
  FillList(100, 3);
  StartScene();
  for (int i = 0; i < 10; ++i, g_now += kFrame) scene_->RenderScene();
  CObject3d* text = scene_->objects[0];
  text->active = 0;  // as the text does itself once its line has gone
  const CTimer before = *text->clock;
  while (g_now < static_cast<int64_t>(20e6)) {
    scene_->RenderScene();
    g_now += kFrame;
  }
  EXPECT_EQ(scene_->objects[0], text);
  EXPECT_EQ(text->active, 0);
  EXPECT_EQ(text->clock->now, before.now) << "an inactive text was drawn";
  EXPECT_EQ(list_->current, 3);

  ASSERT_GT(RunUntilSwitch(10.0), 0.0);
  EXPECT_EQ(list_->current, 4);
  EXPECT_EQ(scene_->objects[0]->active, 1);
  EXPECT_TRUE(HasTypeTag(scene_->objects[0], "AnimString"));
}

TEST_F(SceneTest, EmptyListShowsTheFirstModelWithoutText) {
  FillList(0, 0);
  StartScene();
  EXPECT_EQ(scene_->objectCount, 2);
  EXPECT_TRUE(EndsWith(Utf8(paths_.modelPath), "01.bin"));
  for (int round = 0; round < 2; ++round) {
    ASSERT_GT(RunUntilSwitch(30.0), 0.0);
    EXPECT_EQ(list_->current, 0);
    EXPECT_TRUE(EndsWith(Utf8(paths_.modelPath), "01.bin"));
    EXPECT_TRUE(HasTypeTag(scene_->objects[0], "AnimString"));
  }
  // A position left outside the list is not read either.
  list_->current = 7;
  ASSERT_GT(RunUntilSwitch(30.0), 0.0);
  EXPECT_EQ(list_->current, 0);
}

// Reads of this clock move it on: a second sampling in one frame would show
// a later moment than the first.
int64_t TickingCounter() { return g_now += 100000; }
const ClockSource kTickingClock{TickingCounter, fake_clock::Frequency};

// The bounds of an RGB picture's lit pixels; *count of them.
PixelRect LitBounds(const std::vector<uint8_t>& rgb, int width, long long* count) {
  PixelRect bounds;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
    if (rgb[i] + rgb[i + 1] + rgb[i + 2] == 0) continue;
    const int x = static_cast<int>(i / 3) % width, y = static_cast<int>(i / 3) / width;
    bounds = RectUnion(bounds, {x, y, x + 1, y + 1});
    ++*count;
  }
  return bounds;
}

// The pixels of one rectangle of an RGB picture, row by row.
std::vector<uint8_t> Cut(const std::vector<uint8_t>& rgb, int width, const PixelRect& r) {
  std::vector<uint8_t> out;
  for (int y = r.y0; y < r.y1; ++y) {
    const auto row = rgb.begin() + (static_cast<long>(y) * width + r.x0) * 3;
    out.insert(out.end(), row, row + r.Width() * 3);
  }
  return out;
}

// One moment in every view of every target, the entries switching together:
// one window holding two monitors' views, and a drawable of its own.
TEST_F(SceneTest, EveryViewAndTargetShowsTheOneMomentOfAFrame) {
  FillList(100, 0);
  StartScene();
  FramebufferCalls calls;
  ASSERT_TRUE(calls.LoadAll());
  OffscreenTarget window(calls), other(calls);
  ASSERT_TRUE(window.Create(208, 64, 0));
  ASSERT_TRUE(other.Create(96, 64, 0));
  const PixelRect left{0, 0, 96, 64}, right{112, 0, 208, 64}, alone{0, 0, 96, 64};
  scene_->MainTarget().Lay(208, 64, {left, right});
  CSceneTarget second;
  second.Lay(96, 64, {alone});
  SetClockSource(&kTickingClock);
  std::vector<uint8_t> a, b;
  int unlike = 0;
  long long shown = 0;
  for (int frame = 0; frame < 250; ++frame) {
    scene_->BeginFrame();
    window.Bind();
    scene_->DrawFrame(scene_->MainTarget());
    window.Read(&a);
    other.Bind();
    scene_->DrawFrame(second);
    other.Read(&b);
    const std::vector<uint8_t> first = Cut(a, 208, left);
    if (first != Cut(a, 208, right) || first != b) ++unlike;
    LitBounds(b, 96, &shown);
  }
  EXPECT_EQ(unlike, 0) << "views showed different moments";
  EXPECT_GT(shown, 1000) << "nothing drawn";
  EXPECT_EQ(list_->current, 1) << "one switch, whatever the views";
}

// A catalogue row fitted to each view as to a window of its shape, wherever
// the view lies in its drawable: inside it, a portrait monitor's too.
TEST_F(SceneTest, CatalogueRowsFitEveryViewsShape) {
  FramebufferCalls calls;
  ASSERT_TRUE(calls.LoadAll());
  OffscreenTarget target(calls);
  ASSERT_TRUE(target.Create(400, 300, 0));
  const struct {
    const char* name;
    int width, height;
  } shapes[] = {{"4:3", 240, 180}, {"16:9", 320, 180}, {"21:9", 336, 144}, {"9:16", 144, 256}};
  for (const char16_t* const* table : {kEnglishRows, kRussianRows}) {
    for (int row : {1, 45, 84}) {
      for (const auto& shape : shapes) {
        SCOPED_TRACE(std::string(shape.name) + " row " + std::to_string(row));
        for (int i = 0; i < kCatalogueRows; ++i) list_->items[i] = const_cast<char16_t*>(table[i]);
        list_->count = kCatalogueRows;
        list_->current = row;
        g_now = 0;
        StartScene();
        const PixelRect view{30, 20, 30 + shape.width, 20 + shape.height};
        scene_->MainTarget().Lay(400, 300, {view});
        target.Bind();
        scene_->RenderScene();
        g_now = static_cast<int64_t>(9.5e6);  // every word shown, not yet flying
        scene_->RenderScene();
        std::vector<uint8_t> rgb;
        target.Read(&rgb);
        long long lit = 0;
        const PixelRect bounds = LitBounds(rgb, 400, &lit);
        EXPECT_GT(lit, 30) << "no row drawn";
        const int margin = shape.width / 100;
        EXPECT_GE(bounds.x0, view.x0 + margin);
        EXPECT_LE(bounds.x1, view.x1 - margin);
        EXPECT_GT(bounds.y0, view.y0);
        EXPECT_LT(bounds.y1, view.y1);
        delete scene_;
        scene_ = nullptr;
      }
    }
  }
}

}  // namespace
