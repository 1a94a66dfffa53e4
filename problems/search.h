// Finding questions by a piece of their text, an answer or their picture's name. The index
// keeps, per question, one folded text (letter case folded, "ё" as "е") of everything that can
// be searched, so that a keystroke costs one substring search per question (a few milliseconds
// on a bank of 4,200 questions; bench/problems_bench.cpp). Pure code: the search box builds the
// index from the rows the problem check reads and rebuilds it after every command.
#pragma once

#include <QString>
#include <vector>

#include "problems/bankcheck.h"

namespace zn::problems {

// `text` as the search compares it: case folded (Cyrillic included), "ё" and "Ё" as "е".
QString foldForSearch(const QString& text);

struct SearchHit {
    qint64 topic = 0;     // idtest
    qint64 question = 0;  // idvopr
    qint64 id = 0;        // the question's id
    int topicPos = 0;     // the tree node (see Problem)
    int questionPos = 0;
    QString excerpt;  // the beginning of the question's text, on one line
};

class SearchIndex {
  public:
    SearchIndex() = default;
    explicit SearchIndex(const BankRows& bank);

    // Questions (of existing topics, in tree order) whose text, answers or picture name contain
    // `query` after folding. An empty or blank query finds nothing. At most `limit` hits are
    // returned; `total` (may be null) receives how many questions match.
    std::vector<SearchHit> find(const QString& query, size_t limit = 500,
                                size_t* total = nullptr) const;
    size_t size() const { return entries_.size(); }

  private:
    struct Entry {
        SearchHit hit;
        QString folded;
    };
    std::vector<Entry> entries_;
};

}  // namespace zn::problems
