#include "platform/path_spelling.h"

bool SpellsInAnsi(const PathNames& names, std::u16string_view path) {
  // A look-alike converts without a "?", and only the way back shows the change.
  return names.FromAnsi(names.ToAnsi(path)) == path;
}

SpelledPath SpellForAnsi(const PathNames& names, const std::u16string& path) {
  if (SpellsInAnsi(names, path)) return {names.ToAnsi(path), Spelling::kAsItIs};
  const std::u16string shortForm = names.ShortForm(path);
  if (!shortForm.empty() && SpellsInAnsi(names, shortForm)) {
    return {names.ToAnsi(shortForm), Spelling::kShort};
  }
  return {names.ToAnsi(path), Spelling::kLossy};
}
