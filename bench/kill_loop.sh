#!/usr/bin/env bash
# The long kill loop: `voxmgctl download` with automatic deletion killed at 500 random moments
# against a slow simulator; after every kill no broken file may carry a message's name and no
# message may be gone from the main unit without a complete copy here. CTest runs 20 kills.
#   bench/kill_loop.sh [BUILD_DIR] [KILLS]
set -euo pipefail
build="${1:-build/release}"
kills="${2:-500}"
exec "$build/tests/core/device/download_kill_loop" --ctl "$build/src/tools/voxmgctl" --kills "$kills"
