// Parsing of Access property blobs.
//
//   "MR2\0", then chunks: u32 length (with this 6-byte head), u16 kind
//   kind 0x80: property names, each u16 byte length + UTF-16LE
//   kind 0x00..0x02: one object's values: u32 length, u16 name length + UTF-16LE object name,
//     then entries: u16 entry length, u8 DDL flag, u8 type, u16 name index, u16 value length,
//     value bytes
#include "jet/properties.h"

#include <algorithm>
#include <cstring>

#include "jet/error.h"
#include "jet/text.h"
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
                    v.flag = chunk.u8(p + 2);
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

std::u16string PropertyValue::asText() const {
    return decodeText(Bytes(bytes.data(), bytes.size()));
}

PropertyValue booleanProperty(bool b) {
    return PropertyValue{uint8_t(ColType::Boolean), {uint8_t(b ? 1 : 0)}, 1};
}

PropertyValue textProperty(std::u16string_view s) {
    PropertyValue v{uint8_t(ColType::Memo), {}, 1};
    v.bytes.resize(s.size() * 2);
    for (size_t i = 0; i < s.size(); ++i) putU16(v.bytes.data() + 2 * i, s[i]);
    return v;
}

std::vector<uint8_t> buildProperties(const std::vector<PropertyObject>& objects) {
    std::vector<uint8_t> out = {'M', 'R', '2', 0};
    auto put16 = [&](size_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    auto put32At = [&](size_t at, size_t v) { putU32(out.data() + at, uint32_t(v)); };
    auto putName = [&](const std::string& name) {
        std::u16string u = fromUtf8(name);
        put16(u.size() * 2);
        for (char16_t c : u) put16(c);
    };
    auto chunk = [&](uint16_t kind, auto body) {
        const size_t start = out.size();
        out.resize(start + 4);
        put16(kind);
        body();
        put32At(start, out.size() - start);
    };
    std::vector<std::string> names;
    for (auto& o : objects)
        for (auto& [name, value] : o.values)
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    chunk(0x80, [&] {
        for (auto& n : names) putName(n);
    });
    for (auto& o : objects) {
        chunk(o.name.empty() ? 0x00 : 0x01, [&] {
            const size_t head = out.size();
            out.resize(head + 4);
            putName(o.name);
            put32At(head, out.size() - head);
            for (auto& [name, value] : o.values) {
                const size_t index =
                    size_t(std::find(names.begin(), names.end(), name) - names.begin());
                put16(8 + value.bytes.size());
                out.push_back(value.flag);
                out.push_back(value.type);
                put16(index);
                put16(value.bytes.size());
                out.insert(out.end(), value.bytes.begin(), value.bytes.end());
            }
        });
    }
    return out;
}

}  // namespace jet
