#include "ads/house_ads.h"

#include "language/translation.h"
#include "platform/program_folder.h"
#include "platform/shell.h"

#include <QTimer>
#include <QUrl>

#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace brisa {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string Trim(const std::string& pText) {
    size_t begin = 0, end = pText.size();
    while (begin < end && IsBlank(pText[begin]))
        ++begin;
    while (end > begin && IsBlank(pText[end - 1]))
        --end;
    return pText.substr(begin, end - begin);
}

// Splits a line into its fields: at TABs when it holds one, otherwise at
// runs of blanks. The last field keeps the rest of the line.
std::vector<std::string> Fields(const std::string& pLine, size_t pCount) {
    std::vector<std::string> fields;
    const bool tabs = pLine.find('\t') != std::string::npos;
    size_t at = 0;
    while (at < pLine.size() && fields.size() < pCount) {
        while (at < pLine.size() &&
               (tabs ? pLine[at] == '\t' || pLine[at] == ' ' : IsBlank(pLine[at])))
            ++at;
        if (at >= pLine.size())
            break;
        if (fields.size() + 1 == pCount) {
            fields.push_back(Trim(pLine.substr(at)));
            break;
        }
        size_t end = at;
        while (end < pLine.size() && (tabs ? pLine[end] != '\t' : !IsBlank(pLine[end])))
            ++end;
        fields.push_back(Trim(pLine.substr(at, end - at)));
        at = end;
    }
    return fields;
}

// "https:", "mailto:" and the like; a single letter would be a drive.
bool HasScheme(const std::string& pText) {
    const size_t colon = pText.find(':');
    if (colon == std::string::npos || colon < 2)
        return false;
    if (!std::isalpha(static_cast<unsigned char>(pText[0])))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(pText[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

std::string Join(const std::string& pFolder, const std::string& pRelative) {
    if (!pRelative.empty() && pRelative.front() == '/')
        return pRelative;
    std::string relative = pRelative;
    while (relative.size() > 1 && relative.compare(0, 2, "./") == 0)
        relative.erase(0, 2);
    return pFolder + "/" + relative;
}

const char* ErrorText(int32_t pCode) {
    switch (pCode) {
    case HouseAds::kOk:
        return "no error";
    case HouseAds::kNoAdsList:
        return "the list of pictures (ads.txt) cannot be read";
    case HouseAds::kNoPictures:
        return "the list of pictures (ads.txt) names no picture";
    case HouseAds::kNotStarted:
        return "the advertising library is not started";
    case HouseAds::kBadHandle:
        return "no such ad location";
    case HouseAds::kBadRecord:
        return "the callback record is malformed";
    case HouseAds::kBadApplication:
        return "no application name";
    default:
        return "unknown error";
    }
}

} // namespace

HouseAds::HouseAds(IShell* pShell, std::string pAdsFolder, std::string pProgramFolder)
    : m_Shell(pShell), m_AdsFolderSetting(std::move(pAdsFolder)),
      m_ProgramFolderSetting(std::move(pProgramFolder)) {}

HouseAds::~HouseAds() = default;

std::vector<HouseAds::Entry> HouseAds::ParseAdsList(const std::string& pText) {
    std::vector<Entry> entries;
    std::string text = pText;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty() || line.front() == '#')
            continue;
        const std::vector<std::string> fields = Fields(line, 3);
        if (fields.size() < 2 || fields[1].empty())
            continue;
        Entry entry;
        const std::string& number = fields[0];
        const auto [end, error] =
            std::from_chars(number.data(), number.data() + number.size(), entry.number);
        if (error != std::errc() || end != number.data() + number.size() || entry.number < 0)
            continue;
        entry.picture = fields[1];
        if (fields.size() > 2)
            entry.target = fields[2];
        entries.push_back(std::move(entry));
    }
    return entries;
}

int16_t HouseAds::Fail(int16_t pCode, const std::string& pDetail) {
    m_LastError = ErrorText(pCode);
    if (!pDetail.empty())
        m_LastError += ": " + pDetail;
    return pCode;
}

// ---- start and stop -----------------------------------------------------------------

int16_t HouseAds::CT_PushInit(const std::string& pApplication, const std::string& pPassword,
                              int32_t pMode) {
    (void)pPassword;
    (void)pMode;
    if (m_PushStarted)
        return kOk;
    if (pApplication.empty())
        return Fail(kBadApplication, "");
    m_ProgramFolder = m_ProgramFolderSetting.empty() ? ProgramFolder() : m_ProgramFolderSetting;
    m_AdsFolder = m_AdsFolderSetting.empty() ? m_ProgramFolder + "/ads" : m_AdsFolderSetting;
    while (m_AdsFolder.size() > 1 && m_AdsFolder.back() == '/')
        m_AdsFolder.pop_back();
    const std::string list = m_AdsFolder + "/ads.txt";
    std::ifstream file(list, std::ios::binary);
    std::ostringstream bytes;
    if (file)
        bytes << file.rdbuf();
    if (!file || file.bad())
        return Fail(kNoAdsList, list);
    m_Language = gLanguageId;
    m_Entries = ParseAdsList(bytes.str());
    if (m_Entries.empty())
        return Fail(kNoPictures, list);
    m_PushStarted = true;
    m_LastError.clear();
    return kOk;
}

