// The cursor, the edit buffer and the column checks shared by every dataset.
#include "store/dataset.h"

#include <QLocale>
#include <cmath>

#include "jet/error.h"
#include "store/convert.h"

namespace zn {

namespace {

const jet::Value kNull;

const char kTooSmall[] =
    "The field is too small to accept the amount of data you attempted to add. Try inserting or "
    "pasting less data.";

bool isIntegerType(jet::ColType t) {
    qint64 min, max;
    return zn::integerRange(t, min, max);
}

bool isFloatType(jet::ColType t) {
    return t == jet::ColType::Double || t == jet::ColType::Single;
}

bool isTextType(jet::ColType t) {
    return t == jet::ColType::Text || t == jet::ColType::Memo;
}

void integerRange(jet::ColType t, double& min, double& max) {
    qint64 lo = 0, hi = 0;
    zn::integerRange(t, lo, hi);
    min = double(lo), max = double(hi);
}

[[noreturn]] void constraint(const QString& message) {
    throw jet::Error(jet::ErrorKind::Constraint, message.toStdString());
}

// The name a field goes by in messages.
template <class F>
QString labelOf(const F& f) {
    return f.label.isEmpty() ? f.name : f.label;
}

template <class F>
void requireModifiable(const F& f) {
    if (f.autoNumber) constraint(QStringLiteral("Field '%1' cannot be modified").arg(labelOf(f)));
}

}  // namespace

Dataset::Dataset(QString name) : name_(std::move(name)) {}

Dataset::~Dataset() = default;

void Dataset::fail(const std::string& message) const {
    throw jet::Error(jet::ErrorKind::Usage, name_.toStdString() + ": " + message);
}

void Dataset::checkOpen() const {
    if (state_ == DatasetState::Inactive) fail("Cannot perform this operation on a closed dataset");
}

void Dataset::checkEditing() const {
    checkOpen();
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert)
        fail("Dataset not in edit or insert mode");
}

void Dataset::dataChanged() {
    if (onDataChange) onDataChange();
}

void Dataset::scrolled() {
    dataChanged();
    if (afterScroll) afterScroll();
}

