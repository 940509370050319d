#include "ads/timesink.h"

#include "common/globals.h"
#include "platform/program_folder.h"
#include "settings/registry.h"
#include "skin/anigif.h"

#include <QWidget>

#include <cmath>
#include <cstring>

namespace brisa {

namespace {

const char* const kControlNames[3] = {"tsBannerAd", "tsZeredButton1", "tsZeredButton2"};

} // namespace

cTimesink::cTimesink(IAdLibrary* pLibrary, QWidget* pWindow)
    : m_Library(pLibrary), m_Window(pWindow) {}

cTimesink::~cTimesink() = default;

std::string cTimesink::BannerTarget() {
    return ProgramPath("/htm/help.htm");
}

bool cTimesink::ShowZered() {
    return gRegistry && gRegistry->ShowZered();
}

cAniGif* cTimesink::Control(AdSpace pSpace) const {
    if (!m_Window)
        return nullptr;
    return m_Window->findChild<cAniGif*>(kControlNames[Index(pSpace)], Qt::FindDirectChildrenOnly);
}

void cTimesink::SetMarker(const std::string& pText) {
    if (cAniGif* banner = Control(AdSpace::Banner))
        banner->Tag = pText;
}

// ---- start and stop ----------------------------------------------------------------

bool cTimesink::AdInit() {
    // Until the library and its locations are ready the banner is the
    // program's own, and so is its click.
    if (m_Running)
        return true;
    SetMarker(BannerTarget());
    if (!m_Library)
        return false;
    const int16_t push = m_Library->CT_PushInit(kAdApplication, kAdPassword, 1);
    if (push != 0) {
        (void)m_Library->CT_PushGetErrorString(push);
        (void)m_Library->CT_PushGetLibError();
        return false;
    }
    const int16_t mgmt = m_Library->CT_MgmtInit(kAdApplication, kAdPassword, 1);
    if (mgmt != 0) {
        m_Library->CT_PushShutdown();
        (void)m_Library->CT_MgmtGetErrorString(mgmt);
        (void)m_Library->CT_MgmtGetLibError();
        return false;
    }
    m_Running = true;
    return true;
}

bool cTimesink::AdCreateLocations() {
    if (!m_Running)
        return false;

    // The banner and the partner buttons keep the frames the window gave
    // them; on a large-font display their pictures are stretched to fill them.
    AdLocation& banner = m_Locations[Index(AdSpace::Banner)];
    banner.window = Control(AdSpace::Banner);
    banner.id = m_Library->GetPointer(&banner);
    if (!AdCreateLocation(banner, kAdBannerKind, kAdBannerNumber))
        return false;

    if (!ShowZered()) {
        // The partner buttons go out of sight.
        for (AdSpace space : {AdSpace::Button1, AdSpace::Button2}) {
            if (cAniGif* button = Control(space)) {
                if (m_Window)
                    button->move(m_Window->width(), m_Window->height());
                button->setVisible(false);
            }
        }
        return true;
    }

    for (AdSpace space : {AdSpace::Button1, AdSpace::Button2}) {
        AdLocation& location = m_Locations[Index(space)];
        location.window = Control(space);
        location.id = m_Library->GetPointer(&location);
        const int32_t number = space == AdSpace::Button1 ? kAdButton1Number : kAdButton2Number;
        if (!AdCreateLocation(location, kAdButtonKind, number))
            return false;
    }
    return true;
}

bool cTimesink::AdCreateLocation(AdLocation& pLocation, int32_t pKind, int32_t pNumber) {
    if (!m_Running)
        return false;
    const int32_t kind = pKind;
    pLocation.handle = m_Library->CT_MgmtCreateAL3(&kind, 1, 1, 2, pNumber, 0);
    if (pLocation.handle == -1) {
        (void)m_Library->CT_MgmtGetLibError();
        return false;
    }

    AdCallbackRecord record;
    record.size = kAdCallbackRecordSize;
    record.mask = 1u << kAdDisplaySlot | 1u << kAdNotifySlot;
    record.display = [this](const char* pPath, intptr_t pUserData) {
        return DisplayCallback(pPath, pUserData);
    };
    record.displayData = pLocation.id;
    record.notify = [this](intptr_t pEvent, intptr_t pValue, intptr_t pUserData) {
        return NotifyCallback(pEvent, pValue, pUserData);
    };
    record.notifyData = pLocation.id;
    const int16_t result = m_Library->CT_MgmtSetALCallbacks(pLocation.handle, &record);
    if (result != 0) {
        m_Library->CT_MgmtDestroyAL(pLocation.handle);
        pLocation.handle = -1;
        (void)m_Library->CT_MgmtGetErrorString(result);
        (void)m_Library->CT_MgmtGetLibError();
        return false;
    }
    AdShow(pLocation.handle);
    return true;
}

void cTimesink::AdShow(int32_t pHandle) {
    if (!m_Running || pHandle == -1)
        return;
    m_Library->CT_MgmtSetALStatus(pHandle, m_Library->CT_MgmtGetALStatus(pHandle) | kAdStatusShown);
}

void cTimesink::AdHide(int32_t pHandle) {
    if (!m_Running || pHandle == -1)
        return;
    m_Library->CT_MgmtSetALStatus(pHandle,
                                  m_Library->CT_MgmtGetALStatus(pHandle) & ~kAdStatusShown);
}

void cTimesink::Hide(AdLocation& pLocation) {
    AdHide(pLocation.handle);
}

void cTimesink::Destroy(AdLocation& pLocation) {
    if (pLocation.handle == -1)
        return;
    m_Library->CT_MgmtDestroyAL(pLocation.handle);
    pLocation.handle = -1;
}

void cTimesink::AdShutdown() {
    // Only a library that started is stopped, and only once.
    if (!m_Running)
        return;
    AdLocation& banner = m_Locations[Index(AdSpace::Banner)];
    Hide(banner);
    Destroy(banner);
    if (ShowZered()) {
        for (AdSpace space : {AdSpace::Button1, AdSpace::Button2}) {
            Hide(m_Locations[Index(space)]);
            Destroy(m_Locations[Index(space)]);
        }
    }
    m_Library->CT_MgmtShutdown();
    m_Library->CT_PushShutdown();
    m_Running = false;
    SetMarker(BannerTarget());
}

// ---- the window's side ---------------------------------------------------------------

void cTimesink::AdShowAll() {
    AdShow(m_Locations[Index(AdSpace::Banner)].handle);
    if (ShowZered()) {
        AdShow(m_Locations[Index(AdSpace::Button1)].handle);
        AdShow(m_Locations[Index(AdSpace::Button2)].handle);
    }
}

void cTimesink::AdHideAll() {
    AdHide(m_Locations[Index(AdSpace::Banner)].handle);
    if (ShowZered()) {
        AdHide(m_Locations[Index(AdSpace::Button1)].handle);
        AdHide(m_Locations[Index(AdSpace::Button2)].handle);
    }
}

void cTimesink::Progress() {
    if (m_Running)
        m_Library->CT_MgmtProgress();
}

void cTimesink::AdDraw() {
    if (!m_Running)
        return;
    m_Library->CT_Draw(&m_Locations[Index(AdSpace::Banner)]);
    if (ShowZered()) {
        m_Library->CT_Draw(&m_Locations[Index(AdSpace::Button1)]);
        m_Library->CT_Draw(&m_Locations[Index(AdSpace::Button2)]);
    }
}

void cTimesink::AdClick(AdSpace pSpace) {
    const int32_t handle = m_Locations[Index(pSpace)].handle;
    if (m_Running && handle != -1)
        m_Library->CT_MgmtALClick(handle);
}

// ---- callbacks -------------------------------------------------------------------------

int32_t cTimesink::DisplayCallback(const char* pPath, intptr_t pUserData) {
    if (pUserData <= 0)
        return -1;
    std::string path;
    if (pPath)
        path.assign(pPath, strnlen(pPath, kAdMaxPath));
    if (path.empty())
        return 0;

    int32_t handle = 0;
    bool failed = false;
    for (AdSpace space : {AdSpace::Banner, AdSpace::Button1, AdSpace::Button2}) {
        const AdLocation& location = m_Locations[Index(space)];
        if (location.id == 0 || location.id != pUserData)
            continue;
        handle = location.handle;
        cAniGif* control = Control(space);
        if (!control) {
            failed = true;
            break;
        }
        control->Stop();
        // A picture that cannot be read leaves the one before it, which
        // goes on playing; the library hears that this one was not shown.
        if (!control->LoadFile(path))
            failed = true;
        control->Start();
        break;
    }
    if (m_Library)
        m_Library->CT_MgmtALDisplayResult(handle, failed ? kAdNotShown : kAdShown);
    return failed ? -1 : 0;
}

int32_t cTimesink::NotifyCallback(intptr_t pEvent, intptr_t pValue, intptr_t pUserData) {
    (void)pEvent;
    (void)pUserData;
    if (m_Library)
        m_Library->AdClick(pValue);
    return 0;
}

} // namespace brisa
