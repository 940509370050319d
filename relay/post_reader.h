// Reading a post as the relay receives it: the request head (Content-Type
// with its boundary, Content-Length) and the multipart/form-data body of
// exactly two parts.
//
// The body, byte by byte:
//   "--" boundary CRLF
//   Content-Disposition: form-data; name="header"; filename="header.txt" CRLF
//   Content-Type: text/plain CRLF
//   CRLF
//   mail-like header lines ("Name: value" CRLF: To, From, Subject, Date,
//   optional Cc, the client's X- lines), CRLF, the note text, CRLF
//   CRLF "--" boundary CRLF
//   Content-Disposition: form-data; name="body"; filename="in.zip" CRLF
//   Content-Type: application/x-zip-compressed CRLF
//   CRLF
//   the zip archive's bytes, CRLF, CRLF
//   "--" boundary "--" CRLF
// The archive is followed by two CR LF pairs: one belongs to the archive
// part as it was written, the other to the closing delimiter, so exactly one
// extra pair is cut off to get the archive back byte for byte.
//
// Text in the header part is Windows-1252; ReceivedPost holds it as UTF-8.
// Reading is strict: anything that is not such a post is refused with a
// clear English reason, and nothing here touches the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisa {

// Limits of a post.
inline constexpr std::uint64_t kMaxPostBytes = 64ull * 1024 * 1024; // the request body
inline constexpr std::size_t kMaxPostLine = 998;      // a line in the head of a part, CR LF not counted
// A row of the header part: the subject box and another program's reply
// take long texts; the e-mail folds or encodes them. The note's lines have
// no limit of their own (quoted-printable wraps them).
inline constexpr std::size_t kMaxPostRow = 64 * 1024;
inline constexpr std::size_t kMaxPostRecipients = 100; // To and Cc together
inline constexpr std::size_t kMaxPostHeaderLines = 200;

// One mailbox: an optional display name (UTF-8) and the address (ASCII).
struct MailAddress {
    std::string name;
    std::string address;
};

// One X- line of the header part, its value in UTF-8.
struct PostField {
    std::string name;
    std::string value;
};

struct ReceivedPost {
    std::vector<MailAddress> to, cc;
    MailAddress from;
    std::string subject;             // UTF-8
    std::string date;                // UTF-8, as the client wrote it
    std::vector<PostField> extra;    // the X- lines, in order
    bool returnReceipt = false;      // "X-Return-Receipt: Yes"
    std::string note;                // UTF-8, lines ending with CR LF
    std::string archiveName;         // the filename of the archive part
    std::string archive;             // the zip archive, byte for byte
};

// What the request head says about the body. False (pProblem says why) for
// a head the relay does not take: no multipart/form-data Content-Type or no
// boundary, a missing, repeated or non-numeric Content-Length, one above
// kMaxPostBytes, a Transfer-Encoding or a Content-Encoding other than
// identity. pContentLengths holds every Content-Length value of the request.
bool CheckPostHead(std::string_view pContentType, const std::vector<std::string>& pContentLengths,
                   std::string_view pTransferEncoding, std::string_view pContentEncoding,
                   std::string& pBoundary, std::uint64_t& pLength, std::string& pProblem);

// The boundary parameter of a multipart Content-Type value ("" when absent
// or not a valid boundary).
std::string BoundaryOf(std::string_view pContentType);

// Splits and reads the body: the two parts, the header lines, the note and
// the archive bytes (not yet looked into).
bool ReadPostBody(std::string_view pBody, std::string_view pBoundary, ReceivedPost& pPost,
                  std::string& pProblem);

// One address: "a@b.c", "Name <a@b.c>" or "\"Name\" <a@b.c>" (UTF-8); the
// name is taken as written, quotes and backslashes inside it too.
bool ParseMailAddress(std::string_view pText, MailAddress& pAddress, std::string& pProblem);

// A list of addresses separated by "," or ";" (the client takes both);
// separators inside double quotes do not separate, empty entries are
// skipped.
bool ParseAddressList(std::string_view pText, std::vector<MailAddress>& pList,
                      std::string& pProblem);

// Letter case of ASCII ignored.
bool SameText(std::string_view a, std::string_view b);

} // namespace brisa
