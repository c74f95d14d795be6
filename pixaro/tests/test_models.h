// Byte-wise models of the conversions written from their formulas, independent of the
// library's word and SIMD code, and the list of paths a test runs.
#pragma once

#include "paths.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace pixaro::test {

using Bytes = std::vector<std::uint8_t>;

// Every processor class with every instruction-set level this machine runs.
std::vector<Path> AllPaths();
std::string Name(const Path& path);

Bytes RandomBytes(std::size_t size, std::mt19937& rng);

Bytes Model411To422(const Bytes& src, std::uint32_t width, std::uint32_t height);
Bytes Model422To411(const Bytes& src, std::uint32_t width, std::uint32_t height);
// YUY2 -> BGRX as the given class computes it (plain: the floating-point reference).
Bytes ModelBgrx(const Bytes& src, std::uint32_t width, std::uint32_t height, ProcessorClass cls);

} // namespace pixaro::test
