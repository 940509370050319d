#pragma once

#include <string>

namespace brisa {

// The desktop's "run at log-on" entry for the program.
class IAutostart {
public:
    virtual ~IAutostart() = default;
    // An empty command removes the entry; any other command writes it.
    virtual void SetCommand(const std::string& pCommand) = 0;
};

} // namespace brisa
