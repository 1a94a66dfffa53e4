// The database header (page 0): detection of what kind of file this is, and the fields the
// engine needs (code page, sort order, password, creation date). Part of page 0 is masked with
// a fixed RC4 keystream; Header keeps the page raw and unmasks on access.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "jet/format.h"

namespace jet {

class Header {
  public:
    // Validates page 0 of a file of `fileSize` bytes. Throws Unsupported or Corrupt with a
    // message that says what the file is when it is not a Jet 4 database we can open.
    // `allowPassword` lets callers (compaction of a user's own file, tools) open a database
    // that has a password; the editor's connection passes an empty password and refuses them.
    static Header parse(std::span<const uint8_t> page0, uint64_t fileSize, bool allowPassword);

    uint16_t codePage() const;
    uint16_t sortOrder() const;   // LCID, 0x0409 = General
    uint8_t sortVersion() const;  // 0 = General legacy (Access 2000..2007)
    bool generalSortOrder() const { return sortOrder() == fmt::kSortGeneral && sortVersion() == 0; }
    double creationDate() const;
    std::u16string password() const;  // empty when none

    // Raw (masked) page 0 as stored.
    const std::array<uint8_t, fmt::kPageSize>& raw() const { return raw_; }
    // Page 0 with its masked region unmasked (for writers that change a field and re-mask).
    const std::array<uint8_t, fmt::kPageSize>& unmasked() const { return unmasked_; }
    static void applyMask(std::span<uint8_t> page0);

    // Page 0 with a different sort order, re-masked.
    std::array<uint8_t, fmt::kPageSize> withSortOrder(uint16_t lcid, uint8_t version) const;

  private:
    std::array<uint8_t, fmt::kPageSize> raw_{};
    std::array<uint8_t, fmt::kPageSize> unmasked_{};  // raw_ unmasked once, at parse
};

}  // namespace jet
