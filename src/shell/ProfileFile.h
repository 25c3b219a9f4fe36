#pragma once
// Sectioned key=value text files ("[section]" lines followed by "key=value" lines).
//
// Lines end at CR LF, LF or a lone CR. Lines starting with ';' are comments. A header
// without its ']' names the rest of its line. Only the first section of a name counts,
// for reading and for writing; later ones of the same name are never looked at.
//
// Reading: section and key names match without regard to ASCII case; values lose
// surrounding blanks and tabs, then one pair of surrounding double or single quotes.
// A missing, unreadable or unusable file, section or key gives the default; a key
// present with an empty value gives an empty text. Texts are 8-bit bytes, passed
// through unchanged (Latin-1 in practice).
//
// Writing: one key is rewritten in place, everything else in the file stays byte for
// byte. A new key goes after the last non-blank line of its section, a new section at
// the end of the file; added lines use the file's first line ending (LF for a new
// file). The new text goes to a temporary file in the same directory that then
// replaces the old one, so a failed write leaves the old file as it was.
//
// A file that is larger than MaxFileSize, is UTF-16 text, holds NUL bytes or is not a
// regular file is not a profile: it reads as all defaults and is never written.
#include <cstdint>
#include <string>

class ProfileFile {
 public:
  static constexpr int64_t MaxFileSize = 1024 * 1024;

  // The value of key in section of the file at path, or def.
  static std::string ReadString(const std::string& path, const std::string& section,
                                const std::string& key, const std::string& def);

  // Sets key in section to value, creating directory, file and section as needed.
  // Refuses (false, nothing written) names or values that would not read back as one
  // line: CR, LF or NUL anywhere, ']' in the section, an empty key, '=' in the key, a
  // key starting with '[' or ';'. Names are written without surrounding blanks.
  // When the file is not a profile, or would grow past MaxFileSize, refusal (if
  // given) says why, for example "holds NUL bytes"; otherwise it is left empty.
  static bool WriteString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& value,
                          std::string* refusal = nullptr);
};
