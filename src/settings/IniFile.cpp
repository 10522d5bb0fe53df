#include "settings/IniFile.h"

#include "platform/Text.h"

namespace ini {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x + 32);
    if (y >= 'A' && y <= 'Z') y = char(y + 32);
    if (x != y) return false;
  }
  return true;
}

bool IsBlank(const std::string& s) { return Trim(s).empty(); }

// A value must stay on its line: a line break inside it would plant keys or
// sections of its own in the file.
std::string Concat(std::string_view a, std::string_view b, std::string_view c) {
  std::string out;
  out.reserve(a.size() + b.size() + c.size());
  out.append(a).append(b).append(c);
  return out;
}

std::string OneLine(std::string_view s) { return text::OneLine(std::string(s)); }

}  // namespace

IniFile::Line IniFile::Classify(std::string text, bool crlf) {
  Line line;
  line.crlf = crlf;
  const std::string_view t = Trim(text);
  if (!t.empty() && t.front() == '[') {
    const size_t close = t.rfind(']');
    if (close != std::string_view::npos) {
      line.kind = Kind::Section;
      line.name = std::string(Trim(t.substr(1, close - 1)));
    }
  } else if (!t.empty() && t.front() != ';' && t.front() != '#') {
    const size_t eq = t.find('=');
    if (eq != std::string_view::npos) {
      const std::string_view name = Trim(t.substr(0, eq));
      if (!name.empty()) {
        line.kind = Kind::Key;
        line.name = std::string(name);
        line.value = std::string(Trim(t.substr(eq + 1)));
      }
    }
  }
  line.text = std::move(text);
  return line;
}

void IniFile::Parse(std::string_view content) {
  lines_.clear();
  utf8Bom_ = false;
  utf16_ = false;
  defaultCrlf_ = false;
  std::string decoded;
  if (content.size() >= 2 && uint8_t(content[0]) == 0xFF && uint8_t(content[1]) == 0xFE) {
    std::u16string wide;
    for (size_t i = 2; i + 1 < content.size(); i += 2)
      wide.push_back(char16_t(uint8_t(content[i]) | (uint8_t(content[i + 1]) << 8)));
    decoded = text::ToUtf8(wide);
    content = decoded;
    utf16_ = true;
  } else if (content.size() >= 3 && uint8_t(content[0]) == 0xEF && uint8_t(content[1]) == 0xBB &&
             uint8_t(content[2]) == 0xBF) {
    content.remove_prefix(3);
    utf8Bom_ = true;
  }
  finalNewline_ = content.empty() || content.back() == '\n';
  size_t pos = 0;
  bool first = true;
  while (pos < content.size()) {
    size_t nl = content.find('\n', pos);
    const bool hasNl = nl != std::string_view::npos;
    if (!hasNl) nl = content.size();
    std::string_view raw = content.substr(pos, nl - pos);
    bool crlf = false;
    if (hasNl && !raw.empty() && raw.back() == '\r') {
      raw.remove_suffix(1);
      crlf = true;
    }
    if (first && hasNl) defaultCrlf_ = crlf;
    first = false;
    lines_.push_back(Classify(std::string(raw), crlf));
    pos = nl + 1;
  }
}

size_t IniFile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].kind == Kind::Section && SameName(lines_[i].name, section)) return i;
  return std::string::npos;
}

size_t IniFile::SectionEnd(size_t at) const {
  size_t i = at + 1;
  while (i < lines_.size() && lines_[i].kind != Kind::Section) ++i;
  return i;
}

size_t IniFile::FindKey(size_t sectionAt, std::string_view key) const {
  const size_t end = SectionEnd(sectionAt);
  for (size_t i = sectionAt + 1; i < end; ++i)
    if (lines_[i].kind == Kind::Key && SameName(lines_[i].name, key)) return i;
  return std::string::npos;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  const size_t s = FindSection(section);
  if (s == std::string::npos) return std::nullopt;
  const size_t k = FindKey(s, key);
  if (k == std::string::npos) return std::nullopt;
  std::string_view v = lines_[k].value;
  // As the Windows call does, one pair of matching quotes around the value is dropped.
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v.remove_prefix(1);
    v.remove_suffix(1);
  }
  return std::string(v);
}

bool IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string v = OneLine(value);
  size_t s = FindSection(section);
  if (s != std::string::npos) {
    const size_t k = FindKey(s, key);
    if (k != std::string::npos) {
      Line& line = lines_[k];
      if (line.value == Trim(v)) return false;  // keeps the line exactly as the user wrote it
      line = Classify(Concat(line.name, "=", v), line.crlf);
      return true;
    }
    // After the section's last non-blank line, so a blank line that
    // separates it from the next section stays in front of that section.
    size_t at = SectionEnd(s);
    while (at > s + 1 && IsBlank(lines_[at - 1].text)) --at;
    if (at == lines_.size()) TerminateLastLine();
    lines_.insert(lines_.begin() + long(at), Classify(Concat(OneLine(key), "=", v), defaultCrlf_));
    return true;
  }
  TerminateLastLine();
  lines_.push_back(Classify(Concat("[", OneLine(section), "]"), defaultCrlf_));
  lines_.push_back(Classify(Concat(OneLine(key), "=", v), defaultCrlf_));
  finalNewline_ = true;
  return true;
}

void IniFile::TerminateLastLine() {
  if (finalNewline_) return;
  finalNewline_ = true;
  if (!lines_.empty()) lines_.back().crlf = defaultCrlf_;
}

bool IniFile::RemoveKey(std::string_view section, std::string_view key) {
  const size_t s = FindSection(section);
  if (s == std::string::npos) return false;
  const size_t k = FindKey(s, key);
  if (k == std::string::npos) return false;
  lines_.erase(lines_.begin() + long(k));
  return true;
}

bool IniFile::RemoveSection(std::string_view section) {
  const size_t s = FindSection(section);
  if (s == std::string::npos) return false;
  lines_.erase(lines_.begin() + long(s), lines_.begin() + long(SectionEnd(s)));
  return true;
}

std::string IniFile::Serialize() const {
  std::string out;
  size_t total = 0;
  for (const Line& l : lines_) total += l.text.size() + 2;
  out.reserve(total + 3);
  if (utf8Bom_) out += "\xEF\xBB\xBF";
  for (size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i].text;
    if (i + 1 < lines_.size() || finalNewline_) out += lines_[i].crlf ? "\r\n" : "\n";
  }
  if (!utf16_) return out;
  const std::u16string wide = text::FromUtf8(out);
  std::string bytes = "\xFF\xFE";
  for (char16_t c : wide) {
    bytes.push_back(char(c & 0xFF));
    bytes.push_back(char(c >> 8));
  }
  return bytes;
}

}  // namespace ini
