// Text index keys under the "General" (legacy) sort order, checked against index entries that
// Microsoft Access wrote into the fixture databases, plus the rules those entries do not exercise.
#include "jet/textkey.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Parses "79 43 01 00" or "79430100".
Bytes fromHex(std::string_view hex) {
    Bytes out;
    int high = -1;
    for (char ch : hex) {
        int v;
        if (ch >= '0' && ch <= '9') {
            v = ch - '0';
        } else if (ch >= 'A' && ch <= 'F') {
            v = ch - 'A' + 10;
        } else if (ch >= 'a' && ch <= 'f') {
            v = ch - 'a' + 10;
        } else {
            continue;
        }
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    return out;
}

std::string toHex(const Bytes& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (std::uint8_t b : bytes) {
        if (!s.empty()) s += ' ';
        s += kDigits[b >> 4];
        s += kDigits[b & 15];
    }
    return s;
}

Bytes key(std::u16string_view text, bool ascending = true) {
    Bytes out;
    EXPECT_TRUE(jet::appendGeneralLegacyTextKey(text, ascending, out));
    return out;
}

// The descending form of an ascending key: everything but the final 0x00, plus an extra 0x00,
// bit-inverted, then the final 0x00.
Bytes descendingFrom(Bytes asc) {
    asc.back() = 0x00;
    for (std::uint8_t& b : asc) b = static_cast<std::uint8_t>(~b);
    asc.push_back(0x00);
    return asc;
}

struct Vector {
    std::u16string_view text;
    std::string_view hex;  // key bytes after the column's 0x7F flag byte
};

// Taken from leaf entries of ascending text indexes in ../shared/fixtures/mdb/access (named per
// entry with table.index); the column flag byte and, for two-column indexes, the other column's
// bytes are left out.
const Vector kAccessVectors[] = {
    // jk-testUnicodeCompV2003.mdb, Table.Unicode
    {u"\u041C\u0438\u0440", "79 43 79 3B 79 48 01 00"},
    // jk-testUnicodeCompV2003.mdb, Table.Unicode
    {u"only ascii chars", "64 62 5E 76 07 4A 6B 4D 59 59 07 4D 57 4A 69 6B 01 00"},
    // jk-testUnicodeCompV2003.mdb, Table.Unicode
    {u"\u00FCmlaut", "6F 60 5E 4A 6F 6D 01 13 00"},
    // jk-testUnicodeCompV2003.mdb, Table.Unicode
    {u"\u00E4\u00E4kk\u00F6si\u00E4", "4A 4A 5C 5C 64 6B 59 4A 01 13 13 02 02 13 02 02 13 00"},
    // jk-testUnicodeCompV2003.mdb, Table.Unicode
    {u"3L9\u001D52\u0002_AB(\u00A5\u0005!!V",
     "3C 5E 48 40 3A 2B 03 4A 4C 14 34 A9 09 09 71 01 01 01 01 80 13 06 1A 80 "
     "1B 06 04 80 2F 06 07 00"},
    // jk-testUnicodeCompV2003.mdb, Table.Unicode
    {u"\u03F0\u03B1\u1F76 \u03C4\u1F79\u03C4' \u1F10\u03B3\u1F7C "
     u"\u039A\u1F7B\u03F0\u03BB\u03C9\u03C0\u03B1",
     "79 15 79 0C 07 79 1E 79 1E 07 79 0E 07 79 15 79 15 79 16 79 23 79 1B 79 "
     "0C 01 03 02 02 02 02 02 02 02 02 03 01 01 01 80 1B 06 80 00"},
    // jk-testUnicodeCompV2003.mdb, f_B2444F72C17C49C3B2E92EED7C2E6EF3_Data.IdxFKPrimaryScalar
    {u"Office Theme.thmx", "64 53 53 59 4D 51 07 6D 57 51 60 51 1C 6D 57 60 75 01 00"},
    // jk-testUnicodeCompV2003.mdb, MSysObjects.ParentIdName
    {u"f_B2444F72C17C49C3B2E92EED7C2E6EF3_Data",
     "53 2B 03 4C 3A 3E 3E 3E 53 44 3A 4D 38 44 4D 3E 48 4D 3C 4C 3A 51 48 3A "
     "51 51 4F 44 4D 3A 51 42 51 53 3C 2B 03 4F 4A 6D 4A 01 00"},
    // jk-testUnicodeCompV2003.mdb, MSysObjects.ParentIdName
    {u"MSysNavPaneGroupCategories",
     "60 6B 76 6B 62 4A 71 66 4A 62 51 55 69 64 6F 66 4D 4A 6D 51 55 64 69 59 "
     "51 6B 01 00"},
    // jk-testUnicodeCompV2003.mdb, MSysObjects.ParentIdName
    {u"SummaryInfo", "6B 6F 60 60 4A 69 76 59 62 53 64 01 00"},
    // jk-testUnicodeCompV2003.mdb, MSysObjects.ParentIdName
    {u"DataAccessPages", "4F 4A 6D 4A 4A 4D 4D 51 6B 6B 66 4A 55 51 6B 01 00"},
    // jk-fixedTextTestV2000.mdb, users.Users2_1_idx
    {u"admin", "4A 4F 60 59 62 01 00"},
    // jk-fixedTextTestV2000.mdb, users.Users2_1_idx
    {u"CORE USER", "4D 64 69 51 07 6F 6B 51 69 01 00"},
    // jk-fixedTextTestV2000.mdb, users.Users2_4_idx
    {u"Core User", "4D 64 69 51 07 6F 6B 51 69 01 00"},
    // jk-fixedTextTestV2000.mdb, users.Users2_4_idx
    {u"Admin User", "4A 4F 60 59 62 07 6F 6B 51 69 01 00"},
    // jk-fixedTextTestV2000.mdb, users.Users2_3_idx
    {u"-1", "38 01 01 01 01 80 07 06 82 00"},
    // jk-fixedTextTestV2000.mdb, users.Users2_8_idx
    {u"N", "62 01 00"},
    // jk-testIndexPropertiesV2000.mdb, TableIgnoreNulls1.PrimaryKey
    {u"row0", "69 64 73 36 01 00"},
    // jk-testIndexPropertiesV2000.mdb, TableIgnoreNulls2.PrimaryKey
    {u"row10", "69 64 73 38 36 01 00"},
    // jk-testIndexPropertiesV2000.mdb, TableIgnoreNulls1.DataIndex
    {u"still more rows", "6B 6D 59 5E 5E 07 60 64 69 51 07 69 64 73 6B 01 00"},
    // jk-test2V2000.mdb, MSP_PROJECTS.I_PROJ_NAME
    {u"Project1", "66 69 64 5B 51 4D 6D 38 01 00"},
};

TEST(GeneralLegacyTextKey, MatchesKeysAccessWrote) {
    for (const Vector& v : kAccessVectors) {
        const Bytes expected = fromHex(v.hex);
        EXPECT_EQ(toHex(key(v.text)), toHex(expected))
            << "text of " << v.text.size() << " units, expected " << v.hex;
        EXPECT_EQ(toHex(key(v.text, false)), toHex(descendingFrom(expected))) << v.hex;
    }
}

// jk-testUnicodeCompV2003.mdb, Table.Unicode: the row holding every character U+0001..U+00FF
// in order (exactly 255 characters, so nothing is cut). One entry covers the whole Latin-1
// table: weights, diacritics, and the position of each of the 62 unprintable characters.
constexpr std::string_view kAllLatin1Key =
    "0803080408050806080707090A0C0E10121416182C1A1C1E36383A3C3E404244464820222E303224264A4C4D4F5153"
    "55"
    "57595B5C5E6062646668696B6D6F717375767827292A2B022B032B074A4C4D4F51535557595B5C5E6062646668696B"
    "6D"
    "6F71737576782B092B0B2B0D2B0F08022B1034A634A734A834A92B1134AA2B1234AB4A330534AC34AD2B1334AE3304"
    "3A"
    "3C2B1434AF34B034B12B153864330737123716371A2B164A4A4A4A4A4A4A514D51515151595959594F626464646464"
    "33"
    "09646F6F6F6F766D576B6B4A4A4A4A4A4A4A514D51515151595959594F626464646464330A646F6F6F6F766D577601"
    "02"
    "0202020202020202020202020202020202020202020202020202020202020202020202020202020202020202020202"
    "02"
    "0202020202020202020202020202020202020202020202020202020202020202020202020202020202020202020202"
    "02"
    "02020202020202020202020302020202020202020202020202020302020202020F0E1219131A021C0F0E12130F0E12"
    "13"
    "68190F0E12191302210F0E12130E02020F0E1219131A021C0F0E12130F0E121368190F0E12191302210F0E12130E02"
    "13"
    "010101800706038007060480070605800706068007060780070608800706098007060A801B060B801B060C801B060D"
    "80"
    "1B060E801B060F801B0610801B0611801B0612801B0613801B0614801B0615801B0616801B0617801B0618801B0619"
    "80"
    "1B061A801B061B801B061C80370680804B0682818F061D818F061E818F061F818F0620818F0621818F0622818F0623"
    "81"
    "8F0624818F0625818F0626818F0627818F0628818F0629818F062A818F062B818F062C818F062D818F062E818F062F"
    "81"
    "8F0630818F0631818F0632818F0633818F0634818F0635818F0636818F0637818F0638818F0639818F063A818F063B"
    "81"
    "8F063C818F063D81C3068300";

TEST(GeneralLegacyTextKey, EveryLatin1CharacterMatchesAccess) {
    std::u16string text;
    for (char16_t c = 1; c <= 0xFF; ++c) text.push_back(c);
    EXPECT_EQ(toHex(key(text)), toHex(fromHex(kAllLatin1Key)));
}

TEST(GeneralLegacyTextKey, DescendingInvertsEverythingButTheFinalZero) {
    EXPECT_EQ(toHex(key(u"\u041C\u0438\u0440", false)), "86 BC 86 C4 86 B7 FE FF 00");
    EXPECT_EQ(toHex(key(u"", false)), "FE FF 00");
}

TEST(GeneralLegacyTextKey, TrailingSpacesAreNotPartOfTheKey) {
    EXPECT_EQ(key(u"abc   "), key(u"abc"));
    EXPECT_EQ(toHex(key(u"   ")), "01 00");
    EXPECT_EQ(toHex(key(u"")), "01 00");
    // Leading and inner spaces count; only U+0020 is dropped at the end, not a no-break space.
    EXPECT_EQ(toHex(key(u"  a")), "07 07 4A 01 00");
    EXPECT_EQ(toHex(key(u"a\u00A0")), "4A 08 02 01 00");
}

TEST(GeneralLegacyTextKey, OnlyTheFirst255CharactersCount) {
    const std::u16string a255(255, u'a');
    EXPECT_EQ(key(std::u16string(300, u'a')), key(a255));
    EXPECT_EQ(key(a255 + u"b"), key(a255));
    // The value is cut first, then trailing spaces go: a space at position 255 is dropped.
    EXPECT_EQ(key(std::u16string(254, u'a') + u" b"), key(std::u16string(254, u'a')));
    EXPECT_EQ(key(a255).size(), 255u + 2);
}

// Cyrillic weights come from the table only for М, и, р in the fixtures; the alphabet order and
// case folding catch a wrong table entry for the rest.
TEST(GeneralLegacyTextKey, RussianAlphabetSortsInOrderAndIgnoresCase) {
    const std::u16string upper =
        u"\u0410\u0411\u0412\u0413\u0414\u0415\u0401\u0416\u0417\u0418\u0419\u041A\u041B\u041C"
        u"\u041D\u041E\u041F\u0420\u0421\u0422\u0423\u0424\u0425\u0426\u0427\u0428\u0429\u042A"
        u"\u042B\u042C\u042D\u042E\u042F";
    const std::u16string lower =
        u"\u0430\u0431\u0432\u0433\u0434\u0435\u0451\u0436\u0437\u0438\u0439\u043A\u043B\u043C"
        u"\u043D\u043E\u043F\u0440\u0441\u0442\u0443\u0444\u0445\u0446\u0447\u0448\u0449\u044A"
        u"\u044B\u044C\u044D\u044E\u044F";
    ASSERT_EQ(upper.size(), 33u);
    ASSERT_EQ(lower.size(), 33u);
    for (std::size_t i = 0; i < upper.size(); ++i) {
        EXPECT_EQ(key(upper.substr(i, 1)), key(lower.substr(i, 1))) << "letter " << i;
        if (i > 0) {
            EXPECT_LT(key(upper.substr(i - 1, 1)), key(upper.substr(i, 1))) << "letter " << i;
        }
    }
    EXPECT_EQ(toHex(key(u"\u0410")), "79 2F 01 00");
    EXPECT_EQ(toHex(key(u"\u042F")), "79 5C 01 00");
}

// Keys built by the rules from table entries (no Access entry has these shapes).
TEST(GeneralLegacyTextKey, DiacriticAndUnprintableSectionsFollowTheRules) {
    // Ё is Е's weight plus diacritic 0x13; a letter before it gets the 0x02 filler.
    EXPECT_EQ(toHex(key(u"\u0401")), "79 36 01 13 00");
    EXPECT_EQ(toHex(key(u"\u0436\u0451")), "79 38 79 36 01 02 13 00");
    EXPECT_EQ(toHex(key(u"\u0401\u0436")), "79 36 79 38 01 13 00");
    // An apostrophe has no weight: it is recorded with its position (after one letter).
    EXPECT_EQ(toHex(key(u"\u0434'\u0410\u0440")), "79 33 79 2F 79 48 01 01 01 01 80 0B 06 80 00");
    // A combining acute accent adds to the diacritic of the letter before it.
    EXPECT_EQ(toHex(key(u"e\u0301")), "51 01 0E 00");
    // The position counts diacritic bytes, not characters: U+01C6 has a two-byte diacritic, so
    // the hyphen after it is at 2. A combining mark before any letter does not count.
    EXPECT_EQ(toHex(key(u"\u01C6-")), "4F 78 01 02 14 01 01 01 80 0F 06 82 00");
    EXPECT_EQ(toHex(key(u"\u0301a-")), "4A 01 0C 01 01 01 80 0B 06 82 00");
}

TEST(GeneralLegacyTextKey, AppendsAfterExistingBytes) {
    Bytes out{0x7F};
    ASSERT_TRUE(jet::appendGeneralLegacyTextKey(u"N", true, out));
    EXPECT_EQ(toHex(out), "7F 62 01 00");
}

TEST(GeneralLegacyTextKey, UnencodableCharacterLeavesOutputUnchanged) {
    for (std::u16string_view text :
         {std::u16string_view(u"\u6F22\u5B57"), std::u16string_view(u"ok \u0531"),
          std::u16string_view(u"a\xD800z")}) {
        Bytes out{0xAA, 0xBB};
        EXPECT_FALSE(jet::appendGeneralLegacyTextKey(text, true, out));
        EXPECT_EQ(toHex(out), "AA BB");
    }
    // A character past the first 255 is never looked at.
    Bytes out;
    EXPECT_TRUE(jet::appendGeneralLegacyTextKey(std::u16string(255, u'x') + u"\u6F22", true, out));
}

TEST(GeneralLegacyTextKey, EncoderAcceptsExactlyTheEncodableCharacters) {
    for (unsigned u = 0; u <= 0xFFFF; ++u) {
        const char16_t c = static_cast<char16_t>(u);
        const char16_t text[] = {u'a', c, u'b'};
        Bytes out;
        ASSERT_EQ(jet::appendGeneralLegacyTextKey({text, 3}, true, out),
                  jet::isGeneralLegacyEncodable(c))
            << u;
    }
}

TEST(GeneralLegacyTextKey, EncodableRanges) {
    for (unsigned c = 0; c <= 0xFF; ++c) {
        EXPECT_TRUE(jet::isGeneralLegacyEncodable(static_cast<char16_t>(c))) << c;
    }
    for (unsigned c = 0x400; c <= 0x45F; ++c) {
        EXPECT_TRUE(jet::isGeneralLegacyEncodable(static_cast<char16_t>(c))) << c;
    }
    for (char16_t c : {u'\u2013', u'\u2014', u'\u2026', u'\u20AC', u'\u2116', u'\u2212'}) {
        EXPECT_TRUE(jet::isGeneralLegacyEncodable(c)) << static_cast<int>(c);
    }
    for (char16_t c : {u'\u0530', u'\u1E00', u'\u2300', u'\u4E00', u'\xD800', u'\xFFFF'}) {
        EXPECT_FALSE(jet::isGeneralLegacyEncodable(c)) << static_cast<int>(c);
    }
}

}  // namespace
