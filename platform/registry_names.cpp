#include "platform/registry.h"

namespace brisa {

const char* RootKeyName(RootKey pRoot) {
    switch (pRoot) {
    case RootKey::CurrentUser: return "HKEY_CURRENT_USER";
    case RootKey::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case RootKey::Users: return "HKEY_USERS";
    }
    return "HKEY_UNKNOWN";
}

} // namespace brisa
