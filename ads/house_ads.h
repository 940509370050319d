// The program's own advertising library: it serves the GIF pictures listed
// in ads/ads.txt of the program folder, which tell about BrisaMail's own
// features and help pages.
//
// ads.txt holds one line per picture: the location number, a TAB or blanks,
// the picture file (relative to the ads folder), a TAB or blanks, and the
// click target: an address such as "https://..." or a path relative to the
// program folder, optionally with an anchor ("htm/help.htm#record").
// Lines starting with '#' and empty lines are skipped. When the fields are
// separated by TABs, file names may contain blanks.
//
// Pictures come in the language of the program's texts: a picture is taken
// from the ads folder's sub-folder named by the language table's id
// ("00000407/banner_record.gif") when that file exists, and from the ads
// folder itself (English) otherwise. ads.txt names the English files.
//
// Each location shows the first picture of its number as soon as its
// callbacks are set, and the next one after every 30 ticks of the
// program's one-second timer during which the location is marked shown.
// A click opens the target of the picture shown through the shell.
#pragma once

#include "ads/ad_library.h"

#include <QObject>

#include <map>
#include <string>
#include <vector>

namespace brisa {

class IShell;

class HouseAds : public IAdLibrary {
public:
    // Ticks of CT_MgmtProgress between two pictures of a shown location.
    static constexpr int kRotationTicks = 30;

    // Error codes.
    enum : int16_t {
        kOk = 0,
        kNoAdsList = 1,  // ads.txt is missing or unreadable
        kNoPictures = 2, // ads.txt lists no picture
        kNotStarted = 3, // the call needs a started library
        kBadHandle = 4,  // no such location
        kBadRecord = 5,  // the callback record is malformed
        kBadApplication = 6,
    };

    struct Entry {
        int32_t number = 0;  // the location number
        std::string picture; // as written in ads.txt
        std::string target;  // as written in ads.txt; may be empty
    };

    // pShell opens the click targets (may be null: clicks then open nothing).
    // pAdsFolder holds ads.txt and the pictures; empty means the program
    // folder's "ads". pProgramFolder is where relative click targets are
    // found; empty means the program folder. Both are taken at CT_PushInit.
    explicit HouseAds(IShell* pShell, std::string pAdsFolder = {}, std::string pProgramFolder = {});
    ~HouseAds() override;
    HouseAds(const HouseAds&) = delete;
    HouseAds& operator=(const HouseAds&) = delete;

    // Reads ads.txt text; lines that do not hold a number and a picture are
    // skipped.
    static std::vector<Entry> ParseAdsList(const std::string& pText);

    int16_t CT_PushInit(const std::string& pApplication, const std::string& pPassword,
                        int32_t pMode) override;
    int16_t CT_MgmtInit(const std::string& pApplication, const std::string& pPassword,
                        int32_t pMode) override;
    void CT_PushShutdown() override;
    void CT_MgmtShutdown() override;
    std::string CT_PushGetErrorString(int32_t pCode) override;
    std::string CT_MgmtGetErrorString(int32_t pCode) override;
    std::string CT_PushGetLibError() override;
    std::string CT_MgmtGetLibError() override;
    int32_t CT_MgmtCreateAL3(const int32_t* pKind, int32_t pArg2, int32_t pArg3, int32_t pArg4,
                             int32_t pNumber, int32_t pArg6) override;
    int16_t CT_MgmtSetALCallbacks(int32_t pHandle, const AdCallbackRecord* pRecord) override;
    void CT_MgmtDestroyAL(int32_t pHandle) override;
    uint32_t CT_MgmtGetALStatus(int32_t pHandle) override;
    void CT_MgmtSetALStatus(int32_t pHandle, uint32_t pStatus) override;
    void CT_MgmtALDisplayResult(int32_t pHandle, int32_t pResult) override;
    void CT_MgmtALClick(int32_t pHandle) override;
    void CT_MgmtProgress() override;
    intptr_t GetPointer(const void* pValue) override;
    void CT_Draw(const AdLocation* pLocation) override;
    void AdClick(intptr_t pValue) override;

    // ---- what the library holds ----
    const std::vector<Entry>& Entries() const { return m_Entries; }
    // The full path of the picture a location was last given ("" for none
    // or an unknown handle).
    std::string ShownPicture(int32_t pHandle) const;
    // The last display result a location reported (-1 before the first).
    int32_t LastResult(int32_t pHandle) const;
    // Clicks passed on by the bridge for a location.
    int Clicks(int32_t pHandle) const;
    // What a click on an entry opens: an address as it is, a relative path
    // below the program folder; a path with an anchor as a file:// address.
    std::string ClickTarget(const Entry& pEntry) const;

private:
    struct Location {
        int32_t kind = 0;
        int32_t number = 0;
        uint32_t status = 0;
        bool hasCallbacks = false;
        AdCallbackRecord callbacks;
        int ticks = 0;
        int current = -1; // index into m_Entries of the picture shown
        std::string shownPath;
        int32_t lastResult = -1;
    };

    std::vector<int> PicturesOf(int32_t pNumber) const;
    // The full path of a picture named in ads.txt, in the program's language
    // when there is a picture for it.
    std::string PicturePath(const std::string& pPicture) const;
    void Show(int32_t pHandle, int pEntry);
    Location* Find(int32_t pHandle);
    const Location* Find(int32_t pHandle) const;
    int16_t Fail(int16_t pCode, const std::string& pDetail);

    IShell* m_Shell;
    std::string m_AdsFolderSetting;
    std::string m_ProgramFolderSetting;
    std::string m_AdsFolder;
    std::string m_ProgramFolder;
    std::string m_Language; // the language table's id, taken at CT_PushInit
    std::vector<Entry> m_Entries;
    bool m_PushStarted = false;
    bool m_MgmtStarted = false;
    std::map<int32_t, Location> m_Locations;
    std::map<int32_t, int> m_Clicks;
    int32_t m_NextHandle = 1;
    std::string m_LastError;
    // Owns the pending first pictures: they are dropped with the library.
    QObject m_Pending;
};

} // namespace brisa