int16_t HouseAds::CT_MgmtInit(const std::string& pApplication, const std::string& pPassword,
                              int32_t pMode) {
    (void)pPassword;
    (void)pMode;
    if (pApplication.empty())
        return Fail(kBadApplication, "");
    if (!m_PushStarted)
        return Fail(kNotStarted, "CT_PushInit first");
    m_MgmtStarted = true;
    return kOk;
}

void HouseAds::CT_PushShutdown() {
    CT_MgmtShutdown();
    m_PushStarted = false;
    m_Entries.clear();
}

void HouseAds::CT_MgmtShutdown() {
    m_MgmtStarted = false;
    m_Locations.clear();
}

std::string HouseAds::CT_PushGetErrorString(int32_t pCode) {
    return ErrorText(pCode);
}
std::string HouseAds::CT_MgmtGetErrorString(int32_t pCode) {
    return ErrorText(pCode);
}
std::string HouseAds::CT_PushGetLibError() {
    return m_LastError;
}
std::string HouseAds::CT_MgmtGetLibError() {
    return m_LastError;
}

// ---- locations ------------------------------------------------------------------------

HouseAds::Location* HouseAds::Find(int32_t pHandle) {
    const auto it = m_Locations.find(pHandle);
    return it == m_Locations.end() ? nullptr : &it->second;
}

const HouseAds::Location* HouseAds::Find(int32_t pHandle) const {
    const auto it = m_Locations.find(pHandle);
    return it == m_Locations.end() ? nullptr : &it->second;
}

std::string HouseAds::PicturePath(const std::string& pPicture) const {
    // An absolute path is taken as it stands.
    if (!m_Language.empty() && !pPicture.empty() && pPicture.front() != '/') {
        const std::string translated = Join(m_AdsFolder + "/" + m_Language, pPicture);
        std::error_code error;
        if (std::filesystem::is_regular_file(translated, error))
            return translated;
    }
    return Join(m_AdsFolder, pPicture);
}

std::vector<int> HouseAds::PicturesOf(int32_t pNumber) const {
    std::vector<int> pictures;
    for (size_t i = 0; i < m_Entries.size(); ++i)
        if (m_Entries[i].number == pNumber)
            pictures.push_back(static_cast<int>(i));
    return pictures;
}

int32_t HouseAds::CT_MgmtCreateAL3(const int32_t* pKind, int32_t pArg2, int32_t pArg3,
                                   int32_t pArg4, int32_t pNumber, int32_t pArg6) {
    (void)pArg2;
    (void)pArg3;
    (void)pArg4;
    (void)pArg6;
    if (!m_MgmtStarted) {
        Fail(kNotStarted, "");
        return -1;
    }
    if (!pKind) {
        Fail(kBadRecord, "no location kind");
        return -1;
    }
    const int32_t handle = m_NextHandle++;
    Location& location = m_Locations[handle];
    location.kind = *pKind;
    location.number = pNumber;
    return handle;
}

int16_t HouseAds::CT_MgmtSetALCallbacks(int32_t pHandle, const AdCallbackRecord* pRecord) {
    if (!m_MgmtStarted)
        return Fail(kNotStarted, "");
    Location* location = Find(pHandle);
    if (!location)
        return Fail(kBadHandle, std::to_string(pHandle));
    if (!pRecord || pRecord->size != kAdCallbackRecordSize ||
        ((pRecord->mask & (1u << kAdDisplaySlot)) && !pRecord->display) ||
        ((pRecord->mask & (1u << kAdNotifySlot)) && !pRecord->notify))
        return Fail(kBadRecord, "");
    location->callbacks = *pRecord;
    location->hasCallbacks = true;
    location->ticks = 0;

    // The location's first picture follows as soon as the program is back
    // in its event loop.
    const std::vector<int> pictures = PicturesOf(location->number);
    if (!pictures.empty()) {
        const int first = pictures.front();
        QTimer::singleShot(0, &m_Pending, [this, pHandle, first] {
            const Location* target = Find(pHandle);
            if (target && target->hasCallbacks && target->current < 0)
                Show(pHandle, first);
        });
    }
    return kOk;
}

