// Jet 4 on-disk constants, in one place. Offsets are byte offsets inside a page (or inside the
// logical buffer of a table definition); all multi-byte fields are little-endian except index
// entry keys. docs/jet-format.md explains each structure.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::fmt {

constexpr size_t kPageSize = 4096;

// Page types (byte 0 of every page).
constexpr uint8_t kPageHeader = 0x00;
constexpr uint8_t kPageData = 0x01;  // also long-value (LVAL) and usage-map holder pages
constexpr uint8_t kPageTdef = 0x02;
constexpr uint8_t kPageIndexNode = 0x03;
constexpr uint8_t kPageIndexLeaf = 0x04;
// No index tree is deeper than this (a page holds many entries); deeper means a loop.
constexpr int kMaxIndexDepth = 16;
constexpr uint8_t kPageUsageMap = 0x05;

// Page 0 (database header).
//  offset  size  meaning
//  0x00    4     00 01 00 00
//  0x04    16    engine name "Standard Jet DB\0"
//  0x14    4     format version (0 Jet 3, 1 Jet 4, 2+ ACE)
//  0x18    128   masked region (XOR with kHeaderMask)
//  0x3C    2     default code page                  (inside the masked region)
//  0x3E    4     encoding key (0 = not encrypted)
//  0x42    40    database password, UCS-2, XORed with the creation date pattern
//  0x6E    2     sort order LCID; 0x71 1 byte sort version
//  0x72    8     creation date (OLE date)
constexpr size_t kHdrEngineName = 0x04;
constexpr size_t kHdrVersion = 0x14;
constexpr size_t kHdrMaskStart = 0x18;
constexpr size_t kHdrMaskLen = 128;
constexpr size_t kHdrCodePage = 0x3C;
constexpr size_t kHdrEncodingKey = 0x3E;
constexpr size_t kHdrPassword = 0x42;
constexpr size_t kHdrPasswordLen = 40;
constexpr size_t kHdrSortOrder = 0x6E;
constexpr size_t kHdrSortVersion = 0x71;
constexpr size_t kHdrCreationDate = 0x72;
constexpr uint16_t kSortGeneral = 0x0409;

// Data pages (and LVAL pages).
//  0  type 0x01   1  0x01   2 free space   4 owning TDEF page (or "LVAL")   8 zero
//  12 row count   14 row offsets (u16 each)
constexpr size_t kDataFreeSpace = 2;
constexpr size_t kDataOwner = 4;
constexpr size_t kDataRowCount = 12;
constexpr size_t kDataRowTable = 14;
constexpr uint16_t kDataInitialFree = 4082;
constexpr uint16_t kRowOffsetMask = 0x1FFF;
constexpr uint16_t kRowDeleted = 0x8000;   // alone: a moved row's new copy; with 0x4000: deleted
constexpr uint16_t kRowOverflow = 0x4000;  // alone: the slot holds a pointer to the moved row
constexpr unsigned kMaxRowsPerPage = 255;
constexpr size_t kMaxRowSize = 4060;

// Table definition (logical buffer: first page whole, continuation pages from offset 8).
//  2  free space (per page)   4 next TDEF page   8 u32 total length   12 u32 1625
//  16 row count   20 last auto-number   24 u8 1   40 table type 0x4E user / 0x53 system
//  41 u16 max columns (incl. deleted)   43 u16 variable columns   45 u16 columns
//  47 u32 logical indexes   51 u32 real indexes   55 owned-pages map   59 free-space map
//  63 per real index 12 bytes, then 25-byte column descriptors, names, index definitions
constexpr size_t kTdefNextPage = 4;
constexpr size_t kTdefLength = 8;
constexpr size_t kTdefMagic = 12;
constexpr size_t kTdefRowCount = 16;
constexpr size_t kTdefAutoNumber = 20;
constexpr size_t kTdefAutoNumberFlag = 24;
constexpr size_t kTdefTableType = 40;
constexpr size_t kTdefMaxCols = 41;
constexpr size_t kTdefVarCols = 43;
constexpr size_t kTdefColumns = 45;
constexpr size_t kTdefLogicalIndexes = 47;
constexpr size_t kTdefRealIndexes = 51;
constexpr size_t kTdefOwnedMap = 55;
constexpr size_t kTdefFreeMap = 59;
constexpr size_t kTdefHeaderSize = 63;
constexpr size_t kTdefRealIndexCountSize = 12;
constexpr size_t kColumnDescSize = 25;
constexpr size_t kRealIndexDefSize = 52;
constexpr size_t kLogicalIndexDefSize = 28;
constexpr size_t kTdefContinuationHeader = 8;
constexpr uint32_t kTdefMagicValue = 1625;
constexpr uint32_t kRealIndexMagicValue = 1923;
constexpr uint8_t kTableTypeUser = 0x4E;
constexpr uint8_t kTableTypeSystem = 0x53;

