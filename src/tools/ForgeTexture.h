#pragma once
// Procedural gilded ornament for the model textures.
#include <cstdint>
#include <vector>

// Paints a seamlessly tiling size x size image (size a power of two), RGB,
// top row first. The same entry always gives the same image; neighbouring
// entries differ in their star pattern and tone. Texels stay light (the text
// line is drawn with the texture still bound and is tinted by it).
void PaintOrnament(int entry, int size, std::vector<uint8_t>* rgb);
