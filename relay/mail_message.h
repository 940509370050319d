// A received post as an RFC 5322 e-mail: multipart/mixed with the note as
// a text/plain part (UTF-8, quoted-printable) and the recording attached as
// audio/wav "message.wav" (base64, 76-character lines).
//
// Header fields: Date (when the relay received the post, in its own zone),
// From, To, Cc, Subject, Message-ID, MIME-Version,
// Disposition-Notification-To (the From address, when the post asks for a
// return receipt), the post's X- lines, X-Brisa-Posted (the post's own Date
// row as it stands), Content-Type. Values with characters
// outside ASCII are written as RFC 2047 encoded words (UTF-8, base64).
// Every line ends with CR LF.
#pragma once

#include "relay/post_reader.h"

#include <ctime>
#include <string>
#include <string_view>

namespace brisa {

// pTime as an RFC 5322 date in the relay's local time zone.
std::string MailDateNow(std::time_t pTime);

// The parts of a message that change from one message to the next.
struct MailStamp {
    std::time_t now = 0;   // when the relay received the post
    std::string messageId; // "<...@host>"
    std::string boundary;  // of the multipart/mixed body
};

// A fresh stamp: a Message-ID on pHost and a random boundary.
MailStamp NewMailStamp(std::time_t pNow, const std::string& pHost);

// The name of this machine, as it may stand in a Message-ID.
std::string RelayHostName();

// The whole message, lines ending with CR LF.
std::string ComposeMail(const ReceivedPost& pPost, const std::string& pWave,
                        const MailStamp& pStamp);

// Helpers, open for tests.
std::string Base64Lines(std::string_view pBytes); // 76-character lines, each ending CR LF
std::string QuotedPrintable(std::string_view pText); // CR LF line ends in, and out
// A header line (with its CR LF) whose value is RFC 2047 encoded when it is
// not plain ASCII or would not fit in a 998-character line.
std::string UnstructuredHeader(std::string_view pName, std::string_view pValue);
// "addr", "\"Name\" <addr>" or, for a name outside ASCII or a long one,
// "=?UTF-8?B?...?= <addr>".
std::string FormatMailbox(const MailAddress& pAddress);

} // namespace brisa
