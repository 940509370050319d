#include "platform/program_folder.h"

#include <cstdlib>
#include <filesystem>
#include <limits.h>
#include <system_error>
#include <unistd.h>

namespace brisa {
namespace {

namespace fs = std::filesystem;

// A folder holds the program's data when its language files are there.
bool HoldsData(const fs::path& pFolder) {
    std::error_code error;
    return fs::is_directory(pFolder / "lang", error);
}

fs::path UserDataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return fs::path(data) / "brisamail";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local/share/brisamail";
}

void LinkShippedData(const fs::path& pShipped, const fs::path& pFolder) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(pShipped, error)) {
        const fs::path link = pFolder / entry.path().filename();
        const fs::file_status status = fs::symlink_status(link, error);
        if (fs::is_symlink(status)) {
            if (fs::read_symlink(link, error) == entry.path()) continue;
            fs::remove(link, error);
        } else if (fs::exists(status)) {
            continue; // the user's own
        }
        fs::create_symlink(entry.path(), link, error);
    }
    // Links to what an earlier version shipped and this one does not.
    for (const fs::directory_entry& entry : fs::directory_iterator(pFolder, error)) {
        if (!entry.is_symlink(error)) continue;
        const fs::path target = fs::read_symlink(entry.path(), error);
        if (target.parent_path() == pShipped && !fs::exists(target, error)) fs::remove(entry.path(), error);
    }
}

std::string ExecutableFolder() {
    const std::string exe = ProgramExecutable();
    if (exe.empty()) return ".";
    const auto slash = exe.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

} // namespace

std::string ProgramExecutable() {
    char buffer[PATH_MAX + 1] = {};
    const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return {};
    return std::string(buffer, static_cast<size_t>(n));
}

std::string PrepareProgramFolder(const std::string& pExecutableFolder) {
    const fs::path executables(pExecutableFolder);
    const fs::path shipped = executables.parent_path() / "share" / "brisamail";
    if (HoldsData(executables) || !HoldsData(shipped)) return pExecutableFolder;

    const fs::path folder = UserDataFolder();
    std::error_code error;
    fs::create_directories(folder.parent_path(), error);
    if (fs::create_directory(folder, error))
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
    LinkShippedData(shipped, folder);
    return folder.string();
}

std::string ProgramFolder() {
    if (const char* home = std::getenv("BRISAMAIL_HOME"); home && *home) {
        std::string folder = home;
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        return folder;
    }
    static const std::string folder = PrepareProgramFolder(ExecutableFolder());
    return folder;
}

std::string ProgramPath(const std::string& pRelative) {
    std::string relative = pRelative;
    for (auto& c : relative)
        if (c == '\\') c = '/';
    if (!relative.empty() && relative.front() != '/') relative.insert(relative.begin(), '/');
    return ProgramFolder() + relative;
}

} // namespace brisa
