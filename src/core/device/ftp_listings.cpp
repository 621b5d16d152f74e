// Box, name and detailed listings over active-mode data connections.
#include <array>

#include "core/device/ftp_mng.h"
#include "core/device/ftp_reply.h"
#include "core/device/listing_buffer.h"

namespace voxmg {

namespace {

// The end-of-transfer reply after a listing may be long; it is read in one line.
constexpr std::size_t kListingEndReplyMax = 102400;

std::string nlstCommand(ListKind kind, bool detailed) {
    std::string line = detailed ? "NLST -l" : "NLST";
    if (kind == ListKind::RecordingInfo && !detailed) {
        line += " *.vminf";
    } else if (kind == ListKind::VoiceData) {
        line += " *.vmdat";
    }
    return line + "\r\n";
}

}  // namespace

ListingResult CFtpMng::receiveListing(std::size_t maxChars, bool cancellable, std::u16string& text,
                                      std::size_t* byteLength) {
    ftp::ListingBuffer buffer(m_timeouts.listingBytes);
    const bool receiveFailed = !receiveUntilEnd(cancellable, transferDeadline(std::nullopt),
                                                [&](std::span<const std::uint8_t> chunk) {
                                                    buffer.append(chunk);
                                                    return !buffer.truncated();
                                                });
    if (buffer.truncated()) {
        // More than any main unit lists, or a listing without end. Cut short it would pass for a
        // box with fewer messages, so it fails as a communication error. Closing the data
        // connection ends the transfer; the main unit's answer to that is read so that the
        // next command's reply stays in step.
        closeDataConnection();
        text.clear();
        std::string reply;
        readReplyLine(reply, kListingEndReplyMax, false);
        return ListingResult::Failed;
    }
    text = buffer.text(maxChars);
    if (byteLength) {
        *byteLength = buffer.size();
    }
    std::string reply;
    bool ended = readReplyLine(reply, kListingEndReplyMax, false) >= 0;
    closeDataConnection();
    return ended && !receiveFailed ? ListingResult::Listed : ListingResult::Failed;
}

ListingResult CFtpMng::boxListing(BoxListing& out) {
    out = {};
    if (!m_conn || !m_conn->control) {
        return ListingResult::Failed;
    }
    climbToRoot();
    struct Step {
        std::string_view directory;
        std::u16string* text;
        std::size_t maxChars;
    };
    const Step steps[] = {{{}, &out.root, ftp::kRootListingMaxChars},
                          {"/rusuroku", &out.answering, ftp::kBoxKindListingMaxChars},
                          {"/naisen", &out.extension, ftp::kBoxKindListingMaxChars}};
    for (const Step& step : steps) {
        if (!step.directory.empty()) {
            if (int rc = sendCommand("CWD", step.directory); rc != 0) {
                return fromCode<ListingResult>(rc);
            }
        }
        TransferResult rc = openDataConnection("NLST\r\n");
        if (rc == TransferResult::NoSuchFile) {
            continue;  // an empty directory: the main unit answers NLST with 550
        }
        if (rc != TransferResult::Done) {
            return fromCode<ListingResult>(code(rc));
        }
        if (receiveListing(step.maxChars, false, *step.text) != ListingResult::Listed) {
            return ListingResult::Failed;
        }
    }
    return ListingResult::Listed;
}

ListingResult CFtpMng::nameListing(std::string_view directory, ListKind kind, std::u16string& text) {
    text.clear();
    if (!m_conn || !m_conn->control) {
        return ListingResult::Failed;
    }
    if (int rc = sendCommand("CWD", directory); rc != 0) {
        return rc == 550 ? ListingResult::NoDirectory : ListingResult::Refused;
    }
    if (TransferResult rc = openDataConnection(nlstCommand(kind, false)); rc != TransferResult::Done) {
        // 550 to NLST: no matching file
        return rc == TransferResult::NoSuchFile ? ListingResult::Listed : ListingResult::Refused;
    }
    return receiveListing(ftp::kListingMaxChars, false, text);
}

ListingResult CFtpMng::detailedListing(std::string_view directory, ListKind kind, DetailedListing& out) {
    out = {};
    if (!m_conn || !m_conn->control) {
        return ListingResult::Failed;
    }
    if (int rc = sendCommand("CWD", directory); rc != 0) {
        return rc == 550 ? ListingResult::NoDirectory : fromCode<ListingResult>(rc);
    }
    if (TransferResult rc = openDataConnection(nlstCommand(kind, true)); rc != TransferResult::Done) {
        return rc == TransferResult::NoSuchFile ? ListingResult::Listed : fromCode<ListingResult>(code(rc));
    }
    return receiveListing(ftp::kListingMaxChars, true, out.text, &out.byteLength);
}

}  // namespace voxmg
