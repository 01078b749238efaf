#include "util/ini_file.h"

#include "base/wildcard.h"
#include "platform/platform.h"

namespace util {
namespace {

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {
  std::string text;
  if (platform::ReadWholeFile(path_, &text)) {
    Parse(text);
  } else if (platform::GetFileAttributes(path_) != platform::kInvalidAttributes) {
    readable_ = false;
  }
}

IniFile IniFile::FromText(std::string path, const std::string& text) {
  IniFile ini;
  ini.path_ = std::move(path);
  ini.Parse(text);
  return ini;
}

void IniFile::Parse(const std::string& text) {
  size_t start = 0;
  if (text.starts_with("\xEF\xBB\xBF")) {
    utf8_bom_ = true;
    start = 3;
  }
  size_t first_newline = text.find('\n');
  if (first_newline != std::string::npos &&
      (first_newline == 0 || text[first_newline - 1] != '\r')) {
    crlf_ = false;
  }
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();

    std::string trimmed = Trim(line);
    if (trimmed.empty()) continue;
    if (trimmed.front() == '[') {
      size_t close = trimmed.rfind(']');
      std::string name =
          close == std::string::npos ? trimmed.substr(1) : trimmed.substr(1, close - 1);
      sections_.push_back(Section{Trim(name), {}});
      continue;
    }
    if (sections_.empty()) {
      preamble_.push_back(line);
      continue;
    }
    size_t equals = line.find('=');
    std::string key = equals == std::string::npos ? std::string() : Trim(line.substr(0, equals));
    if (trimmed.front() == ';' || key.empty()) {
      sections_.back().lines.push_back(Line{std::string(), std::string(), line});
    } else {
      sections_.back().lines.push_back(Line{key, line.substr(equals + 1), line});
    }
  }
}

const IniFile::Section* IniFile::FindSection(const std::string& name) const {
  for (const Section& section : sections_) {
    if (base::EqualNoCase(section.name, name)) return &section;
  }
  return nullptr;
}

IniFile::Section* IniFile::FindSection(const std::string& name) {
  return const_cast<Section*>(static_cast<const IniFile*>(this)->FindSection(name));
}

std::string IniFile::ReadString(const std::string& section, const std::string& key) const {
  const Section* found = FindSection(section);
  if (!found) return std::string();
  for (const Line& line : found->lines) {
    if (!line.key.empty() && base::EqualNoCase(line.key, key)) return line.value;
  }
  return std::string();
}

bool IniFile::SectionExists(const std::string& section) const {
  return FindSection(section) != nullptr;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  Section* found = FindSection(section);
  if (!found) {
    sections_.push_back(Section{section, {}});
    found = &sections_.back();
  }
  for (Line& line : found->lines) {
    if (!line.key.empty() && base::EqualNoCase(line.key, key)) {
      line.value = value;
      line.raw.clear();
      return;
    }
  }
  found->lines.push_back(Line{key, value, std::string()});
}

void IniFile::EraseSection(const std::string& section) {
  std::erase_if(sections_, [&](const Section& s) { return base::EqualNoCase(s.name, section); });
}

std::string IniFile::ToText() const {
  const std::string eol = crlf_ ? "\r\n" : "\n";
  std::string text = utf8_bom_ ? "\xEF\xBB\xBF" : "";
  for (const std::string& line : preamble_) text += line + eol;
  if (!preamble_.empty()) text += eol;
  for (const Section& section : sections_) {
    text += "[" + section.name + "]" + eol;
    for (const Line& line : section.lines) {
      text += (line.raw.empty() ? line.key + "=" + line.value : line.raw) + eol;
    }
    text += eol;
  }
  return text;
}

bool IniFile::UpdateFile() const {
  return readable_ && platform::WriteWholeFileSafely(path_, ToText());
}

}  // namespace util
