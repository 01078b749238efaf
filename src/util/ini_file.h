// Settings files of the astrology application: Windows ini files, held in memory whole.
//
// Reading follows Windows: section and key names match without regard to case, a key's value is
// the rest of its line after the first "=", and a missing section or key reads as the empty text.
// Writing rewrites the whole file in one step through a temporary file beside it, so the user's
// settings are never left half-written. Comment lines and lines before the first section are
// kept; blank lines are not, and each section is followed by exactly one empty line.
#pragma once

#include <string>
#include <vector>

namespace util {

class IniFile {
 public:
  // Loads path. A file that does not exist gives an empty IniFile that writes a new file; one that
  // exists but cannot be read whole (a sharing violation, a read error) gives an empty IniFile
  // that refuses to write, since writing it would replace every setting of the user.
  explicit IniFile(std::string path);

  // Parses text as the contents of a settings file (for files read by other means).
  static IniFile FromText(std::string path, const std::string& text);

  const std::string& path() const { return path_; }

  std::string ReadString(const std::string& section, const std::string& key) const;
  bool SectionExists(const std::string& section) const;

  // Sets the first line of key in section, or appends one to the section, creating the section at
  // the end of the file when it is missing.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);

  // Removes a section with all its lines.
  void EraseSection(const std::string& section);

  // The file as it would be written.
  std::string ToText() const;

  // False when the file exists but could not be read: it is then never written.
  bool Readable() const { return readable_; }

  // Writes the file back to path; false when it could not be replaced (the old file then stands)
  // or was not readable.
  bool UpdateFile() const;

 private:
  struct Line {
    std::string key;    // empty for a comment or other line that is kept as it stands
    std::string value;  // for a key line
    std::string raw;    // the line as read; empty once the program has set the value
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
  };

  IniFile() = default;
  void Parse(const std::string& text);
  const Section* FindSection(const std::string& name) const;
  Section* FindSection(const std::string& name);

  std::string path_;
  std::vector<std::string> preamble_;  // lines before the first section
  std::vector<Section> sections_;
  bool crlf_ = true;       // the file's own line ending: CR LF, or LF alone
  bool utf8_bom_ = false;  // the file began with a UTF-8 byte order mark
  bool readable_ = true;
};

}  // namespace util
