// The questions a printout shows and the variants' draw (see paper.h).
#include "print/paper.h"

#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <algorithm>
#include <utility>

namespace zn::print {

uint64_t Draw::next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t Draw::below(uint64_t n) {
    // Values under `threshold` would make the low residues more likely; they are drawn again.
    const uint64_t threshold = (0 - n) % n;
    for (;;) {
        const uint64_t r = next();
        if (r >= threshold) return r % n;
    }
}

quint32 variantSeed(quint32 first, int k) {
    return first + quint32(k - 1);
}

quint32 newSeed() {
    return QRandomGenerator::global()->bounded(1u, 1000000u);
}

int Section::questionCount() const {
    int n = 0;
    for (const Group& g : groups) n += int(g.questions.size());
    return n;
}

int Paper::questionCount() const {
    int n = 0;
    for (const Section& s : sections) n += s.questionCount();
    return n;
}

QStringList Paper::pictureNames() const {
    QStringList names;
    QSet<QString> seen;
    for (const Section& s : sections)
        for (const Group& g : s.groups)
            for (const Question& q : g.questions)
                if (!q.picture.isEmpty() && !seen.contains(q.picture)) {
                    seen.insert(q.picture);
                    names << q.picture;
                }
    return names;
}

QStringList Paper::withoutCorrect() const {
    QStringList out;
    QSet<QPair<qint64, qint64>> seen;
    for (const Section& s : sections)
        for (const Group& g : s.groups)
            for (const Question& q : g.questions)
                if (q.correct < 0 && !seen.contains({q.topic, q.number})) {
                    seen.insert({q.topic, q.number});
                    out << QStringLiteral("тема %1, вопрос %2").arg(q.topic).arg(q.number);
                }
    return out;
}

namespace {

// The bank arranged for printing: topics in order, each with its questions in order, each
// question with its answers.
struct Arranged {
    struct TopicQuestions {
        const zn::Topic* topic;
        std::vector<Question> questions;
    };
    std::vector<TopicQuestions> topics;
};

Arranged arrange(const Source& source) {
    // Answers per question id, in idotv order (then id).
    std::vector<const zn::Answer*> answers;
    answers.reserve(source.answers.size());
    for (const zn::Answer& a : source.answers) answers.push_back(&a);
    std::sort(answers.begin(), answers.end(), [](const zn::Answer* a, const zn::Answer* b) {
        return std::tie(a->idvopr, a->idotv, a->id) < std::tie(b->idvopr, b->idotv, b->id);
    });
    auto answersOf = [&answers](qint64 questionId) {
        auto lo = std::lower_bound(answers.begin(), answers.end(), questionId,
                                   [](const zn::Answer* a, qint64 id) { return a->idvopr < id; });
        std::vector<QString> texts;
        for (auto it = lo; it != answers.end() && (*it)->idvopr == questionId; ++it)
            texts.push_back((*it)->otvet);
        return texts;
    };

    Arranged out;
    std::vector<const zn::Topic*> topics;
    for (const zn::Topic& t : source.topics) topics.push_back(&t);
    std::sort(topics.begin(), topics.end(), [](const zn::Topic* a, const zn::Topic* b) {
        return std::tie(a->numtema, a->id) < std::tie(b->numtema, b->id);
    });
    QHash<qint64, size_t> topicAt;  // numtema -> first topic with it
    for (const zn::Topic* t : topics) {
        if (!topicAt.contains(t->numtema)) topicAt.insert(t->numtema, out.topics.size());
        out.topics.push_back({t, {}});
    }

    std::vector<const zn::Question*> questions;
    questions.reserve(source.questions.size());
    for (const zn::Question& q : source.questions) questions.push_back(&q);
    std::sort(questions.begin(), questions.end(), [](const zn::Question* a, const zn::Question* b) {
        return std::tie(a->idvopr, a->id) < std::tie(b->idvopr, b->id);
    });
    for (const zn::Question* q : questions) {
        const auto at = topicAt.constFind(q->idtest);
        if (at == topicAt.constEnd()) continue;
        Question p;
        p.label = QString::number(q->idvopr);
        p.topic = q->idtest;
        p.number = q->idvopr;
        p.text = q->vopros;
        p.picture = q->img.trimmed();
        p.answers = answersOf(q->id);
        if (q->kolotvet >= 1 && q->kolotvet < qint64(p.answers.size()))
            p.answers.resize(size_t(q->kolotvet));
        if (q->otvet >= 1 && q->otvet <= qint64(p.answers.size())) p.correct = int(q->otvet - 1);
        out.topics[*at].questions.push_back(std::move(p));
    }
    return out;
}

QString topicHeading(const zn::Topic& t) {
    return QStringLiteral("Тема %1. %2").arg(t.numtema).arg(t.tema.trimmed());
}

bool chosen(const Options& options, qint64 numtema) {
    return std::find(options.topics.begin(), options.topics.end(), numtema) != options.topics.end();
}

// Variant `k` (from 1): N questions drawn from each topic, each question's answers shuffled.
Section drawVariant(const Arranged& bank, const Options& options, int k) {
    Section s;
    s.seed = variantSeed(options.seed, k);
    s.title = QStringLiteral("Вариант %1 (шифр %2)").arg(k).arg(s.seed);
    s.footer = QStringLiteral("Вариант %1").arg(k);
    Draw draw(s.seed);
    Group all;
    const size_t perTopic = size_t(std::max(options.perTopic, 1));
    for (const auto& t : bank.topics) {
        if (!options.topics.empty() && !chosen(options, t.topic->numtema)) continue;
        std::vector<const Question*> pool;
        for (const Question& q : t.questions) pool.push_back(&q);
        const size_t take = std::min(perTopic, pool.size());
        for (size_t i = 0; i < take; ++i) std::swap(pool[i], pool[i + draw.below(pool.size() - i)]);
        for (size_t i = 0; i < take; ++i) {
            Question q = *pool[i];
            // Fisher-Yates over the answers; the correct one's place moves with its text.
            for (size_t j = q.answers.size(); j > 1; --j) {
                const size_t r = size_t(draw.below(j));
                std::swap(q.answers[j - 1], q.answers[r]);
                if (q.correct == int(j - 1))
                    q.correct = int(r);
                else if (q.correct == int(r))
                    q.correct = int(j - 1);
            }
            all.questions.push_back(std::move(q));
        }
    }
    int n = 0;
    for (Question& q : all.questions) q.label = QString::number(++n);
    s.groups.push_back(std::move(all));
    return s;
}

}  // namespace

Paper makePaper(const Source& source, const Options& options) {
    Paper paper;
    const auto& values = source.info.values;
    paper.testName = values[2].trimmed();
    paper.description = values[3].trimmed();
    paper.date = values[4].trimmed();
    paper.key = options.key;
    paper.pictures = options.pictures;

    Arranged bank = arrange(source);
    if (options.scope == Scope::Variants) {
        const int count = std::max(options.variants, 1);
        for (int k = 1; k <= count; ++k) paper.sections.push_back(drawVariant(bank, options, k));
        return paper;
    }
    Section s;
    for (auto& t : bank.topics) {
        if (options.scope == Scope::Topics && !chosen(options, t.topic->numtema)) continue;
        Group g;
        g.heading = topicHeading(*t.topic);
        g.empty = t.questions.empty();
        g.questions = std::move(t.questions);
        s.groups.push_back(std::move(g));
    }
    paper.sections.push_back(std::move(s));
    return paper;
}

}  // namespace zn::print
