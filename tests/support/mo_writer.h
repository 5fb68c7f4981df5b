// Writes compiled gettext catalogues (.mo) for tests: pairs of original and
// translation, in either byte order, without a hash table (msgfmt's own is
// optional and the program does not read it).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velmora_test {

using MoPairs = std::vector<std::pair<std::string, std::string>>;

// A catalogue holding a UTF-8 header (header given, or the usual one) and
// pairs, sorted by original as msgfmt writes them.
inline std::string MakeMo(MoPairs pairs, bool big_endian = false,
                          const std::string &header = "Content-Type: text/plain; charset=UTF-8\n") {
  pairs.insert(pairs.begin(), {"", header});
  std::sort(pairs.begin(), pairs.end());
  auto word = [big_endian](std::string &out, uint32_t v) {
    for (int i = 0; i < 4; i++) {
      int shift = big_endian ? 24 - 8 * i : 8 * i;
      out += (char)((v >> shift) & 0xFF);
    }
  };
  uint32_t n = (uint32_t)pairs.size();
  uint32_t originals = 28, translations = originals + 8 * n;
  uint32_t strings = translations + 8 * n;
  std::string tables_o, tables_t, data;
  for (const auto &p : pairs) {
    word(tables_o, (uint32_t)p.first.size());
    word(tables_o, strings + (uint32_t)data.size());
    data += p.first;
    data += '\0';
  }
  for (const auto &p : pairs) {
    word(tables_t, (uint32_t)p.second.size());
    word(tables_t, strings + (uint32_t)data.size());
    data += p.second;
    data += '\0';
  }
  std::string out;
  word(out, 0x950412de);
  word(out, 0);  // revision
  word(out, n);
  word(out, originals);
  word(out, translations);
  word(out, 0);  // no hash table
  word(out, 0);
  return out + tables_o + tables_t + data;
}

}  // namespace velmora_test
