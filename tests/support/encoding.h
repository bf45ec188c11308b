#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Body encodings and test data. The compressed forms use stored (uncompressed) deflate blocks: valid
// gzip and zlib streams that any inflater decodes, made without a compression library.
namespace velbrook::test_support {

// RFC 1952 gzip member holding `data`.
std::string GzipEncode(std::string_view data);
// RFC 1950 zlib stream holding `data`, which is what HTTP's "deflate" coding names.
std::string DeflateEncode(std::string_view data);
// RFC 1951 raw deflate stream (no wrapper) holding `data`, as some servers send for "deflate".
std::string RawDeflateEncode(std::string_view data);

std::uint32_t Crc32(std::string_view data);
std::uint32_t Adler32(std::string_view data);

// Deterministic, position-dependent bytes: byte i of a pattern depends only on (seed, i), so any
// slice can be produced on its own. FillPattern writes bytes [offset, offset + size).
void FillPattern(std::uint32_t seed, std::uint64_t offset, char* out, std::size_t size);
std::string PatternBytes(std::uint64_t length, std::uint32_t seed = 0);

}  // namespace velbrook::test_support
