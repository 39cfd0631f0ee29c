#include "AppEntry.h"

const std::array<const char16_t *, kLanguageCount> kLanguageNames = {
    u"JAPANESE", u"ENGLISH", u"GERMAN",    u"SWEDISH", u"FRENCH", u"FINNISH", u"ITALIAN",
    u"SPANISH",  u"HANGUL",  u"CHINESE", u"TAIWANESE", u"CZECH", u"POLISH"};
