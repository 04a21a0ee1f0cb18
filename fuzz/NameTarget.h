// The output-name fuzz target's work: stored names (raw bytes) decoded and
// mapped to output paths under one set of naming rules, each mapping
// checked against what every output path must be whatever the rules:
// relative, with no empty, "." or ".." component, every component at most
// 255 bytes of valid UTF-8 holding no separator, and below the destination
// when joined to it; under Windows rules, no reserved character, trailing
// dot or blank, or device name. Claiming the same name again gives the same
// path, and names that differ below the destination never share a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "archive/output/OutputNames.h"

namespace tessaly::fuzz {

// How much an output path is held to: where it lands (relative, no empty,
// "." or ".." component, no separator inside one); that and valid UTF-8 (a
// decoded name's safe path); all that and the component rules (a path
// files are made at). SafeRelativePath keeps long and odd components as
// they are, and raw bytes as they were stored.
enum class PathCheck { Placement, Text, Storable };

// What is wrong with `mapped` as an output path under `rules`; empty when
// nothing is.
std::string OutputPathFault(const std::filesystem::path& mapped, const NameRules& rules, PathCheck check);

// The target. The first byte chooses the rules (bit 0 Windows names, bit 1
// letter case ignored, bit 2 the UTF-8 flag); the rest is names separated
// by NUL bytes. Returns the first fault found, empty when there is none.
std::string CheckNameMapping(const std::uint8_t* data, std::size_t size);

}  // namespace tessaly::fuzz
