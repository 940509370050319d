// The advertising spaces of the main window: the banner and, with the
// ShowZered setting, the two partner buttons, filled by the advertising
// library. Starts and stops the library, creates the ad locations, marks
// them shown or hidden, answers the library's callbacks and passes on the
// window's timer ticks, paints and clicks.
#pragma once

#include "ads/ad_library.h"

#include <cstdint>
#include <string>

class QWidget;

namespace brisa {

class cAniGif;

// The three spaces, in the order their locations are created.
enum class AdSpace { Banner = 0, Button1 = 1, Button2 = 2 };

// The application's name and password the library is started with.
inline constexpr const char* kAdApplication = "brisamail";
inline constexpr const char* kAdPassword = "bR15a6";

// Location kinds and numbers of the three spaces.
inline constexpr int32_t kAdBannerKind = 1;
inline constexpr int32_t kAdButtonKind = 10;
inline constexpr int32_t kAdBannerNumber = 0;
inline constexpr int32_t kAdButton1Number = 5;
inline constexpr int32_t kAdButton2Number = 6;

// The longest picture path the display callback takes.
inline constexpr std::size_t kAdMaxPath = 257;

class cTimesink {
public:
    // pWindow holds the three spaces, the picture controls named
    // "tsBannerAd", "tsZeredButton1" and "tsZeredButton2"; they are looked
    // up when needed, so the window may create them after this object.
    // Without a library advertising never starts.
    cTimesink(IAdLibrary* pLibrary, QWidget* pWindow);
    ~cTimesink();
    cTimesink(const cTimesink&) = delete;
    cTimesink& operator=(const cTimesink&) = delete;

    // True when the library started. Until advertising works the banner's
    // marker holds the banner's own click target (see BannerTarget()).
    bool AdInit();
    // True when every location that is to be shown was created.
    bool AdCreateLocations();
    // True when one location was created and its callbacks set.
    bool AdCreateLocation(AdLocation& pLocation, int32_t pKind, int32_t pNumber);
    // Set or clear bit 0 of a location's status.
    void AdShow(int32_t pHandle);
    void AdHide(int32_t pHandle);
    // Removes the locations and stops the library; the marker gets the
    // banner's own target back.
    void AdShutdown();

    // The window to and from the tray: the banner and, with ShowZered, the
    // two partner buttons are marked shown or hidden.
    void AdShowAll();
    void AdHideAll();
    // One tick of the advertising timer while advertising works.
    void Progress();
    // The window paints: the bridge draws the banner and, with ShowZered,
    // the two buttons.
    void AdDraw();
    // A click on a space, reported to the library.
    void AdClick(AdSpace pSpace);

    // The library's callbacks.
    int32_t DisplayCallback(const char* pPath, intptr_t pUserData);
    int32_t NotifyCallback(intptr_t pEvent, intptr_t pValue, intptr_t pUserData);

    // True between a successful AdInit() and AdShutdown().
    bool IsRunning() const { return m_Running; }
    const AdLocation& Location(AdSpace pSpace) const { return m_Locations[Index(pSpace)]; }
    // The control of a space (null when the window has none).
    cAniGif* Control(AdSpace pSpace) const;
    // What the banner opens while advertising does not work: the help page.
    static std::string BannerTarget();

private:
    static int Index(AdSpace pSpace) { return static_cast<int>(pSpace); }
    static bool ShowZered();
    void SetMarker(const std::string& pText);
    void Hide(AdLocation& pLocation);
    void Destroy(AdLocation& pLocation);

    IAdLibrary* m_Library;
    QWidget* m_Window;
    AdLocation m_Locations[3];
    bool m_Running = false;
};

} // namespace brisa
