#include "scene/Scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "content/ContentList.h"
#include "platform/GLHeaders.h"
#include "model/Cn3dmax.h"
#include "scene/AnimString.h"
#include "scene/FontLists.h"
#include "settings/DataPaths.h"

namespace {

constexpr int kSlotCount = static_cast<int>(sizeof(CScene::objects) / sizeof(CScene::objects[0]));

double AspectOf(int width, int height) {
  // A zero-height view would make the aspect infinite.
  return width > 0 && height > 0 ? static_cast<double>(width) / static_cast<double>(height) : 1.0;
}

void LoadProjection(int width, int height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, AspectOf(width, height), static_cast<double>(0.1f), 50.0);
  glMatrixMode(GL_MODELVIEW);
}

// The entry text at the list's position; an empty list, a position outside
// it or a missing row gives an empty text, so the entry runs without a line.
const char16_t* EntryText(const CContentList* list) {
  if (list == nullptr || list->current < 0 || list->current >= list->count ||
      list->current >= kContentCapacity || list->items[list->current] == nullptr) {
    return u"";
  }
  return list->items[list->current];
}

// The position the file names are built from. An empty list still shows
// the first entry's model.
int EntryPosition(const CContentList* list) {
  if (list == nullptr || list->current < 0 || list->current >= list->count) return 0;
  return list->current;
}

// Black at the far plane over each rectangle: what glClear leaves there.
// The driver clears a scissored part with a pass of its own for every
// rectangle; the quads take one draw for all of them.
void ClearRects(const std::vector<PixelRect>& rects, int width, int height) {
  glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_COLOR_MATERIAL);  // else the colour below becomes the material
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glDisable(GL_SCISSOR_TEST);
  glDepthFunc(GL_ALWAYS);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
  const double sx = 2.0 / width, sy = 2.0 / height;
  glBegin(GL_QUADS);
  for (const PixelRect& r : rects) {
    const double x0 = r.x0 * sx - 1.0, x1 = r.x1 * sx - 1.0, y0 = r.y0 * sy - 1.0, y1 = r.y1 * sy - 1.0;
    glVertex3d(x0, y0, 1.0);
    glVertex3d(x1, y0, 1.0);
    glVertex3d(x1, y1, 1.0);
    glVertex3d(x0, y1, 1.0);
  }
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}

}  // namespace

void CCamera::ComputeEye() {
  const double radians = angle / 360.0 * 2.0 * 3.141;
  eyeX = std::cos(radians) * radius + centreX;
  eyeZ = std::sin(radians) * radius + centreZ;
}

void CCamera::Orbit() {
  ComputeEye();
  gluLookAt(eyeX, eyeY, eyeZ, centreX, centreY, centreZ, 0.0, 1.0, 0.0);
}

CScene::CScene() = default;

// The running program keeps its scene to process exit; the snapshot mode
// tears it down while its context is still current.
CScene::~CScene() {
  for (int i = 0; i < kSlotCount; ++i) {
    delete objects[i];
    objects[i] = nullptr;
  }
  objectCount = 0;
  if (listBase != 0) glDeleteLists(listBase, static_cast<GLsizei>(kFontListCount));
  listBase = 0;
  delete[] glyphMetrics;
  glyphMetrics = nullptr;
  delete camera;
  camera = nullptr;
}

void CScene::InitScene(CApplication* app) {
  application = app;
  deviceContext = app->deviceContext;

  BuildFontLists();

  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  SetProjection(app->screenWidth, app->screenHeight);
  glEnable(GL_DEPTH_TEST);
  glClearDepth(1.0);
  glDepthFunc(GL_LEQUAL);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_LIGHTING);
  glPolygonMode(GL_FRONT, GL_FILL);
  glCullFace(GL_BACK);
  glEnable(GL_CULL_FACE);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHT1);
  glEnable(GL_NORMALIZE);

  camera = new CCamera;
  camera->centreX = 0.0;
  camera->centreY = 0.0;
  camera->centreZ = -3.0;
  camera->angle = 270.0;
  camera->radius = -40.0;
  camera->Orbit();
  camera->centreX += 0.0;
  camera->centreY += -1.8;
  camera->centreZ += -14.0;
  camera->Orbit();

  CContentList* list = app->contentList;
  auto* text = new CAnimString;
  objects[0] = text;
  text->Layout(app, glyphMetrics, listBase, EntryText(list));
  objectCount = 1;

  if (app->paths != nullptr) BuildEntryPaths(app->paths, EntryPosition(list));
  auto* model = new Ccn3dmax;
  objects[1] = model;
  model->LoadModel(app);

  companion[1] = 0;
  objectCount = 2;
}

void CSceneTarget::Lay(int width, int height, std::vector<PixelRect> views) {
  width_ = width > 0 ? width : 0;
  height_ = height > 0 ? height : 0;
  views_ = std::move(views);
  fullFrameDue_ = true;
}

void CScene::SetProjection(int newWidth, int newHeight) {
  target_.Lay(newWidth, newHeight, {PixelRect{0, 0, newWidth, newHeight}});
  glViewport(0, 0, newWidth, newHeight);
  LoadProjection(newWidth, newHeight);
  glLoadIdentity();
}

