// Parsing of Access property blobs.
//
//   "MR2\0", then chunks: u32 length (with this 6-byte head), u16 kind
//   kind 0x80: property names, each u16 byte length + UTF-16LE
//   kind 0x00..0x02: one object's values: u32 length, u16 name length + UTF-16LE object name,
//     then entries: u16 entry length, u8 DDL flag, u8 type, u16 name index, u16 value length,
//     value bytes
#include "jet/properties.h"

#include <cstring>

#include "jet/error.h"
#include "jet/value.h"

namespace jet {

namespace {

std::string utf16(Bytes b) {
    std::u16string s;
    for (size_t i = 0; i + 1 < b.size(); i += 2) s.push_back(char16_t(b.u16(i)));
    return toUtf8(s);
}

}  // namespace

PropertyMap parseProperties(Bytes blob) {
    PropertyMap out;
    if (blob.size() < 4 || std::memcmp(blob.data(), "MR2", 4) != 0)
        throwCorrupt(blob.page(), "a property blob does not start with its signature");
    std::vector<std::string> names;
    size_t pos = 4;
    while (pos + 6 <= blob.size()) {
        uint32_t len = blob.u32(pos);
        uint16_t kind = blob.u16(pos + 4);
        if (len < 6) throwCorrupt(blob.page(), "a property chunk is too short");
        Bytes chunk = blob.sub(pos + 6, len - 6, "property chunk");
        if (kind == 0x80) {
            names.clear();
            for (size_t p = 0; p + 2 <= chunk.size();) {
                uint16_t n = chunk.u16(p);
                names.push_back(utf16(chunk.sub(p + 2, n, "property name")));
                p += 2 + size_t(n);
            }
        } else if (kind <= 0x02) {
            uint16_t nameLen = chunk.u16(4);
            std::string object = utf16(chunk.sub(6, nameLen, "property object name"));
            auto& props = out[object];
            for (size_t p = 6 + size_t(nameLen); p + 8 <= chunk.size();) {
                uint16_t entryLen = chunk.u16(p);
                uint16_t index = chunk.u16(p + 4);
                uint16_t size = chunk.u16(p + 6);
                if (entryLen < 8) throwCorrupt(blob.page(), "a property entry is too short");
                if (index < names.size()) {
                    PropertyValue v;
                    v.type = chunk.u8(p + 3);
                    v.bytes = chunk.sub(p + 8, size, "property value").copy();
                    props[names[index]] = std::move(v);
                }
                p += entryLen;
            }
        }
        pos += len;
    }
    return out;
}

}  // namespace jet
