#pragma once
// Windows-style initialisation file kept line by line, so that an update
// touches only the line it owns: comments, unknown keys, blank lines and
// junk stay where they are, byte for byte.
//
// Names (sections and keys) compare without regard to ASCII case; the first
// section with a name is the one used, and in it the first key. Text is
// UTF-8; a file that starts with a UTF-16LE byte-order mark is read and
// written back as UTF-16LE.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ini {

class IniFile {
 public:
  // Files above this size are refused rather than read into memory.
  static constexpr size_t kMaxFileBytes = 64u << 20;

  // Replaces the content with the file's. A missing file gives an empty
  // document and true; false when it exists but cannot be read or is too big.
  // Load and Save exist on POSIX only: the Win32 build keeps its settings
  // with the system's private-profile calls.
  bool Load(const std::string& path);
  void Parse(std::string_view content);

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Updates the key in place, or appends it to the end of its section, or
  // appends the section to the end of the document. False when the key
  // already held the value (the document is then unchanged).
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  // False when there was nothing to remove.
  bool RemoveKey(std::string_view section, std::string_view key);
  bool RemoveSection(std::string_view section);

  std::string Serialize() const;
  // Writes the document to a file beside the target and renames it over it,
  // so a failure never leaves a cut or half-written settings file; the new
  // file has no name until it is whole (Linux), so a kill while it is
  // written leaves nothing behind either. A kill between naming it
  // (target + kSavingMark + ...) and the rename leaves that name, which the
  // next save removes once no process holds it. A target that
  // exists but cannot be opened for writing is left alone (false), as the
  // Windows call leaves it: the rename alone would need only the folder.
  bool Save(const std::string& path) const;
  // False when the file exists but cannot be opened for writing.
  static bool Writable(const std::string& path);
  static constexpr char kSavingMark[] = ".saving-";

 private:
  enum class Kind { Other, Section, Key };
  struct Line {
    std::string text;
    bool crlf = false;
    Kind kind = Kind::Other;
    std::string name;   // section or key name, trimmed
    std::string value;  // key value, trimmed
  };
  static Line Classify(std::string text, bool crlf);
  // Index of the first section line with the name, or npos.
  size_t FindSection(std::string_view section) const;
  // One past the last line of the section that starts at `at`.
  size_t SectionEnd(size_t at) const;
  size_t FindKey(size_t sectionAt, std::string_view key) const;
  // Gives a last line without a line break the document's one before
  // anything is appended after it.
  void TerminateLastLine();

  std::vector<Line> lines_;
  bool finalNewline_ = true;
  bool defaultCrlf_ = false;
  bool utf8Bom_ = false;
  bool utf16_ = false;
};

}  // namespace ini