void CScene::BuildFontLists() {
  listBase = glGenLists(static_cast<GLsizei>(kFontListCount));
  if (glyphMetrics == nullptr) glyphMetrics = new GlyphMetricsFloat[kFontListCount]();
  // A face that cannot be loaded leaves the lists empty and the metrics zero:
  // the text then takes no room and draws nothing, and the models still run.
  BuildOutlineFontLists(application, listBase, glyphMetrics);
}

FrameView CScene::ApplyView(const PixelRect& rect) const {
  FrameView view;
  view.x = rect.x0;
  view.y = rect.y0;
  view.width = rect.Width();
  view.height = rect.Height();
  glViewport(view.x, view.y, view.width, view.height);
  LoadProjection(view.width, view.height);
  glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
  glLoadIdentity();
  if (camera != nullptr) {
    gluLookAt(camera->eyeX, camera->eyeY, camera->eyeZ, camera->centreX, camera->centreY, camera->centreZ,
              0.0, 1.0, 0.0);
  }
  return view;
}

void CScene::BeginFrame() {
  SwitchFinishedEntries();
  for (int i = 0; i < kSlotCount; ++i) {
    drawn_[i] = i < objectCount && objects[i] != nullptr && objects[i]->active;
    if (drawn_[i]) objects[i]->Advance();
  }
}

const std::vector<PixelRect>& CScene::RenderScene() {
  BeginFrame();
  target_.backBufferAge = backBufferAge;
  return DrawFrame(target_);
}

const std::vector<PixelRect>& CScene::DrawFrame(CSceneTarget& target) {
  const std::vector<PixelRect>& views = target.views_;
  pieces_.clear();
  firstPiece_.assign(views.size() * kSlotCount + 1, 0);
  for (size_t v = 0; v < views.size(); ++v) {
    const FrameView view = ApplyView(views[v]);
    for (int i = 0; i < kSlotCount; ++i) {
      firstPiece_[v * kSlotCount + i] = pieces_.size();
      if (drawn_[i]) objects[i]->Prepare(view, &pieces_);
    }
  }
  firstPiece_.back() = pieces_.size();
  const PixelRect whole{0, 0, target.width_, target.height_};
  if (target.fullFrameDue_ || target.fullFrameGeneration_ != fullFrameGeneration_) target.historyCount_ = 0;
  target.fullFrameDue_ = false;
  target.fullFrameGeneration_ = fullFrameGeneration_;
  const int age = target.backBufferAge;
  FramePieces* history = target.history_;
  const bool partial = age >= 1 && age <= target.historyCount_;
  if (partial) {
    target.changed_ = ChangedRects(history[0], pieces_);
    redrawn_ = age == 1 ? target.changed_ : ChangedRects(history[age - 1], pieces_);
  } else {
    target.changed_.assign(1, whole);
  }
  // The oldest frame's storage takes the next frame's pieces.
  std::rotate(history, history + kFrameHistory - 1, history + kFrameHistory);
  history[0].swap(pieces_);
  target.historyCount_ = std::min(target.historyCount_ + 1, kFrameHistory);
  const FramePieces& now = history[0];
  if (!partial) {
    glDisable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  } else {
    glViewport(whole.x0, whole.y0, whole.x1, whole.y1);
    ClearRects(redrawn_, whole.x1, whole.y1);
    glEnable(GL_SCISSOR_TEST);
  }
  for (size_t v = 0; v < views.size(); ++v) {
    ApplyView(views[v]);
    for (int i = 0; i < kSlotCount; ++i) {
      if (!drawn_[i]) continue;
      if (partial) {
        // Each drawable is cut to where the redrawn rectangles meet its
        // pieces: what it draws anywhere else is what the back buffer
        // already holds (the drawables lie apart; none meets another at
        // the same depth).
        PixelRect area;
        for (size_t p = firstPiece_[v * kSlotCount + i]; p < firstPiece_[v * kSlotCount + i + 1]; ++p)
          area = RectUnion(area, now[p].rect);
        PixelRect cut;
        for (const PixelRect& rect : redrawn_) cut = RectUnion(cut, RectIntersection(rect, area));
        glScissor(cut.x0, cut.y0, cut.Width(), cut.Height());
      }
      objects[i]->DrawView();
    }
  }
  glDisable(GL_SCISSOR_TEST);
  return target.changed_;
}

void CScene::SwitchFinishedEntries() {
  for (int i = 0; i < objectCount && i < kSlotCount; ++i) {
    CObject3d* finished = objects[i];
    if (finished == nullptr || finished->active || !HasTypeTag(finished, "cn3dmax")) continue;

    delete finished;
    objects[i] = nullptr;

    CContentList* list = application->contentList;
    if (list != nullptr) {
      int next = list->current + 1;
      if (next >= list->count || next < 0) next = 0;
      list->current = next;
    }
    if (application->paths != nullptr) BuildEntryPaths(application->paths, EntryPosition(list));
    auto* model = new Ccn3dmax;
    objects[i] = model;
    model->LoadModel(application);

    const int slot = companion[i];
    if (slot == i || slot < 0 || slot >= objectCount || slot >= kSlotCount) continue;
    delete objects[slot];
    auto* text = new CAnimString;
    objects[slot] = text;
    text->Layout(application, glyphMetrics, listBase, EntryText(list));
  }
}
