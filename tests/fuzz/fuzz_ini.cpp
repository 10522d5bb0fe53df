// libFuzzer target: the INI engine as the settings save uses it. A document
// from the input is parsed, keys the program owns are set to values from the
// input, the result is written to memory and parsed again. Then every owned
// value reads back as set, and every line the program does not own is still
// there, in its order, and nothing else was added.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "settings/IniFile.h"

namespace {

// The names the settings save writes, and a few of other spellings.
constexpr const char* kSections[] = {"PROXY", "DATA", "LOCALIZATION", "SYSTEM", "proxy", "System", "extra"};
constexpr const char* kKeys[] = {"Enabled", "Server", "Port", "UseLocal", "UseWeb", "LocaleName", "DateFormat",
                                 "Log", "FSAAmode", "Font", "LastNum", "AutoUpdate", "font", "LASTNUM", "Other"};

struct Owned {
  std::string section, key, expected;
};

std::string Folded(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

bool SameName(std::string_view a, std::string_view b) { return Folded(a) == Folded(b); }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// What a value set by the program reads back as: on one line, trimmed, one
// pair of enclosing quotes dropped.
std::string ReadBack(std::string v) {
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  std::string_view t = Trim(v);
  if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front()) t = t.substr(1, t.size() - 2);
  return std::string(t);
}

// The document's lines as UTF-8 text without their line breaks.
std::vector<std::string> Lines(const std::string& bytes) {
  std::string text = bytes;
  if (text.size() >= 2 && uint8_t(text[0]) == 0xFF && uint8_t(text[1]) == 0xFE) {
    std::u16string wide;
    for (size_t i = 2; i + 1 < text.size(); i += 2)
      wide.push_back(char16_t(uint8_t(text[i]) | (uint8_t(text[i + 1]) << 8)));
    text = text::ToUtf8(wide);
  } else if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text.erase(0, 3);
  }
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    // The break of a last line that had none is added when a line follows
    // it, and a carriage return already there becomes part of it.
    while (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    pos = nl + 1;
  }
  return lines;
}

// Splits lines into those the program owns (a key it set, in the section it
// set it in; a header of such a section) and the rest.
struct Split {
  std::vector<std::string> others;
};

Split Classify(const std::vector<std::string>& lines, const std::vector<Owned>& owned) {
  Split out;
  std::string section;
  bool inSection = false;
  for (const std::string& line : lines) {
    const std::string_view t = Trim(line);
    bool mine = false;
    if (!t.empty() && t.front() == '[' && t.rfind(']') != std::string_view::npos) {
      section = std::string(Trim(t.substr(1, t.rfind(']') - 1)));
      inSection = true;
      for (const Owned& o : owned) mine = mine || SameName(o.section, section);
    } else if (inSection && !t.empty() && t.front() != ';' && t.front() != '#' && t.find('=') != std::string_view::npos) {
      const std::string_view name = Trim(t.substr(0, t.find('=')));
      for (const Owned& o : owned) mine = mine || (SameName(o.section, section) && SameName(o.key, name));
    }
    if (!mine) out.others.push_back(line);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int changes = in.ConsumeIntegralInRange(0, 6);
  std::vector<Owned> owned;
  std::vector<std::pair<std::string, std::string>> names;
  std::vector<std::string> values;
  for (int i = 0; i < changes; ++i) {
    names.emplace_back(in.PickValueInArray(kSections), in.PickValueInArray(kKeys));
    // Values reach the engine as UTF-8 made from the program's UTF-16 text.
    std::u16string wide;
    const size_t units = in.ConsumeIntegralInRange<size_t>(0, 40);
    for (size_t u = 0; u < units; ++u) {
      const char16_t c = in.ConsumeIntegral<char16_t>();
      if (c != 0) wide.push_back(c);
    }
    values.push_back(text::ToUtf8(wide));
  }
  const std::string document = in.ConsumeRemainingBytesAsString();

  ini::IniFile doc;
  doc.Parse(document);
  const std::string before = doc.Serialize();
  {
    ini::IniFile again;
    again.Parse(before);
    if (again.Serialize() != before) __builtin_trap();  // a written document reads back unchanged
  }
  for (size_t i = 0; i < names.size(); ++i) {
    doc.Set(names[i].first, names[i].second, values[i]);
    // A later change of the same key replaces the earlier expectation.
    bool replaced = false;
    for (Owned& o : owned) {
      if (SameName(o.section, names[i].first) && SameName(o.key, names[i].second)) {
        o.expected = ReadBack(values[i]);
        replaced = true;
      }
    }
    if (!replaced) owned.push_back({names[i].first, names[i].second, ReadBack(values[i])});
  }
  const std::string after = doc.Serialize();

  ini::IniFile reread;
  reread.Parse(after);
  if (reread.Serialize() != after) __builtin_trap();
  for (const Owned& o : owned) {
    const std::optional<std::string> got = reread.Get(o.section, o.key);
    if (!got || *got != o.expected) __builtin_trap();
  }
  if (Classify(Lines(before), owned).others != Classify(Lines(after), owned).others) __builtin_trap();
  return 0;
}
