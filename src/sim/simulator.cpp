#include "sim/simulator.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <atomic>
#include <list>
#include <mutex>
#include <thread>

#include "sim/net.h"
#include "sim/remote_tree.h"
#include "sim/session.h"

namespace voxmg::sim {

using namespace std::chrono_literals;

struct Simulator::Impl {
    explicit Impl(Config c) : config(std::move(c)), tree(config.root), faults(config.faults) {}

    struct Connection {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptLoop();
    void reapFinished(bool all);
    Faults currentFaults() const {
        std::lock_guard lock(mutex);
        return faults;
    }
    void log(std::string line) {
        std::lock_guard lock(mutex);
        commandLog.push_back(std::move(line));
    }

    Config config;
    RemoteTree tree;
    mutable std::mutex mutex;  // faults and commandLog
    Faults faults;
    std::vector<std::string> commandLog;
    std::atomic<bool> stopping{false};
    UniqueFd listener;
    std::uint16_t port = 0;
    std::thread acceptThread;
    std::list<std::unique_ptr<Connection>> connections;  // touched by the accept thread, then by stop()
};

void Simulator::Impl::acceptLoop() {
    while (!stopping.load()) {
        reapFinished(false);
        if (waitReadable(listener.get(), 200ms, stopping) != WaitResult::Ready) {
            continue;
        }
        UniqueFd control{::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC)};
        if (!control.valid()) {
            continue;
        }
        // Replies are small and follow each other (150 ... 226): without this, each second
        // reply waits for the client's delayed acknowledgement of the first.
        int on = 1;
        ::setsockopt(control.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        auto connection = std::make_unique<Connection>();
        Connection* slot = connection.get();
        SessionEnvironment environment{config, tree, [this] { return currentFaults(); },
                                       [this](std::string line) { log(std::move(line)); }, stopping};
        slot->thread = std::thread([slot, environment, fd = std::move(control)]() mutable {
            Session(environment, std::move(fd)).run();
            slot->done.store(true);
        });
        connections.push_back(std::move(connection));
    }
}

void Simulator::Impl::reapFinished(bool all) {
    for (auto it = connections.begin(); it != connections.end();) {
        if (all || (*it)->done.load()) {
            (*it)->thread.join();
            it = connections.erase(it);
        } else {
            ++it;
        }
    }
}

Simulator::Simulator(Config config) : m_impl(std::make_unique<Impl>(std::move(config))) {}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start() {
    if (m_impl->acceptThread.joinable()) {
        return true;
    }
    m_impl->listener = listenOn(m_impl->config.bindAddress, m_impl->config.port, 16);
    if (!m_impl->listener.valid()) {
        return false;
    }
    auto bound = localAddress(m_impl->listener.get());
    m_impl->port = bound ? ntohs(bound->sin_port) : 0;
    m_impl->stopping.store(false);
    m_impl->acceptThread = std::thread([impl = m_impl.get()] { impl->acceptLoop(); });
    return true;
}

void Simulator::stop() {
    m_impl->stopping.store(true);
    if (m_impl->acceptThread.joinable()) {
        m_impl->acceptThread.join();
    }
    m_impl->reapFinished(true);
    m_impl->listener.reset();
}

std::uint16_t Simulator::port() const {
    return m_impl->port;
}

void Simulator::setFaults(const Faults& faults) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->faults = faults;
}

std::vector<std::string> Simulator::commandLog() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->commandLog;
}

void Simulator::clearCommandLog() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->commandLog.clear();
}

}  // namespace voxmg::sim
