// The language table: which file a system gets, how its lines are read,
// Windows-1252 bytes, language ids of locale names, and the shipped files.
#include "language/translation.h"
#include "platform/codepage.h"
#include "platform/system_info.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <QStringDecoder>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sys/stat.h>

namespace brisa {
namespace {

TEST(Language, ChoosingAndReadingTheFile) {
    struct Case {
        uint16_t system;
        std::map<std::string, std::string> files; // lang/<id>.txt; "<fifo>", "<folder>"
        const char* chosen;
        std::vector<std::pair<const char*, const char*>> texts; // id, text ("-" none)
    };
    const std::string en = "mm0063\tRecord\r\nmm0064\tPlay\r\n", de = "mm0063\tAufnahme\r\n";
    const std::vector<Case> cases = {
        {0x0407, {{"00000409", en}, {"00000407", de}}, "00000407", {{"mm0063", "Aufnahme"}, {"mm0064", "-"}}},
        // German, Switzerland: the primary German file before English.
        {0x0807, {{"00000409", en}, {"00000407", de}}, "00000407", {{"mm0063", "Aufnahme"}}},
        {0x0C07, {{"00000407", en}, {"00000C07", de}}, "00000C07", {{"mm0063", "Aufnahme"}}},
        {0x0411, {{"00000409", en}, {"00000407", de}}, "00000409", {{"mm0063", "Record"}}},
        {0, {{"00000409", en}}, "00000409", {{"MM0064", "Play"}}},
        {0x0411, {}, "00000409", {{"mm0063", "-"}}},
        {0x0407, {{"00000409", en}, {"00000407", "<folder>"}}, "00000409", {{"mm0063", "Record"}}},
        {0x0409, {{"00000409", "<fifo>"}}, "00000409", {{"mm0063", "-"}}},
        // Lines: comments, blanks, a second TAB, ids repeated, no TAB, no
        // id, bad bytes, no line end at the end.
        {0x0409,
         {{"00000409", "' a comment\r\n   ' after blanks\r\n\r\n   \r\nmm0036\tIt's 'now'\tsecond\r\n"
                       "MM0037\tfirst\r\nmm0037\tsecond\r\n  mm0038   \r\n   mm0039   \t  some text  \r\n"
                       "mm0040\t\tafter two tabs\r\n\tmm0041\ttext\r\n" +
                           std::string("\x00\x01\xFF\x81\x8D\t\t\x00\r\r\n\0\0\r\n", 15) +
                           "opt0003\t\xDC" "bernehmen \x80 \x84x\x93\x92\x96\x9F\nmm0042\tlast"}},
         "00000409",
         {{"mm0036", "It's 'now'"}, {"' a comment", "-"}, {"mm0037", "first"}, {"mm0038", ""},
          {"mm0039", "some text"}, {"mm0040", ""}, {"mm0041", "-"}, {"", "mm0041"}, {"mm0042", "last"},
          {"opt0003", "\xC3\x9C" "bernehmen \xE2\x82\xAC \xE2\x80\x9Ex\xE2\x80\x9C\xE2\x80\x99\xE2\x80\x93\xC5\xB8"}}},
    };
    test::FakeSystemInfo system;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen + (" for " + std::to_string(c.system)));
        test::TempEnv env;
        for (const auto& [id, bytes] : c.files) {
            const std::string path = env.Path("lang/" + id + ".txt");
            test::WriteFile(env.Path("lang/keep"), "");
            if (bytes == "<fifo>") ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            else test::WriteFile(bytes == "<folder>" ? path + "/keep" : path, bytes);
        }
        system.languageId = c.system;
        LoadLanguage(system, env.ProgramFolder());
        EXPECT_EQ(gLanguageId, c.chosen);
        for (const auto& [id, text] : c.texts) EXPECT_EQ(Tr(id).value_or("-"), text) << id;
    }
    Translation.Clear();
    gLanguageId.clear();
}

