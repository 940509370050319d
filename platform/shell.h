#pragma once

#include <string>

namespace brisa {

// Opens documents and addresses with the desktop's default application.
class IShell {
public:
    virtual ~IShell() = default;
    // pTarget is a file path or an address; pFolder the working folder.
    // Failures are not reported.
    virtual void Open(const std::string& pTarget, const std::string& pFolder) = 0;
};

} // namespace brisa
