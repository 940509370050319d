#include "relay/relay_accounts.h"

#include "relay/post_reader.h"

#include <crypt.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>

namespace brisa {

namespace {

bool IsHashCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '/';
}

// "$2y$05$" and 53 characters of bcrypt's alphabet (22 of salt, 31 of hash).
bool IsBcrypt(std::string_view pHash) {
    if (pHash.size() != 60 || pHash.substr(0, 2) != "$2" || pHash[3] != '$' || pHash[6] != '$')
        return false;
    if (pHash[2] != 'a' && pHash[2] != 'b' && pHash[2] != 'y')
        return false;
    if (pHash[4] < '0' || pHash[4] > '3' || pHash[5] < '0' || pHash[5] > '9')
        return false;
    const int cost = (pHash[4] - '0') * 10 + (pHash[5] - '0');
    if (cost < 4 || cost > 31)
        return false;
    for (char c : pHash.substr(7))
        if (!IsHashCharacter(c))
            return false;
    return true;
}

// What another kind of htpasswd line holds, for the message.
std::string KindOf(std::string_view pHash) {
    if (pHash.rfind("$apr1$", 0) == 0)
        return "an Apache MD5 hash (htpasswd's default)";
    if (pHash.rfind("{SHA}", 0) == 0)
        return "a SHA-1 hash (htpasswd -s)";
    if (pHash.rfind("$1$", 0) == 0)
        return "an MD5 crypt hash";
    if (pHash.rfind("$5$", 0) == 0 || pHash.rfind("$6$", 0) == 0)
        return "a SHA-2 crypt hash";
    if (pHash.rfind("$y$", 0) == 0 || pHash.rfind("$7$", 0) == 0)
        return "a yescrypt or scrypt hash";
    if (pHash.rfind("$2", 0) == 0)
        return "a damaged bcrypt hash";
    if (pHash.size() == 13 && std::all_of(pHash.begin(), pHash.end(), IsHashCharacter))
        return "a DES crypt hash (htpasswd -d)";
    if (pHash.empty())
        return "empty";
    return "no hash htpasswd -B writes (a plain-text password?)";
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool DecodeBase64(std::string_view pText, std::string& pBytes) {
    pBytes.clear();
    while (!pText.empty() && pText.back() == '=')
        pText.remove_suffix(1);
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : pText) {
        const int value = Base64Value(c);
        if (value < 0)
            return false;
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            pBytes += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return count < 6;
}

} // namespace

bool ParseAccounts(std::string_view pText, std::vector<RelayAccount>& pAccounts,
                   std::string& pProblem) {
    pAccounts.clear();
    std::size_t number = 0;
    while (!pText.empty()) {
        ++number;
        auto end = pText.find('\n');
        std::string_view line = pText.substr(0, end);
        pText.remove_prefix(end == std::string_view::npos ? pText.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        const std::string where = "line " + std::to_string(number) + ": ";
        if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#')
            continue;
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            pProblem = where + "not of the form \"address:hash\"";
            return false;
        }
        RelayAccount account{std::string(line.substr(0, colon)),
                             std::string(line.substr(colon + 1))};
        MailAddress address;
        std::string problem;
        if (!ParseMailAddress(account.address, address, problem) || !address.name.empty() ||
            address.address != account.address) {
            pProblem = where + "the name \"" + account.address.substr(0, 80) +
                       "\" is not an e-mail address: an account is named after the address it "
                       "sends as";
            return false;
        }
        if (!IsBcrypt(account.hash)) {
            pProblem = where + "the password of " + account.address + " is " +
                       KindOf(account.hash) + ", not a bcrypt hash; make it again with htpasswd -B";
            return false;
        }
        if (FindAccount(pAccounts, account.address)) {
            pProblem = where + account.address + " has a line of its own already";
            return false;
        }
        pAccounts.push_back(std::move(account));
    }
    return true;
}

bool ReadAccountsFile(const std::string& pPath, std::vector<RelayAccount>& pAccounts,
                      std::string& pProblem, std::string& pWarning) {
    pWarning.clear();
    std::ifstream file(pPath, std::ios::binary);
    if (!file) {
        pProblem = "cannot read the accounts file \"" + pPath + "\": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::stat(pPath.c_str(), &info) == 0 && (info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        pWarning = "the accounts file \"" + pPath +
                   "\" may be read by other users; make it owner-only (chmod 600)";
    std::ostringstream text;
    text << file.rdbuf();
    if (!ParseAccounts(text.str(), pAccounts, pProblem)) {
        pProblem = "the accounts file \"" + pPath + "\", " + pProblem;
        return false;
    }
    return true;
}

const RelayAccount* FindAccount(const std::vector<RelayAccount>& pAccounts,
                                std::string_view pAddress) {
    for (const auto& account : pAccounts)
        if (SameText(account.address, pAddress))
            return &account;
    return nullptr;
}

bool PasswordMatches(const std::string& pHash, std::string_view pPassword) {
    // crypt stops at the first NUL; a password holding one is never right.
    const bool hasNul = pPassword.find('\0') != std::string_view::npos;
    const std::string password(pPassword);
    auto data = std::make_unique<crypt_data>();
    const char* result = ::crypt_rn(password.c_str(), pHash.c_str(), data.get(), sizeof *data);
    if (!result || result[0] == '*')
        return false;
    const std::size_t length = std::strlen(result);
    if (length != pHash.size())
        return false;
    unsigned char difference = hasNul ? 1 : 0;
    for (std::size_t i = 0; i < length; ++i)
        difference |= static_cast<unsigned char>(result[i] ^ pHash[i]);
    return difference == 0;
}

bool ReadBasicAuthorization(std::string_view pValue, std::string& pUser, std::string& pPassword) {
    while (!pValue.empty() && pValue.front() == ' ')
        pValue.remove_prefix(1);
    if (pValue.size() < 6 || !SameText(pValue.substr(0, 6), "basic "))
        return false;
    pValue.remove_prefix(6);
    while (!pValue.empty() && pValue.front() == ' ')
        pValue.remove_prefix(1);
    while (!pValue.empty() && pValue.back() == ' ')
        pValue.remove_suffix(1);
    std::string decoded;
    if (pValue.empty() || !DecodeBase64(pValue, decoded))
        return false;
    const auto colon = decoded.find(':');
    if (colon == std::string::npos)
        return false;
    pUser = decoded.substr(0, colon);
    pPassword = decoded.substr(colon + 1);
    return true;
}

} // namespace brisa