// Every byte against Qt's converter; the five bytes Windows-1252 leaves
// undefined stay the C1 controls of the same number. And back.
TEST(Language, Windows1252BytesAsQtConvertsThem) {
    QStringDecoder reference("windows-1252");
    ASSERT_TRUE(reference.isValid());
    for (int b = 1; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
        const std::string utf8 = QString(undefined ? QString(QChar(b)) : reference(QByteArray(byte.data(), 1))).toStdString();
        EXPECT_EQ(Cp1252ToUtf8(byte), utf8) << std::hex << b;
        EXPECT_EQ(Utf8ToCp1252(utf8), byte) << std::hex << b;
    }
}

TEST(Language, IdsOfLocaleNames) {
    const std::pair<const char*, uint16_t> cases[] = {
        {"de_DE", 0x0407}, {"de_CH.UTF-8", 0x0807}, {"de_AT.ISO-8859-1", 0x0C07}, {"en_US", 0x0409},
        {"en_GB.UTF-8", 0x0809}, {"ja_JP.UTF-8", 0x0411}, {"pt_BR", 0x0416}, {"de_DE@euro", 0x0407},
        {"de_DE.UTF-8@euro", 0x0407}, {"DE_ch", 0x0807}, {"fr", 0x040C}, {"en.UTF-8", 0x0409},
        {"de_IT", 0x0407}, {"fr_SN.UTF-8", 0x040C}, {"C", 0x0409}, {"C.UTF-8", 0x0409}, {"POSIX", 0x0409},
        {"xx_YY", 0}, {"xx", 0}, {"", 0}, {".UTF-8", 0}, {"_DE", 0}, {"d", 0}, {"deu_DE", 0},
    };
    for (const auto& [locale, id] : cases) EXPECT_EQ(LanguageIdFromLocale(locale), id) << locale;
}

// English and German hold every id the program's code asks for, and
// nothing else, in CR LF lines of defined Windows-1252 bytes.
TEST(Language, TheShippedFilesFitTheProgram) {
    std::set<std::string> asked;
    const std::regex id("\"((mm|opt|add|mail|out|snd)[0-9]{4})\"");
    for (const char* folder : {"app", "addressbook", "ads", "common", "platform", "recording", "sending", "settings", "skin"})
        for (const auto& file : std::filesystem::recursive_directory_iterator(std::string(BRISA_SOURCE_DIR) + "/" + folder)) {
            const std::string code = test::ReadFile(file.path().string());
            for (std::sregex_iterator i(code.begin(), code.end(), id), end; i != end; ++i) asked.insert((*i)[1]);
        }
    ASSERT_GT(asked.size(), 100u);
    for (const char* language : {"00000409", "00000407"}) {
        SCOPED_TRACE(language);
        const std::string bytes = test::ReadFile(std::string(BRISA_SOURCE_DIR) + "/data/lang/" + language + ".txt");
        cTranslation table;
        ParseLanguageText(bytes, table);
        EXPECT_EQ(table.Count(), asked.size());
        auto text = [&](const std::string& pId) { const cString* e = table.Find(pId); return e ? e->Translation : ""; };
        for (const std::string& wanted : asked) EXPECT_NE(text(wanted), "") << wanted;
        for (unsigned char c : bytes) {
            EXPECT_TRUE(c >= 0x20 || c == '\t' || c == '\r' || c == '\n') << int(c);
            EXPECT_TRUE(c != 0x7F && c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D) << int(c);
        }
        size_t entries = 0;
        for (size_t start = 0, end = 0; start < bytes.size(); start = end + 1) {
            end = bytes.find('\n', start);
            ASSERT_TRUE(end != std::string::npos && end > start && bytes[end - 1] == '\r') << start;
            entries += end - start > 1 && bytes[start] != '\'';
        }
        EXPECT_EQ(entries, table.Count()) << "an id twice";
        // The tray tip has 64 bytes with its NUL; the address-book kinds
        // tell the readers apart; menu captions carry an access key.
        EXPECT_LT(text("mm0001").size(), 64u);
        std::set<std::string> kinds;
        for (const char* kind : {"opt0005", "opt0006", "opt0007", "opt0008", "opt0009", "opt0035"}) kinds.insert(text(kind));
        EXPECT_EQ(kinds.size(), 6u);
        for (const char* menu : {"mm0053", "mm0054", "mm0055", "mm0056", "mm0057"}) EXPECT_NE(text(menu).find('&'), std::string::npos) << menu;
    }
}

} // namespace
} // namespace brisa
