// The fuzz targets over the Qt parts: the exchange file, a record of the undo history's side
// file, a backup's description and the problem check of a bank (the question files of other
// programs are in entries_formats.cpp).
#include <fcntl.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHashSeed>
#include <string>

#include "formats/exchange.h"
#include "fuzz/corpus.h"
#include "fuzz/entries.h"
#include "jet/bytes.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/file.h"
#include "jet/format.h"
#include "problems/bankcheck.h"
#include "store/backups.h"
#include "store/undohistory.h"

namespace znfuzz {

namespace {

namespace ex = zn::exchange;

QByteArray bytesOf(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

std::string utf8(const QString& s) {
    return s.toStdString();
}

// The questions of `bank` in the order its written file holds them: each topic's in bank order,
// topic by topic.
std::vector<const ex::QuestionBlock*> writtenOrder(const ex::Bank& bank) {
    std::vector<const ex::QuestionBlock*> out;
    for (const ex::TopicLine& t : bank.topics)
        for (const ex::QuestionBlock& q : bank.questions)
            if (q.idtest == t.numtema) out.push_back(&q);
    return out;
}

// Where `read` (the file written from `written`, read back) differs from it; empty when it
// does not. Line numbers do not count.
std::string difference(const ex::Bank& written, const ex::Bank& read) {
    if (written.topics.size() != read.topics.size()) return "another number of topics";
    for (size_t i = 0; i < written.topics.size(); ++i) {
        const ex::TopicLine &a = written.topics[i], &b = read.topics[i];
        if (a.numtema != b.numtema || a.tema != b.tema)
            return "topic " + std::to_string(a.numtema) + " \"" + utf8(a.tema) + "\" read as " +
                   std::to_string(b.numtema) + " \"" + utf8(b.tema) + "\"";
    }
    const auto order = writtenOrder(written);
    if (order.size() != read.questions.size()) return "another number of questions";
    for (size_t i = 0; i < order.size(); ++i) {
        const ex::QuestionBlock &a = *order[i], &b = read.questions[i];
        const std::string which =
            "question " + std::to_string(a.idtest) + "." + std::to_string(a.idvopr);
        if (a.idtest != b.idtest || a.idvopr != b.idvopr) return which + ": another number";
        if (a.vopros != b.vopros)
            return which + ": text \"" + utf8(a.vopros) + "\" read as \"" + utf8(b.vopros) + "\"";
        if (a.otvet != b.otvet) return which + ": another correct answer";
        if (a.kolotvet != b.kolotvet) return which + ": another answer count";
        if (a.img != b.img)
            return which + ": picture \"" + utf8(a.img) + "\" read as \"" + utf8(b.img) + "\"";
        if (a.answers.size() != b.answers.size()) return which + ": another number of answers";
        for (size_t k = 0; k < a.answers.size(); ++k)
            if (a.answers[k].idotv != b.answers[k].idotv ||
                a.answers[k].otvet != b.answers[k].otvet)
                return which + ": answer " + std::to_string(k + 1) + " \"" +
                       utf8(a.answers[k].otvet) + "\" read as \"" + utf8(b.answers[k].otvet) + "\"";
    }
    return {};
}

// What the reader promises of every bank it gives: the items' lines in file order, each
// question with its answer count of answers (at most six), the faults in file order.
void checkParsed(const ex::ParseResult& r) {
    int last = 0;
    for (const ex::Fault& f : r.faults) {
        if (f.line < 1 || f.line < last) throw Finding("faults out of file order");
        last = f.line;
    }
    for (const ex::QuestionBlock& q : r.bank.questions) {
        if (q.answers.size() > size_t(ex::kMaxAnswers))
            throw Finding("a question read with more than six answers");
        if (q.kolotvet != qint64(q.answers.size()))
            throw Finding("a question read with an answer count other than its answers");
        int at = q.line;
        for (const ex::AnswerLine& a : q.answers) {
            if (a.line <= at || a.line > r.lineCount) throw Finding("an answer out of its block");
            at = a.line;
        }
    }
}

}  // namespace

void initialize() {
    QHashSeed::setDeterministicGlobalSeed();
}

// Reads the bytes as an exchange file; when what was read is a bank the file can carry (no
// read-back hazard), writes it and reads it again: the same bank must come back, without a
// fault.
void readExchangeFile(const uint8_t* data, size_t size) {
    const ex::ParseResult first = ex::parse(bytesOf(data, size));
    checkParsed(first);
    if (!ex::readBackHazards(first.bank).empty()) return;
    const QByteArray written = ex::format(first.bank);
    // Text written in Windows-1251 that is valid UTF-8 reads back as UTF-8: that the export
    // finds by reading the file back itself, not by a hazard of the bank.
    if (ex::detectEncoding(written) != ex::Encoding::Windows1251) return;
    const ex::ParseResult second = ex::parse(written);
    checkParsed(second);
    if (!second.faults.empty())
        throw Finding("a written exchange file reads back with a fault at line " +
                      std::to_string(second.faults[0].line) + ": " +
                      utf8(second.faults[0].message));
    if (const std::string d = difference(first.bank, second.bank); !d.empty())
        throw Finding("a written exchange file reads back differently: " + d);
}

// Reads the bytes as a record of the undo history's side file, for the counts its header
// states, as they are and with the checksum made right (so the images are read too). A record
// read back is written again byte for byte when its page numbers ascend in each half (the
// images are keyed by page).
void readUndoRecord(const uint8_t* data, size_t size) {
    std::vector<uint8_t> rec(data, data + size);
    auto attempt = [](const std::vector<uint8_t>& r) {
        const jet::Bytes b(r.data(), r.size());
        const uint32_t before = r.size() >= 12 ? b.u32(4) : 0;
        const uint32_t after = r.size() >= 12 ? b.u32(8) : 0;
        try {
            zn::undorecord::check(r, before, after, "pages");
        } catch (const jet::Error& e) {
            if (e.kind() != jet::ErrorKind::Corrupt)
                throw Finding(std::string("a damaged undo record gave ") + e.what());
            return;
        }
        jet::CommitImages c;
        c.before = zn::undorecord::images(r, false);
        c.after = zn::undorecord::images(r, true);
        c.oldPageCount = b.u32(12);
        c.newPageCount = b.u32(16);
        // Page numbers ascending in each half (checked past the header: 28 bytes, then images
        // of a page number and a page each).
        const size_t image = 4 + jet::fmt::kPageSize;
        bool ascending = true;
        for (size_t i = 1; i < size_t(before) + after; ++i)
            if (i != before && b.u32(28 + i * image) <= b.u32(28 + (i - 1) * image))
                ascending = false;
        if (ascending && zn::undorecord::encode(c) != r)
            throw Finding("an undo record read back is written differently");
    };
    attempt(rec);
    if (rec.size() >= 28) {
        jet::putU64(rec.data() + 20, zn::undorecord::checksum(rec));
        attempt(rec);
    }
}

// Reads the bytes as a backup's description and makes the line the restore list shows.
void readBackupDescription(const uint8_t* data, size_t size) {
    zn::BackupInfo b;
    zn::readDescription(bytesOf(data, size), b);
    (void)zn::describe(b);
}

// Opens the bytes as a database and runs the problem check over its three tables, with an
// empty data folder.
void checkBank(const uint8_t* data, size_t size) {
    // One folder of a fixed name whose modification time is long past: the data folder's
    // listing is trusted and kept from the first look (a folder changed less than two seconds
    // ago is listed again at every look), so that the same input takes the same paths.
    static const QString folder = [] {
        const QString path = QDir::tempPath() + QStringLiteral("/znfuzz-data-folder");
        QDir().mkpath(path);
        const timespec old[2] = {{946684800, 0}, {946684800, 0}};  // 2000-01-01
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), old, 0);
        return path + u'/';
    }();
    try {
        auto db = jet::Database::fromBytes(std::vector<uint8_t>(data, data + size));
        const auto problems = zn::problems::check(zn::problems::readBankRows(*db), folder);
        for (const auto& p : problems) (void)zn::problems::problemLine(p);
    } catch (const jet::Error& e) {
        if (e.kind() == jet::ErrorKind::Usage)
            throw Finding(std::string("a damaged bank gave a usage error: ") + e.what());
    }
}

