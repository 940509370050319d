#include "platform/file_registry.h"

// Placeholder until the file store lands.
namespace brisa {
FileRegistry::FileRegistry(std::string pFile) : m_File(std::move(pFile)) {}
std::string FileRegistry::DefaultPath() { return ""; }
bool FileRegistry::OpenKey(RootKey, const std::string&) { return false; }
bool FileRegistry::CreateKey(RootKey, const std::string&) { return false; }
bool FileRegistry::QueryValue(RootKey, const std::string&, const std::string&, std::string&) { return false; }
bool FileRegistry::SetValue(RootKey, const std::string&, const std::string&, const std::string&) { return false; }
FileRegistry::Content FileRegistry::Parse(const std::string&, bool*) { return {}; }
std::string FileRegistry::Format(const Content&) { return ""; }
} // namespace brisa
