#include "common/server_address.h"

namespace brisa {

namespace {

// Where the user information of pAddress lies: [pStart, pAt) before the
// "@" of its authority. False when it has none.
bool UserInfo(std::string_view pAddress, size_t& pStart, size_t& pAt) {
    const auto scheme = pAddress.find("://");
    if (scheme == std::string_view::npos)
        return false;
    pStart = scheme + 3;
    const auto end = pAddress.find_first_of("/?#", pStart);
    const std::string_view authority = pAddress.substr(
        pStart, end == std::string_view::npos ? std::string_view::npos : end - pStart);
    const auto at = authority.rfind('@');
    if (at == std::string_view::npos)
        return false;
    pAt = pStart + at;
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string PercentDecoded(std::string_view pText) {
    std::string out;
    for (size_t i = 0; i < pText.size(); ++i) {
        if (pText[i] == '%' && i + 2 < pText.size() && HexValue(pText[i + 1]) >= 0 &&
            HexValue(pText[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(pText[i + 1]) * 16 + HexValue(pText[i + 2]));
            i += 2;
        } else {
            out += pText[i];
        }
    }
    return out;
}

void ReplaceAll(std::string& pText, std::string_view pFrom, std::string_view pTo) {
    if (pFrom.empty())
        return;
    for (size_t at = pText.find(pFrom); at != std::string::npos;
         at = pText.find(pFrom, at + pTo.size()))
        pText.replace(at, pFrom.size(), pTo);
}

} // namespace

std::string AddressWithoutPassword(std::string_view pAddress) {
    size_t start = 0, at = 0;
    if (!UserInfo(pAddress, start, at))
        return std::string(pAddress);
    const auto colon = pAddress.substr(start, at - start).find(':');
    if (colon == std::string_view::npos)
        return std::string(pAddress);
    return std::string(pAddress.substr(0, start + colon)) + std::string(pAddress.substr(at));
}

std::string AddressPassword(std::string_view pAddress) {
    size_t start = 0, at = 0;
    if (!UserInfo(pAddress, start, at))
        return {};
    const auto colon = pAddress.substr(start, at - start).find(':');
    if (colon == std::string_view::npos)
        return {};
    return std::string(pAddress.substr(start + colon + 1, at - start - colon - 1));
}

std::string HidePassword(std::string pText, std::string_view pAddress) {
    const std::string password = AddressPassword(pAddress);
    if (password.empty())
        return pText;
    ReplaceAll(pText, pAddress, AddressWithoutPassword(pAddress));
    ReplaceAll(pText, password, "****");
    ReplaceAll(pText, PercentDecoded(password), "****");
    return pText;
}

} // namespace brisa
