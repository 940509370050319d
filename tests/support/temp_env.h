// A fresh program folder and configuration folder for one test, removed
// afterwards. BRISAMAIL_HOME and XDG_CONFIG_HOME point into it meanwhile.
#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <string>

namespace brisa::test {

class TempEnv {
public:
    TempEnv();
    ~TempEnv();
    TempEnv(const TempEnv&) = delete;
    TempEnv& operator=(const TempEnv&) = delete;

    std::string Root() const;          // the temporary folder itself
    std::string ProgramFolder() const; // Root()/program (BRISAMAIL_HOME)
    std::string ConfigFolder() const;  // Root()/config (XDG_CONFIG_HOME)
    // Path below the program folder ("sounds/click.wav").
    std::string Path(const std::string& pRelative) const;

private:
    QTemporaryDir m_Dir;
    QByteArray m_OldHome, m_OldConfig;
    bool m_HadHome, m_HadConfig;
};

// Whole-file helpers for tests.
std::string ReadFile(const std::string& pPath);
void WriteFile(const std::string& pPath, const std::string& pBytes);

} // namespace brisa::test
