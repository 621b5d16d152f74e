#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "core/store/file_io.h"

namespace voxmg::fileio {

// The one way this program replaces a whole file (replaceFile is a front to it).
// Replaces (or creates) `path` with `bytes` through a private temporary file named `tempPrefix`
// (a path on the same file system, usually beside it) + six random characters, renamed over it:
// a reader or a kill sees the old or the new content, never a torn one. Every write, flush and rename goes
// through `writes`, so a test can fail any of them the way a full disk does; after a failure the temporary
// file is removed and `path` is untouched. `durable`: the content is flushed before the rename.
bool replaceThrough(Writes& writes, const std::string& path, std::string_view bytes, mode_t mode,
                    bool durable, const std::string& tempPrefix);

}  // namespace voxmg::fileio
