#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Pure pieces of the FTP dialogue: reply line assembly, reply codes and their success sets,
// the greeting's model check and the PORT command text. Kept free of sockets so they can be
// tested against tables of raw lines.
namespace voxmg::ftp {

// The only main unit model this program talks to; the greeting must name it.
inline constexpr std::string_view kModelName = "Zu-QX";

// Longest reply line kept by the command exchange and the reply drain; longer replies are cut
// there and their rest is read as the next line.
inline constexpr std::size_t kReplyLineMax = 510;

// Collects the bytes of one reply line. Each byte is kept as one character (no code page is
// applied); CR LF ends the line and the CR is dropped; the line also ends when `maxChars`
// characters are held.
class ReplyLineBuilder {
public:
    explicit ReplyLineBuilder(std::size_t maxChars) : m_max(maxChars) {}
    // Adds one received byte; true when the line is complete.
    bool push(char byte);
    // How many of `bytes`, were they added, would belong to this line: up to and including the
    // byte that completes it, or all of them when the line goes on. Lets a reader take from
    // the socket exactly one line and leave what follows for the next reader.
    std::size_t lineBytes(std::string_view bytes) const;
    // Adds bytes up to the end of the line (lineBytes() of them); true when it is complete.
    bool push(std::string_view bytes);
    const std::string& line() const { return m_line; }
    std::string take() { return std::move(m_line); }

private:
    std::string m_line;
    std::size_t m_max;
};

// The decimal value of the line's first token (tokens separated by spaces and hyphens, so
// "220 x" and "220-x" both give 220); 0 when the token does not start with digits; nothing
// when the line holds no token at all.
std::optional<int> replyCode(std::string_view line);

// Replies that count as success for a command. 226 is not among them: the end of a transfer
// is read on its own.
bool isSuccessCode(int code);
// The store's final reply: the transfer's completion (226, or 250 from some servers).
bool isStoreSuccessCode(int code);

// "220", one separator, then the model name.
bool greetingNamesModel(std::string_view line);

// Result of the command exchange for a reply line: 0 for success (and for a 220 that names
// our model), otherwise the code; -1 when the line holds no token.
int exchangeResult(std::string_view line);
// The same for the store's final reply with its own success set.
int storeResult(std::string_view line);

// "PORT h1,h2,h3,h4,p1,p2\r\n" for an address and port in host order.
std::string portCommand(std::uint32_t address, std::uint16_t port);

// A command line "VERB argument\r\n" (or "VERB\r\n"); nothing when the argument holds CR or
// LF, which would smuggle a second command onto the control connection.
std::optional<std::string> commandLine(std::string_view verb, std::string_view argument);

}  // namespace voxmg::ftp
