// Access property blobs ("MR2"), stored in MSysObjects.LvProp: per object (the table itself or a
// column) a list of named, typed values such as "Required", "AllowZeroLength", "Caption".
#pragma once

#include <map>
#include <string>
#include <vector>

#include "jet/bytes.h"

namespace jet {

struct PropertyValue {
    uint8_t type = 0;  // a column type code (1 BOOLEAN, 10 TEXT, 12 MEMO, ...)
    std::vector<uint8_t> bytes;
    uint8_t flag = 0;  // 1 on the properties the database engine keeps (Required, DefaultValue...)
    bool asBool() const { return !bytes.empty() && bytes[0] != 0; }
    // A TEXT or MEMO value's text (UTF-16).
    std::u16string asText() const;
};

// Object name ("" for the table itself, else a column name) -> property name -> value.
using PropertyMap = std::map<std::string, std::map<std::string, PropertyValue>>;

// Parses a property blob. Throws Corrupt when the blob is damaged.
PropertyMap parseProperties(Bytes blob);

// One object's properties for a new blob, in the order they are written.
struct PropertyObject {
    std::string name;  // "" for the table itself, else a column name
    std::vector<std::pair<std::string, PropertyValue>> values;
};

// A property blob as Access writes one: the names of all properties used, then one chunk per
// object (kind 0x00 for the table itself, 0x01 for a column).
std::vector<uint8_t> buildProperties(const std::vector<PropertyObject>& objects);

// Property values as Access stores them: a Yes/No (0x01 / 0x00) and a text (MEMO, UTF-16LE).
PropertyValue booleanProperty(bool b);
PropertyValue textProperty(std::u16string_view s);

}  // namespace jet