void HouseAds::CT_MgmtDestroyAL(int32_t pHandle) {
    m_Locations.erase(pHandle);
}

uint32_t HouseAds::CT_MgmtGetALStatus(int32_t pHandle) {
    const Location* location = Find(pHandle);
    return location ? location->status : 0;
}

void HouseAds::CT_MgmtSetALStatus(int32_t pHandle, uint32_t pStatus) {
    if (Location* location = Find(pHandle))
        location->status = pStatus;
}

void HouseAds::CT_MgmtALDisplayResult(int32_t pHandle, int32_t pResult) {
    if (Location* location = Find(pHandle))
        location->lastResult = pResult;
}

// Hands the picture pEntry to a location's display callback.
void HouseAds::Show(int32_t pHandle, int pEntry) {
    Location* location = Find(pHandle);
    if (!location || pEntry < 0 || pEntry >= static_cast<int>(m_Entries.size()))
        return;
    location->current = pEntry;
    location->ticks = 0;
    location->shownPath = PicturePath(m_Entries[static_cast<size_t>(pEntry)].picture);
    if (!location->hasCallbacks || !(location->callbacks.mask & (1u << kAdDisplaySlot)))
        return;
    // Copies: the callback may call back into the library.
    const AdDisplayCallback display = location->callbacks.display;
    const intptr_t userData = location->callbacks.displayData;
    const std::string path = location->shownPath;
    display(path.c_str(), userData);
}

void HouseAds::CT_MgmtProgress() {
    if (!m_MgmtStarted)
        return;
    std::vector<std::pair<int32_t, int>> due;
    for (auto& [handle, location] : m_Locations) {
        // A location off screen waits; its picture stays.
        if (!(location.status & kAdStatusShown) || !location.hasCallbacks)
            continue;
        if (++location.ticks < kRotationTicks)
            continue;
        location.ticks = 0;
        const std::vector<int> pictures = PicturesOf(location.number);
        if (pictures.empty())
            continue;
        int next = pictures.front();
        for (size_t i = 0; i < pictures.size(); ++i) {
            if (pictures[i] == location.current) {
                next = pictures[(i + 1) % pictures.size()];
                break;
            }
        }
        // One picture only: it stays as it is.
        if (next == location.current)
            continue;
        due.emplace_back(handle, next);
    }
    for (const auto& [handle, entry] : due)
        Show(handle, entry);
}

void HouseAds::CT_MgmtALClick(int32_t pHandle) {
    const Location* location = Find(pHandle);
    if (!location || location->current < 0)
        return;
    const std::string target = ClickTarget(m_Entries[static_cast<size_t>(location->current)]);
    const bool notify =
        location->hasCallbacks && (location->callbacks.mask & (1u << kAdNotifySlot));
    const AdNotifyCallback callback = notify ? location->callbacks.notify : AdNotifyCallback();
    const intptr_t userData = location->callbacks.notifyData;
    if (!target.empty() && m_Shell)
        m_Shell->Open(target, m_ProgramFolder);
    if (callback)
        callback(kAdNotifyClick, pHandle, userData);
}

std::string HouseAds::ClickTarget(const Entry& pEntry) const {
    const std::string target = Trim(pEntry.target);
    if (target.empty() || HasScheme(target))
        return target;
    const std::string folder = m_ProgramFolder.empty() ? ProgramFolder() : m_ProgramFolder;
    const size_t hash = target.find('#');
    if (hash == std::string::npos)
        return Join(folder, target);
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(Join(folder, target.substr(0, hash))));
    url.setFragment(QString::fromStdString(target.substr(hash + 1)));
    return url.toString(QUrl::FullyEncoded).toStdString();
}

// ---- the bridge -------------------------------------------------------------------------

intptr_t HouseAds::GetPointer(const void* pValue) {
    return reinterpret_cast<intptr_t>(pValue);
}

// The picture controls draw themselves.
void HouseAds::CT_Draw(const AdLocation* pLocation) {
    (void)pLocation;
}

void HouseAds::AdClick(intptr_t pValue) {
    ++m_Clicks[static_cast<int32_t>(pValue)];
}

// ---- what the library holds ---------------------------------------------------------------

std::string HouseAds::ShownPicture(int32_t pHandle) const {
    const Location* location = Find(pHandle);
    return location ? location->shownPath : std::string();
}

int32_t HouseAds::LastResult(int32_t pHandle) const {
    const Location* location = Find(pHandle);
    return location ? location->lastResult : -1;
}

int HouseAds::Clicks(int32_t pHandle) const {
    const auto it = m_Clicks.find(pHandle);
    return it == m_Clicks.end() ? 0 : it->second;
}

} // namespace brisa
