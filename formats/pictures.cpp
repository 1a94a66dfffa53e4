// Picture types by signature, the naming of imported pictures, and writing them.
#include "formats/pictures.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cerrno>

#include "formats/exchange.h"

namespace zn::formats {

namespace {

// The key two names are compared by: the data folder may be on a file system that ignores case.
QString nameKey(const QString& name) {
    return name.toCaseFolded();
}

bool extensionSaysType(const QString& ext, PictureType type) {
    const QString e = ext.toLower();
    switch (type) {
        case PictureType::Bmp:
            return e == u"bmp";
        case PictureType::Png:
            return e == u"png";
        case PictureType::Jpeg:
            return e == u"jpg" || e == u"jpeg";
        case PictureType::Gif:
            return e == u"gif";
        case PictureType::Unknown:
            break;
    }
    return false;
}

// Windows refuses these as file names, with any extension.
bool reservedDeviceName(const QString& stem) {
    static const QSet<QString> names = {
        QStringLiteral("con"),  QStringLiteral("prn"),  QStringLiteral("aux"),
        QStringLiteral("nul"),  QStringLiteral("com1"), QStringLiteral("com2"),
        QStringLiteral("com3"), QStringLiteral("com4"), QStringLiteral("com5"),
        QStringLiteral("com6"), QStringLiteral("com7"), QStringLiteral("com8"),
        QStringLiteral("com9"), QStringLiteral("lpt1"), QStringLiteral("lpt2"),
        QStringLiteral("lpt3"), QStringLiteral("lpt4"), QStringLiteral("lpt5"),
        QStringLiteral("lpt6"), QStringLiteral("lpt7"), QStringLiteral("lpt8"),
        QStringLiteral("lpt9")};
    return names.contains(stem.toLower());
}

// A file name character that Windows refuses or the exchange file cannot hold.
bool badNameChar(QChar c) {
    if (c.unicode() < 0x20 || c == u'\x7F') return true;
    if (QStringLiteral("\\/:*?\"<>|").contains(c)) return true;
    return !exchange::fitsWindows1251(QString(c));
}

// Windows drops dots and blanks at the end of a name, so a stem may not end with them.
QString trimStemEnd(QString stem) {
    while (!stem.isEmpty() && (stem.back() == u'.' || stem.back() == u' ')) stem.chop(1);
    return stem;
}

struct NameParts {
    QString stem;
    QString ext;  // without the dot; empty: none
};

// The stem and extension a new file for picture `p` starts from, before length and clashes.
NameParts baseName(const Picture& p, int maxChars) {
    QString name = p.name;
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    if (slash >= 0) name = name.mid(slash + 1);
    NameParts parts;
    const qsizetype dot = name.lastIndexOf(u'.');
    parts.stem = dot > 0 ? name.left(dot) : name;
    parts.ext = dot > 0 ? name.mid(dot + 1) : QString();
    const PictureType type = pictureType(p.bytes);
    if (!extensionSaysType(parts.ext, type)) parts.ext = pictureExtension(type);
    // Room for at least two stem characters: a long extension gives way to the short one.
    if (int(parts.ext.size()) + 3 > maxChars) parts.ext = pictureExtension(type);
    for (QChar& c : parts.stem)
        if (badNameChar(c)) c = u'_';
    parts.stem = trimStemEnd(parts.stem.trimmed());
    if (parts.stem.isEmpty()) parts.stem = QStringLiteral("image");
    return parts;
}

QString joinName(const QString& stem, const QString& ext) {
    return ext.isEmpty() ? stem : stem + u'.' + ext;
}

}  // namespace

PictureType pictureType(const QByteArray& bytes) {
    if (bytes.startsWith("\x89PNG\r\n\x1A\n")) return PictureType::Png;
    if (bytes.startsWith("\xFF\xD8\xFF")) return PictureType::Jpeg;
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) return PictureType::Gif;
    if (bytes.startsWith("BM") && bytes.size() >= 26) return PictureType::Bmp;
    return PictureType::Unknown;
}

QString pictureExtension(PictureType type) {
    switch (type) {
        case PictureType::Bmp:
            return QStringLiteral("bmp");
        case PictureType::Png:
            return QStringLiteral("png");
        case PictureType::Jpeg:
            return QStringLiteral("jpg");
        case PictureType::Gif:
            return QStringLiteral("gif");
        case PictureType::Unknown:
            break;
    }
    return {};
}

std::vector<PlannedPicture> planPictureNames(const std::vector<Picture>& pictures,
                                             const std::vector<ExistingFile>& existing,
                                             int maxChars) {
    QSet<QString> taken;
    QHash<QByteArray, QString> byBytes;  // contents → the name that holds them
    for (const ExistingFile& f : existing) {
        taken.insert(nameKey(f.name));
        if (!f.bytes.isNull() && f.name.size() <= maxChars && !byBytes.contains(f.bytes))
            byBytes.insert(f.bytes, f.name);
    }

    QHash<QString, qint64> nextNumber;  // per original name, the last number tried
    std::vector<PlannedPicture> plan;
    plan.reserve(pictures.size());
    for (const Picture& p : pictures) {
        if (!p.embedded) {
            plan.push_back({p.name, false});
            continue;
        }
        if (auto it = byBytes.constFind(p.bytes); it != byBytes.constEnd()) {
            plan.push_back({*it, false});
            continue;
        }
        const NameParts parts = baseName(p, maxChars);
        const int extRoom = parts.ext.isEmpty() ? 0 : int(parts.ext.size()) + 1;
        const int room = std::max(1, maxChars - extRoom);
        auto usable = [&](const QString& stem) {
            return stem.size() >= 2 && !reservedDeviceName(stem) &&
                   !taken.contains(nameKey(joinName(stem, parts.ext)));
        };
        QString stem = trimStemEnd(parts.stem.left(room));
        if (!usable(stem)) {
            // Numbers go on where the last picture of this name stopped, so that many pictures
            // of one name cost no more than a few tries each.
            const QString key = nameKey(joinName(parts.stem, parts.ext));
            qint64& n = nextNumber[key];
            stem.clear();
            for (++n;; ++n) {
                const QString number = QString::number(n);
                if (number.size() > room) break;  // no name of this shape is left
                const QString candidate =
                    trimStemEnd(parts.stem.left(room - number.size())) + number;
                if (usable(candidate)) {
                    stem = candidate;
                    break;
                }
            }
            if (stem.isEmpty()) {
                plan.push_back({QString(), false});
                continue;
            }
        }
        const QString name = joinName(stem, parts.ext);
        taken.insert(nameKey(name));
        byBytes.insert(p.bytes, name);
        plan.push_back({name, true});
    }
    return plan;
}