// ---------------------------------------------------------------------------------------------
// Seeds

namespace {

QByteArray withCrLf(const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

Input textSeed(const char* name, const QByteArray& bytes) {
    return {name, std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

// The sample bank as an exchange file holds it.
ex::Bank exchangeBank(const std::vector<uint8_t>& sample) {
    auto db = jet::Database::fromBytes(sample);
    const zn::problems::BankRows rows = zn::problems::readBankRows(*db);
    ex::Bank bank;
    for (const auto& t : rows.topics) bank.topics.push_back({t.numtema, t.tema, 0});
    for (const auto& q : rows.questions) {
        ex::QuestionBlock b{q.idtest, q.idvopr, q.vopros, q.otvet, q.kolotvet, q.img, {}, 0};
        for (const auto& a : rows.answers)
            if (a.idvopr == q.id) b.answers.push_back({a.idotv, a.otvet, 0});
        bank.questions.push_back(std::move(b));
    }
    return bank;
}

// Records of the undo history for commits on the sample bank: a changed topic name, and an
// added question with a long text.
std::vector<Input> undoSeeds(const std::vector<uint8_t>& sample) {
    std::vector<Input> out;
    jet::MemEnv env;
    env.put("/sample.mdb", sample);
    jet::OpenOptions o;
    o.env = &env;
    o.writable = true;
    auto db = jet::Database::open("/sample.mdb", o);
    db->setCommitObserver([&](const jet::CommitImages& c) {
        out.push_back(
            {"commit" + std::to_string(out.size() + 1) + ".rec", zn::undorecord::encode(c)});
    });
    jet::Table& tema = db->table("Tema");
    for (auto s = tema.scan(); s.next();) {
        jet::Row r = s.row();
        r[size_t(tema.columnIndex("tema"))] = std::u16string(u"Другая тема");
        tema.update(s.id(), r);
        break;
    }
    jet::Table& vopr = db->table("Voprosi");
    jet::Row v(vopr.def().columns.size());
    v[size_t(vopr.columnIndex("idtest"))] = int64_t(1);
    v[size_t(vopr.columnIndex("idvopr"))] = int64_t(99);
    v[size_t(vopr.columnIndex("vopros"))] = std::u16string(3000, u'ж');
    vopr.insert(v);
    out.push_back({"empty.rec", zn::undorecord::encode({})});
    return out;
}

}  // namespace

// The seeds of the question file readers (fuzz/entries_formats.cpp), made from the sample bank's
// exchange file.
std::vector<Input> formatsSeedsFor(std::string_view target, const QByteArray& exchangeFile);

std::vector<Input> qtSeedsFor(std::string_view target, const std::vector<uint8_t>& sample) {
    if (target == "moodlexml" || target == "gift" || target == "aiken" || target == "csv")
        return formatsSeedsFor(target, ex::format(exchangeBank(sample)));
    if (target == "exchange") {
        const ex::Bank bank = exchangeBank(sample);
        return {textSeed("sample.txt", ex::format(bank)),
                textSeed("sample-utf8.txt",
                         QByteArray("\xEF\xBB\xBF") + withCrLf(ex::formatLines(bank))),
                textSeed("faults.txt", QByteArray("01.Тема\n\n01.01.Вопрос\n7\n1.один\n9.два\n"
                                                  "xx.Тема\n02.123.Вопрос\n1\n1.да\n2.нет\n"
                                                  "рисунок.jpg\n\n"))};
    }
    if (target == "undo_record") return undoSeeds(sample);
    if (target == "backup_txt")
        return {textSeed("import.txt", "импорт\n3\n25\n"),
                textSeed("unknown.txt", "удаление всех данных\n?\n-1\n")};
    return {};
}

}  // namespace znfuzz
