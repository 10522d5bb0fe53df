#include "model/FileBytes.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/Platform.h"

namespace model {
FileRead ReadWholeFile(const char16_t* path, FileBytes* out, size_t maxBytes) {
  out->data.reset();
  out->size = 0;
  FILE* file = plat::OpenFile(path, "rb");
  if (file == nullptr) return FileRead::OpenFailed;
  // The size is only a hint for the first buffer; the file is read on until
  // its real end (ftell is 32-bit on Windows, and a file can change between
  // the query and the read). The buffer is left uninitialised: zero-filling
  // megabytes that the read overwrites at once is wasted time.
  size_t hint = 0;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end > 0) hint = static_cast<size_t>(end);
  }
  std::rewind(file);
  // A directory opens on POSIX and reports a huge end: read to find out.
  if (hint > maxBytes) hint = 0;
  constexpr size_t kBlock = size_t{64} << 10;
  size_t capacity = hint + kBlock;  // room for the end-of-file probe too
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[capacity]);
  size_t used = 0;
  FileRead result = buffer ? FileRead::Ok : FileRead::TooLarge;
  while (result == FileRead::Ok) {
    if (used == capacity) {
      const size_t grown = capacity < (maxBytes + 1) / 2 ? capacity * 2 : maxBytes + 1;
      std::unique_ptr<uint8_t[]> bigger(new (std::nothrow) uint8_t[grown]);
      if (!bigger) {
        result = FileRead::TooLarge;
        break;
      }
      std::memcpy(bigger.get(), buffer.get(), used);
      buffer = std::move(bigger);
      capacity = grown;
    }
    const size_t want = capacity - used;
    const size_t got = std::fread(buffer.get() + used, 1, want, file);
    used += got;
    if (used > maxBytes) result = FileRead::TooLarge;
    else if (got < want) {
      if (std::ferror(file)) result = FileRead::ReadFailed;
      break;
    }
  }
  std::fclose(file);
  if (result == FileRead::Ok) {
    out->data = std::move(buffer);
    out->size = used;
  }
  return result;
}

bool FileOpensForReading(const char16_t* path) {
  FILE* file = plat::OpenFile(path, "r");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace model
