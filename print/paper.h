// What a printout shows: the questions with their answers in the order they are printed, grouped
// into sections (the whole bank, the chosen topics, or one section per variant), with the test's
// header. A variant draws N questions from each chosen topic and shuffles the answers of each,
// from a seed; the answer key is read from the same values the paper is printed from, so the
// two cannot disagree. Values in, values out: no Qt GUI, no data module.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "print/source.h"

namespace zn::print {

enum class Scope {
    Bank,      // every topic with every question, in the bank's order
    Topics,    // the chosen topics, every question, in the bank's order
    Variants,  // N questions drawn from each chosen topic, answers shuffled, one section each
};

struct Options {
    Scope scope = Scope::Bank;
    // Topic numbers (numtema): the topics printed (Topics) or drawn from (Variants; empty: every
    // topic). Printed in the bank's topic order whatever the order here.
    std::vector<qint64> topics;
    int perTopic = 10;     // Variants: questions drawn from each topic (all when it has fewer)
    quint32 seed = 1;      // Variants: the seed of variant 1; variant k has variantSeed(seed, k)
    int variants = 1;      // Variants: how many
    bool key = false;      // an answer key after the papers
    bool pictures = true;  // the questions' pictures
};

// One printed question.
struct Question {
    QString label;      // the number printed before it: idvopr in the bank, 1..n in a variant
    qint64 topic = 0;   // numtema of its topic
    qint64 number = 0;  // idvopr: its number in the bank
    QString text;       // as stored
    QString picture;    // the picture's file name as stored, trimmed; empty: none
    std::vector<QString> answers;  // in printed order
    int correct = -1;  // index into `answers` of the correct answer; -1: the bank names none
};

// Questions under one heading (a topic); an empty heading prints none.
struct Group {
    QString heading;
    std::vector<Question> questions;
    bool empty = false;  // the topic has no question: a line says so
};

// What is printed from a new page on: the whole bank, or one variant.
struct Section {
    QString title;     // "Вариант 2 (шифр 1235)"; empty for the bank
    QString footer;    // put before the page number in the footer: "Вариант 2"; may be empty
    quint32 seed = 0;  // the variant's seed (variants only)
    std::vector<Group> groups;
    int questionCount() const;
};

struct Paper {
    // The header of every section, from the information records (trimmed; may be empty).
    QString testName, description, date;
    std::vector<Section> sections;
    bool key = false;
    bool pictures = true;

    int questionCount() const;
    // The picture names the paper prints, each once, in order of first use.
    QStringList pictureNames() const;
    // "тема 3, вопрос 7" for each question whose correct answer the bank does not name
    // (otvet outside its answers), each once; the key prints "?" for them.
    QStringList withoutCorrect() const;
};

// The paper of `source` under `options`. Topics are in numtema order (then id), questions in
// idvopr order (then id), answers in idotv order (then id); a question's answers are its first
// kolotvet answer rows when it has more rows than that. Questions of no topic are not printed.
// Numbers in `options.topics` that no topic has are ignored. Variants: perTopic and variants
// are taken as at least 1.
Paper makePaper(const Source& source, const Options& options);

// The seed of variant k (from 1) when variant 1 has `first`: first + k - 1, wrapping at 2^32.
// Printing seed variantSeed(s, k) as variant 1 gives variant k of seed s again.
quint32 variantSeed(quint32 first, int k);

// A seed for a new printout: a number of at most six digits, easy to copy from the paper.
quint32 newSeed();

// The generator behind the draw: splitmix64 with rejection sampling, written out here so that a
// seed gives the same paper with every compiler and standard library (std::shuffle and the
// std distributions are not specified to the bit).
class Draw {
  public:
    explicit Draw(quint32 seed) : state_(seed) {}
    uint64_t next();
    // Uniform in [0, n). REQUIRES: n > 0.
    uint64_t below(uint64_t n);

  private:
    uint64_t state_;
};

}  // namespace zn::print