// Column descriptor offsets.
constexpr size_t kColType = 0;
constexpr size_t kColNumber = 5;
constexpr size_t kColVarIndex = 7;
constexpr size_t kColOrdinal = 9;
constexpr size_t kColMisc =
    11;  // TEXT/MEMO: u16 LCID, u8 0, u8 sort version; NUMERIC: precision, scale
constexpr size_t kColFlags = 15;
constexpr size_t kColExtFlags = 16;
constexpr size_t kColFixedOffset = 21;
constexpr size_t kColLength = 23;

constexpr uint8_t kColFlagFixed = 0x01;
constexpr uint8_t kColFlagUpdatable = 0x02;
constexpr uint8_t kColFlagAutoLong = 0x04;
constexpr uint8_t kColFlagAutoGuid = 0x40;
constexpr uint8_t kColFlagHyperlink = 0x80;
constexpr uint8_t kColExtCompressed = 0x01;

constexpr uint8_t kIndexFlagUnique = 0x01;
constexpr uint8_t kIndexFlagIgnoreNulls = 0x02;
constexpr uint8_t kIndexFlagRequired = 0x08;
constexpr size_t kIndexMaxColumns = 10;

// Index pages.
//  2 free space   4 TDEF page   12 previous page   16 next page   20 tail page
//  24 u16 shared prefix length   27 entry bitmap (453 bytes)   480 first entry
constexpr size_t kIdxFreeSpace = 2;
constexpr size_t kIdxOwner = 4;
constexpr size_t kIdxPrev = 12;
constexpr size_t kIdxNext = 16;
constexpr size_t kIdxTail = 20;
constexpr size_t kIdxPrefixLen = 24;
constexpr size_t kIdxBitmap = 27;
constexpr size_t kIdxBitmapLen = 453;
constexpr size_t kIdxFirstEntry = 480;
constexpr size_t kIdxMaxEntryBytes = kPageSize - kIdxFirstEntry;  // 3616

// Long values (MEMO/OLE) in a row: 3-byte length, flag byte, pg_row, 4 unknown bytes.
constexpr size_t kLongValueHeader = 12;
constexpr uint8_t kLongInline = 0x80;
constexpr uint8_t kLongSingle = 0x40;
constexpr size_t kMaxSingleLval = 4076;
constexpr size_t kMaxChainChunk = 4072;

// Usage maps.
constexpr uint8_t kMapInline = 0x00;
constexpr uint8_t kMapReference = 0x01;
constexpr size_t kMapPageBits = (kPageSize - 4) * 8;  // pages covered by one bitmap page: 32736

// Catalog.
constexpr uint32_t kCatalogPage = 2;
constexpr int32_t kParentTables = 0x0F000001;
constexpr int32_t kParentDatabases = 0x0F000002;
constexpr int32_t kParentRelationships = 0x0F000003;
constexpr int32_t kParentRoot = 0x0F000000;
constexpr int16_t kObjTable = 1;
constexpr int16_t kObjLinkedOdbc = 4;
constexpr int16_t kObjLinked = 6;
constexpr uint32_t kObjSystemFlags = 0x80000002u;

}  // namespace jet::fmt
