#include "tests/support/temp_env.h"

#include <QDir>
#include <fstream>
#include <sstream>

namespace brisa::test {

TempEnv::TempEnv()
    : m_OldHome(qgetenv("BRISAMAIL_HOME")), m_OldConfig(qgetenv("XDG_CONFIG_HOME")),
      m_HadHome(qEnvironmentVariableIsSet("BRISAMAIL_HOME")),
      m_HadConfig(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
    QDir().mkpath(QString::fromStdString(ProgramFolder()));
    QDir().mkpath(QString::fromStdString(ConfigFolder()));
    qputenv("BRISAMAIL_HOME", QByteArray::fromStdString(ProgramFolder()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(ConfigFolder()));
}

TempEnv::~TempEnv() {
    if (m_HadHome) qputenv("BRISAMAIL_HOME", m_OldHome);
    else qunsetenv("BRISAMAIL_HOME");
    if (m_HadConfig) qputenv("XDG_CONFIG_HOME", m_OldConfig);
    else qunsetenv("XDG_CONFIG_HOME");
}

std::string TempEnv::Root() const { return m_Dir.path().toStdString(); }
std::string TempEnv::ProgramFolder() const { return Root() + "/program"; }
std::string TempEnv::ConfigFolder() const { return Root() + "/config"; }
std::string TempEnv::Path(const std::string& pRelative) const {
    return ProgramFolder() + "/" + pRelative;
}

std::string ReadFile(const std::string& pPath) {
    std::ifstream in(pPath, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& pPath, const std::string& pBytes) {
    const auto slash = pPath.find_last_of('/');
    if (slash != std::string::npos) QDir().mkpath(QString::fromStdString(pPath.substr(0, slash)));
    std::ofstream out(pPath, std::ios::binary | std::ios::trunc);
    out.write(pBytes.data(), static_cast<std::streamsize>(pBytes.size()));
}

} // namespace brisa::test