void Dataset::checkBrowseMode() {
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return;
    bool written = false;
    for (bool m : modified_) written = written || m;
    if (written)
        post();
    else
        cancel();
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

void Dataset::open() {
    if (isOpen()) return;
    std::vector<Field> fields;
    std::vector<Record> rows;
    doOpen(fields, rows);
    fields_ = std::move(fields);
    rows_ = std::move(rows);
    cur_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    state_ = DatasetState::Browse;
    if (rows_.empty())
        dataChanged();
    else
        scrolled();
}

void Dataset::close() {
    if (!isOpen()) return;
    state_ = DatasetState::Inactive;
    rows_.clear();
    buffer_.clear();
    modified_.clear();
    cur_ = -1;
    eof_ = bof_ = true;
    doClose();
}

// ---------------------------------------------------------------------------------------------
// The cursor

void Dataset::first() {
    checkOpen();
    checkBrowseMode();
    cur_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    scrolled();
}

void Dataset::next() {
    checkOpen();
    checkBrowseMode();
    if (eof_) return;
    if (size_t(cur_ + 1) < rows_.size()) {
        ++cur_;
        bof_ = false;
    } else {
        eof_ = true;
    }
    scrolled();
}

bool Dataset::eof() const {
    checkOpen();
    return eof_;
}

bool Dataset::bof() const {
    checkOpen();
    return bof_;
}

int Dataset::recordCount() const {
    checkOpen();
    return int(rows_.size());
}

int Dataset::recNo() const {
    checkOpen();
    return cur_ + 1;
}

bool Dataset::locate(const QString& column, qint64 value) {
    checkOpen();
    const Field& f = field(column);
    checkBrowseMode();
    for (size_t i = 0; i < rows_.size(); ++i) {
        const jet::Value& v = (*rows_[i].values)[size_t(f.rowIndex)];
        bool match = false;
        if (auto* n = std::get_if<int64_t>(&v))
            match = *n == value;
        else if (auto* d = std::get_if<double>(&v))
            match = *d == double(value);
        else if (auto* s = std::get_if<std::u16string>(&v))
            match = QString::fromStdU16String(*s) == QString::number(value);
        else if (auto* b = std::get_if<bool>(&v))
            match = (*b ? -1 : 0) == value;
        if (!match) continue;
        cur_ = int(i);
        eof_ = bof_ = false;
        scrolled();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Changes

void Dataset::edit() {
    checkOpen();
    if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) return;
    if (cur_ < 0) fail("Cannot perform this operation on an empty dataset");
    buffer_ = *rows_[size_t(cur_)].values;
    modified_.assign(buffer_.size(), false);
    state_ = DatasetState::Edit;
}

void Dataset::insert() {
    checkOpen();
    checkBrowseMode();
    curBeforeInsert_ = cur_;
    eofBeforeInsert_ = eof_;
    bofBeforeInsert_ = bof_;
    buffer_.assign(rowWidth(), jet::Value{});
    modified_.assign(buffer_.size(), false);
    rows_.push_back(Record{std::make_shared<const jet::Row>(buffer_), std::nullopt});
    cur_ = int(rows_.size()) - 1;
    eof_ = bof_ = false;
    state_ = DatasetState::Insert;
    scrolled();
}

void Dataset::post() {
    checkOpen();
    if (state_ == DatasetState::Browse) return;
    Record stored;
    try {
        stored = state_ == DatasetState::Insert ? doInsert(buffer_, modified_)
                                                : doUpdate(rows_[size_t(cur_)], buffer_, modified_);
    } catch (...) {
        // A refused row is dropped, not kept pending: the next movement would store it again
        // (a half-made command's row, or the same refusal at every movement).
        cancel();
        throw;
    }
    rows_[size_t(cur_)] = std::move(stored);
    size_t to = placeAfterPost(rows_, size_t(cur_));
    if (to != size_t(cur_)) {
        Record r = std::move(rows_[size_t(cur_)]);
        rows_.erase(rows_.begin() + cur_);
        rows_.insert(rows_.begin() + std::ptrdiff_t(to), std::move(r));
        cur_ = int(to);
    }
    buffer_.clear();
    modified_.clear();
    state_ = DatasetState::Browse;
    dataChanged();
}

void Dataset::cancel() {
    checkOpen();
    if (state_ == DatasetState::Browse) return;
    if (state_ == DatasetState::Insert) {
        rows_.erase(rows_.begin() + cur_);
        // The blank row was the last one, so the rows before it kept their positions.
        cur_ = curBeforeInsert_;
        eof_ = eofBeforeInsert_;
        bof_ = bofBeforeInsert_;
    }
    buffer_.clear();
    modified_.clear();
    state_ = DatasetState::Browse;
    dataChanged();
}

void Dataset::remove() {
    checkOpen();
    if (state_ == DatasetState::Insert) {
        cancel();
        return;
    }
    if (cur_ < 0) fail("Cannot perform this operation on an empty dataset");
    // A pending edit of the row is dropped with it.
    doRemove(rows_[size_t(cur_)]);
    buffer_.clear();
    modified_.clear();
    state_ = DatasetState::Browse;
    rows_.erase(rows_.begin() + cur_);
    if (size_t(cur_) >= rows_.size()) cur_ = int(rows_.size()) - 1;
    eof_ = bof_ = rows_.empty();
    scrolled();
}

// ---------------------------------------------------------------------------------------------
// Columns

const Dataset::Field& Dataset::field(const QString& column) const {
    checkOpen();
    for (const Field& f : fields_)
        if (f.name.compare(column, Qt::CaseInsensitive) == 0) return f;
    fail("Field '" + column.toStdString() + "' not found");
}

QStringList Dataset::fieldNames() const {
    checkOpen();
    QStringList out;
    for (const Field& f : fields_) out << f.name;
    return out;
}

bool Dataset::hasField(const QString& column) const {
    checkOpen();
    for (const Field& f : fields_)
        if (f.name.compare(column, Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString Dataset::displayName(const QString& column) const {
    return labelOf(field(column));
}

const jet::Value& Dataset::current(const Field& f) const {
    if (state_ == DatasetState::Edit || state_ == DatasetState::Insert)
        return buffer_[size_t(f.rowIndex)];
    if (cur_ < 0) return kNull;
    return (*rows_[size_t(cur_)].values)[size_t(f.rowIndex)];
}

bool Dataset::isNull(const QString& column) const {
    return jet::isNull(current(field(column)));
}

qint64 Dataset::asInteger(const QString& column) const {
    const jet::Value& v = current(field(column));
    if (auto* n = std::get_if<int64_t>(&v)) return *n;
    if (auto* d = std::get_if<double>(&v)) return qint64(std::llround(*d));
    if (auto* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
    if (auto* s = std::get_if<std::u16string>(&v))
        return zn::strToInt(QString::fromStdU16String(*s));
    return 0;
}

QString Dataset::asString(const QString& column) const {
    const jet::Value& v = current(field(column));
    if (auto* s = std::get_if<std::u16string>(&v)) return QString::fromStdU16String(*s);
    if (auto* n = std::get_if<int64_t>(&v)) return QString::number(*n);
    if (auto* d = std::get_if<double>(&v)) return QString::number(*d, 'g', 15);
    if (auto* b = std::get_if<bool>(&v))
        return *b ? QStringLiteral("True") : QStringLiteral("False");
    return {};
}

double Dataset::asFloat(const QString& column) const {
    const jet::Value& v = current(field(column));
    if (auto* d = std::get_if<double>(&v)) return *d;
    if (auto* n = std::get_if<int64_t>(&v)) return double(*n);
    if (auto* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
    if (auto* s = std::get_if<std::u16string>(&v)) {
        QString text = QString::fromStdU16String(*s);
        bool ok = false;
        double d = QLocale::c().toDouble(text.trimmed(), &ok);
        if (!ok) constraint(QStringLiteral("'%1' is not a valid floating point value").arg(text));
        return d;
    }
    return 0;
}

QVariant Dataset::value(const QString& column) const {
    const jet::Value& v = current(field(column));
    if (auto* s = std::get_if<std::u16string>(&v)) return QString::fromStdU16String(*s);
    if (auto* n = std::get_if<int64_t>(&v)) return qlonglong(*n);
    if (auto* d = std::get_if<double>(&v)) return *d;
    if (auto* b = std::get_if<bool>(&v)) return *b;
    return {};
}

void Dataset::store(const Field& f, jet::Value v) {
    buffer_[size_t(f.rowIndex)] = std::move(v);
    modified_[size_t(f.rowIndex)] = true;
    dataChanged();
}

void Dataset::setInteger(const QString& column, qint64 value) {
    const Field& f = field(column);
    checkEditing();
    const QString label = labelOf(f);
    requireModifiable(f);
    if (isIntegerType(f.type)) {
        double min, max;
        integerRange(f.type, min, max);
        if (double(value) < min || double(value) > max)
            constraint(zn::rangeErrorMessage(double(value), label, min, max));
        store(f, int64_t(value));
    } else if (isFloatType(f.type)) {
        store(f, double(value));
    } else if (isTextType(f.type)) {
        setString(column, QString::number(value));
    } else if (f.type == jet::ColType::Boolean) {
        store(f, value != 0);
    } else {
        fail("Field '" + f.name.toStdString() + "' is of a type the data module cannot write");
    }
}

void Dataset::setFloat(const QString& column, double value) {
    const Field& f = field(column);
    checkEditing();
    if (isIntegerType(f.type)) {
        const QString label = labelOf(f);
        double min, max;
        integerRange(f.type, min, max);
        double r = std::round(value);
        if (!(r >= min && r <= max)) constraint(zn::rangeErrorMessage(value, label, min, max));
        setInteger(column, qint64(r));
    } else if (isFloatType(f.type)) {
        requireModifiable(f);
        store(f, value);
    } else if (isTextType(f.type)) {
        setString(column, QString::number(value, 'g', 15));
    } else {
        setInteger(column, qint64(std::llround(value)));
    }
}

void Dataset::setString(const QString& column, const QString& value) {
    const Field& f = field(column);
    checkEditing();
    requireModifiable(f);
    if (isTextType(f.type)) {
        QString text = value;
        if (f.type == jet::ColType::Text && f.maxChars > 0 && text.size() > f.maxChars) {
            if (!f.cutText) constraint(QString::fromLatin1(kTooSmall));
            text.truncate(f.maxChars);
        }
        store(f, text.toStdU16String());
    } else if (isIntegerType(f.type)) {
        if (value.isEmpty()) {
            store(f, jet::Value{});
            return;
        }
        setInteger(column, zn::strToInt(value));
    } else if (isFloatType(f.type)) {
        if (value.isEmpty()) {
            store(f, jet::Value{});
            return;
        }
        bool ok = false;
        double d = QLocale::c().toDouble(value.trimmed(), &ok);
        if (!ok) constraint(QStringLiteral("'%1' is not a valid floating point value").arg(value));
        setFloat(column, d);
    } else if (f.type == jet::ColType::Boolean) {
        if (value.compare("True", Qt::CaseInsensitive) == 0)
            store(f, true);
        else if (value.compare("False", Qt::CaseInsensitive) == 0)
            store(f, false);
        else
            constraint(QStringLiteral("'%1' is not a valid boolean value").arg(value));
    } else {
        fail("Field '" + f.name.toStdString() + "' is of a type the data module cannot write");
    }
}

void Dataset::setNull(const QString& column) {
    const Field& f = field(column);
    checkEditing();
    requireModifiable(f);
    store(f, jet::Value{});
}

void Dataset::setValue(const QString& column, const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        setNull(column);
        return;
    }
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::UChar:
            setInteger(column, value.toLongLong());
            break;
        case QMetaType::Bool:
            setInteger(column, value.toBool() ? -1 : 0);
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            setFloat(column, value.toDouble());
            break;
        default:
            setString(column, value.toString());
            break;
    }
}

}  // namespace zn
