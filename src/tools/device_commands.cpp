// voxmgctl login / boxes / ls / get / put / rm: talk to a main unit (or the simulator) with the
// program's own FTP client, one command per connection.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "core/base/flags.h"
#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/device/ftp_mng.h"
#include "tools/command.h"

namespace voxmg::tools {
namespace {

using Json = nlohmann::ordered_json;

const std::vector<std::string> kConnectionOptions = {"--host", "--port", "--user", "--password-file"};
const std::string kConnectionUsage = "--host A [--port P] --user U --password-file F";

// Connects and logs in; on success `run` does the work with the logged-in client and its
// value is printed and returned as the exit status (0 when it is the operation's success).
int withLogin(const Args& args, const std::function<int(CFtpMng&)>& run) {
    std::string host = optionValue(args, "--host");
    std::string user = optionValue(args, "--user");
    std::string passwordFile = optionValue(args, "--password-file");
    std::string password;
    if (host.empty() || user.empty() || !readPasswordFile(passwordFile, password)) {
        std::fprintf(stderr, "voxmgctl: needs %s\n", kConnectionUsage.c_str());
        return 2;
    }
    int port = std::atoi(optionValue(args, "--port").c_str());
    Flags flags;
    CFtpMng ftp(
        FtpLogin{text::utf16FromUtf8(host), text::utf16FromUtf8(user), text::utf16FromUtf8(password), port},
        flags, Pump{});
    LoginResult login = ftp.connectAndLogin();
    if (login != LoginResult::LoggedIn) {
        std::printf("%d\n", code(login));
        return 1;
    }
    int result = run(ftp);
    ftp.disconnect();
    return result;
}

std::vector<std::string> lines(const std::u16string& text) {
    std::vector<std::string> out;
    std::string all = text::utf8FromUtf16(text);
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = all.size();
        }
        if (end > start) {
            out.push_back(all.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

// Prints the result's code; the exit status says whether it was `success`.
template <typename Result>
int printCode(Result result, Result success) {
    std::printf("%d\n", code(result));
    return result == success ? 0 : 1;
}

int login(const Args& args) {
    return withLogin(args, [](CFtpMng&) { return printCode(LoginResult::LoggedIn, LoginResult::LoggedIn); });
}

int boxes(const Args& args) {
    return withLogin(args, [](CFtpMng& ftp) {
        BoxListing listing;
        ListingResult result = ftp.boxListing(listing);
        Json json{{"result", code(result)},
                  {"root", lines(listing.root)},
                  {"rusuroku", lines(listing.answering)},
                  {"naisen", lines(listing.extension)}};
        std::cout << json.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
        return result == ListingResult::Listed ? 0 : 1;
    });
}

int ls(const Args& args) {
    auto rest = positional(args, kConnectionOptions);
    if (rest.size() != 1) {
        std::fprintf(stderr, "voxmgctl: ls needs one remote directory\n");
        return 2;
    }
    return withLogin(args, [&](CFtpMng& ftp) {
        std::u16string text;
        ListingResult result = ListingResult::Listed;
        if (hasFlag(args, "--long")) {
            DetailedListing listing;
            result = ftp.detailedListing(rest[0], ListKind::All, listing);
            text = listing.text;
        } else {
            result = ftp.nameListing(rest[0], ListKind::All, text);
        }
        for (const auto& line : lines(text)) {
            std::cout << line << "\n";
        }
        if (result != ListingResult::Listed) {
            std::fprintf(stderr, "voxmgctl: listing failed with %d\n", code(result));
        }
        return result == ListingResult::Listed ? 0 : 1;
    });
}

int get(const Args& args) {
    auto rest = positional(args, kConnectionOptions);
    if (rest.size() != 2) {
        std::fprintf(stderr, "voxmgctl: get needs REMOTE and LOCALDIR\n");
        return 2;
    }
    return withLogin(args, [&](CFtpMng& ftp) {
        // The main unit is asked from inside the file's directory, as the download engines do.
        std::string directory(paths::parentOf(rest[0]));
        std::string name(paths::fileName(rest[0]));
        if (!directory.empty() && ftp.commandExchange("CWD " + directory + "\r\n") != 0) {
            return printCode(ListingResult::NoDirectory, ListingResult::Listed);
        }
        ftp.connection()->localFolder = rest[1];
        return printCode(ftp.retrieve(name, name, true, true), TransferResult::Done);
    });
}

int put(const Args& args) {
    auto rest = positional(args, kConnectionOptions);
    std::error_code ec;
    const bool plain = rest.size() == 1 && std::filesystem::is_regular_file(rest[0], ec);
    std::ifstream in(plain ? rest[0] : std::string(), std::ios::binary);
    if (!plain || !in) {
        std::fprintf(stderr, "voxmgctl: put needs one readable FILE\n");
        return 2;
    }
    std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return withLogin(args, [&](CFtpMng& ftp) {
        auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        return printCode(ftp.storeResponseMessage(std::string(paths::fileName(rest[0])), bytes),
                         TransferResult::Done);
    });
}

int rm(const Args& args) {
    auto rest = positional(args, kConnectionOptions);
    if (rest.size() != 1) {
        std::fprintf(stderr, "voxmgctl: rm needs one remote PATH\n");
        return 2;
    }
    return withLogin(args,
                     [&](CFtpMng& ftp) { return printCode(ftp.deleteFile(rest[0]), TransferResult::Done); });
}

CommandRegistrar loginCommand{Command{"login", "login " + kConnectionUsage + "   (prints 0/1/2/3)", login}};
CommandRegistrar boxesCommand{
    Command{"boxes", "boxes " + kConnectionUsage + "   (box listing as JSON)", boxes}};
CommandRegistrar lsCommand{Command{"ls", "ls " + kConnectionUsage + " DIR [--long]", ls}};
CommandRegistrar getCommand{Command{"get", "get " + kConnectionUsage + " REMOTE LOCALDIR", get}};
CommandRegistrar putCommand{Command{"put", "put " + kConnectionUsage + " FILE   (into /outou/)", put}};
CommandRegistrar rmCommand{Command{"rm", "rm " + kConnectionUsage + " PATH", rm}};

}  // namespace
}  // namespace voxmg::tools
