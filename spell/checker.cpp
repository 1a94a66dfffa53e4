// Hunspell behind the checker: loading on a thread (once per dictionary file for the whole
// process), the encoding of the dictionary, the ё/е spellings, the parts of hyphenated words and
// the personal word list.
#include "spell/checker.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <future>
#include <hunspell/hunspell.hxx>
#include <string>

#include "spell/words.h"

namespace zn::spell {

namespace {

// Verdicts kept before the cache is emptied: far more distinct words than a bank holds.
constexpr qsizetype kMaxCachedVerdicts = 200000;
// Up to this many е in a word every mix of е and ё is tried; above it one ё at a time.
constexpr int kMaxYoMixes = 4;

// Hunspell with the converters of its dictionary's encoding (the affix file's SET line).
struct Loaded {
    std::unique_ptr<Hunspell> hunspell;
    bool utf8 = true;
    QStringEncoder encoder;
    QStringDecoder decoder;
    QString error;
};

Loaded load(const Dictionary& dictionary) {
    Loaded l;
    if (!QFileInfo(dictionary.affFile).isReadable() ||
        !QFileInfo(dictionary.dicFile).isReadable()) {
        l.error = QStringLiteral(
                      "Словарь русского языка не найден (%1). Проверка орфографии выключена; "
                      "её включает установка пакета hunspell-ru.")
                      .arg(dictionary.dicFile);
        return l;
    }
    l.hunspell = std::make_unique<Hunspell>(QFile::encodeName(dictionary.affFile).constData(),
                                            QFile::encodeName(dictionary.dicFile).constData());
    const std::string encoding = l.hunspell->get_dict_encoding();
    const QByteArray name = QByteArray::fromStdString(encoding).toUpper();
    l.utf8 = name == "UTF-8" || name == "UTF8";
    if (!l.utf8) {
        l.encoder = QStringEncoder(name.constData());
        l.decoder = QStringDecoder(name.constData());
        if (!l.encoder.isValid() || !l.decoder.isValid()) {
            l.hunspell.reset();
            l.error = QStringLiteral(
                          "Словарь %1 записан в кодировке %2, которую программа не знает. "
                          "Проверка орфографии выключена.")
                          .arg(dictionary.dicFile, QString::fromLatin1(name));
        }
    }
    return l;
}

// Loaded dictionaries, shared by every checker of the process: a program (and a test run) makes
// a checker for each window it brings up, and reading the Russian dictionary again each time
// would cost its 0.4 s every time. Keyed by the files' paths, sizes and times, so a dictionary
// replaced on disk is read again. A dictionary that cannot be read is not kept. Hunspell is only
// ever used on the thread the checkers live on (see Checker's REQUIRES); the personal words are
// each checker's own and never reach the shared Hunspell.
using SharedLoad = std::shared_future<std::shared_ptr<Loaded>>;

QString identity(const Dictionary& d) {
    QString key;
    for (const QString& file : {d.affFile, d.dicFile}) {
        const QFileInfo info(file);
        key += info.absoluteFilePath() + u'\n' + QString::number(info.size()) + u'\n' +
               QString::number(info.lastModified().toMSecsSinceEpoch()) + u'\n';
    }
    return key;
}

SharedLoad sharedLoad(const Dictionary& dictionary) {
    static QMutex mutex;
    static QHash<QString, SharedLoad> loads;
    const QString key = identity(dictionary);
    const QMutexLocker lock(&mutex);
    auto it = loads.find(key);
    if (it != loads.end()) {
        const SharedLoad& known = *it;
        // A failed load is not kept: the package may be installed by the next checker.
        if (known.wait_for(std::chrono::seconds(0)) != std::future_status::ready ||
            known.get()->hunspell)
            return known;
    }
    SharedLoad started = std::async(std::launch::async, [dictionary] {
                             return std::make_shared<Loaded>(load(dictionary));
                         }).share();
    loads.insert(key, started);
    return started;
}

bool isYo(QChar c) {
    return c == u'ё' || c == u'Ё';
}
bool isYe(QChar c) {
    return c == u'е' || c == u'Е';
}
QChar yoOf(QChar ye) {
    return ye == u'е' ? QChar(u'ё') : QChar(u'Ё');
}

}  // namespace

Dictionary Dictionary::russian() {
    const QStringList roots =
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const char* folder : {"hunspell", "myspell"}) {
        for (const QString& root : roots) {
            const QString base = root + u'/' + QLatin1String(folder) + QStringLiteral("/ru_RU");
            if (QFileInfo::exists(base + QStringLiteral(".dic")))
                return {base + QStringLiteral(".aff"), base + QStringLiteral(".dic")};
        }
    }
    return {QStringLiteral("/usr/share/hunspell/ru_RU.aff"),
            QStringLiteral("/usr/share/hunspell/ru_RU.dic")};
}

struct Checker::Impl {
    SharedLoad shared;
    // Ends after `shared` has, once loaded() is posted to the checker.
    std::future<void> announcing;
    State state = State::Loading;
    bool loadedAnnounced = false;
    std::shared_ptr<Loaded> dic;
    QStringList personal;
    QSet<QString> personalSet;  // `personal` again, for look-ups
    quint64 generation = 0;
    // Verdicts by dictionary form: true = misspelled.
    QHash<QString, bool> verdicts;

    std::string encode(const QString& word) {
        if (dic->utf8) return word.toUtf8().toStdString();
        QByteArray bytes = dic->encoder.encode(word);
        return bytes.toStdString();
    }
    QString decode(const std::string& bytes) {
        if (dic->utf8) return QString::fromUtf8(bytes);
        return dic->decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }

    // Takes the loaded dictionary once its loading has ended.
    void adopt() {
        dic = shared.get();
        state = dic->hunspell ? State::Ready : State::Unavailable;
    }

