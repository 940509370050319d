// The vCard reader over cards of every version and over hostile bytes, and
// the contact store over vCard folders in the vdir layout.
#include "platform/linux/vcard_contacts.h"
#include "platform/vcard.h"

#include "tests/support/temp_env.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace brisa {
namespace {

using test::WriteFile;

// Each card as "name <address>; ".
std::string Text(const cVCard& pCard) {
    return pCard.Name + " <" + pCard.Email + ">; ";
}

// The input whole (pStep 0) or fed in pieces of pStep bytes.
std::string Parse(std::string_view pText, std::size_t pStep) {
    std::string cards;
    if (!pStep) {
        for (const cVCard& card : ParseVCards(pText))
            cards += Text(card);
        return cards;
    }
    cVCardParser parser([&](cVCard&& pCard) { cards += Text(pCard); });
    for (std::size_t i = 0; i < pText.size(); i += pStep)
        parser.Feed(pText.substr(i, pStep));
    parser.Finish();
    return cards;
}

TEST(VCard, Cards) {
    // Every way of marking the preferred address; "best" is neither the
    // first nor the last.
    std::string preferred, best;
    for (const std::string form :
         {"2.1 EMAIL;INTERNET;PREF", "2.1 EMAIL;PREF;INTERNET", "3.0 EMAIL;TYPE=INTERNET,PREF",
          "3.0 EMAIL;type=internet;type=pref", "3.0 item3.EMAIL;type=INTERNET;type=pref",
          "4.0 EMAIL;PREF=1", "4.0 EMAIL;TYPE=work;PREF=1", "4.0 EMAIL;TYPE=\"work,pref\"",
          "4.0 email;pref=1"}) {
        preferred += "BEGIN:VCARD\nVERSION:" + form.substr(0, 3) +
                     "\nFN:P\nEMAIL;TYPE=INTERNET:first@x.org\n" + form.substr(4) +
                     ":best@x.org\nEMAIL:last@x.org\nEND:VCARD\n";
        best += "P <best@x.org>; ";
    }
    // Junk, an overlong line and an overlong folded photo around a card.
    std::string junk, hostile;
    for (int i = 0; i < 100000; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    hostile = junk + "\nBEGIN:VCARD\nVERSION:3.0\nFN:After Junk\nPHOTO;ENCODING=b:" +
              std::string(200000, 'A') + "\n";
    for (int i = 0; i < 5000; ++i)
        hostile += " " + std::string(74, 'B') + "\n";
    hostile +=
        "NOTE:" + std::string(kMaxVCardLine + 10, 'n') + "\nEMAIL:a@x.org\nEND:VCARD\n" + junk;

    struct Case {
        const char* what;
        std::string text;
        std::string cards;
    };
    const std::vector<Case> cases = {
        {"2.1 quoted-printable, charsets, soft break",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Hans "
         "M=FC=\r\nller\r\nEMAIL;INTERNET:hans@example.de\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=UTF-8;QUOTED-PRINTABLE:Zo=C3=AB =3D Zoe\r\n"
         "END:VCARD\r\nBEGIN:VCARD\rVERSION:2.1\rFN;ENCODING=QUOTED-PRINTABLE:A=\rB=\rC\rEND:"
         "VCARD\r",
         "Hans M\xC3\xBCller <hans@example.de>; Zo\xC3\xAB = Zoe <>; ABC <>; "},
        {"names from N",
         "BEGIN:VCARD\nVERSION:3.0\nN:Smith;John;Q.;Dr.;Jr.\nEMAIL:j@x.org\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:3.0\nFN:\nN:Solo;;;;\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:3.0\nN:Doe\\, Jr.;Jane,Mary;;;\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;Hans\n"
         "END:VCARD\nBEGIN:VCARD\nVERSION:3.0\nEMAIL:anonymous@x.org\nEND:VCARD\n",
         "John Smith <j@x.org>; Solo <>; Jane Mary Doe, Jr. <>; Hans M\xC3\xBCller <>;  "
         "<anonymous@x.org>; "},
        {"escapes from 3.0 on",
         "BEGIN:VCARD\nVERSION:3.0\nFN:Doe\\, Jane \\; Co \\\\ Ltd\\nSales\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:2.1\nFN:C:\\new\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:2.1\nN:Semi\\;colon;Ed\nEND:VCARD\n",
         "Doe, Jane ; Co \\ Ltd Sales <>; C:\\new <>; Ed Semi;colon <>; "},
        {"UTF-8 without control characters",
         "\xEF\xBB\xBF"
         "BEGIN:VCARD\nVERSION:3.0\nFN:Ren\xE9\tDupont\nEMAIL: rene@example.fr \nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:3.0\nFN;ENCODING=b:Sm9zw6k=\nEMAIL:mailto:jose@x.org\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:2.1\nFN;CHARSET=WINDOWS-1252:\x80uro\nEND:VCARD\n",
         "Ren\xC3\xA9 Dupont <rene@example.fr>; Jos\xC3\xA9 <jose@x.org>; \xE2\x82\xACuro <>; "},
        {"which address",
         "BEGIN:VCARD\nVERSION:3.0\nFN:A\nEMAIL:\nEMAIL;TYPE=WORK:one@x.org\nEMAIL:two@x.org\n"
         "END:VCARD\nBEGIN:VCARD\nVERSION:4.0\nFN:B\nEMAIL;PREF=50:one@x.org\n"
         "EMAIL;PREF=2:two@x.org\nEMAIL;PREF=9:three@x.org\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:4.0\nFN:C\nEMAIL;PREF=1:one@x.org\nEMAIL;PREF=1:two@x.org\n"
         "END:VCARD\nBEGIN:VCARD\nVERSION:3.0\nFN:D\nTEL:123\nEMAIL:\nEND:VCARD\n",
         "A <one@x.org>; B <two@x.org>; C <one@x.org>; D <>; "},
        {"preference forms", preferred, best},
        {"folded lines",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Maximilian Alexan\r\n "
         "der\r\nEMAIL:max@exam\n\tple.org\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Maximilian\r\n Alexander\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\nVERSION:3.0\nFN:F\nEMAIL;TYPE=INTERNET,\n PREF:p@x.org\nEMAIL:q@x.org\n"
         "END:VCARD\nBEGIN:VCARD\rVERSION:3.0\rFN:Old\r Mac\rEMAIL;TYPE=X:\r q@x.org\rEND:VCARD\r",
         "Maximilian Alexander <max@example.org>; Maximilian Alexander <>; F <p@x.org>; OldMac "
         "<q@x.org>; "},
        {"broken cards",
         "junk before any card\nBEGIN:VCARD\nVERSION:3.0\nFN:No End\nEMAIL:noend@x.org\n"
         "BEGIN:VCARD\nVERSION:2.1\nno colon\nFN;ENCODING=QUOTED-PRINTABLE:Broken=\nEND:VCARD\n"
         "garbage between cards\nBEGIN:VCARD\nVERSION:3.0\nFN:Last\nEMAIL:last@x.org",
         "No End <noend@x.org>; Broken <>; Last <last@x.org>; "},
        {"an agent's card inside 2.1",
         "BEGIN:VCARD\nVERSION:2.1\nFN:Boss\nAGENT:\nBEGIN:VCARD\nVERSION:2.1\nFN:Assistant\n"
         "EMAIL:assistant@x.org\nEND:VCARD\nEMAIL:boss@x.org\nEND:VCARD\n",
         "Boss <boss@x.org>; "},
        {"no card", "\r\n\r\nFN:Outside\nEMAIL:outside@x.org\nEND:VCARD\n", ""},
        {"empty card", "BEGIN:VCARD\nEND:VCARD\n", " <>; "},
        {"junk and overlong lines", hostile, "After Junk <a@x.org>; "},
    };
    for (const auto& c : cases)
        for (std::size_t step : {0, 1, 2, 3, 7})
            EXPECT_EQ(Parse(c.text, step), c.cards) << c.what << ", pieces of " << step;
}

// Megabytes of shapes that would take hours to read if the work grew with
// the square of the input: one endless line, endless soft line breaks,
// folded lines and BEGIN lines.
TEST(VCard, HostileMegabytes) {
    const std::size_t size = 2u << 20;
    std::string soft =
        "BEGIN:VCARD\nX-" + std::string(60000, 'N') + ";ENCODING=QUOTED-PRINTABLE:=\n";
    std::string folded = "BEGIN:VCARD\nVERSION:3.0\nFN:Folded\nPHOTO:", begins;
    while (soft.size() < size)
        soft += "=\n";
    while (folded.size() < size)
        folded += "\n A";
    while (begins.size() < size)
        begins += "BEGIN:VCARD\n";
    EXPECT_EQ(Parse("BEGIN:VCARD\nFN:" + std::string(size, 'x'), 0), " <>; ");
    EXPECT_EQ(Parse(soft + "\nEND:VCARD\n", 0), " <>; ");
    EXPECT_EQ(Parse(folded + "\nEND:VCARD\n", 0), "Folded <>; ");
    EXPECT_EQ(Parse(begins, 0).size(), (size / 12 + 1) * std::string(" <>; ").size());
}

std::string CardText(const std::string& pName, const std::string& pEmail) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + pName + "\r\nEMAIL:" + pEmail +
           "\r\nEND:VCARD\r\n";
}

TEST(VCard, VdirFolders) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString() + "/contacts";
    EXPECT_FALSE(VCardContacts(root).GetApplication()); // no root yet
    // More cards in one file than the reader takes in at a time.
    std::string many, friends;
    for (int i = 0; i < 2000; ++i) {
        many += CardText("N" + std::to_string(i), "");
        friends += "N" + std::to_string(i) + " <>; ";
    }
    for (const auto& [file, text] : std::vector<std::pair<std::string, std::string>>{
             {"personal/displayname", "  Personal Contacts  \nsecond line ignored\n"},
             {"personal/b.vcf", CardText("Bea", "bea@x.org")},
             {"personal/a.vcf", CardText("Al", "al@x.org") + CardText("Ann", "")},
             {"personal/friends/displayname", "Friends"},
             {"personal/friends/2.vcf", CardText("Zed", "zed@x.org")},
             {"personal/friends/1.VCF", many},
             {"personal/calendar/event.ics", "BEGIN:VCALENDAR\nEND:VCALENDAR\n"},
             {"personal/.hidden/x.vcf", CardText("Hidden", "")},
             {".hidden/x.vcf", CardText("Hidden", "")},
             {"work/team/u.vcf", CardText("Uma", "")},
             {"file", ""}})
        WriteFile(root + "/" + file, text);
    EXPECT_FALSE(VCardContacts(root + "/file").GetApplication());
    const auto app = VCardContacts(root).GetApplication();
    ASSERT_TRUE(app);
    EXPECT_FALSE(app->GetNameSpace("OTHER"));
    const auto ns = app->GetNameSpace("mapi");
    ASSERT_TRUE(ns && ns->Logon("", "", true, true));

