// How the program spells a path the file system keeps in UTF-16 for the ANSI functions
// it uses throughout. A character the ANSI code page lacks comes back from them as "?" or
// as a "best fit" look-alike (an accented letter as a plain one, a fullwidth quotation
// mark as '"'), so the path names no folder, or another one. Such a path is spelled in
// its short (8.3) form, whose names the file system made to be plain.
#pragma once

#include <string>
#include <string_view>

// What the spelling needs of Windows: the conversions of the ANSI code page, and short
// names.
class PathNames {
 public:
  virtual ~PathNames() = default;
  // `path` as the ANSI functions convert it, look-alikes and "?" included.
  virtual std::string ToAnsi(std::u16string_view path) const = 0;
  virtual std::u16string FromAnsi(std::string_view path) const = 0;
  // The short form of the existing `path`; empty when there is none (short names off
  // on its volume, or no such path).
  virtual std::u16string ShortForm(const std::u16string& path) const = 0;
};

enum class Spelling {
  kAsItIs,  // the code page spells the path
  kShort,   // only its short form can be spelled
  kLossy,   // neither can: as the ANSI functions spell it, naming no folder or another
};

struct SpelledPath {
  std::string text;
  Spelling spelling = Spelling::kAsItIs;
};

// Whether the code page spells `path`: it comes back unchanged from the trip there and
// back.
bool SpellsInAnsi(const PathNames& names, std::u16string_view path);

// `path` as it is when the code page spells it; else its short form when that is
// spelled; else as the ANSI functions would spell it.
SpelledPath SpellForAnsi(const PathNames& names, const std::u16string& path);
