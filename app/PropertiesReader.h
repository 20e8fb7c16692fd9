#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reads a properties file ("key = value" lines, ISO 8859-1 bytes) into UTF-8 strings. A file
// that starts with the UTF-8 byte-order mark (as Windows Notepad saves) is read as UTF-8.
//
// Syntax: a line whose first non-blank character is '#' or '!' is a comment; key and value are
// separated by '=', ':' or white space; white space before the value is dropped and the value
// runs to the end of the line, trailing blanks included; a backslash at the end of a line joins
// the next line (without its leading white space); the escapes \t \n \r \f \uXXXX are decoded
// and any other escaped character stands for itself. Lines end in LF, CR LF or CR. A later
// duplicate key replaces the earlier one. Keys are case-sensitive.
//
// Nothing in the input makes the reader fail: a malformed \u escape is kept as the text that
// follows the backslash and noted in problems(), so the caller can report it.
class PropertiesReader {
 public:
  enum class LoadResult { Loaded, Missing, Unreadable };

  // A file larger than this is not a settings file: it is refused as unreadable rather than
  // read into memory.
  static constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;

  // Parses the bytes of a whole file; replaces whatever the reader held.
  void parse(std::string_view bytes);

  // Reads and parses the file at path. Missing: nothing exists under that name. Unreadable: it
  // exists but is not a regular file, cannot be opened or read, or is too large; then the
  // reader holds no entries and error() says why.
  LoadResult load(const std::string& path);

  std::optional<std::string> get(const std::string& key) const;
  const std::map<std::string, std::string>& entries() const { return entries_; }
  // The value as the file writes it, escapes not decoded (a Windows device path such as
  // \\.\COM21 is meant as written).
  std::optional<std::string> getRaw(const std::string& key) const;
  // One text per problem met while parsing, such as "line 4: malformed \uXXXX escape".
  const std::vector<std::string>& problems() const { return problems_; }
  const std::string& error() const { return error_; }

 private:
  void addLogicalLine(std::string_view line, int lineNumber);
  std::string decode(std::string_view raw, int lineNumber);
  void noteProblem(int lineNumber, const char* what);

  std::map<std::string, std::string> entries_;
  std::map<std::string, std::string> raw_;
  std::vector<std::string> problems_;
  std::size_t problemCount_ = 0;
  std::string error_;
  bool utf8_ = false;  // the file started with a UTF-8 byte-order mark
};
