// The mail sender's look at the boxes when nothing is due, against `voxmgctl list` of the same
// 50,000 messages in four boxes: the sender looks every minute, so its look must cost a small
// part of a list. Measured as whole processes (`voxmgctl mail-outbox`, which looks as
// `mail-send` does) in turns with the list, best of five; and the look alone, in this process,
// as the window and the server run it.
// Usage: mail_due_bench VOXMGCTL [MESSAGES]   (default 50000)
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench_run.h"
#include "core/mail/mail_due.h"
#include "core/mail/mail_ledger.h"
#include "core/mail/mail_outbox.h"
#include "core/store/filests_info.h"
#include "list_bench_setup.h"

using namespace voxmg;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mail_due_bench VOXMGCTL [MESSAGES]\n");
        return 2;
    }
    const std::string ctl = argv[1];
    const int total = argc > 2 ? std::max(bench::kListBoxes, std::atoi(argv[2])) : 50000;
    const std::string root = bench::scratchFolder();
    if (root.empty() ||
        !bench::writeBoxList(root + "/bench", total, [](FILESTS_INFO&, int, const std::string&) {})) {
        std::perror("generate");
        return 1;
    }
    // Mail set up after the messages came (a second later: times are whole seconds): every one
    // of them is old.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const std::string settings = root + "/settings";
    std::filesystem::create_directories(settings);
    std::string ini =
        "[SERVER]\r\nHOST=127.0.0.1\r\nPORT=1\r\nSECURITY=2\r\nFROM=voxmg@example.com\r\n[RECIPIENTS]\r\n";
    for (int b = 0; b < bench::kListBoxes; ++b) {
        ini += "bench/rusuroku/" + bench::listBoxName(b) + "=a@example.com\r\n";
    }
    bench::writeWhole(settings + "/VOXMG-mail.ini", ini);
    mail::Outbox(mail::Outbox::folderIn(settings)).noteDataFolder(root);

    const std::vector<std::string> look = {ctl, "mail-outbox", "--settings", settings};
    const std::vector<std::string> list = {
        ctl,        "list",  "--root",  root,
        "--folder", "bench", "--boxes", "rusuroku/0101,rusuroku/0102,rusuroku/0103,rusuroku/0104"};
    const bench::Run first = bench::runChild(look, root + "/first.json");  // notes the 50,000 as old
    bench::runChild(list, root + "/list.json");                            // the page cache warm
    bench::Run bestLook{1e300}, bestList{1e300};
    for (int turn = 0; turn < 5; ++turn) {
        const bench::Run l = bench::runChild(list, root + "/list.json");
        const bench::Run m = bench::runChild(look, root + "/look.json");
        if (l.status != 0 || m.status != 0) {
            std::fprintf(stderr, "a run failed: list %d, mail-outbox %d\n", l.status, m.status);
        }
        bestList = l.ms < bestList.ms ? l : bestList;
        bestLook = m.ms < bestLook.ms ? m : bestLook;
    }
    mail::MailLedger ledger(settings);
    const mail::MailSettings mailSettings = mail::loadMailSettings(settings + "/VOXMG-mail.ini");
    const auto roots = mail::mailRoots(settings);
    double inProcess = 1e300;
    for (int turn = 0; turn < 5; ++turn) {
        inProcess = std::min(
            inProcess, bench::elapsedMs([&] {
                if (!mail::scanDue(ledger, mailSettings, roots, 0, std::time(nullptr)).waiting.empty()) {
                    std::fprintf(stderr, "an old message was taken for new\n");
                }
            }));
    }
    std::printf("messages %d in %d boxes, nothing due\n", total, bench::kListBoxes);
    std::printf("voxmgctl list              %8.1f ms\n", bestList.ms);
    std::printf("first look (notes the old) %8.1f ms  (%.2fx the list)\n", first.ms, first.ms / bestList.ms);
    std::printf("voxmgctl mail-outbox       %8.1f ms  (%.2fx the list; aim <= 0.3x)\n", bestLook.ms,
                bestLook.ms / bestList.ms);
    std::printf("the look in process        %8.1f ms  (%.2fx the list)\n", inProcess,
                inProcess / bestList.ms);
    std::filesystem::remove_all(root);
    return 0;
}