    // Stores; a store's folders (its own cards first; type 2 holds
    // contacts); a folder's items (the cards of its files in name order).
    std::vector<std::string> stores;
    ASSERT_TRUE(ns->Folders(stores));
    EXPECT_EQ(stores, (std::vector<std::string>{"Personal Contacts", "work"}));
    const auto folders = [&](const std::string& pStore) {
        std::vector<ContactFolderInfo> list;
        std::string out = ns->StoreFolders(pStore, list) ? "" : "<none>";
        for (const ContactFolderInfo& f : list)
            out += std::to_string(f.DefaultItemType) + " " + f.Name + "; ";
        return out;
    };
    const auto items = [&](const std::string& pStore, const std::string& pFolder) {
        std::vector<ContactItemInfo> list;
        std::string out = ns->FolderItems(pStore, pFolder, list) ? "" : "<none>";
        for (const ContactItemInfo& i : list)
            out += i.Subject + " <" + i.email1address + ">; ";
        return out;
    };
    EXPECT_EQ(folders("Personal Contacts"), "2 Personal Contacts; 0 calendar; 2 Friends; ");
    EXPECT_EQ(folders("work"), "2 team; ");
    EXPECT_EQ(folders("nobody"), "<none>");
    EXPECT_EQ(items("Personal Contacts", "Personal Contacts"),
              "Al <al@x.org>; Ann <>; Bea <bea@x.org>; ");
    EXPECT_EQ(items("Personal Contacts", "Friends"), friends + "Zed <zed@x.org>; ");
    EXPECT_EQ(items("Personal Contacts", "calendar"), "");
    EXPECT_EQ(items("Personal Contacts", "nothing"), "<none>");
    EXPECT_EQ(items("nobody", "Friends"), "<none>");
}

} // namespace
} // namespace brisa
