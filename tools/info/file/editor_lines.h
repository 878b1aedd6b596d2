// Line numbers as a text editor shows them, so that each warning names the line the
// maker sees: CR LF, LF and CR alone each end a line. This is not how Falwick reads the
// file (a lone CR ends no line for it, and it reads nothing after a Ctrl-Z): what it
// reads comes from its own reader; these numbers only label positions in the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class EditorLines {
 public:
  explicit EditorLines(std::string_view bytes);

  // The 1-based line that holds the byte at `offset`.
  int LineAt(size_t offset) const;
  // The lines of the file; 0 for an empty file.
  int Count() const;
  // The text of the line that holds `offset`, from `offset` on, without its line end.
  std::string_view RestOfLine(size_t offset) const;

  // The lines in [from, to) of the file that would set a value if Falwick read them as
  // lines of their own, as "'VERSION=4' (line 5), 'BUILD=2' (line 6)" (four at most, then
  // "and N more"); `count` is how many there are.
  std::string KeyLinesIn(size_t from, size_t to, size_t& count) const;

 private:
  std::string_view bytes_;
  std::vector<size_t> starts_;  // of each line
};
