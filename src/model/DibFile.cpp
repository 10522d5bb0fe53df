#include "model/Dib.h"
#include "model/FileBytes.h"
#include "platform/Platform.h"

namespace {

void ShowDibError(DibStatus status, const char16_t* path) {
  const std::u16string message = DibErrorText(status, path);
  plat::ShowMessage(message.c_str(), u"Error", plat::BoxIcon::None, true);
}

}  // namespace

RgbImage* LoadDibImage(const char16_t* path) {
  model::FileBytes bytes;
  switch (model::ReadWholeFile(path, &bytes)) {
    case model::FileRead::Ok:
      break;
    case model::FileRead::TooLarge:
      ShowDibError(DibStatus::OutOfMemory, path);
      return nullptr;
    case model::FileRead::OpenFailed:
    case model::FileRead::ReadFailed:
      ShowDibError(DibStatus::OpenFailed, path);
      return nullptr;
  }
  RgbImage* image = nullptr;
  const DibStatus status = DecodeDib(bytes.data.get(), bytes.size, &image);
  if (status != DibStatus::Ok) {
    ShowDibError(status, path);
    return nullptr;
  }
  return image;
}
