// The post file: one voice message, ready to be sent by HTTP.
//
// A post file in <program folder>/outbox/ is named after the local time it
// was written, "yymmddhhmmss.txt". It holds three request header lines
// (User-Agent, Content-Type with the boundary, Content-Length), an empty
// line, and a multipart/form-data body of two parts: "header.txt" (a
// mail-like header and the note text) and the zip archive of the recording.
// Every line ends with CR LF; text is written in Windows-1252, the archive
// bytes unchanged. Content-Length counts the body only (from the first
// delimiter line up to and including the final CR LF). A control character
// inside a header value (CR, LF, TAB, any other C0 or C1 character, DEL) is
// written as a blank, whoever passed it: a value never starts a row of its
// own.
//
// The file is written whole under a hidden temporary name in the outbox
// (readable by its owner only), flushed to the disk, and then moved to its
// final name without ever replacing another post, so a sender scanning the
// outbox never sees half a post, not even after a power cut. When the name
// of the current second is taken, the next free second is used.
#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace brisa {

class ISystemInfo;

// Local date and time now (broken down as localtime gives it).
using LocalClock = std::function<std::tm()>;

// What the main window knows when it writes a post.
struct PostRequest {
    std::string to;                // the To list as the user left it
    std::string cc;                // the Cc list; may be empty
    int returnReceipt = 0;         // 1 asks for the X-Return-Receipt row
    std::string bannerMarker;      // the banner space's marker; empty gives "X-TSworking: Yes"
    std::string programFolder;     // "" means ProgramFolder()
    ISystemInfo* system = nullptr; // user name and time-zone bias; null counts as failing
    LocalClock clock;              // empty means the system clock
};

// Result codes of BuildPost.
enum PostResult : int {
    kPostWritten = 0,          // pMessageFile holds the post file's path
    kPostArchiveMissing = 4,   // the archive does not exist; nothing else was done
    kPostNotWritable = 6,      // the post file could not be written; pMessageFile is ""
    kPostArchiveUnreadable = 7 // the archive exists but cannot be read
};

// Writes the post for the archive named by pMessageFile (in: its full path;
// out: the post file's path after 0, "" after 6, unchanged after 4 and 7).
// An empty pSubject is replaced by the default subject (language text
// "mail0001") and handed back. Settings are read through gRegistry as each
// row is composed; a setting, text or service that fails leaves its value
// empty and the post is still written.
int BuildPost(const PostRequest& pRequest, std::string& pSubject, std::string& pMessageFile);

// The zone of the Date row from a bias in minutes (UTC = local + bias):
// UTC gives "-0000", UTC+1 "0100", UTC-5 "-0500", UTC+5:30 "0600".
std::string PostZone(int pBias);

// "ddd, dd mmm yyyy hh:mm" with the user locale's short day and month names
// and time separator (English and ":" in the C locale); UTF-8.
std::string PostDate(const std::tm& pTime);

// "yymmddhhmmss.txt".
std::string PostFileName(const std::tm& pTime);

// The boundary of the multipart body.
inline constexpr const char* kPostBoundary = "------BrisaPost";

} // namespace brisa
