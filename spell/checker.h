// The Russian spell checker: Hunspell over the system's Russian dictionary, the person's own
// word list kept in the user's settings, and a cache of verdicts so that a word is looked up
// once per session. Qt Core only; the underlining of a text box, its context menu and the bank's
// unknown-words check are built on it.
//
// Loading the Russian dictionary takes about 0.3 s, so it is loaded on a thread of its own while
// the program starts; until it is loaded no word counts as misspelled and loaded() tells the
// underlining to look again. A dictionary file is loaded once per process: later checkers on it
// share what the first one loaded (each keeps its own personal word list).
//
// What counts as misspelled (see also isCheckedWord in words.h):
// - a word the dictionary does not know, in its ё spelling or its е spelling: "еще" and "ещё",
//   "электромонтер" and "электромонтёр" are both accepted whichever of them the dictionary has;
// - words with a digit, words without a Cyrillic letter and one-letter words are never flagged;
// - in a hyphenated word with a Latin part ("pH-метр", "IT-отдел", "XIX-го") only the Cyrillic
//   parts are looked up, and a Cyrillic part of up to three letters right after a Latin one is a
//   case ending ("XIX-го", "SMS-ку"), not looked up;
// - capitals follow the dictionary: "Москва" and "МОСКВА" are right, "москва" is not; an
//   abbreviation the dictionary lacks ("ЦНС") is flagged until it is added to the word list.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>

namespace zn::spell {

// Where a Hunspell dictionary lies: its affix file and its word file.
struct Dictionary {
    QString affFile;
    QString dicFile;
    // The Russian dictionary of the system: ru_RU.aff and ru_RU.dic in the "hunspell" (or older
    // "myspell") folder of the system's data folders (/usr/share/hunspell for Debian's
    // hunspell-ru). Paths where it would be when none is installed.
    static Dictionary russian();
};

class Checker : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Checker)

  public:
    enum class State {
        Loading,      // the dictionary is being read; every word counts as right
        Ready,        // words are checked
        Unavailable,  // no usable dictionary (unavailableReason() says why); every word is right
    };

    // The settings key of the personal word list (a list of words), read through QSettings()
    // with the organisation and application names the program sets.
    static constexpr const char* kPersonalWordsKey = "spell/personalWords";

    // Starts loading `dictionary` on a thread of its own and reads the personal word list.
    explicit Checker(const Dictionary& dictionary = Dictionary::russian(),
                     QObject* parent = nullptr);
    // Waits for the loading to end, if it has not.
    ~Checker() override;

    // Every function below REQUIRES: called on the thread the checker lives on, the GUI thread,
    // which every checker of the process lives on (they share the loaded dictionary).

    State state();
    // Blocks until the dictionary is loaded or known to be unusable; returns the state.
    State waitUntilLoaded();
    // Why the checker is Unavailable (Russian, for the person); empty otherwise.
    QString unavailableReason() const;

    // Whether the word should be underlined. `word` is a word as wordSpans() finds it in a text
    // (stress marks, soft hyphens and typographic apostrophes are fine). False while loading.
    bool isMisspelled(QStringView word);

    // At most `max` corrections of `word`, best first (Hunspell's order); empty while loading.
    // Takes 0.1 to 0.3 s for a Russian word: call it on a person's request only.
    QStringList suggestions(QStringView word, int max = 8);

    // Adds `word` to the personal word list: it is right from now on, in this checker and
    // (through the user's settings) in every later one, in its own capitals as Hunspell takes a
    // dictionary word (a word in lower case also with a capital first letter and in capitals).
    // Hunspell does not offer personal words as corrections. Writes the settings at
    // once, merged with words another running copy of the program may have added.
    void addPersonalWord(QStringView word);
    // The personal word list, as stored.
    QStringList personalWords() const;
    // Grows by one each time the personal word list grows: verdicts kept outside the checker
    // hold for one generation.
    quint64 generation() const;

  signals:
    // Loading has ended (state() is Ready or Unavailable): text shown before can be checked now.
    void loaded();
    // A word was added to the personal list: verdicts shown before may be wrong now.
    void personalWordsChanged();

  private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace zn::spell
