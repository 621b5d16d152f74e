#pragma once

// The main unit's side of the transfer benches: message pairs written into the simulator's
// folder tree as the main unit names and heads them.
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim/main_unit_header.h"

namespace bench {

// "001" for box 1.
inline std::string boxName(int box) {
    char name[16];
    std::snprintf(name, sizeof name, "%03d", box);
    return name;
}

// Writes the ".vmdat" (header + frames) and ".vminf" (header) of one message of answering
// machine box `box` recorded at `recorded`; returns the base name.
inline std::string putUnitMessage(const std::filesystem::path& dir, int box, int serial,
                                  const std::tm& recorded, const std::string& frames) {
    voxmg::sim::HeaderFields h;
    h.recorded = recorded;
    h.boxNumber = boxName(box);
    h.lengthTenths = static_cast<std::uint32_t>(frames.size() / 100);
    auto header = voxmg::sim::encodeHeader(h);
    const std::string head(header.begin(), header.end());
    char text[16];
    std::snprintf(text, sizeof text, "%05d", serial);
    const std::string base = voxmg::sim::messageFileName(h.recorded, "0" + boxName(box), text, "");
    std::ofstream(dir / (base + ".vmdat"), std::ios::binary) << head << frames;
    std::ofstream(dir / (base + ".vminf"), std::ios::binary) << head;
    return base;
}

}  // namespace bench
