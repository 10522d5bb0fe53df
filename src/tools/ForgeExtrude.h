#pragma once
// The forge's third stage: pieces of ink extruded into the model's objects
// (front and back caps, walls), within the model reader's limits.
#include <deque>
#include <string>
#include <vector>

#include "tools/ForgeGeometry.h"
#include "tools/ForgeTessellate.h"

namespace forge {

enum class ExtrudeResult { Fits, TooLarge, Failed };

// Fills model->objects, one per run of neighbouring pieces.
ExtrudeResult ExtrudePieces(outline::CTessellator* tess, const std::vector<Piece>& pieces, const ForgeLayout& layout,
                            std::deque<TessPoint>* pool, ForgeModel* model, std::string* error);

}  // namespace forge