    void addPersonal(const QString& word) {
        if (personalSet.contains(word)) return;
        personal << word;
        personalSet.insert(word);
    }

    // A personal word is taken as Hunspell takes a word of its dictionary: one in lower case
    // is right in lower case, with a capital first letter and in capitals; one with capitals
    // as it is and in capitals.
    bool personalKnows(const QString& word) const {
        if (personalSet.isEmpty()) return false;
        if (personalSet.contains(word)) return true;
        const QString lower = word.toLower();
        if (lower == word) return false;
        if (personalSet.contains(lower)) {
            const QString title = lower.left(1).toUpper() + lower.mid(1);
            if (word == title || word == word.toUpper()) return true;
        }
        if (word != word.toUpper()) return false;
        for (const QString& p : personalSet)
            if (p.size() == word.size() && p.toUpper() == word) return true;
        return false;
    }

    bool known(const QString& word) {
        return personalKnows(word) || dic->hunspell->spell(encode(word));
    }

    // The word, or any of its spellings with е and ё exchanged, is in the dictionary.
    bool knownAnyYo(const QString& word) {
        if (known(word)) return true;
        QString plain = word;
        std::vector<qsizetype> ye;
        for (qsizetype i = 0; i < plain.size(); ++i) {
            if (isYo(plain[i])) plain[i] = plain[i] == u'ё' ? QChar(u'е') : QChar(u'Е');
            if (isYe(plain[i])) ye.push_back(i);
        }
        if (plain != word && known(plain)) return true;
        const int n = int(ye.size());
        if (n == 0) return false;
        auto variant = [&](unsigned mask) {
            QString v = plain;
            for (int k = 0; k < n; ++k)
                if (mask & (1u << k)) v[ye[size_t(k)]] = yoOf(v[ye[size_t(k)]]);
            return v;
        };
        if (n <= kMaxYoMixes) {
            for (unsigned mask = 1; mask < (1u << n); ++mask) {
                const QString v = variant(mask);
                if (v != word && known(v)) return true;
            }
        } else {
            for (int k = 0; k < n; ++k) {
                const QString v = variant(1u << k);
                if (v != word && known(v)) return true;
            }
        }
        return false;
    }

    // REQUIRES: isCheckedWord(word), state Ready.
    bool accepted(const QString& word) {
        if (knownAnyYo(word)) return true;
        if (!word.contains(u'-')) return false;
        const QStringList parts = word.split(u'-');
        // Each part is looked up as Hunspell does for a word it does not know whole, with the
        // personal words too ("Знатокар-тест").
        bool afterForeign = false;
        for (const QString& p : parts) {
            if (!isCheckedWord(p)) {
                afterForeign = !p.isEmpty();
                continue;
            }
            const bool ending = afterForeign && p.size() <= 3;
            afterForeign = false;
            if (!ending && !knownAnyYo(p)) return false;
        }
        return true;
    }
};

Checker::Checker(const Dictionary& dictionary, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>()) {
    for (const QString& w : QSettings().value(QLatin1String(kPersonalWordsKey)).toStringList())
        d_->addPersonal(w);
    d_->shared = sharedLoad(dictionary);
    d_->announcing = std::async(std::launch::async, [this, shared = d_->shared] {
        shared.wait();
        // Delivered on the checker's thread (dropped if the checker is gone by then).
        QMetaObject::invokeMethod(
            this,
            [this] {
                waitUntilLoaded();
                if (d_->loadedAnnounced) return;
                d_->loadedAnnounced = true;
                emit loaded();
            },
            Qt::QueuedConnection);
    });
}

Checker::~Checker() {
    if (d_->announcing.valid()) d_->announcing.wait();
}

Checker::State Checker::state() {
    if (d_->state == State::Loading &&
        d_->shared.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        d_->adopt();
    return d_->state;
}

Checker::State Checker::waitUntilLoaded() {
    if (d_->state == State::Loading) d_->adopt();
    return d_->state;
}

QString Checker::unavailableReason() const {
    return d_->dic ? d_->dic->error : QString();
}

bool Checker::isMisspelled(QStringView word) {
    if (state() != State::Ready) return false;
    const QString form = dictionaryForm(word);
    if (!isCheckedWord(form)) return false;
    const auto it = d_->verdicts.constFind(form);
    if (it != d_->verdicts.constEnd()) return *it;
    if (d_->verdicts.size() >= kMaxCachedVerdicts) d_->verdicts.clear();
    const bool wrong = !d_->accepted(form);
    d_->verdicts.insert(form, wrong);
    return wrong;
}

QStringList Checker::suggestions(QStringView word, int max) {
    QStringList out;
    if (state() != State::Ready) return out;
    const QString form = dictionaryForm(word);
    for (const std::string& s : d_->dic->hunspell->suggest(d_->encode(form))) {
        const QString w = d_->decode(s);
        if (!w.isEmpty() && !out.contains(w)) out << w;
        if (out.size() >= max) break;
    }
    return out;
}

void Checker::addPersonalWord(QStringView word) {
    const QString form = dictionaryForm(word);
    if (form.isEmpty()) return;
    QSettings settings;
    QStringList stored = settings.value(QLatin1String(kPersonalWordsKey)).toStringList();
    for (const QString& w : stored) d_->addPersonal(w);
    if (!stored.contains(form)) {
        stored << form;
        settings.setValue(QLatin1String(kPersonalWordsKey), stored);
        settings.sync();
    }
    d_->addPersonal(form);
    d_->verdicts.clear();
    ++d_->generation;
    emit personalWordsChanged();
}

QStringList Checker::personalWords() const {
    return d_->personal;
}

quint64 Checker::generation() const {
    return d_->generation;
}

}  // namespace zn::spell
