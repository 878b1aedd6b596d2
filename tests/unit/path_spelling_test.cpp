#include <gtest/gtest.h>

#include "fake_path_names.h"

namespace {

TEST(PathSpelling, APathTheCodePageCannotSpellIsSpelledInItsShortForm) {
  struct Case {
    std::u16string path;
    std::u16string shortForm;  // empty: the volume keeps none
    std::string text;
    Spelling spelling;
  };
  const Case cases[] = {
      {u"C:\\Users\\J\u00FCrgen\\Falwick.EXE", u"C:\\Users\\JRGEN~1\\Falwick.EXE",
       "C:\\Users\\J\xFCrgen\\Falwick.EXE", Spelling::kAsItIs},
      {u"C:\\\u041F\u0438\u0441\\Falwick.EXE", u"C:\\____~KEW\\Falwick.EXE",
       "C:\\____~KEW\\Falwick.EXE", Spelling::kShort},
      {u"C:\\\u041F\u0438\u0441\\Falwick.EXE", u"", "C:\\???\\Falwick.EXE", Spelling::kLossy},
      // A look-alike names another folder: "Lukasz" is not the user's.
      {u"C:\\Users\\\u0141ukasz\\Temp\\", u"C:\\Users\\UKASZ~1\\Temp\\",
       "C:\\Users\\UKASZ~1\\Temp\\", Spelling::kShort},
      {u"C:\\Users\\\u0141ukasz\\Temp\\", u"", "C:\\Users\\Lukasz\\Temp\\", Spelling::kLossy},
      // A short form that the code page cannot spell either does not help.
      {u"C:\\\u041F\u0438\u0441\u0430\u0442\u0435\u043B\u044C", u"C:\\\u041F\u0418\u0421~1",
       "C:\\????????", Spelling::kLossy},
      {u"C:\\a\uFF02b", u"C:\\AB~1", "C:\\AB~1", Spelling::kShort},
  };
  for (const Case& c : cases) {
    WesternNames names;
    if (!c.shortForm.empty()) names.shortForms[c.path] = c.shortForm;
    const SpelledPath spelled = SpellForAnsi(names, c.path);
    EXPECT_EQ(spelled.text, c.text);
    EXPECT_EQ(spelled.spelling, c.spelling) << c.text;
  }
}

}  // namespace
