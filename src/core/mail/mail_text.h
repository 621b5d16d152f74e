#pragma once

#include <ctime>
#include <string>
#include <string_view>

// The texts of a message's mail: subject, body and the header values, as pure functions.
// Every text that comes from the main unit or from a user goes through cleanField() first, and
// every header value that is not plain ASCII is sent as RFC 2047 encoded words, so no value can
// end a header line or start another one.
namespace voxmg::mail {

// What the mail says about a message (UTF-8, from its record and file name).
struct MessageFacts {
    std::string kind;  // "rusuroku" or "naisen"
    std::string boxNumber;
    std::string boxName;
    std::string callerNumber;
    std::string callerName;
    std::string date;    // "YYYY/MM/DD hh:mm"
    std::string length;  // "hh:mm:ss"
    std::string title;
    std::string memo;
    std::string fileName;  // the voice file's name, "….vmdat"
};

// Control characters (CR, LF, TAB, ...) become blanks, and blanks at the ends go.
std::string cleanField(std::string_view text);

// "留守録 001 山田商事 2026/12/07 16:42 (0:35)": the kind, box number, box name (the caller
// when the box has none), date and time, and length.
std::string subjectText(const MessageFacts& facts);
// The plain-text body, lines ending CRLF; title and memo only when set.
std::string bodyText(const MessageFacts& facts);

// "0:35" from "00:00:35", hours folded into the minutes; the text unchanged when not hh:mm:ss.
std::string shortLength(std::string_view hhmmss);

// A header value: unchanged when it is printable ASCII that could not be read as an encoded
// word; otherwise UTF-8 "B" encoded words of at most 75 characters, never splitting a character.
std::string encodeHeaderValue(std::string_view utf8);

// The Content-Disposition header of an attachment: a plain filename for old readers and the
// RFC 2231 form (UTF-8, percent-encoded) for the rest.
std::string attachmentDisposition(std::string_view fileName);

// "<NAME.HASH@voxmg.invalid>" from who the message is: its file name without the extension and
// a hash of its box folder's name. The same message always gets the same id, so a mail sent
// twice folds into one in the reader, and two box folders holding the same file name give two.
// Characters that cannot stand in an id become "_".
std::string messageIdFor(std::string_view boxFolder, std::string_view fileName);

// An RFC 5322 date ("Mon, 07 Dec 2026 16:42:05 +0900") of a moment in local time, spelled in
// English whatever the locale.
std::string mailDate(std::time_t when);

}  // namespace voxmg::mail
