// Text index keys under the "General" (legacy) sort order: the per-character table lookup and
// the assembly of the key sections. The rules were checked byte for byte against index entries
// that Access wrote (see tests/textkey_test.cpp for the vectors and where they came from).
#include "jet/textkey.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace jet {
namespace {

// How a character takes part in a key.
enum class CharClass : std::uint8_t {
    Ignored,      // contributes nothing at all
    Plain,        // weight bytes only
    Accented,     // weight bytes plus diacritic bytes
    Unprintable,  // no weight; recorded with its position in the last section
    Combining,    // no weight; its byte is added to the diacritic of the character before it
};

// `count` consecutive code points starting at `first`; the last weight byte grows by `step`
// from one code point to the next. For Unprintable and Combining the single weight byte is the
// byte recorded in the trailer or added to the diacritic.
struct CharRun {
    char16_t first;
    std::uint8_t count;
    CharClass cls;
    std::uint8_t step;
    std::uint8_t weightLen;
    std::array<std::uint8_t, 4> weight;
    std::uint8_t diacriticLen;
    std::array<std::uint8_t, 2> diacritic;
};

constexpr CharRun kRuns[] = {
#include "jet/textkey_table.inc"
};

constexpr bool runsAreOrdered() {
    for (std::size_t i = 1; i < std::size(kRuns); ++i) {
        if (kRuns[i].first < kRuns[i - 1].first + kRuns[i - 1].count) return false;
    }
    return true;
}
static_assert(runsAreOrdered(), "character runs must be sorted and must not overlap");

// Key section markers.
constexpr std::uint8_t kEndOfText = 0x01;
constexpr std::uint8_t kEndOfKey = 0x00;
// Diacritic byte of a character without a diacritic. The section is cut after its last byte
// above this value, so a value without diacritics has no section at all.
constexpr std::uint8_t kNoDiacritic = 0x02;
// An unprintable character is recorded as a big-endian u16 position word, this byte, then its
// own byte. The position word counts in steps of 4 from 7 and has the top bit set.
constexpr std::uint8_t kUnprintableSeparator = 0x06;

const CharRun* findRun(char16_t c) {
    const CharRun* it = std::upper_bound(std::begin(kRuns), std::end(kRuns), c,
                                         [](char16_t v, const CharRun& r) { return v < r.first; });
    if (it == std::begin(kRuns)) return nullptr;
    --it;
    return c < it->first + it->count ? it : nullptr;
}

// The weight bytes of `c`, which lies in `run` (none for an ignored character).
std::array<std::uint8_t, 4> weightOf(const CharRun& run, char16_t c) {
    std::array<std::uint8_t, 4> w = run.weight;
    if (run.weightLen > 0) {
        std::uint8_t& last = w[run.weightLen - 1];
        last = static_cast<std::uint8_t>(last + run.step * (c - run.first));
    }
    return w;
}

}  // namespace

bool isGeneralLegacyEncodable(char16_t c) {
    return findRun(c) != nullptr;
}

bool appendGeneralLegacyTextKey(std::u16string_view text, bool ascending,
                                std::vector<std::uint8_t>& out) {
    std::size_t len = std::min(text.size(), kMaxIndexedTextChars);
    while (len > 0 && text[len - 1] == u' ') --len;
    text = text.substr(0, len);

    std::vector<std::uint8_t> key;
    key.reserve(2 * len + 4);
    // Diacritic section: one entry per weighted character up to the last accented one (filled
    // with kNoDiacritic), multi-byte for some characters, modified in place by combining marks.
    std::vector<std::uint8_t> diacritics;
    std::size_t diacriticChars = 0;    // weighted characters the section accounts for so far
    std::size_t leadingMarkBytes = 0;  // 1 when a combining mark came before any diacritic
    std::vector<std::uint8_t> unprintables;
    std::size_t weighted = 0;  // characters that have written weight bytes so far

    auto padDiacritics = [&](std::size_t upTo) {
        if (diacriticChars < upTo) {
            diacritics.insert(diacritics.end(), upTo - diacriticChars, kNoDiacritic);
            diacriticChars = upTo;
        }
    };

    for (char16_t c : text) {
        const CharRun* run = findRun(c);
        if (run == nullptr) return false;
        const std::array<std::uint8_t, 4> w = weightOf(*run, c);
        switch (run->cls) {
            case CharClass::Ignored:
                break;
            case CharClass::Plain:
                key.insert(key.end(), w.begin(), w.begin() + run->weightLen);
                ++weighted;
                break;
            case CharClass::Accented:
                key.insert(key.end(), w.begin(), w.begin() + run->weightLen);
                padDiacritics(weighted);
                diacritics.insert(diacritics.end(), run->diacritic.begin(),
                                  run->diacritic.begin() + run->diacriticLen);
                ++diacriticChars;
                ++weighted;
                break;
            case CharClass::Combining:
                padDiacritics(weighted);
                if (diacritics.empty()) {
                    diacritics.push_back(w[0]);
                    leadingMarkBytes = 1;
                } else {
                    diacritics.back() = static_cast<std::uint8_t>(diacritics.back() + w[0]);
                }
                break;
            case CharClass::Unprintable: {
                // The position is measured in the diacritic section as it would be if every
                // weighted character so far had a diacritic byte; a leading mark byte does
                // not count.
                const std::size_t pos =
                    diacritics.size() + (weighted - diacriticChars) - leadingMarkBytes;
                const unsigned word = (7 + 4 * pos) | 0x8000u;
                unprintables.push_back(static_cast<std::uint8_t>(word >> 8));
                unprintables.push_back(static_cast<std::uint8_t>(word));
                unprintables.push_back(kUnprintableSeparator);
                unprintables.push_back(w[0]);
                break;
            }
        }
    }

    key.push_back(kEndOfText);
    while (!diacritics.empty() && diacritics.back() <= kNoDiacritic) diacritics.pop_back();
    key.insert(key.end(), diacritics.begin(), diacritics.end());
    if (!unprintables.empty()) {
        key.insert(key.end(), {kEndOfText, kEndOfText, kEndOfText});
        key.insert(key.end(), unprintables.begin(), unprintables.end());
    }
    if (!ascending) {
        key.push_back(kEndOfKey);
        for (std::uint8_t& b : key) b = static_cast<std::uint8_t>(~b);
    }
    key.push_back(kEndOfKey);

    out.insert(out.end(), key.begin(), key.end());
    return true;
}

}  // namespace jet
