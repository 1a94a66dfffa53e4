// Access property blobs ("MR2"), stored in MSysObjects.LvProp: per object (the table itself or a
// column) a list of named, typed values such as "Required", "AllowZeroLength", "Caption".
#pragma once

#include <map>
#include <string>
#include <vector>

#include "jet/bytes.h"

namespace jet {

struct PropertyValue {
    uint8_t type = 0;  // a column type code (1 BOOLEAN, 10 TEXT, ...)
    std::vector<uint8_t> bytes;
    bool asBool() const { return !bytes.empty() && bytes[0] != 0; }
};

// Object name ("" for the table itself, else a column name) -> property name -> value.
using PropertyMap = std::map<std::string, std::map<std::string, PropertyValue>>;

// Parses a property blob. Throws Corrupt when the blob is damaged.
PropertyMap parseProperties(Bytes blob);

}  // namespace jet
