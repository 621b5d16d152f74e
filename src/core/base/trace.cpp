#include "core/base/trace.h"

#include <mutex>
#include <utility>

namespace voxmg {
namespace {
std::mutex g_traceLock;
TraceSink g_traceSink;
}  // namespace

void setTraceSink(TraceSink sink) {
    std::lock_guard lock(g_traceLock);
    g_traceSink = std::move(sink);
}

void trace(std::string_view line) {
    std::lock_guard lock(g_traceLock);
    if (g_traceSink) {
        g_traceSink(line);
    }
}

}  // namespace voxmg
