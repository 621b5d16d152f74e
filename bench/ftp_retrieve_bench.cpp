// Retrieves 500 files of 60 KB over loopback with the program's FTP client and with curl in
// active mode over one connection, and prints the client's time as a ratio to curl's.
// The files are served by the main unit simulator; where curl cannot fetch from it (an older
// simulator refused TYPE) both are timed against pyftpdlib serving the same files.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/device/ftp_mng.h"
#include "sim/simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kFiles = 500;
constexpr std::size_t kFileSize = 60 * 1024;

std::string fileName(int i) {
    char name[64];
    std::snprintf(name, sizeof name, "200001011200_001_0001_%05d.vmdat", i);
    return name;
}

std::string tempFolder(const char* tag) {
    std::string pattern =
        (fs::temp_directory_path() / (std::string("voxmg-bench-") + tag + "-XXXXXX")).string();
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

// Seconds for the client to fetch every file from the server on `port`, or a negative value.
// The client's writes with the sync left out: what the transfer itself costs, next to curl,
// which does not sync either.
class WritesWithoutSync : public voxmg::fileio::Writes {
public:
    bool sync(int) override { return true; }
};

double timeClient(int port, const std::string& into, bool durable) {
    voxmg::Flags flags;
    voxmg::CFtpMng ftp({u"127.0.0.1", u"hozen", u"hozen", port}, flags, voxmg::Pump{});
    WritesWithoutSync noSync;
    if (!durable) {
        voxmg::DownloadEnv env;
        env.writes = &noSync;
        ftp.setDownloadEnv(env);
    }
    if (ftp.connectAndLogin() != voxmg::LoginResult::LoggedIn ||
        ftp.commandExchange("CWD /rusuroku/01\r\n") != 0) {
        return -1;
    }
    ftp.connection()->localFolder = into;
    auto begin = Clock::now();
    for (int i = 0; i < kFiles; ++i) {
        if (ftp.retrieve(fileName(i), fileName(i), true, true) != voxmg::TransferResult::Done) {
            std::fprintf(stderr, "client: retrieval of %s failed\n", fileName(i).c_str());
            return -1;
        }
    }
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    ftp.disconnect();
    return seconds;
}

// Seconds for one curl run fetching every file over one connection in active mode.
double timeCurl(int port, const std::string& into, int files, bool quiet = false) {
    std::string last = std::to_string(files - 1);
    std::string command = "curl -s -S -f -P - --user hozen:hozen 'ftp://127.0.0.1:" + std::to_string(port) +
                          "/rusuroku/01/200001011200_001_0001_[00000-" + std::string(5 - last.size(), '0') +
                          last + "].vmdat' -o '" + into + "/#1.vmdat'" + (quiet ? " 2>/dev/null" : "");
    auto begin = Clock::now();
    int rc = std::system(command.c_str());
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    return rc == 0 ? seconds : -1;
}

// pyftpdlib in binary mode on loopback; its port, or 0.
int startPyftpdlib(const std::string& root, pid_t& pid, int& output) {
    static const char* script = R"(
import logging, sys
logging.disable(logging.CRITICAL)
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_user("hozen", "hozen", sys.argv[1], perm="elr")
class Handler(FTPHandler):
    banner = "Zu-QX bench server"
    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self._current_type = "i"
Handler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever(timeout=0.1)
)";
    int out[2];
    if (::pipe(out) != 0) {
        return 0;
    }
    pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        ::execl("/usr/bin/python3", "python3", "-c", script, root.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    output = out[0];
    std::string text;
    char c = 0;
    while (pid > 0 && ::read(output, &c, 1) == 1 && c != '\n') {
        text.push_back(c);
    }
    return std::atoi(text.c_str());
}

// Seconds to flush every file of a folder to the disk, one fdatasync each: what the client
// does for every file before it gives it its name, and curl does not.
double syncEach(const std::string& folder) {
    auto begin = Clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::fdatasync(fd);
            ::close(fd);
        }
    }
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

void report(const char* server, double client, double durable, double curl, double curlSync) {
    std::printf("%s: client %.3f s, curl %.3f s, ratio %.2f (aim: at most 1.1 against pyftpdlib)\n", server,
                client, curl, client / curl);
    std::printf(
        "%s: the client syncing each file before naming it %.3f s, against curl and a sync of "
        "each of its files afterwards (%.3f s) %.2f\n",
        server, durable, curl + curlSync, durable / (curl + curlSync));
}

}  // namespace

int main() {
    std::string root = tempFolder("root");
    fs::create_directories(root + "/rusuroku/01");
    std::string bytes(kFileSize, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 31 + i / 977);
    }
    for (int i = 0; i < kFiles; ++i) {
        std::ofstream(root + "/rusuroku/01/" + fileName(i), std::ios::binary) << bytes;
    }

    voxmg::sim::Config config;
    config.root = root;
    voxmg::sim::Simulator simulator(config);
    if (!simulator.start()) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }
    std::string clientDir = tempFolder("client");
    std::string curlDir = tempFolder("curl");
    bool curlFetches = timeCurl(simulator.port(), curlDir, 1, true) > 0;
    std::printf("%d files of %zu bytes over loopback, best of 3 runs each\n", kFiles, kFileSize);
    // Best of three, each side in turn; the sync of curl's files is timed after its run.
    auto compare = [&](const char* server, int port) {
        double client = 1e9;
        double durable = 1e9;
        double curl = 1e9;
        double curlSync = 1e9;
        for (int round = 0; round < 3; ++round) {
            double c = timeCurl(port, curlDir, kFiles);
            double s = syncEach(curlDir);
            double o = timeClient(port, clientDir, false);
            double d = timeClient(port, clientDir, true);
            if (c < 0 || o < 0 || d < 0) {
                std::printf("%s: a run failed\n", server);
                return;
            }
            curl = std::min(curl, c);
            curlSync = std::min(curlSync, s);
            client = std::min(client, o);
            durable = std::min(durable, d);
        }
        report(server, client, durable, curl, curlSync);
    };
    if (curlFetches) {
        compare("simulator", simulator.port());
    } else {
        std::printf("simulator: curl cannot fetch from it\n");
    }
    pid_t pid = -1;
    int output = -1;
    if (int port = startPyftpdlib(root, pid, output); port > 0) {
        compare("pyftpdlib", port);
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    ::close(output);
    for (const auto& folder : {root, clientDir, curlDir}) {
        fs::remove_all(folder);
    }
    return 0;
}
