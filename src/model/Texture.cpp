#include "model/Texture.h"

#include "platform/GLHeaders.h"
#include "model/Dib.h"
#include "model/FileBytes.h"

void LoadTexture(const char16_t* path, TextureInfo* info) {
  if (path == nullptr || path[0] == u'\0' || info == nullptr) return;
  // A missing bitmap is an ordinary case (the model simply has no texture of
  // its own) and is not worth a message.
  if (!model::FileOpensForReading(path)) return;
  RgbImage* image = LoadDibImage(path);
  if (image == nullptr || image->pixels == nullptr) {
    FreeRgbImage(image);
    return;
  }
  info->width = image->width;
  info->height = image->height;
  info->components = 3;
  info->pixels = image->pixels;

  glGenTextures(1, &info->textureName);
  glBindTexture(GL_TEXTURE_2D, info->textureName);
  // The rows are tightly packed; with GL's default four-byte row alignment a
  // width that is not a multiple of four would be read skewed and past the
  // end of the buffer.
  GLint previousAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, 3, info->width, info->height, GL_RGB, GL_UNSIGNED_BYTE, info->pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

  FreeRgbImage(image);
  info->pixels = nullptr;  // released with the image; keep no dangling pointer
}
