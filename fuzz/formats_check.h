// What every reader of formats/ promises for any input, checked by its fuzz target: a refused
// file holds nothing; every question is one the bank can hold; every picture is used and
// usable; problems come in line order; and what was read goes through the Moodle XML writer
// and back (and through GIFT for GIFT input) into the same questions. A broken promise aborts,
// which libFuzzer reports with the input.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "formats/gift.h"
#include "formats/moodlexml.h"
#include "formats/pictures.h"
#include "formats/question.h"

namespace formatsfuzz {

using namespace zn::formats;

[[noreturn]] inline void broken(const char* what) {
    std::fprintf(stderr, "formats fuzz: %s\n", what);
    std::abort();
}

inline void require(bool ok, const char* what) {
    if (!ok) broken(what);
}

inline void checkPromises(const ReadResult& r, const Limits& limits) {
    if (r.refused) {
        require(r.questions.empty() && r.pictures.empty(), "a refused file holds questions");
        require(r.problems.size() == 1, "a refused file has not exactly one problem");
        return;
    }
    std::vector<bool> used(r.pictures.size(), false);
    for (const Question& q : r.questions) {
        const int n = int(q.answers.size());
        require(n >= limits.minAnswers && n <= limits.maxAnswers, "answer count out of range");
        require(q.correct >= 1 && q.correct <= n, "correct answer out of range");
        require(!q.text.trimmed().isEmpty(), "empty question text");
        for (const QString& a : q.answers) require(!a.trimmed().isEmpty(), "empty answer");
        require(q.topic.size() <= limits.topicChars, "topic too long");
        require(!q.topic.contains(u'\n') && !q.topic.contains(u'\r'), "topic over two lines");
        if (q.picture >= 0) {
            require(size_t(q.picture) < r.pictures.size(), "picture index out of range");
            used[size_t(q.picture)] = true;
        }
    }
    for (size_t i = 0; i < r.pictures.size(); ++i) {
        const Picture& p = r.pictures[i];
        require(used[i], "a picture no question uses");
        if (p.embedded)
            require(pictureType(p.bytes) != PictureType::Unknown, "an embedded non-picture");
        else
            require(p.name.size() <= limits.pictureChars, "a picture name too long");
    }
    for (size_t i = 1; i < r.problems.size(); ++i)
        require(r.problems[i - 1].where.line <= r.problems[i].where.line, "problems out of order");
}

// Texts compared as the formats promise to carry them: blanks and line breaks at the ends
// aside.
inline bool sameText(const QString& a, const QString& b) {
    return a.trimmed() == b.trimmed();
}

// `r`'s questions written by `write` and read back by `read` are the same questions.
template <typename Write, typename Read>
void checkRoundTrip(const ReadResult& r, Write write, Read read, bool pictures) {
    if (r.refused || r.questions.empty()) return;
    const WriteResult w = write(r);
    // What the writer could not carry is reported; such a file is not compared.
    if (!w.problems.empty()) return;
    const ReadResult back = read(w.bytes);
    require(!back.refused, "a written file is refused");
    require(back.problems.empty(), "a written file reads with problems");
    require(back.questions.size() == r.questions.size(), "a written file loses questions");
    for (size_t i = 0; i < r.questions.size(); ++i) {
        const Question &a = r.questions[i], &b = back.questions[i];
        require(a.topic.trimmed() == b.topic, "a topic changes on the way back");
        require(sameText(a.text, b.text), "a question text changes on the way back");
        require(a.answers.size() == b.answers.size(), "answers change on the way back");
        for (size_t k = 0; k < a.answers.size(); ++k)
            require(sameText(a.answers[k], b.answers[k]), "an answer changes on the way back");
        require(a.correct == b.correct, "the correct answer changes on the way back");
        if (!pictures) continue;
        require((a.picture >= 0) == (b.picture >= 0), "a picture is lost on the way back");
        if (a.picture >= 0)
            require(r.pictures[size_t(a.picture)].bytes == back.pictures[size_t(b.picture)].bytes,
                    "a picture changes on the way back");
    }
}

// The whole check of one reader's result.
inline void check(const ReadResult& r, bool giftToo = false) {
    const Limits limits = Limits::standard();
    checkPromises(r, limits);
    checkRoundTrip(
        r, [](const QuestionSet& s) { return writeMoodleXml(s); },
        [](const QByteArray& b) { return readMoodleXml(b); }, true);
    if (giftToo)
        checkRoundTrip(
            r, [](const QuestionSet& s) { return writeGift(s); },
            [](const QByteArray& b) { return readGift(b); }, false);
}

}  // namespace formatsfuzz
