// An advertising library that records every call in order and answers
// from settings the test chooses.
#pragma once

#include "ads/ad_library.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace brisa::test {

class RecordingAdLibrary : public IAdLibrary {
public:
    // ---- answers ----
    int16_t pushInitResult = 0;
    int16_t mgmtInitResult = 0;
    std::set<int32_t> failCreateFor;             // location numbers whose creation fails
    std::map<int32_t, int16_t> failCallbacksFor; // location number -> SetALCallbacks result
    uint32_t initialStatus = 0;                  // a new location's status word

    // ---- what happened ----
    std::vector<std::string> calls; // every call but CT_Draw, in order
    std::vector<const AdLocation*> draws;
    struct Location {
        int32_t kind = 0;
        int32_t number = 0;
        uint32_t status = 0;
        AdCallbackRecord record;
        bool hasRecord = false;
    };
    std::map<int32_t, Location> locations; // by handle; destroyed ones stay
    std::vector<std::pair<int32_t, int32_t>> displayResults;
    std::vector<int32_t> clicks;
    std::vector<intptr_t> adClicks;

    // The handle of the location created for a location number (0 when none).
    int32_t HandleOf(int32_t pNumber) const {
        for (const auto& [handle, location] : locations)
            if (location.number == pNumber)
                return handle;
        return 0;
    }
    // Calls the display callback the program gave the location of pNumber.
    int32_t Display(int32_t pNumber, const char* pPath) {
        const Location& location = locations.at(HandleOf(pNumber));
        return location.record.display(pPath, location.record.displayData);
    }
    // The calls whose text starts with pPrefix.
    std::vector<std::string> CallsStartingWith(const std::string& pPrefix) const {
        std::vector<std::string> found;
        for (const std::string& call : calls)
            if (call.rfind(pPrefix, 0) == 0)
                found.push_back(call);
        return found;
    }

    int16_t CT_PushInit(const std::string& pApplication, const std::string& pPassword,
                        int32_t pMode) override {
        calls.push_back("CT_PushInit(" + pApplication + "," + pPassword + "," +
                        std::to_string(pMode) + ")");
        return pushInitResult;
    }
    int16_t CT_MgmtInit(const std::string& pApplication, const std::string& pPassword,
                        int32_t pMode) override {
        calls.push_back("CT_MgmtInit(" + pApplication + "," + pPassword + "," +
                        std::to_string(pMode) + ")");
        return mgmtInitResult;
    }
    void CT_PushShutdown() override { calls.push_back("CT_PushShutdown"); }
    void CT_MgmtShutdown() override { calls.push_back("CT_MgmtShutdown"); }
    std::string CT_PushGetErrorString(int32_t pCode) override {
        calls.push_back("CT_PushGetErrorString(" + std::to_string(pCode) + ")");
        return "push error";
    }
    std::string CT_MgmtGetErrorString(int32_t pCode) override {
        calls.push_back("CT_MgmtGetErrorString(" + std::to_string(pCode) + ")");
        return "management error";
    }
    std::string CT_PushGetLibError() override {
        calls.push_back("CT_PushGetLibError");
        return "push library error";
    }
    std::string CT_MgmtGetLibError() override {
        calls.push_back("CT_MgmtGetLibError");
        return "management library error";
    }
    int32_t CT_MgmtCreateAL3(const int32_t* pKind, int32_t pArg2, int32_t pArg3, int32_t pArg4,
                             int32_t pNumber, int32_t pArg6) override {
        const int32_t kind = pKind ? *pKind : -999;
        calls.push_back("CT_MgmtCreateAL3(" + std::to_string(kind) + "," + std::to_string(pArg2) +
                        "," + std::to_string(pArg3) + "," + std::to_string(pArg4) + "," +
                        std::to_string(pNumber) + "," + std::to_string(pArg6) + ")");
        if (failCreateFor.count(pNumber))
            return -1;
        const int32_t handle = 100 + static_cast<int32_t>(locations.size());
        Location& location = locations[handle];
        location.kind = kind;
        location.number = pNumber;
        location.status = initialStatus;
        return handle;
    }
    int16_t CT_MgmtSetALCallbacks(int32_t pHandle, const AdCallbackRecord* pRecord) override {
        calls.push_back("CT_MgmtSetALCallbacks(" + std::to_string(pHandle) + ")");
        Location& location = locations[pHandle];
        const auto fail = failCallbacksFor.find(location.number);
        if (fail != failCallbacksFor.end())
            return fail->second;
        if (pRecord) {
            location.record = *pRecord;
            location.hasRecord = true;
        }
        return 0;
    }
    void CT_MgmtDestroyAL(int32_t pHandle) override {
        calls.push_back("CT_MgmtDestroyAL(" + std::to_string(pHandle) + ")");
    }
    uint32_t CT_MgmtGetALStatus(int32_t pHandle) override {
        calls.push_back("CT_MgmtGetALStatus(" + std::to_string(pHandle) + ")");
        const auto it = locations.find(pHandle);
        return it == locations.end() ? 0 : it->second.status;
    }
    void CT_MgmtSetALStatus(int32_t pHandle, uint32_t pStatus) override {
        calls.push_back("CT_MgmtSetALStatus(" + std::to_string(pHandle) + "," +
                        std::to_string(pStatus) + ")");
        const auto it = locations.find(pHandle);
        if (it != locations.end())
            it->second.status = pStatus;
    }
    void CT_MgmtALDisplayResult(int32_t pHandle, int32_t pResult) override {
        calls.push_back("CT_MgmtALDisplayResult(" + std::to_string(pHandle) + "," +
                        std::to_string(pResult) + ")");
        displayResults.emplace_back(pHandle, pResult);
    }
    void CT_MgmtALClick(int32_t pHandle) override {
        calls.push_back("CT_MgmtALClick(" + std::to_string(pHandle) + ")");
        clicks.push_back(pHandle);
    }
    void CT_MgmtProgress() override { calls.push_back("CT_MgmtProgress"); }
    intptr_t GetPointer(const void* pValue) override {
        calls.push_back("_getPointer");
        return reinterpret_cast<intptr_t>(pValue);
    }
    void CT_Draw(const AdLocation* pLocation) override { draws.push_back(pLocation); }
    void AdClick(intptr_t pValue) override {
        calls.push_back("_adClick(" + std::to_string(pValue) + ")");
        adClicks.push_back(pValue);
    }
};

} // namespace brisa::test
