// Where the relay puts a composed message: a Maildir, or an SMTP server.
#pragma once

#include <string>
#include <vector>

namespace brisa {

// $XDG_DATA_HOME/brisamail/relay/Maildir, XDG_DATA_HOME defaulting to
// ~/.local/share.
std::string DefaultMaildir();

// Creates the Maildir (and the folders above it) with cur/, new/ and tmp/.
bool PrepareMaildir(const std::string& pMaildir, std::string& pProblem);

// Stores one message: written under tmp/ with a unique name
// ("seconds.pid_counter.host"), flushed to disk, then moved into new/ in one
// step, so a mail reader never sees half a message and no message replaces
// another. pName receives the file's name. On failure nothing is left
// behind.
bool DeliverToMaildir(const std::string& pMaildir, const std::string& pMessage,
                      std::string& pName, std::string& pProblem);

struct SmtpSettings {
    std::string url;          // smtp://host[:port] or smtps://host[:port]
    std::string user;         // empty: no authentication
    std::string password;
    long connectTimeout = 30; // seconds
    long stallTimeout = 60;   // no progress for this long ends the transfer
    long totalTimeout = 600;
};

// True for a URL that starts with smtp:// or smtps:// and names a host.
bool ValidSmtpUrl(const std::string& pUrl);

// Hands the message to the SMTP server: MAIL FROM pFrom, RCPT TO every
// address of pRecipients. True only when the server took the message.
// A plain smtp:// connection is upgraded with STARTTLS when the server
// offers it. pReply receives the server's last reply code (0 when it never
// answered).
bool DeliverBySmtp(const SmtpSettings& pSettings, const std::string& pFrom,
                   const std::vector<std::string>& pRecipients, const std::string& pMessage,
                   std::string& pProblem, long& pReply);

// True for a reply that refuses this message for good (5xx), not for one
// that says the relay's own login failed (530, 534, 535, 538): those need
// the relay's owner, and the post may go through once they are fixed.
bool SmtpRefusedForGood(long pReply);

// pUrl without a user name or password ("smtp://host:25").
std::string UrlWithoutCredentials(const std::string& pUrl);

} // namespace brisa
