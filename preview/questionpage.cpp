// The question page, assembled from its fixed pieces and the values of the positioned rows.
#include "preview/questionpage.h"

#include <QDir>
#include <QUrl>
#include <algorithm>

#include "preview/datafiles.h"
#include "store/tdatmod.h"

namespace zn {

namespace {

// At most this many answers are ever shown.
constexpr int kMaxAnswers = 6;

}  // namespace

QString folderReference(const QString& dataFolder) {
    QString path = QDir::fromNativeSeparators(dataFolder);
    if (QDir::isRelativePath(path)) path = QDir::currentPath() + u'/' + path;
    // On Windows an absolute path begins with its drive ("C:/tests/data/"), which a file URL
    // writes as it is after one more slash: file:///C:/tests/data/.
    QString drive;
    if (!path.startsWith(u'/')) {
        drive = u'/' + path.left(2);
        path = path.mid(2);
    }
    return QStringLiteral("file://") + drive +
           QString::fromLatin1(QUrl::toPercentEncoding(path, "/"));
}

QString fileNameReference(const QString& name) {
    return QString::fromLatin1(QUrl::toPercentEncoding(QDir::fromNativeSeparators(name), "/"));
}

QString questionPage(const zn::Question& question, const std::vector<zn::Answer>& answers,
                     const QString& dataFolder) {
    const QString number = QString::number(question.idvopr);
    const QString& text = question.vopros;
    const qint64 correct = question.otvet;
    const qint64 count = question.kolotvet;
    const QString& picture = question.img;

    // Answer k is the k-th row; past the last row, the last row's text is repeated.
    auto answer = [&answers](qint64 k) -> QString {
        if (answers.empty()) return {};
        return answers[size_t(std::min<qint64>(k, qint64(answers.size())) - 1)].otvet;
    };

    const QString folder = folderReference(dataFolder);
    // The background pictures as the data folder spells them (see datafiles.h).
    const QString bg1 = dataFileName(dataFolder, QStringLiteral("bg1.gif"));
    const QString bg2 = dataFileName(dataFolder, QStringLiteral("bg2.gif"));
    const QString bg3 = dataFileName(dataFolder, QStringLiteral("bg3.gif"));
    QString page;
    page += QStringLiteral("<center><h3>Вопрос № ");
    page += number;
    page += QStringLiteral(
        "</h3></center><table width=\"98%\" cellspacing=\"0\" cellpadding=\"8\"><tr><td "
        "width=\"3%\" style=\"border: 1px solid #8db2e3;background-image: url(");
    page += folder;
    page += bg1;
    page += QStringLiteral(");\" align=\"left\"><b>?</b></td>");
    page += QStringLiteral(
        "<td width=\"100%\" style=\"border: 1px solid #8db2e3;background-image: url(");
    page += folder;
    page += bg1;
    page += QStringLiteral(");\" align=\"left\"><b>");
    page += text;
    page += QStringLiteral("</b></td></tr></table>");

    if (!picture.isEmpty()) {
        page += QStringLiteral("<div>&nbsp;</div><div align=\"center\"><img src=\"");
        page += folder;
        page += fileNameReference(dataFileName(dataFolder, picture));
        page += QStringLiteral("\"></img></div>");
    } else {
        page += QStringLiteral("<div>&nbsp;</div>");
    }

    if (count < 2 || count > kMaxAnswers || correct < 1 || correct > count) return page;
    for (qint64 k = 1; k <= count; ++k) {
        const bool isCorrect = k == correct;
        // The correct answer's table: bg2.gif and bold type; the others: bg3.gif, plain.
        const QString& background = isCorrect ? bg2 : bg3;
        page += QStringLiteral(
            "<div>&nbsp;</div><table width=\"98%\" cellspacing=\"0\" cellpadding=\"8\"><tr><td "
            "width=\"3%\" style=\"border: 1px solid #8db2e3; background-image: url(");
        page += folder;
        page += background;
        page += QStringLiteral(");\" align=\"left\">");
        if (isCorrect)
            page += QStringLiteral("<b>") + QString::number(k) + QStringLiteral("</b>");
        else
            page += QString::number(k);
        page += QStringLiteral(
            "</td><td width=\"97%\" style=\"border: 1px solid #8db2e3; background-image: url(");
        page += folder;
        page += background;
        page += isCorrect ? QStringLiteral(");\" align=\"left\"><b>")
                          : QStringLiteral(");\" align=\"left\">");
        page += answer(k);
        page += isCorrect ? QStringLiteral("</b></td></tr></table>")
                          : QStringLiteral("</td></tr></table>");
    }
    return page;
}

QString VoptoStrUniv(TDatMod& dm, const QString& dataFolder, const QString& questionKey) {
    (void)questionKey;
    return questionPage(zn::questionAt(dm.qrvoprosi), zn::answersOf(dm.qrotveti), dataFolder);
}

}  // namespace zn
