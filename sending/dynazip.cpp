#include "sending/dynazip.h"

#include "common/utilities.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace brisa {

namespace {

bool ReadableFile(const std::string& pPath) {
    // Non-blocking so that a named pipe in its place cannot stop the program.
    const int fd = ::open(pPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular;
}

// libzip is loaded the first time an archive is made, not when the program
// starts: most starts never send anything.
struct LibZip {
    decltype(&::zip_open) open = nullptr;
    decltype(&::zip_source_file) source_file = nullptr;
    decltype(&::zip_source_free) source_free = nullptr;
    decltype(&::zip_file_add) file_add = nullptr;
    decltype(&::zip_set_file_compression) set_file_compression = nullptr;
    decltype(&::zip_close) close = nullptr;
    decltype(&::zip_discard) discard = nullptr;
};

template <typename F> bool Resolve(void* pLibrary, const char* pName, F& pFunction) {
    pFunction = reinterpret_cast<F>(::dlsym(pLibrary, pName));
    return pFunction != nullptr;
}

// The library's functions, or null when it cannot be loaded.
const LibZip* Zip() {
    static const LibZip* const loaded = []() -> const LibZip* {
        void* library = ::dlopen(BRISA_LIBZIP_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (!library) return nullptr;
        static LibZip api;
        if (Resolve(library, "zip_open", api.open) && Resolve(library, "zip_source_file", api.source_file) &&
            Resolve(library, "zip_source_free", api.source_free) &&
            Resolve(library, "zip_file_add", api.file_add) &&
            Resolve(library, "zip_set_file_compression", api.set_file_compression) &&
            Resolve(library, "zip_close", api.close) && Resolve(library, "zip_discard", api.discard))
            return &api;
        ::dlclose(library);
        return nullptr;
    }();
    return loaded;
}

std::string BareName(const std::string& pPath) {
    const auto slash = pPath.find_last_of('/');
    return slash == std::string::npos ? pPath : pPath.substr(slash + 1);
}

// The archive holds the user's voice: it is readable by its owner only.
// libzip keeps the mode of the file it replaces, so the file is there with
// that mode before libzip writes it. True when this call created it.
bool PrepareOwnerOnly(const std::string& pPath) {
    const int fd = ::open(pPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    const int existing = ::open(pPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (existing >= 0) {
        struct stat info {};
        if (::fstat(existing, &info) == 0 && S_ISREG(info.st_mode)) ::fchmod(existing, 0600);
        ::close(existing);
    }
    return false;
}

// Packs pSource into pZipFile as the entry pEntry.
int Pack(const std::string& pSource, const std::string& pZipFile, const std::string& pEntry) {
    try {
        const LibZip* zip = Zip();
        if (!zip)
            return kZipFailed;
        int error = 0;
        zip_t* archive = zip->open(pZipFile.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (!archive)
            return kZipNotCreated;

        zip_source_t* source = zip->source_file(archive, pSource.c_str(), 0, -1);
        if (!source) {
            zip->discard(archive);
            return kZipFailed;
        }
        const zip_int64_t index = zip->file_add(archive, pEntry.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip->source_free(source); // not taken over by the archive
            zip->discard(archive);
            return kZipFailed;
        }
        if (zip->set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                     kZipLevel) != 0) {
            zip->discard(archive);
            return kZipFailed;
        }
        if (zip->close(archive) != 0) {
            zip->discard(archive);
            return kZipFailed;
        }
        return kZipWritten;
    } catch (...) {
        return kZipFailed;
    }
}

} // namespace

int MakeZip(const std::string& pSource, const std::string& pZipFile) {
    try {
        if (pSource.empty() || pZipFile.empty() || !ReadableFile(pSource))
            return kZipSourceUnreadable;
        const std::string entry = BareName(pSource);
        if (entry.empty())
            return kZipSourceUnreadable;

        // libzip writes the archive to a temporary file beside pZipFile and
        // renames it into place when zip_close succeeds, so a folder that is
        // not there shows only then: ask first.
        if (!FolderExists(FolderOf(pZipFile))) return kZipNotCreated;
        const bool created = PrepareOwnerOnly(pZipFile);
        int result = Pack(pSource, pZipFile, entry);
        if (result != kZipWritten && created) ::unlink(pZipFile.c_str());
        return result;
    } catch (...) {
        return kZipFailed;
    }
}

} // namespace brisa
