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

void CScene::SetProjection(int newWidth, int newHeight) {
  width = newWidth;
  height = newHeight;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, Aspect(), static_cast<double>(0.1f), 50.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  fullFrameDue_ = true;
}

double CScene::Aspect() const {
  // A zero-height window would make the aspect infinite.
  return width > 0 && height > 0 ? static_cast<double>(width) / static_cast<double>(height) : 1.0;
}

void CScene::BuildFontLists() {
  listBase = glGenLists(static_cast<GLsizei>(kFontListCount));
  if (glyphMetrics == nullptr) glyphMetrics = new GlyphMetricsFloat[kFontListCount]();
  // A face that cannot be loaded leaves the lists empty and the metrics zero:
  // the text then takes no room and draws nothing, and the models still run.
  BuildOutlineFontLists(application, listBase, glyphMetrics);
}

const std::vector<PixelRect>& CScene::RenderScene() {
  SwitchFinishedEntries();
  glLoadIdentity();
  if (camera != nullptr) {
    gluLookAt(camera->eyeX, camera->eyeY, camera->eyeZ, camera->centreX, camera->centreY, camera->centreZ,
              0.0, 1.0, 0.0);
  }
  FrameView view;
  glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
  view.width = width;
  view.height = height;
  // Drawn are the objects active when the frame starts; the model that
  // finishes its turn in this frame is still drawn.
  bool drawn[kSlotCount] = {};
  size_t firstPiece[kSlotCount + 1] = {};
  pieces_.clear();
  for (int i = 0; i < kSlotCount; ++i) {
    firstPiece[i] = pieces_.size();
    if (i >= objectCount || objects[i] == nullptr || !objects[i]->active) continue;
    drawn[i] = true;
    objects[i]->Prepare(view, &pieces_);
  }
  firstPiece[kSlotCount] = pieces_.size();
  const PixelRect whole = view.Whole();
  if (fullFrameDue_) historyCount_ = 0;
  fullFrameDue_ = false;
  const bool partial = backBufferAge >= 1 && backBufferAge <= historyCount_;
  if (partial) {
    changed_ = ChangedRects(history_[0], pieces_);
    redrawn_ = backBufferAge == 1 ? changed_ : ChangedRects(history_[backBufferAge - 1], pieces_);
  } else {
    changed_.assign(1, whole);
  }
  // The oldest frame's storage takes the next frame's pieces.
  std::rotate(std::begin(history_), std::end(history_) - 1, std::end(history_));
  history_[0].swap(pieces_);
  historyCount_ = std::min(historyCount_ + 1, kFrameHistory);
  const FramePieces& now = history_[0];
  if (!partial) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (int i = 0; i < kSlotCount; ++i)
      if (drawn[i]) objects[i]->Draw();
    return changed_;
  }
  ClearRects(redrawn_, width, height);
  glEnable(GL_SCISSOR_TEST);
  // Each drawable is cut to where the redrawn rectangles meet its pieces:
  // what it draws anywhere else is what the back buffer already holds
  // (the drawables lie apart; none meets another at the same depth).
  for (int i = 0; i < kSlotCount; ++i) {
    if (!drawn[i]) continue;
    PixelRect area;
    for (size_t p = firstPiece[i]; p < firstPiece[i + 1]; ++p) area = RectUnion(area, now[p].rect);
    PixelRect cut;
    for (const PixelRect& rect : redrawn_) cut = RectUnion(cut, RectIntersection(rect, area));
    glScissor(cut.x0, cut.y0, cut.Width(), cut.Height());
    objects[i]->Draw();  // with an empty cut only for its clock and state
  }
  glDisable(GL_SCISSOR_TEST);
  return changed_;
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
