// Windows language ids of POSIX locale names.
#include "platform/system_info.h"

#include <gtest/gtest.h>

namespace brisa {
namespace {

TEST(LanguageIdFromLocaleTest, LanguageAndCountry) {
    EXPECT_EQ(LanguageIdFromLocale("de_DE"), 0x0407);
    EXPECT_EQ(LanguageIdFromLocale("de_CH.UTF-8"), 0x0807);
    EXPECT_EQ(LanguageIdFromLocale("de_AT.ISO-8859-1"), 0x0C07);
    EXPECT_EQ(LanguageIdFromLocale("en_US"), 0x0409);
    EXPECT_EQ(LanguageIdFromLocale("en_GB.UTF-8"), 0x0809);
    EXPECT_EQ(LanguageIdFromLocale("ja_JP.UTF-8"), 0x0411);
    EXPECT_EQ(LanguageIdFromLocale("pt_BR"), 0x0416);
}

TEST(LanguageIdFromLocaleTest, ModifierAndLetterCaseAreIgnored) {
    EXPECT_EQ(LanguageIdFromLocale("de_DE@euro"), 0x0407);
    EXPECT_EQ(LanguageIdFromLocale("de_DE.UTF-8@euro"), 0x0407);
    EXPECT_EQ(LanguageIdFromLocale("DE_ch"), 0x0807);
}

TEST(LanguageIdFromLocaleTest, LanguageAloneTakesItsPrimaryCountry) {
    EXPECT_EQ(LanguageIdFromLocale("fr"), 0x040C);
    EXPECT_EQ(LanguageIdFromLocale("de"), 0x0407);
    EXPECT_EQ(LanguageIdFromLocale("en.UTF-8"), 0x0409);
}

TEST(LanguageIdFromLocaleTest, UnlistedCountryTakesTheLanguagesPrimaryCountry) {
    EXPECT_EQ(LanguageIdFromLocale("de_IT"), 0x0407);
    EXPECT_EQ(LanguageIdFromLocale("fr_SN.UTF-8"), 0x040C);
}

TEST(LanguageIdFromLocaleTest, PortableLocalesMeanEnglish) {
    EXPECT_EQ(LanguageIdFromLocale("C"), 0x0409);
    EXPECT_EQ(LanguageIdFromLocale("C.UTF-8"), 0x0409);
    EXPECT_EQ(LanguageIdFromLocale("POSIX"), 0x0409);
}

TEST(LanguageIdFromLocaleTest, UnknownOrEmptyGivesZero) {
    EXPECT_EQ(LanguageIdFromLocale("xx_YY"), 0);
    EXPECT_EQ(LanguageIdFromLocale("xx"), 0);
    EXPECT_EQ(LanguageIdFromLocale(""), 0);
    EXPECT_EQ(LanguageIdFromLocale(".UTF-8"), 0);
    EXPECT_EQ(LanguageIdFromLocale("_DE"), 0);
    EXPECT_EQ(LanguageIdFromLocale("d"), 0);
    EXPECT_EQ(LanguageIdFromLocale("deu_DE"), 0);
}

} // namespace
} // namespace brisa
