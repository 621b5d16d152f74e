#include "core/store/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <span>

namespace voxmg::fileio {

bool replaceThrough(Writes& writes, const std::string& path, std::string_view bytes, mode_t mode,
                    bool durable, const std::string& tempPrefix) {
    std::string temp = tempPrefix + "XXXXXX";
    // mkostemp: mode 0600 and a name no other run can hold, so nobody reads a half-written file.
    const int raw = ::mkostemp(temp.data(), O_CLOEXEC);
    if (raw < 0) {
        return false;
    }
    Fd fd(raw);
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             bytes.size());
    bool ok =
        writes.write(fd.get(), data) && ::fchmod(fd.get(), mode) == 0 && (!durable || writes.sync(fd.get()));
    ok = ::close(fd.release()) == 0 && ok;
    ok = ok && writes.rename(temp, path);
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

}  // namespace voxmg::fileio
