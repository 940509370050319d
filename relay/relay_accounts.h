// The accounts of a relay that others can reach: who may post, and the
// address each one may send as.
//
// The accounts file holds one account a line, "address:hash", exactly as
// "htpasswd -B FILE ann@example.com" writes it: the name is the e-mail
// address the account sends as, the hash a bcrypt hash ("$2y$", "$2b$" or
// "$2a$"). Blank lines and lines starting with '#' are skipped. Any other
// kind of hash (htpasswd's default MD5, SHA, crypt, plain text) is refused
// with the number of its line: such a file must be made again with -B.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brisa {

struct RelayAccount {
    std::string address; // as written in the file
    std::string hash;
};

// Reads the text of an accounts file. False (pProblem names the line and
// says what is wrong with it) for a damaged line, a name that is not an
// e-mail address, an address named twice or a hash that is not bcrypt.
bool ParseAccounts(std::string_view pText, std::vector<RelayAccount>& pAccounts,
                   std::string& pProblem);

// Reads the file at pPath. pWarning is set when users other than its owner
// may read it.
bool ReadAccountsFile(const std::string& pPath, std::vector<RelayAccount>& pAccounts,
                      std::string& pProblem, std::string& pWarning);

// The account for pAddress (letter case does not matter), or nullptr.
const RelayAccount* FindAccount(const std::vector<RelayAccount>& pAccounts,
                                std::string_view pAddress);

// True when pPassword gives pHash (libxcrypt's crypt); the two hashes are
// compared in constant time.
bool PasswordMatches(const std::string& pHash, std::string_view pPassword);

// The user name and password of an "Authorization: Basic ..." value. False
// when the value is no such thing.
bool ReadBasicAuthorization(std::string_view pValue, std::string& pUser, std::string& pPassword);

} // namespace brisa
