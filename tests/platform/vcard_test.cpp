// The vCard reader (versions 2.1, 3.0 and 4.0, damaged and huge inputs) and
// the contact store over vCard folders in the vdir layout.
#include "platform/linux/vcard_contacts.h"
#include "platform/vcard.h"

#include "tests/support/temp_env.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

// ---- cards of every version, names, addresses, folded and broken lines ---------------

TEST(VCard, Cards) {
    struct Case {
        const char* what;
        std::string text;
        Cards cards;
    };
    const std::vector<Case> cases = {
        {"3.0",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\nFN:Jane Doe\r\n"
         "TEL;TYPE=CELL:+1 555 0100\r\nEMAIL;TYPE=INTERNET:jane@example.org\r\nEND:VCARD\r\n",
         {{"Jane Doe", "jane@example.org"}}},
        {"2.1 quoted-printable, charsets, soft break",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;"
         "Hans\r\n"
         "FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Hans "
         "M=FC=\r\nller\r\nEMAIL;INTERNET:hans@example.de\r\n"
         "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=UTF-8;QUOTED-PRINTABLE:Zo=C3=AB "
         "=3D Zoe\r\n"
         "EMAIL;INTERNET:zoe@example.org\r\nEND:VCARD\r\n",
         {{"Hans M\xC3\xBCller", "hans@example.de"}, {"Zo\xC3\xAB = Zoe", "zoe@example.org"}}},
        {"4.0 groups and preference",
         "BEGIN:VCARD\nVERSION:4.0\nFN:Ann Lee\nitem1.EMAIL;TYPE=work:ann@work.example\n"
         "item2.EMAIL;PREF=1;TYPE=home:ann@home.example\nitem2.X-ABLabel:home\nEND:VCARD\n",
         {{"Ann Lee", "ann@home.example"}}},
        {"names from N",
         "BEGIN:VCARD\nVERSION:3.0\nN:Smith;John;Q.;Dr.;Jr.\nEMAIL:j@x.org\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:3.0\nFN:\nN:Solo;;;;\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:3.0\nN:;Given;;;\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:3.0\nN:Doe\\, Jr.;Jane,Mary;;;\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:3.0\nEMAIL:anonymous@x.org\nEND:VCARD\n",
         {{"John Smith", "j@x.org"},
          {"Solo", ""},
          {"Given", ""},
          {"Jane Mary Doe, Jr.", ""},
          {"", "anonymous@x.org"}}},
        {"escapes from 3.0 on",
         "BEGIN:VCARD\nVERSION:3.0\nFN:Doe\\, Jane \\; Co \\\\ Ltd\\nSales\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:2.1\nFN:C:\\new\nN:Semi\\;colon;Ed\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:2.1\nN:Semi\\;colon;Ed\nEND:VCARD\n",
         {{"Doe, Jane ; Co \\ Ltd Sales", ""}, {"C:\\new", ""}, {"Ed Semi;colon", ""}}},
        {"UTF-8 without control characters",
         "\xEF\xBB\xBF"
         "BEGIN:VCARD\nVERSION:3.0\nFN:Ren\xE9\tDupont\nEMAIL: rene@example.fr \nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:3.0\nFN;ENCODING=b:Sm9zw6k=\nEMAIL:mailto:jose@x.org\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:2.1\nFN;CHARSET=WINDOWS-1252:\x80uro\nEND:VCARD\n",
         {{"Ren\xC3\xA9 Dupont", "rene@example.fr"},
          {"Jos\xC3\xA9", "jose@x.org"},
          {"\xE2\x82\xACuro", ""}}},
        {"no address",
         "BEGIN:VCARD\nVERSION:3.0\nFN:No Mail\nTEL:123\nEMAIL:\nEND:VCARD\n",
         {{"No Mail", ""}}},
        {"first address without preference",
         "BEGIN:VCARD\nVERSION:3.0\nFN:A\nEMAIL;TYPE=WORK:one@x.org\nEMAIL:two@x.org\nEND:VCARD\n",
         {{"A", "one@x.org"}}},
        {"lowest PREF number",
         "BEGIN:VCARD\nVERSION:4.0\nFN:B\nEMAIL;PREF=50:one@x.org\nEMAIL;PREF=2:two@x.org\n"
         "EMAIL;PREF=9:three@x.org\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:4.0\nFN:C\nEMAIL;PREF=1:one@x.org\nEMAIL;PREF=1:two@x.org\nEND:"
         "VCARD\n",
         {{"B", "two@x.org"}, {"C", "one@x.org"}}},
        {"folded lines",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Maximilian Alexan\r\n "
         "der\r\nEMAIL:max@exam\n\tple.org\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Maximilian\r\n Alexander\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\nVERSION:3.0\nFN:F\nEMAIL;TYPE=INTERNET,\n "
         "PREF:p@x.org\nEMAIL:q@x.org\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:3.0\nFN:G\nEMAIL;TYPE=X:\n q@x.org\nEND:VCARD\n",
         {{"Maximilian Alexander", "max@example.org"},
          {"Maximilian Alexander", ""},
          {"F", "p@x.org"},
          {"G", "q@x.org"}}},
        {"broken cards",
         "junk before any card\nBEGIN:VCARD\nVERSION:3.0\nFN:No End\nEMAIL:noend@x.org\n"
         "BEGIN:VCARD\nVERSION:2.1\nthis line has no "
         "colon\nFN;ENCODING=QUOTED-PRINTABLE:Broken=\nEND:VCARD\n"
         "garbage between cards: ignored\nBEGIN:VCARD\nVERSION:3.0\nFN:Last\nEMAIL:last@x.org",
         {{"No End", "noend@x.org"}, {"Broken", ""}, {"Last", "last@x.org"}}},
        {"an agent's card inside 2.1",
         "BEGIN:VCARD\nVERSION:2.1\nFN:Boss\nAGENT:\nBEGIN:VCARD\nVERSION:2.1\nFN:Assistant\n"
         "EMAIL:assistant@x.org\nEND:VCARD\nEMAIL:boss@x.org\nEND:VCARD\n",
         {{"Boss", "boss@x.org"}}},
        {"empty", "", {}},
        {"blank lines", "\r\n\r\n", {}},
        {"no BEGIN", "FN:Outside\nEMAIL:outside@x.org\nEND:VCARD\n", {}},
        {"empty card", "BEGIN:VCARD\nEND:VCARD\n", {{"", ""}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Parse(c.text), c.cards) << c.what;
        EXPECT_EQ(ParseInPieces(c.text, 3), c.cards) << c.what;
    }
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

// ---- folded and broken lines -------------------------------------------------------------

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

// ---- large inputs ---------------------------------------------------------------------

TEST(VCardLarge, MegabytesOfHostileShapesStayLinear) {
    const std::size_t size = 4u << 20; // quadratic reading would take hours here
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
    fromNoEnd = Parse(noEnd);
    fromSoft = Parse(softBreaks);
    fromFolded = Parse(folded);
    cVCardParser parser([&](cVCard&&) { ++beginCards; });
    parser.Feed(begins);
    parser.Finish();
    EXPECT_EQ(fromNoEnd, (Cards{{"", ""}})); // the overlong FN is dropped
    EXPECT_EQ(fromSoft, (Cards{{"", ""}}));
    EXPECT_EQ(fromFolded, (Cards{{"Folded", ""}}));
    EXPECT_EQ(beginCards, size / 12 + (size % 12 ? 1 : 0));
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

} // namespace
} // namespace brisa
