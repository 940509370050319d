// The vCard reader (versions 2.1, 3.0 and 4.0, damaged and huge inputs) and
// the contact store over vCard folders in the vdir layout.
#include "platform/linux/vcard_contacts.h"
#include "platform/vcard.h"

#include "tests/support/temp_env.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace brisa {
namespace {

using test::WriteFile;

struct Card {
    std::string name, email;
    bool operator==(const Card&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Card& pCard) {
    return out << "{" << pCard.name << " | " << pCard.email << "}";
}

using Cards = std::vector<Card>;

Cards Parse(std::string_view pText) {
    Cards cards;
    for (cVCard& card : ParseVCards(pText))
        cards.push_back({card.Name, card.Email});
    return cards;
}

// The same input fed in pieces of pStep bytes.
Cards ParseInPieces(std::string_view pText, std::size_t pStep) {
    Cards cards;
    cVCardParser parser([&](cVCard&& pCard) { cards.push_back({pCard.Name, pCard.Email}); });
    for (std::size_t i = 0; i < pText.size(); i += pStep)
        parser.Feed(pText.substr(i, pStep));
    parser.Finish();
    return cards;
}

double SecondsFor(const std::function<void()>& pWork) {
    const auto start = std::chrono::steady_clock::now();
    pWork();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---- the three versions --------------------------------------------------------------

TEST(VCardVersions, ReadsAVersion30Card) {
    EXPECT_EQ(
        Parse("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\nFN:Jane Doe\r\n"
              "TEL;TYPE=CELL:+1 555 0100\r\nEMAIL;TYPE=INTERNET:jane@example.org\r\nEND:VCARD\r\n"),
        (Cards{{"Jane Doe", "jane@example.org"}}));
}

TEST(VCardVersions, ReadsAVersion21CardWithQuotedPrintableAndCharsets) {
    // "Müller" in Latin-1, a soft line break inside the name and an e-mail
    // address written with bare types.
    const std::string text = "BEGIN:VCARD\r\n"
                             "VERSION:2.1\r\n"
                             "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;Hans\r\n"
                             "FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Hans M=FC=\r\n"
                             "ller\r\n"
                             "EMAIL;INTERNET:hans@example.de\r\n"
                             "END:VCARD\r\n"
                             "BEGIN:VCARD\r\n"
                             "VERSION:2.1\r\n"
                             "FN;CHARSET=UTF-8;QUOTED-PRINTABLE:Zo=C3=AB =3D Zoe\r\n"
                             "EMAIL;INTERNET:zoe@example.org\r\n"
                             "END:VCARD\r\n";
    EXPECT_EQ(Parse(text), (Cards{{"Hans M\xC3\xBCller", "hans@example.de"},
                                  {"Zo\xC3\xAB = Zoe", "zoe@example.org"}}));
}

TEST(VCardVersions, ReadsAVersion40CardWithGroupsAndPreference) {
    EXPECT_EQ(Parse("BEGIN:VCARD\nVERSION:4.0\nFN:Ann Lee\n"
                    "item1.EMAIL;TYPE=work:ann@work.example\n"
                    "item2.EMAIL;PREF=1;TYPE=home:ann@home.example\n"
                    "item2.X-ABLabel:home\nEND:VCARD\n"),
              (Cards{{"Ann Lee", "ann@home.example"}}));
}

TEST(VCardVersions, SeveralCardsInOneInputKeepTheirOrder) {
    std::string text;
    for (const char* name : {"Carl", "Anna", "Bert"})
        text += std::string("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:") + name + "\r\nEMAIL:" + name +
                "@example.org\r\nEND:VCARD\r\n";
    EXPECT_EQ(Parse(text), (Cards{{"Carl", "Carl@example.org"},
                                  {"Anna", "Anna@example.org"},
                                  {"Bert", "Bert@example.org"}}));
}

// ---- names ---------------------------------------------------------------------------

TEST(VCardNames, MissingFnTakesGivenAndFamilyFromN) {
    EXPECT_EQ(Parse("BEGIN:VCARD\nVERSION:3.0\nN:Smith;John;Q.;Dr.;Jr.\nEMAIL:j@x.org\nEND:VCARD\n"
                    "BEGIN:VCARD\nVERSION:3.0\nFN:\nN:Solo;;;;\nEND:VCARD\n"
                    "BEGIN:VCARD\nVERSION:3.0\nN:;Given;;;\nEND:VCARD\n"
                    "BEGIN:VCARD\nVERSION:3.0\nN:Doe\\, Jr.;Jane,Mary;;;\nEND:VCARD\n"
                    "BEGIN:VCARD\nVERSION:3.0\nEMAIL:anonymous@x.org\nEND:VCARD\n"),
              (Cards{{"John Smith", "j@x.org"},
                     {"Solo", ""},
                     {"Given", ""},
                     {"Jane Mary Doe, Jr.", ""},
                     {"", "anonymous@x.org"}}));
}

TEST(VCardNames, BackslashEscapesAreUndoneFrom30On) {
    EXPECT_EQ(
        Parse("BEGIN:VCARD\nVERSION:3.0\nFN:Doe\\, Jane \\; Co \\\\ Ltd\\nSales\nEND:VCARD\n"),
        (Cards{{"Doe, Jane ; Co \\ Ltd Sales", ""}}));
    // 2.1 knows no such escapes in a single value.
    EXPECT_EQ(Parse("BEGIN:VCARD\nVERSION:2.1\nFN:C:\\new\nN:Semi\\;colon;Ed\nEND:VCARD\n"),
              (Cards{{"C:\\new", ""}}));
    EXPECT_EQ(Parse("BEGIN:VCARD\nVERSION:2.1\nN:Semi\\;colon;Ed\nEND:VCARD\n"),
              (Cards{{"Ed Semi;colon", ""}}));
}

TEST(VCardNames, TextBecomesValidUtf8WithoutControlCharacters) {
    // Windows-1252 bytes without a charset, a tab inside the name, a
    // byte-order mark before the first line and base64 text.
    EXPECT_EQ(
        Parse(
            "\xEF\xBB\xBF"
            "BEGIN:VCARD\nVERSION:3.0\nFN:Ren\xE9\tDupont\nEMAIL: rene@example.fr \nEND:VCARD\n"
            "BEGIN:VCARD\nVERSION:3.0\nFN;ENCODING=b:Sm9zw6k=\nEMAIL:mailto:jose@x.org\nEND:VCARD\n"
            "BEGIN:VCARD\nVERSION:2.1\nFN;CHARSET=WINDOWS-1252:\x80uro\nEND:VCARD\n"),
        (Cards{{"Ren\xC3\xA9 Dupont", "rene@example.fr"},
               {"Jos\xC3\xA9", "jose@x.org"},
               {"\xE2\x82\xACuro", ""}}));
}

// ---- e-mail preference -----------------------------------------------------------------

TEST(VCardEmail, CardsWithoutEmailHaveAnEmptyAddress) {
    EXPECT_EQ(Parse("BEGIN:VCARD\nVERSION:3.0\nFN:No Mail\nTEL:123\nEMAIL:\nEND:VCARD\n"),
              (Cards{{"No Mail", ""}}));
}

TEST(VCardEmail, ThePreferredAddressWinsInEveryParameterForm) {
    struct Case {
        const char* version;
        const char* preferred; // the property's name and parameters
    };
    const Case cases[] = {
        {"2.1", "EMAIL;INTERNET;PREF"},
        {"2.1", "EMAIL;PREF;INTERNET"},
        {"3.0", "EMAIL;TYPE=INTERNET,PREF"},
        {"3.0", "EMAIL;type=internet;type=pref"},
        {"3.0", "EMAIL;TYPE=INTERNET;TYPE=PREF"},
        {"3.0", "item3.EMAIL;type=INTERNET;type=pref"},
        {"4.0", "EMAIL;PREF=1"},
        {"4.0", "EMAIL;TYPE=work;PREF=1"},
        {"4.0", "EMAIL;TYPE=\"work,pref\""},
        {"4.0", "email;pref=1"},
    };
    for (const Case& c : cases) {
        const std::string text = std::string("BEGIN:VCARD\nVERSION:") + c.version +
                                 "\nFN:P\nEMAIL;TYPE=INTERNET:first@x.org\n" + c.preferred +
                                 ":best@x.org\nEMAIL:last@x.org\nEND:VCARD\n";
        EXPECT_EQ(Parse(text), (Cards{{"P", "best@x.org"}})) << c.preferred;
    }
}

TEST(VCardEmail, WithoutPreferenceTheFirstWinsAndLowerPrefNumbersWin) {
    EXPECT_EQ(Parse("BEGIN:VCARD\nVERSION:3.0\nFN:A\nEMAIL;TYPE=WORK:one@x.org\nEMAIL:two@x."
                    "org\nEND:VCARD\n"),
              (Cards{{"A", "one@x.org"}}));
    EXPECT_EQ(
        Parse("BEGIN:VCARD\nVERSION:4.0\nFN:B\nEMAIL;PREF=50:one@x.org\nEMAIL;PREF=2:two@x.org\n"
              "EMAIL;PREF=9:three@x.org\nEND:VCARD\n"),
        (Cards{{"B", "two@x.org"}}));
    EXPECT_EQ(Parse("BEGIN:VCARD\nVERSION:4.0\nFN:C\nEMAIL;PREF=1:one@x.org\nEMAIL;PREF=1:two@x."
                    "org\nEND:VCARD\n"),
              (Cards{{"C", "one@x.org"}}));
}

// ---- folded and broken lines -------------------------------------------------------------

TEST(VCardLines, FoldedLinesAreJoined) {
    // CR LF + blank and LF + tab; 3.0 drops the blank that folds, 2.1 keeps it.
    EXPECT_EQ(Parse("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Maximilian Alexan\r\n "
                    "der\r\nEMAIL:max@exam\n\tple.org\r\n"
                    "END:VCARD\r\n"),
              (Cards{{"Maximilian Alexander", "max@example.org"}}));
    EXPECT_EQ(Parse("BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Maximilian\r\n Alexander\r\nEND:VCARD\r\n"),
              (Cards{{"Maximilian Alexander", ""}}));
    // Folding in the middle of a parameter.
    EXPECT_EQ(Parse("BEGIN:VCARD\nVERSION:3.0\nFN:F\nEMAIL;TYPE=INTERNET,\n "
                    "PREF:p@x.org\nEMAIL:q@x.org\nEND:VCARD\n"
                    "BEGIN:VCARD\nVERSION:3.0\nFN:G\nEMAIL;TYPE=X:\n q@x.org\nEND:VCARD\n"),
              (Cards{{"F", "p@x.org"}, {"G", "q@x.org"}}));
}

TEST(VCardLines, LineEndsSplitAcrossPiecesReadTheSame) {
    const std::string text =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;ENCODING=QUOTED-PRINTABLE:A=\r\nB=\r\nC\r\n"
        "EMAIL;PREF:abc@x.org\r\nEND:VCARD\r\nBEGIN:VCARD\rVERSION:3.0\rFN:Old\r Mac\r"
        "END:VCARD\r";
    const Cards whole = Parse(text);
    EXPECT_EQ(whole, (Cards{{"ABC", "abc@x.org"}, {"OldMac", ""}}));
    for (std::size_t step : {1u, 2u, 3u, 7u})
        EXPECT_EQ(ParseInPieces(text, step), whole) << step;
}

TEST(VCardLines, BrokenCardsStillGiveWhatTheyHold) {
    const std::string text =
        "junk before any card\n"
        "BEGIN:VCARD\nVERSION:3.0\nFN:No End\nEMAIL:noend@x.org\n" // END missing
        "BEGIN:VCARD\nVERSION:2.1\nthis line has no colon\n"
        "FN;ENCODING=QUOTED-PRINTABLE:Broken=\nEND:VCARD\n" // soft break before END
        "garbage between cards: ignored\n"
        "BEGIN:VCARD\nVERSION:3.0\nFN:Last\nEMAIL:last@x.org"; // cut off at the end
    EXPECT_EQ(Parse(text),
              (Cards{{"No End", "noend@x.org"}, {"Broken", ""}, {"Last", "last@x.org"}}));
}

TEST(VCardLines, AnAgentsCardInside21DoesNotReplaceItsOwner) {
    EXPECT_EQ(
        Parse("BEGIN:VCARD\nVERSION:2.1\nFN:Boss\nAGENT:\nBEGIN:VCARD\nVERSION:2.1\nFN:Assistant\n"
              "EMAIL:assistant@x.org\nEND:VCARD\nEMAIL:boss@x.org\nEND:VCARD\n"),
        (Cards{{"Boss", "boss@x.org"}}));
}

TEST(VCardLines, BinaryJunkAndOverlongLinesAreSkipped) {
    std::string junk;
    for (int i = 0; i < 100000; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    std::string text =
        junk + "\nBEGIN:VCARD\nVERSION:3.0\nFN:After Junk\nPHOTO;ENCODING=b;TYPE=JPEG:";
    text += std::string(200000, 'A'); // one physical line over the limit
    text += "\n";
    for (int i = 0; i < 5000; ++i)
        text += " " + std::string(74, 'B') + "\n"; // folded, over the limit
    text += "NOTE:" + std::string(kMaxVCardLine + 10, 'n') + "\n";
    text += "EMAIL:after@x.org\nEND:VCARD\n" + junk;
    EXPECT_EQ(Parse(text), (Cards{{"After Junk", "after@x.org"}}));
}

TEST(VCardLines, EmptyAndHeaderlessInputsGiveNoCards) {
    EXPECT_TRUE(Parse("").empty());
    EXPECT_TRUE(Parse("\r\n\r\n").empty());
    EXPECT_TRUE(Parse("FN:Outside\nEMAIL:outside@x.org\nEND:VCARD\n").empty());
    EXPECT_EQ(Parse("BEGIN:VCARD\nEND:VCARD\n"), (Cards{{"", ""}}));
}

// ---- large inputs ---------------------------------------------------------------------

TEST(VCardLarge, TenMegabytesOfCardsReadInReasonableTime) {
    std::string text;
    const std::string card =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Family;Given;;;\r\nFN:Person %\r\n"
        "EMAIL;TYPE=INTERNET:person%@example.org\r\nTEL:+1 555 0100\r\nEND:VCARD\r\n";
    int count = 0;
    while (text.size() < (10u << 20)) {
        std::string one = card;
        const std::string n = std::to_string(count++);
        for (std::size_t at; (at = one.find('%')) != std::string::npos;)
            one.replace(at, 1, n);
        text += one;
    }
    std::size_t seen = 0;
    std::string lastName;
    const double seconds = SecondsFor([&] {
        cVCardParser parser([&](cVCard&& pCard) {
            ++seen;
            lastName = pCard.Name;
        });
        parser.Feed(text);
        parser.Finish();
    });
    EXPECT_EQ(seen, static_cast<std::size_t>(count));
    EXPECT_EQ(lastName, "Person " + std::to_string(count - 1));
    EXPECT_LT(seconds, 10.0);
}

TEST(VCardLarge, TenMegabyteHostileShapesStayLinear) {
    const std::size_t size = 10u << 20;
    // One line without an end.
    const std::string noEnd = "BEGIN:VCARD\nFN:" + std::string(size, 'x');
    // Quoted-printable soft breaks, one per line, after a long name part.
    std::string softBreaks =
        "BEGIN:VCARD\nX-" + std::string(60000, 'N') + ";ENCODING=QUOTED-PRINTABLE:v=\n";
    while (softBreaks.size() < size)
        softBreaks += "=\n";
    softBreaks += "\nEND:VCARD\n";
    // Folded continuation lines of one property, and endless BEGIN lines.
    std::string folded = "BEGIN:VCARD\nVERSION:3.0\nFN:Folded\nPHOTO;ENCODING=b:";
    while (folded.size() < size)
        folded += "\n A";
    folded += "\nEND:VCARD\n";
    std::string begins;
    while (begins.size() < size)
        begins += "BEGIN:VCARD\n";

    Cards fromNoEnd, fromSoft, fromFolded;
    std::size_t beginCards = 0;
    const double seconds = SecondsFor([&] {
        fromNoEnd = Parse(noEnd);
        fromSoft = Parse(softBreaks);
        fromFolded = Parse(folded);
        cVCardParser parser([&](cVCard&&) { ++beginCards; });
        parser.Feed(begins);
        parser.Finish();
    });
    EXPECT_EQ(fromNoEnd, (Cards{{"", ""}})); // the overlong FN is dropped
    EXPECT_EQ(fromSoft, (Cards{{"", ""}}));
    EXPECT_EQ(fromFolded, (Cards{{"Folded", ""}}));
    EXPECT_EQ(beginCards, size / 12 + (size % 12 ? 1 : 0));
    EXPECT_LT(seconds, 20.0);
}

TEST(VCardLarge, ReadsAFileInPieces) {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/big.vcf";
    std::string text;
    int count = 0;
    while (text.size() < (3u << 20)) {
        text += "BEGIN:VCARD\nVERSION:3.0\nFN:Name " + std::to_string(count) + "\nEMAIL:n" +
                std::to_string(count) + "@x.org\nEND:VCARD\n";
        ++count;
    }
    WriteFile(path, text);
    std::vector<cVCard> cards;
    EXPECT_TRUE(ReadVCardFile(path, [&](cVCard&& pCard) { cards.push_back(std::move(pCard)); }));
    ASSERT_EQ(cards.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(cards[12345].Name, "Name 12345");
    EXPECT_EQ(cards[12345].Email, "n12345@x.org");
    EXPECT_FALSE(ReadVCardFile(dir.path().toStdString() + "/missing.vcf", [](cVCard&&) {}));
}

// ---- the contact store over vCard folders -----------------------------------------------

std::string CardText(const std::string& pName, const std::string& pEmail) {
    std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + pName + "\r\n";
    if (!pEmail.empty())
        text += "EMAIL:" + pEmail + "\r\n";
    return text + "END:VCARD\r\n";
}

class VdirTree : public ::testing::Test {
protected:
    std::string Root() const { return m_Dir.path().toStdString() + "/contacts"; }
    void Write(const std::string& pRelative, const std::string& pBytes) {
        WriteFile(Root() + "/" + pRelative, pBytes);
    }
    void Folder(const std::string& pRelative) {
        QDir().mkpath(QString::fromStdString(Root() + "/" + pRelative));
    }

    // personal/  (displayname "Personal Contacts", own cards, friends, calendar, .hidden)
    // work/      (no displayname; team holds cards)
    void BuildTree() {
        Write("personal/displayname", "  Personal Contacts  \nsecond line ignored\n");
        Write("personal/b.vcf", CardText("Bea", "bea@x.org"));
        Write("personal/a.vcf", CardText("Al", "al@x.org") + CardText("Ann", "ann@x.org"));
        Write("personal/notes.txt", "not a card");
        Write("personal/friends/displayname", "Friends");
        Write("personal/friends/2.vcf", CardText("Zed", "zed@x.org"));
        Write("personal/friends/1.VCF", CardText("Yves", ""));
        Write("personal/calendar/event.ics", "BEGIN:VCALENDAR\nEND:VCALENDAR\n");
        Write("personal/.hidden/x.vcf", CardText("Hidden", "h@x.org"));
        Write("work/team/u.vcf", CardText("Uma", "uma@x.org"));
        Folder("work/archive");
        Write(".git/config", "");
    }

    std::unique_ptr<IContactNameSpace> Open() {
        VCardContacts contacts(Root());
        auto app = contacts.GetApplication();
        if (!app)
            return nullptr;
        return app->GetNameSpace("MAPI");
    }

    QTemporaryDir m_Dir;
};

using Names = std::vector<std::string>;

std::vector<std::pair<int, std::string>> Typed(const std::vector<ContactFolderInfo>& pFolders) {
    std::vector<std::pair<int, std::string>> out;
    for (const ContactFolderInfo& f : pFolders)
        out.emplace_back(f.DefaultItemType, f.Name);
    return out;
}

Cards Items(const std::vector<ContactItemInfo>& pItems) {
    Cards out;
    for (const ContactItemInfo& i : pItems)
        out.push_back({i.Subject, i.email1address});
    return out;
}

TEST_F(VdirTree, StoresAreTheFoldersUnderTheRootNamedByTheirDisplayname) {
    BuildTree();
    auto ns = Open();
    ASSERT_TRUE(ns);
    EXPECT_TRUE(ns->Logon("", "", true, true));
    Names stores;
    ASSERT_TRUE(ns->Folders(stores));
    EXPECT_EQ(stores, (Names{"Personal Contacts", "work"}));
}

TEST_F(VdirTree, AStoreListsItsOwnCardsFirstThenItsSubfoldersWithTheirTypes) {
    BuildTree();
    auto ns = Open();
    ASSERT_TRUE(ns);
    std::vector<ContactFolderInfo> folders;
    ASSERT_TRUE(ns->StoreFolders("Personal Contacts", folders));
    EXPECT_EQ(Typed(folders), (std::vector<std::pair<int, std::string>>{
                                  {2, "Personal Contacts"}, {0, "calendar"}, {2, "Friends"}}));
    ASSERT_TRUE(ns->StoreFolders("work", folders));
    EXPECT_EQ(Typed(folders),
              (std::vector<std::pair<int, std::string>>{{0, "archive"}, {2, "team"}}));
    EXPECT_FALSE(ns->StoreFolders("nobody", folders));
    EXPECT_TRUE(folders.empty());
}

TEST_F(VdirTree, AFoldersItemsComeFromItsFilesInNameOrder) {
    BuildTree();
    auto ns = Open();
    ASSERT_TRUE(ns);
    std::vector<ContactItemInfo> items;
    ASSERT_TRUE(ns->FolderItems("Personal Contacts", "Personal Contacts", items));
    EXPECT_EQ(Items(items),
              (Cards{{"Al", "al@x.org"}, {"Ann", "ann@x.org"}, {"Bea", "bea@x.org"}}));
    ASSERT_TRUE(ns->FolderItems("Personal Contacts", "Friends", items));
    EXPECT_EQ(Items(items), (Cards{{"Yves", ""}, {"Zed", "zed@x.org"}}));
    ASSERT_TRUE(ns->FolderItems("Personal Contacts", "calendar", items));
    EXPECT_TRUE(items.empty());
    EXPECT_FALSE(ns->FolderItems("Personal Contacts", "nothing", items));
    EXPECT_FALSE(ns->FolderItems("nobody", "Friends", items));
}

TEST_F(VdirTree, RepeatedNamesAreMadeUnique) {
    Write("a/displayname", "Same");
    Write("a/x.vcf", CardText("From A", "a@x.org"));
    Write("b/displayname", "Same\n");
    Write("b/x.vcf", CardText("From B", "b@x.org"));
    Write("b/Same/y.vcf", CardText("From B's folder", "bb@x.org"));
    auto ns = Open();
    ASSERT_TRUE(ns);
    Names stores;
    ASSERT_TRUE(ns->Folders(stores));
    EXPECT_EQ(stores, (Names{"Same", "Same (2)"}));
    std::vector<ContactFolderInfo> folders;
    ASSERT_TRUE(ns->StoreFolders("Same (2)", folders));
    EXPECT_EQ(Typed(folders),
              (std::vector<std::pair<int, std::string>>{{2, "Same (2)"}, {2, "Same"}}));
    std::vector<ContactItemInfo> items;
    ASSERT_TRUE(ns->FolderItems("Same (2)", "Same", items));
    EXPECT_EQ(Items(items), (Cards{{"From B's folder", "bb@x.org"}}));
}

TEST_F(VdirTree, AnEmptyRootHasNoStores) {
    Folder("");
    auto ns = Open();
    ASSERT_TRUE(ns);
    Names stores{"left over"};
    EXPECT_TRUE(ns->Folders(stores));
    EXPECT_TRUE(stores.empty());
}

TEST_F(VdirTree, WithoutARootTheApplicationCannotBeObtained) {
    VCardContacts missing(Root());
    EXPECT_FALSE(missing.GetApplication());
    Write("file-not-folder", "x");
    VCardContacts notAFolder(Root() + "/file-not-folder");
    EXPECT_FALSE(notAFolder.GetApplication());
    Folder("");
    VCardContacts present(Root());
    auto app = present.GetApplication();
    ASSERT_TRUE(app);
    EXPECT_FALSE(app->GetNameSpace("OTHER"));
    EXPECT_TRUE(app->GetNameSpace("mapi"));
}

// Sets or unsets an environment variable for the life of the object.
class EnvVar {
public:
    EnvVar(const char* pName, const char* pValue) : m_Name(pName) {
        if (const char* old = std::getenv(pName))
            m_Old = old, m_Had = true;
        if (pValue)
            setenv(pName, pValue, 1);
        else
            unsetenv(pName);
    }
    ~EnvVar() {
        if (m_Had)
            setenv(m_Name, m_Old.c_str(), 1);
        else
            unsetenv(m_Name);
    }

private:
    const char* m_Name;
    std::string m_Old;
    bool m_Had = false;
};

TEST_F(VdirTree, TheDefaultRootComesFromTheEnvironment) {
    {
        EnvVar contacts("BRISAMAIL_CONTACTS", "/somewhere/cards");
        EnvVar data("XDG_DATA_HOME", "/data");
        EXPECT_EQ(VCardContacts::DefaultRoot(), "/somewhere/cards");
    }
    {
        EnvVar contacts("BRISAMAIL_CONTACTS", nullptr);
        EnvVar data("XDG_DATA_HOME", "/data");
        EXPECT_EQ(VCardContacts::DefaultRoot(), "/data/contacts");
    }
    {
        EnvVar contacts("BRISAMAIL_CONTACTS", "");
        EnvVar data("XDG_DATA_HOME", nullptr);
        EnvVar home("HOME", "/home/ann");
        EXPECT_EQ(VCardContacts::DefaultRoot(), "/home/ann/.local/share/contacts");
    }
    // The default is looked up at each call.
    BuildTree();
    EnvVar contacts("BRISAMAIL_CONTACTS", Root().c_str());
    VCardContacts provider;
    auto app = provider.GetApplication();
    ASSERT_TRUE(app);
    Names stores;
    ASSERT_TRUE(app->GetNameSpace("MAPI")->Folders(stores));
    EXPECT_EQ(stores.size(), 2u);
    EnvVar gone("BRISAMAIL_CONTACTS", (Root() + "/gone").c_str());
    EXPECT_FALSE(provider.GetApplication());
}

} // namespace
} // namespace brisa
