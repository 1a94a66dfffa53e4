// Creating databases and tables.
#include "jet/create.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <set>

#include "jet/datapage.h"
#include "jet/defaultvalue.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/header.h"
#include "jet/pagewriter.h"
#include "jet/properties.h"
#include "jet/rowstore.h"
#include "jet/tdefbuild.h"

namespace jet {

namespace {

// ---------------------------------------------------------------------------------------------
// Identity

struct AceRow {
    int32_t objectId;
    Blob sid;
    int32_t acm;
    bool inheritable;
};

struct Identity {
    PageBuf header{};
    Blob systemOwner;  // owner of Jet's own objects
    Blob dbOwner;      // owner of MSysDb and of new tables
    std::vector<AceRow> systemAces;
    std::vector<Blob> tableSids;
};

constexpr int32_t kTablesId = fmt::kParentTables;
constexpr int32_t kDatabasesId = fmt::kParentDatabases;
constexpr int32_t kRelationshipsId = fmt::kParentRelationships;
constexpr int32_t kMSysDbId = 0x10000000;
constexpr int32_t kSystemFlags = int32_t(0x80000000u);

std::optional<double> fixedCreationTime;

double oleNow() {
    if (fixedCreationTime) return *fixedCreationTime;
    std::time_t t = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return fromCivil(CivilTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec})
        .days;
}

// Page 0 of a new database: engine name, Jet 4 version, code page 1252, General sort order,
// the creation date and, masked, the fields Jet writes into every Jet 4 header.
PageBuf newHeader() {
    PageBuf h{};
    h[1] = 0x01;
    std::memcpy(h.data() + fmt::kHdrEngineName, "Standard Jet DB", 15);
    h[fmt::kHdrVersion] = 0x01;
    static const uint8_t fixed[] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00,
                                    0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                    0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
    std::memcpy(h.data() + fmt::kHdrMaskStart, fixed, sizeof fixed);
    putU16(h.data() + fmt::kHdrCodePage, 1252);
    const double created = oleNow();
    // An empty password is stored as the creation date pattern itself.
    uint8_t pattern[4];
    putU32(pattern, uint32_t(int32_t(std::floor(created))));
    for (size_t i = 0; i < fmt::kHdrPasswordLen; ++i) h[fmt::kHdrPassword + i] = pattern[i % 4];
    putU16(h.data() + fmt::kHdrSortOrder, fmt::kSortGeneral);
    putF64(h.data() + fmt::kHdrCreationDate, created);
    putU32(h.data() + 0x98, 0x0654);
    std::memcpy(h.data() + 0x9C, "4.0", 4);
    for (size_t i = 0xE00; i < fmt::kPageSize; i += 2) {
        h[i] = 0x00;
        h[i + 1] = 0x01;
    }
    h[0xE00] = 0x01;
    Header::applyMask(h);
    return h;
}

// The security ids Access 2000 gives a new database: a per-file 16-bit id in four variants and
// the administrators' long id, with the access-control rows of Jet's own objects.
Identity defaultIdentity() {
    static const uint8_t adminSid[] = {
        0xa4, 0xf7, 0x46, 0x67, 0xe1, 0x71, 0x67, 0xee, 0xd7, 0xb1, 0x0f, 0x8f, 0xfe, 0xef, 0x76,
        0xff, 0xaa, 0xe3, 0x66, 0x51, 0x05, 0xbd, 0xd2, 0x9d, 0x4d, 0x4b, 0x39, 0x52, 0xd9, 0xfb,
        0x9a, 0x07, 0x66, 0x0c, 0x5b, 0xd2, 0xd8, 0x7d, 0xdd, 0xb3, 0x1e, 0x65, 0x90, 0x19, 0x00,
        0x94, 0x89, 0xc2, 0x3c, 0x25, 0x6a, 0xcf, 0xdb, 0x34, 0x9a, 0x57, 0xaf, 0x50, 0xc5, 0x14,
        0x9a, 0x98, 0x30, 0xe6, 0x2c, 0x35, 0x55, 0x3f, 0x0e, 0x95, 0xcf, 0xb6, 0xec, 0xb5, 0x70,
        0xb2, 0xf0, 0xa9, 0x9b, 0x1c, 0xdb, 0xce, 0x60, 0x74, 0x7b, 0x7b, 0x13, 0xcf, 0x1d, 0xaf,
        0xc3, 0xd6, 0x18, 0x5f, 0x9c, 0x5b, 0xe4, 0xe8, 0x7e, 0x37, 0xed, 0xb3};
    const Blob L(adminSid, adminSid + sizeof adminSid);
    const Blob K{0xa6, 0x33}, K1{0xa7, 0x33}, K5{0xa7, 0x36}, K2{0xa7, 0x31};
    Identity id;
    id.header = newHeader();
    id.systemOwner = K2;
    id.dbOwner = K;
    id.systemAces = {
        {kTablesId, L, 1048319, true},
        {kTablesId, K, 1048319, true},
        {kTablesId, K1, 1048319, true},
        {kTablesId, K5, 983294, true},
        {kRelationshipsId, L, 1048575, true},
        {kRelationshipsId, K1, 1048575, true},
        {kRelationshipsId, K, 393217, false},
        {kRelationshipsId, K5, 983294, true},
        {kMSysDbId, K1, 14, false},
        {kMSysDbId, L, 393230, false},
        {kMSysDbId, K, 393230, false},
        {2, K1, 20, false},
        {2, K, 393216, false},
        {2, L, 393300, false},
        {4, K1, 20, false},
        {4, K, 393216, false},
        {4, L, 393236, false},
        {5, K1, 20, false},
        {5, L, 393236, false},
        {5, K, 917504, false},
        {kDatabasesId, K, 393216, false},
        {3, K, 393216, false},
        {3, L, 393300, false},
    };
    id.tableSids = {L, K, K1};
    return id;
}

// The owners and security ids of an open database: whose Jet's own objects and new tables are,
// the access-control rows of Jet's own objects, and the ids new tables get rights for.
Identity identityOf(Database& db) {
    Identity id;
    Table& objects = db.systemCatalog();
    const int cId = objects.columnIndex("Id"), cOwner = objects.columnIndex("Owner");
    if (cId < 0 || cOwner < 0)
        throwError(ErrorKind::Unsupported,
                   "\"" + db.path() + "\" has an unusual MSysObjects table");
    for (auto s = objects.scan(false); s.next();) {
        const Row& r = s.row();
        auto* i = std::get_if<int64_t>(&r[size_t(cId)]);
        auto* owner = std::get_if<Blob>(&r[size_t(cOwner)]);
        if (!i || !owner) continue;
        if (*i == 2) id.systemOwner = *owner;
        if (*i == kMSysDbId) id.dbOwner = *owner;
    }
    if (!db.hasTable("MSysACEs")) return id;
    const std::set<int64_t> systemObjects = {
        kTablesId, kDatabasesId, kRelationshipsId, kMSysDbId, 2, 3, 4, 5};
    std::vector<Blob> allTableSids;
    Table& aces = db.table("MSysACEs");
    const int cObj = aces.columnIndex("ObjectId"), cSid = aces.columnIndex("SID"),
              cAcm = aces.columnIndex("ACM"), cInh = aces.columnIndex("FInheritable");
    if (cObj < 0 || cSid < 0 || cAcm < 0 || cInh < 0)
        throwError(ErrorKind::Unsupported, "\"" + db.path() + "\" has an unusual MSysACEs table");
    for (auto s = aces.scan(false); s.next();) {
        const Row& r = s.row();
        auto* obj = std::get_if<int64_t>(&r[size_t(cObj)]);
        auto* sid = std::get_if<Blob>(&r[size_t(cSid)]);
        auto* acm = std::get_if<int64_t>(&r[size_t(cAcm)]);
        bool inh = std::holds_alternative<bool>(r[size_t(cInh)]) && std::get<bool>(r[size_t(cInh)]);
        if (!obj || !sid || !acm) continue;
        if (systemObjects.count(*obj))
            id.systemAces.push_back({int32_t(*obj), *sid, int32_t(*acm), inh});
        if (*obj == kTablesId) {
            allTableSids.push_back(*sid);
            if (*acm == 1048319) id.tableSids.push_back(*sid);
        }
    }
    if (id.tableSids.empty()) id.tableSids = allTableSids;
    return id;
}

Identity identityFrom(const std::string& like, Env& env, std::string* note) {
    OpenOptions o;
    o.allowPassword = true;
    o.env = &env;
    auto src = Database::open(like, o);
    Identity id = identityOf(*src);
    id.header = src->header().raw();
    if (!src->generalSortOrder()) {
        id.header = src->header().withSortOrder(fmt::kSortGeneral, 0);
        if (note)
            *note = "The sort order of \"" + like + "\" (" +
                    std::to_string(src->header().sortOrder()) +
                    ") cannot be written; the new database uses the General sort order";
    }
    if (id.systemOwner.empty() || id.dbOwner.empty() || id.tableSids.empty())
        throwError(ErrorKind::Unsupported,
                   "\"" + like + "\" lacks the catalog rows a new database copies");
    return id;
}

// ---------------------------------------------------------------------------------------------
// Definitions

const std::array<uint8_t, 4> kGeneralMisc = {0x09, 0x04, 0x00, 0x00};

uint16_t storedLength(const ColumnSpec& c) {
    switch (c.type) {
        case ColType::Text:
            return uint16_t(c.maxChars * 2);
        case ColType::Binary:
            return c.binaryLength;
        case ColType::Memo:
        case ColType::Ole:
            return 0;
        case ColType::Boolean:
            return 1;
        default:
            return uint16_t(fixedSize(c.type));
    }
}

bool isVariable(ColType t) {
    return t == ColType::Text || t == ColType::Memo || t == ColType::Ole || t == ColType::Binary;
}

// A user table as Access and Jet expect it: columns numbered and shown in order, fixed columns
// packed in order, variable columns indexed in order with the long values last, Unicode
// compression on for text, General sort order on text columns.
TdefDef userDefinition(const TableSpec& spec) {
    TdefDef d;
    d.tableType = fmt::kTableTypeUser;
    uint16_t offset = 0, var = 0;
    for (size_t i = 0; i < spec.columns.size(); ++i) {
        const ColumnSpec& s = spec.columns[i];
        ColDef c;
        c.name = s.name;
        c.type = s.type;
        c.number = c.ordinal = uint16_t(i);
        c.length = storedLength(s);
        if (isVariable(s.type)) {
            c.flags = fmt::kColFlagUpdatable;
        } else {
            c.flags = fmt::kColFlagFixed | fmt::kColFlagUpdatable;
            if (s.autoNumber) c.flags |= fmt::kColFlagAutoLong;
            if (s.type != ColType::Boolean) {
                c.fixedOffset = offset;
                offset = uint16_t(offset + fixedSize(s.type));
            }
        }
        if (s.type == ColType::Text || s.type == ColType::Memo) {
            c.ext = fmt::kColExtCompressed;
            c.misc = kGeneralMisc;
        }
        if (s.type == ColType::Numeric) c.misc = {s.precision, s.scale, 0, 0};
        d.columns.push_back(c);
    }
    for (int pass = 0; pass < 2; ++pass)
        for (auto& c : d.columns)
            if (isVariable(c.type) && (pass == 1) == isLongValue(c.type)) c.varIndex = var++;
    for (size_t i = 0; i < spec.indexes.size(); ++i) {
        const IndexSpec& is = spec.indexes[i];
        IdxDef x;
        x.name = is.name;
        x.number = uint32_t(i);
        x.kind = is.primaryKey ? 1 : 0;
        x.flags = 0x80;
        if (is.primaryKey || is.unique) x.flags |= fmt::kIndexFlagUnique;
        if (is.primaryKey || is.required) x.flags |= fmt::kIndexFlagRequired;
        if (is.ignoreNulls) x.flags |= fmt::kIndexFlagIgnoreNulls;
        for (auto& column : is.columns) {
            const std::string& name = column.first;
            const bool asc = column.second;
            auto it = std::find_if(d.columns.begin(), d.columns.end(),
                                   [&](const ColDef& c) { return equalsIgnoreCase(c.name, name); });
            if (it == d.columns.end())
                throwError(ErrorKind::Constraint, "The index \"" + is.name + "\" of table \"" +
                                                      spec.name + "\" names the column \"" + name +
                                                      "\", which the table does not have");
            x.columns.push_back(IndexColumn{it->number, asc});
        }
        d.indexes.push_back(std::move(x));
    }
    return d;
}

// Jet's own tables, as Jet defines them: every column carries the General sort order, text is
// not compressed, column descriptors are sorted by name.
struct SysCol {
    const char* name;
    ColType type;
    uint16_t number, varIndex, fixedOffset, length;
    uint8_t flags;
};

TdefDef systemDefinition(std::vector<SysCol> cols, std::vector<IdxDef> indexes) {
    TdefDef d;
    d.tableType = fmt::kTableTypeSystem;
    std::sort(cols.begin(), cols.end(), [](const SysCol& a, const SysCol& b) {
        std::string x = a.name, y = b.name;
        for (auto& ch : x) ch = char(std::tolower(uint8_t(ch)));
        for (auto& ch : y) ch = char(std::tolower(uint8_t(ch)));
        return x < y;
    });
    for (auto& s : cols) {
        ColDef c;
        c.name = s.name;
        c.type = s.type;
        c.number = s.number;
        c.varIndex = s.varIndex;
        c.fixedOffset = s.fixedOffset;
        c.length = s.length;
        c.flags = s.flags;
        c.misc = kGeneralMisc;
        d.columns.push_back(c);
    }
    d.indexes = std::move(indexes);
    return d;
}

std::vector<TdefDef> systemTables() {
    using T = ColType;
    const uint8_t F = 0x13, V = 0x12, B = 0x32;
    std::vector<TdefDef> out;
    out.push_back(systemDefinition({{"Id", T::Long, 0, 0, 0, 4, F},
                                    {"ParentId", T::Long, 1, 0, 4, 4, F},
                                    {"Name", T::Text, 2, 0, 0, 510, V},
                                    {"Type", T::Int, 3, 1, 8, 2, F},
                                    {"DateCreate", T::DateTime, 4, 1, 10, 8, F},
                                    {"DateUpdate", T::DateTime, 5, 1, 18, 8, F},
                                    {"Owner", T::Binary, 6, 1, 0, 510, B},
                                    {"Flags", T::Long, 7, 2, 26, 4, F},
                                    {"Database", T::Memo, 8, 2, 0, 0, V},
                                    {"Connect", T::Memo, 9, 3, 0, 0, V},
                                    {"ForeignName", T::Text, 10, 4, 0, 510, V},
                                    {"RmtInfoShort", T::Binary, 11, 5, 0, 510, V},
                                    {"RmtInfoLong", T::Ole, 12, 6, 0, 0, V},
                                    {"Lv", T::Ole, 13, 7, 0, 0, V},
                                    {"LvProp", T::Ole, 14, 8, 0, 0, V},
                                    {"LvModule", T::Ole, 15, 9, 0, 0, V},
                                    {"LvExtra", T::Ole, 16, 10, 0, 0, V}},
                                   {IdxDef{"ParentIdName", {{1, true}, {2, true}}, 0x81, 0, 0},
                                    IdxDef{"Id", {{0, true}}, 0x81, 1, 1}}));
    out.push_back(systemDefinition({{"ObjectId", T::Long, 0, 0, 0, 4, F},
                                    {"SID", T::Binary, 1, 0, 0, 510, B},
                                    {"ACM", T::Long, 2, 1, 4, 4, F},
                                    {"FInheritable", T::Boolean, 3, 1, 0, 1, F}},
                                   {IdxDef{"ObjectId", {{0, true}}, 0x88, 0, 0}}));
    out.push_back(systemDefinition(
        {{"ObjectId", T::Long, 0, 0, 0, 4, F},
         {"Attribute", T::Byte, 1, 0, 4, 1, F},
         {"Order", T::Binary, 2, 0, 0, 510, V},
         {"Name1", T::Text, 3, 1, 0, 510, V},
         {"Name2", T::Text, 4, 2, 0, 510, V},
         {"Expression", T::Memo, 5, 3, 0, 0, V},
         {"Flag", T::Int, 6, 4, 5, 2, F},
         {"LvExtra", T::Long, 7, 4, 7, 4, F}},
        {IdxDef{"ObjectIdAttribute", {{0, true}, {1, true}, {2, true}}, 0x81, 1, 0}}));
    out.push_back(systemDefinition({{"szRelationship", T::Text, 0, 0, 0, 510, V},
                                    {"grbit", T::Long, 1, 1, 0, 4, F},
                                    {"ccolumn", T::Long, 2, 1, 4, 4, F},
                                    {"icolumn", T::Long, 3, 1, 8, 4, F},
                                    {"szObject", T::Text, 4, 1, 0, 510, V},
                                    {"szColumn", T::Text, 5, 2, 0, 510, V},
                                    {"szReferencedObject", T::Text, 6, 3, 0, 510, V},
                                    {"szReferencedColumn", T::Text, 7, 4, 0, 510, V}},
                                   {IdxDef{"szRelationship", {{0, true}}, 0x82, 0, 0},
                                    IdxDef{"szObject", {{4, true}}, 0x82, 0, 1},
                                    IdxDef{"szReferencedObject", {{6, true}}, 0x82, 0, 2}}));
    return out;
}

// The table's property blob, as Access keeps column rules: Required for every column,
// AllowZeroLength for TEXT and MEMO columns, DefaultValue where one is given. Empty when every
// column has the rules a table without properties has (nothing required, empty texts allowed,
// no defaults), as for tables Jet itself creates.
Blob columnProperties(const TableSpec& spec) {
    bool any = false;
    for (auto& c : spec.columns) any |= c.required || !c.allowZeroLength || !c.defaultValue.empty();
    if (!any) return {};
    std::vector<PropertyObject> objects;
    for (auto& c : spec.columns) {
        PropertyObject o{c.name, {}};
        if (!c.defaultValue.empty())
            o.values.push_back({"DefaultValue", textProperty(fromUtf8(c.defaultValue))});
        o.values.push_back({"Required", booleanProperty(c.required)});
        if (c.type == ColType::Text || c.type == ColType::Memo)
            o.values.push_back({"AllowZeroLength", booleanProperty(c.allowZeroLength)});
        objects.push_back(std::move(o));
    }
    return buildProperties(objects);
}

const char* const kSystemNames[] = {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"};

// Usage-map rows of a table in the order Jet keeps them: owned, free, the long-value columns'
// maps by column number, then one map per index.
size_t mapRowCount(const TdefDef& d) {
    size_t n = 2 + d.indexes.size();
    for (auto& c : d.columns)
        if (isLongValue(c.type)) n += 2;
    return n;
}

// Fills in the placement's map pointers for rows laid out from `firstRow` on `mapPage`, and
// returns the rows' bytes.
std::vector<std::vector<uint8_t>> placeMaps(const TdefDef& d, TdefPlacement& p, uint32_t mapPage,
                                            unsigned firstRow) {
    std::vector<std::vector<uint8_t>> rows;
    unsigned r = firstRow;
    auto next = [&](std::vector<uint8_t> bytes) {
        rows.push_back(std::move(bytes));
        return RowId{mapPage, uint8_t(r++)}.raw();
    };
    p.ownedMap = next(inlineMapRow(0, false));
    p.freeMap = next(inlineMapRow(0, false));
    std::vector<uint16_t> longCols;
    for (auto& c : d.columns)
        if (isLongValue(c.type)) longCols.push_back(c.number);
    std::sort(longCols.begin(), longCols.end());
    p.longMaps.clear();
    for (uint16_t col : longCols) {
        uint32_t owned = next(inlineMapRow(0, false));
        uint32_t free = next(inlineMapRow(0, false));
        p.longMaps.push_back({col, {owned, free}});
    }
    p.indexMaps.clear();
    for (size_t i = 0; i < d.indexes.size(); ++i)
        p.indexMaps.push_back(next(inlineMapRow(p.roots.at(i), true)));
    return rows;
}

Row catalogRow(Table& objects, int32_t id, int32_t parent, const std::string& name, int16_t type,
               const Blob& owner, int32_t flags, double when) {
    Row r(objects.def().columns.size());
    auto set = [&](const char* col, Value v) {
        int i = objects.columnIndex(col);
        if (i >= 0) r[size_t(i)] = std::move(v);
    };
    set("Id", int64_t(id));
    set("ParentId", int64_t(parent));
    set("Name", fromUtf8(name));
    set("Type", int64_t(type));
    set("DateCreate", DateTime{when});
    set("DateUpdate", DateTime{when});
    set("Owner", owner);
    set("Flags", int64_t(flags));
    return r;
}

void insertAce(Table& aces, int32_t objectId, const Blob& sid, int32_t acm, bool inheritable) {
    Row r(aces.def().columns.size());
    r[size_t(aces.columnIndex("ObjectId"))] = int64_t(objectId);
    r[size_t(aces.columnIndex("SID"))] = sid;
    r[size_t(aces.columnIndex("ACM"))] = int64_t(acm);
    r[size_t(aces.columnIndex("FInheritable"))] = inheritable;
    aces.insert(r);
}

void checkName(const std::string& what, const std::string& name) {
    std::u16string u = fromUtf8(name);
    if (u.empty() || u.size() > 64)
        throwError(ErrorKind::Constraint, what + " \"" + name + "\" must have 1 to 64 characters");
    for (char16_t c : u)
        if (c < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']')
            throwError(ErrorKind::Constraint,
                       what + " \"" + name + "\" contains a character Jet does not allow in names");
    if (u.front() == u' ')
        throwError(ErrorKind::Constraint, what + " \"" + name + "\" starts with a space");
}

void validate(Database& db, const TableSpec& spec) {
    checkName("The table name", spec.name);
    if (db.hasTable(spec.name))
        throwError(ErrorKind::Constraint, "A table named \"" + spec.name + "\" already exists");
    if (spec.columns.empty() || spec.columns.size() > 255)
        throwError(ErrorKind::Constraint, "A table needs 1 to 255 columns");
    // Jet compares object names without regard to case.
    auto folded = [](std::string n) {
        for (auto& ch : n) ch = char(std::tolower(uint8_t(ch)));
        return n;
    };
    std::set<std::string> names;
    size_t fixedBytes = 0;
    for (auto& c : spec.columns) {
        checkName("The column name", c.name);
        if (!names.insert(folded(c.name)).second)
            throwError(ErrorKind::Constraint,
                       "Two columns of table \"" + spec.name + "\" are named \"" + c.name + "\"");
        if (c.type == ColType::Text && (c.maxChars < 1 || c.maxChars > 255))
            throwError(ErrorKind::Constraint,
                       "The text column \"" + c.name + "\" must hold 1 to 255 characters");
        if (c.type == ColType::Binary && (c.binaryLength < 1 || c.binaryLength > 255))
            throwError(ErrorKind::Constraint,
                       "The binary column \"" + c.name + "\" must hold 1 to 255 bytes");
        if (c.autoNumber && c.type != ColType::Long)
            throwError(ErrorKind::Unsupported,
                       "Only a LONG column can be an auto-number (\"" + c.name + "\")");
        if (c.type == ColType::Unknown0D || c.type == ColType::Unknown11 || c.type == ColType::Guid)
            throwError(ErrorKind::Unsupported,
                       std::string("Columns of type ") + typeName(c.type) + " cannot be created");
        if (!isVariable(c.type)) fixedBytes += fixedSize(c.type);
        if (!c.defaultValue.empty()) {
            std::u16string expr = fromUtf8(c.defaultValue);
            if (expr.size() > 255)
                throwError(ErrorKind::Constraint, "The default value of column \"" + c.name +
                                                      "\" is longer than 255 "
                                                      "characters");
            Column probe;
            probe.name = c.name;
            probe.type = c.type;
            probe.length = storedLength(c);
            probe.precision = c.precision;
            probe.scale = c.scale;
            EvaluatedDefault d = evaluateDefault(probe, expr);
            if (d.kind == EvaluatedDefault::Unfit)
                throwError(ErrorKind::Constraint, "The default value " + c.defaultValue +
                                                      " of column \"" + c.name +
                                                      "\" does not fit it: " + d.why);
        }
    }
    if (fixedBytes > 2000)
        throwError(ErrorKind::Constraint, "The fixed-size columns of a row exceed 2000 bytes");
    if (spec.indexes.size() > 32)
        throwError(ErrorKind::Constraint, "A table can have at most 32 indexes");
    std::set<std::string> idx;
    int primary = 0;
    for (auto& i : spec.indexes) {
        checkName("The index name", i.name);
        if (!idx.insert(folded(i.name)).second)
            throwError(ErrorKind::Constraint,
                       "Two indexes of table \"" + spec.name + "\" are named \"" + i.name + "\"");
        if (i.columns.empty() || i.columns.size() > fmt::kIndexMaxColumns)
            throwError(ErrorKind::Constraint, "The index \"" + i.name + "\" needs 1 to 10 columns");
        primary += i.primaryKey;
        for (auto& column : i.columns) {
            const std::string& col = column.first;
            auto it =
                std::find_if(spec.columns.begin(), spec.columns.end(),
                             [&](const ColumnSpec& c) { return equalsIgnoreCase(c.name, col); });
            if (it != spec.columns.end() &&
                (it->type == ColType::Memo || it->type == ColType::Ole ||
                 it->type == ColType::Binary || it->type == ColType::Numeric))
                throwError(ErrorKind::Unsupported,
                           "The column \"" + col + "\" cannot be indexed by this program");
        }
    }
    if (primary > 1) throwError(ErrorKind::Constraint, "A table can have only one primary key");
}

}  // namespace

// ---------------------------------------------------------------------------------------------

Table& createTable(Database& db, const TableSpec& spec) {
    runWrite(db, [&]() -> int {
        validate(db, spec);
        TdefDef d = userDefinition(spec);
        Pager& pager = db.pager();
        PageAllocator alloc(pager);
        TdefPlacement p;
        // Sizes first: the definition's length does not depend on the page numbers.
        for (size_t i = 0; i < d.indexes.size(); ++i) {
            p.indexMaps.push_back(0);
            p.roots.push_back(0);
        }
        size_t pages = tdefPageCount(tdefBytes(d, p).size());
        for (size_t i = 0; i < pages; ++i) p.pages.push_back(alloc.allocate());
        const uint32_t tdef = p.pages[0];
        const uint32_t mapPage = alloc.allocate();
        for (auto& r : p.roots) r = alloc.allocate();
        if (mapRowCount(d) > 50)
            throwError(ErrorKind::Unsupported,
                       "The table has too many long-value columns and indexes");
        auto rows = placeMaps(d, p, mapPage, 0);
        initDataPage(pager.modify(mapPage), 0, false);
        SlotPage sp = SlotPage::load(pager, mapPage);
        for (auto& r : rows) sp.add(r, 0);
        sp.store(pager);
        for (uint32_t root : p.roots) writeEmptyLeaf(pager.modify(root), tdef);
        writeTdefPages(pager, tdefBytes(d, p), p.pages);

        const Identity info = identityOf(db);
        const double now = oleNow();
        Table& objects = db.systemCatalog();
        Row obj = catalogRow(objects, int32_t(tdef), kTablesId, spec.name, fmt::kObjTable,
                             info.dbOwner, 0, now);
        if (Blob props = columnProperties(spec); !props.empty()) {
            const int cProp = objects.columnIndex("LvProp");
            if (cProp < 0)
                throwError(ErrorKind::Unsupported,
                           "\"" + db.path() +
                               "\" keeps no object properties (MSysObjects has no "
                               "LvProp column); the column rules cannot be stored");
            obj[size_t(cProp)] = std::move(props);
        }
        objects.insert(obj);
        if (db.hasTable("MSysACEs")) {
            Table& aces = db.table("MSysACEs");
            for (auto& sid : info.tableSids) insertAce(aces, int32_t(tdef), sid, 1048575, false);
        }
        db.invalidate();
        return 0;
    });
    return db.table(spec.name);
}

void setFixedCreationTime(std::optional<double> oleDate) {
    fixedCreationTime = oleDate;
}

std::unique_ptr<Database> createDatabase(const std::string& path, const CreateOptions& opt) {
    Env& env = opt.env ? *opt.env : Env::posix();
    Identity id = opt.like.empty() ? defaultIdentity() : identityFrom(opt.like, env, opt.note);
    std::vector<TdefDef> sys = systemTables();

    // Pages: 0 header, 1 global map, 2..5 definitions, 6 usage maps, 7.. index roots.
    uint32_t nextRoot = 7;
    std::vector<TdefPlacement> place(sys.size());
    std::vector<std::vector<uint8_t>> mapRows;
    for (size_t t = 0; t < sys.size(); ++t) {
        place[t].pages = {uint32_t(2 + t)};
        for (size_t i = 0; i < sys[t].indexes.size(); ++i) place[t].roots.push_back(nextRoot++);
        auto rows = placeMaps(sys[t], place[t], 6, unsigned(mapRows.size()));
        mapRows.insert(mapRows.end(), rows.begin(), rows.end());
    }
    const uint32_t pageCount = nextRoot;
    std::vector<uint8_t> file(size_t(pageCount) * fmt::kPageSize, 0);
    {
        auto file0 = std::make_unique<MemEnv>();
        file0->put("/new.mdb", file);
        auto f = file0->open("/new.mdb", OpenMode::ReadWrite);
        Pager pager(*file0, "/new.mdb", std::move(f), true);
        pager.begin();
        pager.modify(0) = id.header;
        // Global map: every page past the end of the file is free.
        std::vector<uint8_t> global = inlineMapRow(0, false);
        for (uint32_t pg = pageCount; pg < 64 * 8; ++pg)
            global[5 + pg / 8] |= uint8_t(1 << (pg % 8));
        initDataPage(pager.modify(1), 1, false);
        SlotPage gp = SlotPage::load(pager, 1);
        gp.add(global, 0);
        gp.add(std::vector<uint8_t>(69, 0), 0);
        gp.store(pager);
        initDataPage(pager.modify(6), 0, false);
        SlotPage mp = SlotPage::load(pager, 6);
        for (auto& r : mapRows) mp.add(r, 0);
        mp.store(pager);
        for (size_t t = 0; t < sys.size(); ++t) {
            writeTdefPages(pager, tdefBytes(sys[t], place[t]), place[t].pages);
            for (uint32_t root : place[t].roots)
                writeEmptyLeaf(pager.modify(root), place[t].pages[0]);
        }
        pager.commit();
        file = *file0->data("/new.mdb");
    }

    // Write the skeleton, then add the catalog rows through the writer.
    {
        auto f = env.open(path, OpenMode::CreateNew);
        f->write(0, file.data(), file.size());
        f->sync();
    }
    try {
        OpenOptions o;
        o.writable = true;
        o.allowPassword = true;
        o.env = &env;
        auto db = Database::open(path, o);
        {
            Transaction tx(*db);
            Table& objects = db->systemCatalog();
            const double now = oleNow();
            auto add = [&](int32_t objId, int32_t parent, const char* name, int16_t type,
                           const Blob& owner) {
                Row r = catalogRow(objects, objId, parent, name, type, owner, kSystemFlags, now);
                objects.insert(r);
            };
            add(2, kTablesId, "MSysObjects", fmt::kObjTable, id.systemOwner);
            add(kTablesId, fmt::kParentRoot, "Tables", 3, id.systemOwner);
            add(kDatabasesId, fmt::kParentRoot, "Databases", 3, id.systemOwner);
            add(kRelationshipsId, fmt::kParentRoot, "Relationships", 3, id.systemOwner);
            add(kMSysDbId, kDatabasesId, "MSysDb", 2, id.dbOwner);
            add(3, kTablesId, kSystemNames[1], fmt::kObjTable, id.systemOwner);
            add(4, kTablesId, kSystemNames[2], fmt::kObjTable, id.systemOwner);
            add(5, kTablesId, kSystemNames[3], fmt::kObjTable, id.systemOwner);
            db->invalidate();
            Table& aces = db->table("MSysACEs");
            for (auto& a : id.systemAces) insertAce(aces, a.objectId, a.sid, a.acm, a.inheritable);
            tx.commit();
        }
        db->invalidate();
        return db;
    } catch (...) {
        env.remove(path);
        throw;
    }
}

}  // namespace jet
