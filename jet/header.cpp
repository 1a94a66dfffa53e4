// Page 0: detection and field access.
#include "jet/header.h"

#include <cmath>
#include <cstring>

#include "jet/bytes.h"
#include "jet/error.h"

namespace jet {

namespace {

// The header mask: the first 128 bytes of the RC4 keystream for the key C7 DA 39 6B.
std::array<uint8_t, fmt::kHdrMaskLen> makeMask() {
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = uint8_t(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 255;
        std::swap(s[i], s[j]);
    }
    std::array<uint8_t, fmt::kHdrMaskLen> out{};
    for (size_t n = 0, i = 0, j = 0; n < out.size(); ++n) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        out[n] = s[(s[i] + s[j]) & 255];
    }
    return out;
}

const std::array<uint8_t, fmt::kHdrMaskLen>& mask() {
    static const auto m = makeMask();
    return m;
}

}  // namespace

void Header::applyMask(std::span<uint8_t> page0) {
    for (size_t i = 0; i < fmt::kHdrMaskLen; ++i) page0[fmt::kHdrMaskStart + i] ^= mask()[i];
}

Header Header::parse(std::span<const uint8_t> page0, uint64_t fileSize, bool allowPassword) {
    const char* notDb = "The file is not a Jet 4 (Access 2000-2003) database";
    if (fileSize < 0x18 || page0.size() < 0x18)
        throwError(ErrorKind::Unsupported, std::string(notDb) + ": it is empty or too short");
    if (page0[0] != 0 || page0[1] != 1 || page0[2] != 0 || page0[3] != 0)
        throwError(ErrorKind::Unsupported, std::string(notDb) + ": it has no database header");
    char name[16] = {};
    std::memcpy(name, page0.data() + fmt::kHdrEngineName, 15);
    std::string engine(name);
    if (engine == "MSISAM Database")
        throwError(ErrorKind::Unsupported,
                   "The file is an MSISAM (Works/Money) database, which is not supported");
    if (engine != "Standard Jet DB" && engine != "Standard ACE DB")
        throwError(ErrorKind::Unsupported, std::string(notDb) + ": unknown engine name");
    uint8_t version = page0[fmt::kHdrVersion];
    if (engine == "Standard ACE DB" || version >= 2)
        throwError(ErrorKind::Unsupported,
                   "The file is an Access 2007 or later (.accdb) database, which is not supported; "
                   "save it in the Access 2000 format");
    if (version == 0)
        throwError(ErrorKind::Unsupported,
                   "The file is an Access 97 (Jet 3) database, which is not supported; convert it "
                   "to the Access 2000 format");
    if (fileSize < fmt::kPageSize * 3 || page0.size() < fmt::kPageSize)
        throwError(ErrorKind::Corrupt, "The database file is damaged: it is truncated (" +
                                           std::to_string(fileSize) + " bytes)");
    if (fileSize % fmt::kPageSize != 0)
        throwError(ErrorKind::Corrupt, "The database file is damaged: its size (" +
                                           std::to_string(fileSize) +
                                           " bytes) is not a whole number of pages; it may be "
                                           "truncated");
    Header h;
    std::memcpy(h.raw_.data(), page0.data(), fmt::kPageSize);
    h.unmasked_ = h.raw_;
    applyMask(h.unmasked_);
    const auto& u = h.unmasked();
    Bytes b(u.data(), u.size(), 0);
    if (b.u32(fmt::kHdrEncodingKey) != 0)
        throwError(ErrorKind::Unsupported,
                   "The database is encoded (encrypted), which is not supported; decode it in "
                   "Access first");
    if (!allowPassword && !h.password().empty())
        throwError(ErrorKind::Unsupported,
                   "The database is protected by a password; remove the password in Access "
                   "and open it again");
    return h;
}

uint16_t Header::codePage() const {
    const auto& u = unmasked();
    return Bytes(u.data(), u.size(), 0).u16(fmt::kHdrCodePage);
}
uint16_t Header::sortOrder() const {
    const auto& u = unmasked();
    return Bytes(u.data(), u.size(), 0).u16(fmt::kHdrSortOrder);
}
uint8_t Header::sortVersion() const {
    return unmasked()[fmt::kHdrSortVersion];
}
double Header::creationDate() const {
    const auto& u = unmasked();
    return Bytes(u.data(), u.size(), 0).f64(fmt::kHdrCreationDate);
}

std::u16string Header::password() const {
    const auto& u = unmasked();
    double date = Bytes(u.data(), u.size(), 0).f64(fmt::kHdrCreationDate);
    // The password is XORed with the integer part of the creation date, repeated.
    int32_t d = (date > -2147483648.0 && date < 2147483647.0) ? int32_t(std::floor(date)) : 0;
    uint8_t pat[4];
    putU32(pat, uint32_t(d));
    std::u16string pw;
    for (size_t i = 0; i + 1 < fmt::kHdrPasswordLen; i += 2) {
        uint8_t lo = u[fmt::kHdrPassword + i] ^ pat[i % 4];
        uint8_t hi = u[fmt::kHdrPassword + i + 1] ^ pat[(i + 1) % 4];
        char16_t c = char16_t(lo | hi << 8);
        if (c == 0) break;
        pw.push_back(c);
    }
    return pw;
}

std::array<uint8_t, fmt::kPageSize> Header::withSortOrder(uint16_t lcid, uint8_t version) const {
    auto u = unmasked();
    putU16(u.data() + fmt::kHdrSortOrder, lcid);
    u[fmt::kHdrSortVersion] = version;
    applyMask(u);
    return u;
}

}  // namespace jet
