#include "platform/program_folder.h"

#include <cstdlib>
#include <limits.h>
#include <unistd.h>

namespace brisa {

std::string ProgramExecutable() {
    char buffer[PATH_MAX + 1] = {};
    const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return {};
    return std::string(buffer, static_cast<size_t>(n));
}

std::string ProgramFolder() {
    if (const char* home = std::getenv("BRISAMAIL_HOME"); home && *home) {
        std::string folder = home;
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        return folder;
    }
    const std::string exe = ProgramExecutable();
    if (exe.empty()) return ".";
    const auto slash = exe.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

std::string ProgramPath(const std::string& pRelative) {
    std::string relative = pRelative;
    for (auto& c : relative)
        if (c == '\\') c = '/';
    if (!relative.empty() && relative.front() != '/') relative.insert(relative.begin(), '/');
    return ProgramFolder() + relative;
}

} // namespace brisa
