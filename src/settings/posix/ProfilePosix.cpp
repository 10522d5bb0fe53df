// The private-profile calls over the project's own INI engine.
#include <sys/stat.h>

#include <mutex>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "settings/IniFile.h"

namespace plat {

namespace {

// The last document read or written, reused while the file on disk is the
// one it came from: a settings read is seventeen calls on one file.
struct Cache {
  std::mutex lock;
  std::string path;
  bool valid = false;
  struct stat identity {};
  ini::IniFile doc;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

bool SameIdentity(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Loads the document for path into the cache; false when it cannot be read.
bool LoadCached(Cache& c, const std::string& path) {
  struct stat st;
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (c.valid && c.path == path && exists && SameIdentity(st, c.identity)) return true;
  c.valid = false;
  if (!c.doc.Load(path)) return false;
  if (exists) {
    c.path = path;
    c.identity = st;
    c.valid = true;
  }
  return true;
}

std::optional<std::string> Lookup(const char16_t* section, const char16_t* key, const char16_t* path) {
  if (!section || !key || !path) return std::nullopt;
  Cache& c = TheCache();
  std::lock_guard<std::mutex> guard(c.lock);
  if (!LoadCached(c, text::ToUtf8(path))) return std::nullopt;
  return c.doc.Get(text::ToUtf8(section), text::ToUtf8(key));
}

}  // namespace

int32_t ProfileGetInt(const char16_t* section, const char16_t* key, int32_t def, const char16_t* path) {
  const std::optional<std::string> v = Lookup(section, key, path);
  return v ? text::ParseIntA(v->c_str()) : def;
}

uint32_t ProfileGetString(const char16_t* section, const char16_t* key, const char16_t* def, char16_t* out,
                          uint32_t capacity, const char16_t* path) {
  if (!out || capacity == 0) return 0;
  const std::optional<std::string> v = Lookup(section, key, path);
  if (v) {
    const std::u16string wide = text::FromUtf8(*v);
    text::Copy(out, capacity, wide.c_str());
  } else {
    text::Copy(out, capacity, def ? def : u"");
  }
  return uint32_t(text::Len(out));
}

bool ProfileWriteString(const char16_t* section, const char16_t* key, const char16_t* value,
                        const char16_t* path) {
  if (!section || !path) return false;
  Cache& c = TheCache();
  std::lock_guard<std::mutex> guard(c.lock);
  const std::string file = text::ToUtf8(path);
  // A file that exists but cannot be read is left alone rather than replaced.
  if (!LoadCached(c, file)) return false;
  bool changed;
  if (!key) changed = c.doc.RemoveSection(text::ToUtf8(section));
  else if (!value) changed = c.doc.RemoveKey(text::ToUtf8(section), text::ToUtf8(key));
  else changed = c.doc.Set(text::ToUtf8(section), text::ToUtf8(key), text::ToUtf8(value));
  // An unchanged key costs no rewrite: a save writes eighteen keys, most of
  // them as they were. A missing file is still created.
  struct stat st;
  if (!changed && ::stat(file.c_str(), &st) == 0) return true;
  c.valid = false;
  if (!c.doc.Save(file)) return false;
  if (::stat(file.c_str(), &st) == 0) {
    c.path = file;
    c.identity = st;
    c.valid = true;
  }
  return true;
}

bool ProfileFileWritable(const char16_t* path) {
  return path && path[0] && ini::IniFile::Writable(text::ToUtf8(path));
}

const char16_t* ProfileWriteRisk(const char16_t*) { return nullptr; }

}  // namespace plat
