// What scenario tests need around the assembled program (app/composition.h):
// the world outside it set up through the environment (temporary program,
// settings and data folders, ALSA "file" devices, the test's private session
// bus, a 120-dpi offscreen screen), and small helpers to drive it as a user
// would. Each scenario executable's main() is ScenarioMain().
#pragma once

#include "tests/support/temp_env.h"

#include <QApplication>
#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>
#include <string>

class QWidget;

namespace brisa::test {

// What the desktop was asked to open (web addresses and files).
class OpenedAddresses : public QObject {
    Q_OBJECT
public:
    OpenedAddresses();
    ~OpenedAddresses() override;
    QStringList urls;
public Q_SLOTS:
    void Open(const QUrl& pUrl);
};

// Lets events run until pDone holds (at most 30 s); false when it never does.
bool WaitFor(const std::function<bool()>& pDone);

// Runs pStep once pReady holds, from the event loop (also a modal window's).
void When(const std::function<bool()>& pReady, const std::function<void()>& pStep);

// The visible top-level window of that class, or null.
template <typename T> T* Showing() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<T*>(w); window && window->isVisible()) return window;
    return nullptr;
}

// Whether a top-level window of that class exists at all.
template <typename T> bool Alive() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<T*>(w)) return true;
    return false;
}

// A screen reader hears each label's current text (the colon of a caption
// and the mnemonic marker aside), and the text fits its label.
void ExpectLabelsSpeakTheirText(QWidget* pWindow, const char* pWhen);

// One value of the program's settings key, as the program finds it.
void Set(const std::string& pName, const std::string& pValue);

// The shipped English language file.
std::string ShippedLanguage();

// The real executable, started as a user would start it again; ends with
// its exit status. The running copy keeps handling its events meanwhile.
int RunAnotherCopy(const QProcessEnvironment& pEnvironment);

// The test's environment for a later copy: offscreen, ends once shown.
QProcessEnvironment ChildEnvironment();

// Fresh folders for each scenario: program folder and XDG_CONFIG_HOME
// (TempEnv), XDG_DATA_HOME below it. Skips without a session bus.
class ProgramScenario : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TempEnv env;
    std::string data;
};

// A 120-dpi offscreen display (a large-font desktop), a microphone that
// hears silence (BRISAMAIL_AUDIO_DEVICE), a speaker and interface sounds
// that play into nothing, then the tests.
int ScenarioMain(int argc, char** argv);

} // namespace brisa::test
