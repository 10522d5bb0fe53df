#pragma once
// Whole-file reads for the model and bitmap readers: both parse from memory
// with bounds checks, so no reader ever touches the file past its end.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace model {

enum class FileRead { Ok, OpenFailed, TooLarge, ReadFailed };

// Larger files are not read at all; no model or bitmap of this program
// comes near it, and it keeps a hostile file from exhausting memory.
inline constexpr size_t kMaxInputFileBytes = size_t{256} << 20;

struct FileBytes {
  std::unique_ptr<uint8_t[]> data;  // not zero-filled: only `size` bytes are meaningful
  size_t size = 0;
};

// On failure `out` is left empty. TooLarge also covers a failed allocation.
FileRead ReadWholeFile(const char16_t* path, FileBytes* out, size_t maxBytes = kMaxInputFileBytes);
// True when the file opens for reading (the texture loader's silent probe).
bool FileOpensForReading(const char16_t* path);

}  // namespace model
