// The advertising library the main window's ad spaces are filled by, and the
// small bridge that comes with it. The program starts the library, creates
// one ad location per space, hands each location a callback record, drives
// the library from a one-second timer and reports clicks; the library tells
// the program through the display callback which picture to show where.
//
// Texts passed across (paths, names, error texts) are UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace brisa {

// One advertising space as the program and the bridge know it.
struct AdLocation {
    // The record's own address (IAdLibrary::GetPointer); the library hands it
    // back to the callbacks as user data.
    intptr_t id = 0;
    // The space's control (opaque to the library).
    const void* window = nullptr;
    // Left to the bridge.
    intptr_t reserved1 = 0;
    intptr_t reserved2 = 0;
    // The library's handle of the location; -1 when there is none.
    int32_t handle = -1;
};

// Display callback: show the picture file pPath (NUL-terminated) in the
// location whose record id is pUserData. Returns 0 when shown, -1 otherwise.
using AdDisplayCallback = std::function<int32_t(const char* pPath, intptr_t pUserData)>;

// Notify callback: the library reports an event (pEvent) with a value
// (pValue) for the location whose record id is pUserData. Returns 0.
using AdNotifyCallback =
    std::function<int32_t(intptr_t pEvent, intptr_t pValue, intptr_t pUserData)>;

inline constexpr uint32_t kAdCallbackRecordSize = 56;
inline constexpr int kAdDisplaySlot = 0;
inline constexpr int kAdNotifySlot = 4;
// Events of the notify callback.
inline constexpr intptr_t kAdNotifyClick = 1;

// The callback record handed to CT_MgmtSetALCallbacks: its size, a mask of
// the filled slots (bit n for slot n) and the slots themselves. Slot 0 holds
// the display callback, slot 4 the notify callback, each with its user data;
// the other slots are not used by this program.
struct AdCallbackRecord {
    uint32_t size = kAdCallbackRecordSize;
    uint32_t mask = 0;
    AdDisplayCallback display; // slot 0
    intptr_t displayData = 0;
    AdNotifyCallback notify; // slot 4
    intptr_t notifyData = 0;
};

// Results of the display callback reported back to the library.
inline constexpr int32_t kAdShown = 0;
inline constexpr int32_t kAdNotShown = 3;

// Bit 0 of a location's status: the space is on screen.
inline constexpr uint32_t kAdStatusShown = 1;

class IAdLibrary {
public:
    virtual ~IAdLibrary() = default;

    // ---- the advertising library ----
    // Start the push and the management parts; 0 means started.
    virtual int16_t CT_PushInit(const std::string& pApplication, const std::string& pPassword,
                                int32_t pMode) = 0;
    virtual int16_t CT_MgmtInit(const std::string& pApplication, const std::string& pPassword,
                                int32_t pMode) = 0;
    virtual void CT_PushShutdown() = 0;
    virtual void CT_MgmtShutdown() = 0;
    virtual std::string CT_PushGetErrorString(int32_t pCode) = 0;
    virtual std::string CT_MgmtGetErrorString(int32_t pCode) = 0;
    virtual std::string CT_PushGetLibError() = 0;
    virtual std::string CT_MgmtGetLibError() = 0;
    // Creates an ad location; returns its handle, -1 on failure.
    virtual int32_t CT_MgmtCreateAL3(const int32_t* pKind, int32_t pArg2, int32_t pArg3,
                                     int32_t pArg4, int32_t pNumber, int32_t pArg6) = 0;
    // 0 means the callbacks were taken.
    virtual int16_t CT_MgmtSetALCallbacks(int32_t pHandle, const AdCallbackRecord* pRecord) = 0;
    virtual void CT_MgmtDestroyAL(int32_t pHandle) = 0;
    virtual uint32_t CT_MgmtGetALStatus(int32_t pHandle) = 0;
    virtual void CT_MgmtSetALStatus(int32_t pHandle, uint32_t pStatus) = 0;
    // pResult: kAdShown or kAdNotShown.
    virtual void CT_MgmtALDisplayResult(int32_t pHandle, int32_t pResult) = 0;
    virtual void CT_MgmtALClick(int32_t pHandle) = 0;
    // One tick of the program's one-second advertising timer.
    virtual void CT_MgmtProgress() = 0;

    // ---- the bridge ----
    // The address of the value given.
    virtual intptr_t GetPointer(const void* pValue) = 0;
    // Draws a location (called on every paint of the window).
    virtual void CT_Draw(const AdLocation* pLocation) = 0;
    // Passes on the notify callback's value.
    virtual void AdClick(intptr_t pValue) = 0;
};

} // namespace brisa
