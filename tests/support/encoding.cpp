#include "tests/support/encoding.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace velbrook::test_support {
namespace {

// A stored deflate block carries at most this many bytes.
constexpr std::size_t kStoredBlockMaxBytes = 65535;

void AppendLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
}

void AppendBigEndian32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) {
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    table[n] = c;
  }
  return table;
}

std::uint64_t SplitMix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

std::string RawDeflateEncode(std::string_view data) {
  std::string out;
  out.reserve(data.size() + (data.size() / kStoredBlockMaxBytes + 1) * 5);
  std::size_t offset = 0;
  do {
    const std::size_t size = std::min(kStoredBlockMaxBytes, data.size() - offset);
    const bool last = offset + size == data.size();
    // BFINAL in bit 0, BTYPE 00 (stored); the rest of the byte is padding up to the boundary.
    out.push_back(static_cast<char>(last ? 1 : 0));
    AppendLittleEndian(out, static_cast<std::uint32_t>(size), 2);
    AppendLittleEndian(out, static_cast<std::uint32_t>(~size & 0xFFFF), 2);
    out.append(data.substr(offset, size));
    offset += size;
  } while (offset < data.size());
  return out;
}

std::string GzipEncode(std::string_view data) {
  // ID1 ID2, CM 8 (deflate), no flags, no time, no extra flags, OS 255 (unknown).
  std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
  out += RawDeflateEncode(data);
  AppendLittleEndian(out, Crc32(data), 4);
  AppendLittleEndian(out, static_cast<std::uint32_t>(data.size() & 0xFFFFFFFFu), 4);
  return out;
}

std::string DeflateEncode(std::string_view data) {
  // CMF 0x78 (deflate, 32 KiB window), FLG 0x01 so that CMF*256+FLG is a multiple of 31.
  std::string out("\x78\x01", 2);
  out += RawDeflateEncode(data);
  AppendBigEndian32(out, Adler32(data));
  return out;
}

std::uint32_t Crc32(std::string_view data) {
  static const std::array<std::uint32_t, 256> table = MakeCrcTable();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char ch : data) {
    crc = table[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(std::string_view data) {
  constexpr std::uint32_t kModulus = 65521;
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const char ch : data) {
    a = (a + static_cast<unsigned char>(ch)) % kModulus;
    b = (b + a) % kModulus;
  }
  return (b << 16) | a;
}

void FillPattern(std::uint32_t seed, std::uint64_t offset, char* out, std::size_t size) {
  // Each aligned 8-byte word of the pattern is one hash of (seed, word index).
  std::size_t written = 0;
  while (written < size) {
    const std::uint64_t position = offset + written;
    const std::uint64_t word = SplitMix64((static_cast<std::uint64_t>(seed) << 40) ^ (position / 8));
    const std::size_t inWord = static_cast<std::size_t>(position % 8);
    const std::size_t take = std::min<std::size_t>(8 - inWord, size - written);
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) {
      bytes[i] = static_cast<unsigned char>(word >> (8 * i));
    }
    std::memcpy(out + written, bytes + inWord, take);
    written += take;
  }
}

std::string PatternBytes(std::uint64_t length, std::uint32_t seed) {
  std::string out(static_cast<std::size_t>(length), '\0');
  FillPattern(seed, 0, out.data(), out.size());
  return out;
}

}  // namespace velbrook::test_support
