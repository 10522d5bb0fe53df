#pragma once
// A bitmap file as a mipmapped GL texture.
#include <cstdint>

struct TextureInfo {
  uint8_t* pixels = nullptr;
  int components = 0;
  int width = 0;
  int height = 0;
  unsigned int textureName = 0;
};

// Bitmap file -> mipmapped GL texture, left bound. Leaves info untouched on failure.
void LoadTexture(const char16_t* path, TextureInfo* info);
