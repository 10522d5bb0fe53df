#pragma once
// File encoders of the forge: the 3D Studio chunk file of a model and the
// 24-bit Windows bitmap of its texture.
#include <cstdint>
#include <string>
#include <vector>

struct ForgeModel;

// main -> editor -> one object block per object -> triangle mesh with its
// vertex list, mapping list (one coordinate per vertex) and face list.
std::vector<uint8_t> Encode3ds(const ForgeModel& model);

// `rgb` is width*height*3 bytes, red first, top row first. The file is the
// usual bottom-up DIB with the 14-byte file header and the 40-byte info header.
std::vector<uint8_t> EncodeDib24(int width, int height, const std::vector<uint8_t>& rgb);

// Writes through a temporary name and renames, so that a reader never sees
// half a file; a file that already holds these bytes is not touched.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);