std::vector<ExistingFile> readPictureFolder(const QString& dir,
                                            const std::vector<Picture>& pictures) {
    QSet<qint64> sizes;
    for (const Picture& p : pictures)
        if (p.embedded) sizes.insert(p.bytes.size());
    std::vector<ExistingFile> out;
    const QFileInfoList files =
        QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& info : files) {
        ExistingFile f;
        f.name = info.fileName();
        if (sizes.contains(info.size())) {
            QFile file(info.filePath());
            if (file.open(QIODevice::ReadOnly)) f.bytes = file.readAll();
        }
        out.push_back(std::move(f));
    }
    return out;
}

bool writePlannedPictures(const QString& dir, const std::vector<Picture>& pictures,
                          const std::vector<PlannedPicture>& plan, QString* error) {
    // Six hundred pictures each written and synced on its own cost a journal commit apiece
    // (seconds on a busy disk). So every new picture is first written to a temporary file
    // beside its place, then the file system is synced once, then each is renamed to its name
    // in a way that never replaces a file that appeared meanwhile, and the folder is synced.
    // A picture is thus on disk, whole, before any question can name it.
    QStringList written;  // final paths
    QStringList temps;
    auto cleanTemps = [&] {
        for (const QString& t : temps) QFile::remove(t);
        temps.clear();
    };
    auto fail = [&](const QString& why) {
        cleanTemps();
        for (const QString& path : written) QFile::remove(path);
        if (error) *error = why;
        return false;
    };
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("Не удалось создать папку данных «%1»")
                        .arg(QDir::toNativeSeparators(dir)));
    auto sameBytes = [](const QString& path, const QByteArray& bytes) {
        QFile old(path);
        return old.open(QIODevice::ReadOnly) && old.size() == bytes.size() &&
               old.readAll() == bytes;
    };
    struct Pending {
        QString temp, path;
        const QByteArray* bytes;
    };
    std::vector<Pending> pending;
    QSet<QString> done;
    for (size_t i = 0; i < plan.size() && i < pictures.size(); ++i) {
        if (plan[i].name.isEmpty())
            return fail(QStringLiteral("Для рисунка «%1» не нашлось свободного имени")
                            .arg(pictures[i].name));
        if (!plan[i].write || done.contains(nameKey(plan[i].name))) continue;
        done.insert(nameKey(plan[i].name));
        const QString path = QDir(dir).filePath(plan[i].name);
        const QByteArray& bytes = pictures[i].bytes;
        if (QFileInfo::exists(path)) {
            if (sameBytes(path, bytes)) continue;
            return fail(QStringLiteral("В папке данных уже есть другой файл «%1»: рисунки не "
                                       "записаны, чтобы его не затереть")
                            .arg(plan[i].name));
        }
        const QString temp = QDir(dir).filePath(QStringLiteral(".%1.%2.part")
                                                    .arg(plan[i].name)
                                                    .arg(QCoreApplication::applicationPid()));
        QFile file(temp);
        temps << temp;
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size() || !file.flush())
            return fail(QStringLiteral("Не удалось записать рисунок «%1»: %2")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
        pending.push_back({temp, path, &bytes});
    }
    if (pending.empty()) return true;

    const QByteArray folder = QFile::encodeName(dir);
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return fail(QStringLiteral("Не удалось открыть папку данных «%1»")
                        .arg(QDir::toNativeSeparators(dir)));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{dirFd};
    if (::syncfs(dirFd) != 0)
        return fail(QStringLiteral("Не удалось сохранить рисунки на диск в папке «%1»")
                        .arg(QDir::toNativeSeparators(dir)));
    for (const Pending& p : pending) {
        const QByteArray from = QFile::encodeName(p.temp), to = QFile::encodeName(p.path);
        int done =
            ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
        if (done != 0 && errno == EINVAL) {
            // A file system without that rename: a link does not replace either.
            done = ::link(from.constData(), to.constData());
            if (done == 0) ::unlink(from.constData());
        }
        if (done != 0) {
            // Someone put a file there meanwhile: the same picture is as good as ours.
            if (errno == EEXIST && sameBytes(p.path, *p.bytes)) continue;
            return fail(QStringLiteral("Не удалось записать рисунок «%1»")
                            .arg(QDir::toNativeSeparators(p.path)));
        }
        temps.removeOne(p.temp);
        written << p.path;
    }
    cleanTemps();
    if (::fsync(dirFd) != 0)
        return fail(QStringLiteral("Не удалось сохранить рисунки на диск в папке «%1»")
                        .arg(QDir::toNativeSeparators(dir)));
    return true;
}

}  // namespace zn::formats
