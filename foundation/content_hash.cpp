// The content hash: four lanes each multiply-rotate 8 bytes of a 32-byte
// stripe, the rest of the bytes go through one lane, and a final mix spreads
// every bit over the result. Byte order is the machine's, like every other
// file this program keeps for itself.
#include "foundation/content_hash.h"

#include <cstring>
#include <initializer_list>

namespace {

const uint64_t kP1 = 0x9E3779B185EBCA87ull;
const uint64_t kP2 = 0xC2B2AE3D27D4EB4Full;
const uint64_t kP3 = 0x165667B19E3779F9ull;
const uint64_t kP4 = 0x85EBCA77C2B2AE63ull;

inline uint64_t Rotl(uint64_t x, int r) {
  return (x << r) | (x >> (64 - r));
}

inline uint64_t Read64(const unsigned char *p) {
  uint64_t v;
  memcpy(&v, p, 8);
  return v;
}

inline uint64_t Round(uint64_t acc, uint64_t input) {
  acc += input * kP2;
  return Rotl(acc, 31) * kP1;
}

}  // namespace

uint64_t ContentHash(const void *data, size_t len) {
  const unsigned char *p = (const unsigned char *)data;
  const unsigned char *end = p + len;
  uint64_t h;
  if (len >= 32) {
    uint64_t v1 = kP1 + kP2, v2 = kP2, v3 = 0, v4 = 0 - kP1;
    for (; end - p >= 32; p += 32) {
      v1 = Round(v1, Read64(p));
      v2 = Round(v2, Read64(p + 8));
      v3 = Round(v3, Read64(p + 16));
      v4 = Round(v4, Read64(p + 24));
    }
    h = Rotl(v1, 1) + Rotl(v2, 7) + Rotl(v3, 12) + Rotl(v4, 18);
    for (uint64_t v : {v1, v2, v3, v4}) h = (h ^ Round(0, v)) * kP1 + kP4;
  } else {
    h = kP3;
  }
  h += (uint64_t)len;
  for (; end - p >= 8; p += 8) h = Rotl(h ^ Round(0, Read64(p)), 27) * kP1 + kP4;
  for (; p < end; p++) h = Rotl(h ^ (*p * kP3), 11) * kP1;
  h ^= h >> 33;
  h *= kP2;
  h ^= h >> 29;
  h *= kP3;
  h ^= h >> 32;
  return h;
}
