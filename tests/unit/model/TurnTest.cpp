#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "model/Cn3dmax.h"
#include "model/Mesh.h"
#include "model/Timer.h"

namespace {

// A counter the test steps by hand: 1000 ticks per second.
int64_t g_ticks = 0;
int64_t g_frequency = 1000;
int64_t FakeCounter() { return g_ticks; }
int64_t FakeFrequency() { return g_frequency; }
const ClockSource kFakeClock{FakeCounter, FakeFrequency};

class FakeClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_ticks = 123456;  // the counter does not start at zero
    g_frequency = 1000;
    SetClockSource(&kFakeClock);
  }
  void TearDown() override { SetClockSource(nullptr); }
};

}  // namespace

TEST_F(FakeClockTest, TimerStartsAtFirstSample) {
  CTimer t;
  EXPECT_EQ(1000, t.frequency);
  EXPECT_EQ(0, t.started);
  g_ticks += 5000;
  t.Sample();
  EXPECT_EQ(1, t.started);
  EXPECT_EQ(0.0f, t.elapsed);
  g_ticks += 2500;
  t.Sample();
  EXPECT_FLOAT_EQ(2.5f, t.elapsed);

  g_frequency = 0;  // a broken counter must not give inf or NaN times
  CTimer broken;
  broken.Sample();
  g_ticks += 1;
  broken.Sample();
  EXPECT_FLOAT_EQ(1.0f, broken.elapsed);
}

TEST_F(FakeClockTest, HalfTurnFromMinus81ToMinus261) {
  Ccn3dmax model;
  EXPECT_EQ(1, model.active);
  EXPECT_FLOAT_EQ(-81.0f, model.Turn());  // the first frame reads 0 s
  g_ticks += 10000;
  EXPECT_FLOAT_EQ(-151.0f, model.Turn());
  g_ticks += 15714;  // 25.714 s: 180/7 s is 25.7143, the turn is not yet past -261
  EXPECT_NEAR(-260.998f, model.Turn(), 1e-3);
  EXPECT_EQ(1, model.active);
  g_ticks += 1;
  EXPECT_LT(model.Turn(), -261.0f);
  EXPECT_EQ(0, model.active);
}

TEST_F(FakeClockTest, HalfTurnEndsIn516thFrameOf50ms) {
  // Frames at 0, 0.05, ... s: 25.70 s gives -260.9 degrees, 25.75 s gives
  // -261.25, so frame 515 (0-based) is the last one drawn.
  Ccn3dmax model;
  int frame = 0;
  for (; frame < 1000 && model.active; ++frame) {
    g_ticks = 123456 + 50 * frame;
    model.Turn();
  }
  EXPECT_EQ(516, frame);
}

TEST(ObjectTags, OnlyTheExactTagMatches) {
  Ccn3dmax model;
  CObject3d text;
  std::strcpy(text.typeTag, "AnimString");
  EXPECT_TRUE(HasTypeTag(&model, "cn3dmax"));
  EXPECT_FALSE(HasTypeTag(&text, "cn3dmax"));
  EXPECT_FALSE(HasTypeTag(&model, "cn3d"));
  EXPECT_FALSE(HasTypeTag(&model, "cn3dmaxx"));
  EXPECT_FALSE(HasTypeTag(nullptr, "cn3dmax"));
  std::memset(text.typeTag, 'a', sizeof text.typeTag);  // no terminator at all
  EXPECT_FALSE(HasTypeTag(&text, std::string(40, 'a').c_str()));
  EXPECT_NE(nullptr, model.clock);
  EXPECT_EQ(0, model.clock->started);
}

TEST(MeshNormals, CrossProductCachedUntilNewVertices) {
  std::unique_ptr<MeshData, void (*)(MeshData*)> m(NewMeshData(), DeleteMeshData);
  ASSERT_NE(nullptr, m);
  // Zero-filled at allocation, across the whole record.
  EXPECT_EQ(0, m->vertexCount);
  EXPECT_EQ(0.0f, m->texCoords[MaxMeshItems - 1].v);
  EXPECT_EQ(0, m->faces[MaxMeshItems - 1].c);
  EXPECT_EQ(0, m->objectNames[MaxMeshObjects - 1][199]);

  m->vertices[1] = {2, 0, 0};
  m->vertices[2] = {0, 3, 0};
  m->vertices[3] = {0, 0, 4};
  m->faces[0] = {0, 1, 2, 0};
  m->faces[1] = {0, 2, 3, 0};
  m->faces[2] = {1, 1, 2, 0};       // degenerate: the zero normal
  m->faces[3] = {0, 70000, -5, 0};  // outside the arrays: taken as the origin
  m->faceCount = 4;
  PrepareNormals(m.get());
  EXPECT_EQ(1, m->normalsReady);
  const MeshVertex& n0 = m->faceNormals[0];
  EXPECT_FLOAT_EQ(0.0f, n0.x);  // not normalised: |e1 x e2| = 6
  EXPECT_FLOAT_EQ(6.0f, n0.z);
  EXPECT_FLOAT_EQ(12.0f, m->faceNormals[1].x);
  EXPECT_FLOAT_EQ(0.0f, m->faceNormals[2].z);
  EXPECT_FLOAT_EQ(0.0f, m->faceNormals[3].z);

  m->vertices[2] = {0, -3, 0};
  PrepareNormals(m.get());
  EXPECT_FLOAT_EQ(6.0f, m->faceNormals[0].z);  // cached
  m->normalsReady = 0;
  PrepareNormals(m.get());
  EXPECT_FLOAT_EQ(-6.0f, m->faceNormals[0].z);
}
