#include "model/Object3d.h"

CObject3d::CObject3d() : clock(new CTimer()) {}

CObject3d::~CObject3d() { delete clock; }

void CObject3d::Prepare(const FrameView& view, FramePieces* pieces) {
  static uint64_t frames = 0;
  pieces->push_back({view.Whole(), StateDigest().Add(this).Add(++frames).Value()});
}

bool HasTypeTag(const CObject3d* object, const char* tag) {
  if (object == nullptr || tag == nullptr) return false;
  // Bounded by the field: a tag that fills all 32 bytes matches nothing.
  for (int i = 0; i < 32; ++i) {
    if (object->typeTag[i] != tag[i]) return false;
    if (tag[i] == '\0') return true;
  }
  return false;
}
