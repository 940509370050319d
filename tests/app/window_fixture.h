// The main window started on fake services in a temporary program folder
// that holds the shipped language files.
#pragma once

#include "app/main_window.h"
#include "common/globals.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace brisa::test {

inline const std::string kProgramKey = "SOFTWARE\\BrisaMail, Inc.\\BrisaMailer";

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* id : {"00000409", "00000407"}) {
            const std::string from = std::string(BRISA_SOURCE_DIR) + "/data/lang/" + id + ".txt";
            WriteFile(env.Path(std::string("lang/") + id + ".txt"), ReadFile(from));
        }
    }
    void TearDown() override {
        window.reset();
        gLargeFonts = false;
        gScaleX = gScaleY = 1.0f;
    }
    // Creates the window on the fakes and runs its start-up to the end.
    frmMM& Start(const std::string& pCommandLine = "") {
        services = fakes.Wire();
        window = std::make_unique<frmMM>(services, pCommandLine);
        window->Form_Load();
        window->FinishStartUp();
        return *window;
    }
    // A setting's text as stored, or "<missing>".
    std::string Setting(const std::string& pName, const std::string& pKey = kProgramKey) {
        std::string data;
        if (!fakes.registry.QueryValue(RootKey::LocalMachine, pKey, pName, data)) return "<missing>";
        return data.substr(0, data.find('\0'));
    }
    void Put(const std::string& pName, const std::string& pValue) {
        fakes.registry.Put(RootKey::LocalMachine, kProgramKey, pName, pValue + '\0');
    }
    // Both stages of Exit.
    void Exit() {
        window->mnuFileExit_Click();
        window->tmrAdvertise_Timer();
    }

    TempEnv env;
    FakeServices fakes;
    Services services;
    std::unique_ptr<frmMM> window;
};

} // namespace brisa::test
