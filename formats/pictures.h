// Pictures coming in with imported questions: what kind of picture some bytes are, which name
// each picture gets in the data folder, and writing them there.
//
// A question stores only a picture's file name (Voprosi.img, 10 characters) and the file lies
// in the data folder. An imported picture therefore needs a name that fits the column, that the
// editor's picture decoders recognise by its extension, and that does not take the place of a
// different file already there. planPictureNames decides the names without touching the disk
// (existing names and contents in, names out); writePlannedPictures then writes the new files.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "formats/question.h"

namespace zn::formats {

enum class PictureType { Unknown, Bmp, Png, Jpeg, Gif };

// The type of picture `bytes` hold, by their signature.
PictureType pictureType(const QByteArray& bytes);
// "bmp", "png", "jpg", "gif"; "" for Unknown.
QString pictureExtension(PictureType type);

// A file already in the data folder. `bytes` null: its contents are not known to equal any
// imported picture (readPictureFolder leaves files of other sizes unread).
struct ExistingFile {
    QString name;
    QByteArray bytes;
};

struct PlannedPicture {
    QString name;        // what the questions store as img
    bool write = false;  // the file is new and writePlannedPictures writes it
};

// The name each of `pictures` gets, in their order:
//  - a picture that is not embedded keeps its name (it is expected in the folder already);
//  - an embedded one with the same bytes as an existing file whose name fits takes that
//    file's name, and two pictures with the same bytes share one name (nothing new written);
//  - otherwise a new name made from the picture's own: no folder, characters a file name or
//    the exchange file cannot hold replaced by "_", the extension of its type when its own is
//    missing or says another type, cut to `maxChars`; when that name is taken (by an existing
//    file or a planned one, letter case ignored), has a one-letter stem (the exchange file
//    would read "a.png" as an answer line) or is a reserved device name of Windows, a number
//    replaces the end of the stem: "image.png", "image1.png", "image2.png" …; when the numbers
//    of that shape are used up (a million of them), the name is empty and nothing is written.
// REQUIRES: maxChars >= 6; every embedded picture's type is known (checkQuestions ensures it).
std::vector<PlannedPicture> planPictureNames(const std::vector<Picture>& pictures,
                                             const std::vector<ExistingFile>& existing,
                                             int maxChars);

// The files of folder `dir` (not its subfolders), with the contents of those whose size is
// the size of one of `pictures` (the only ones planPictureNames may match). A missing folder
// gives nothing.
std::vector<ExistingFile> readPictureFolder(const QString& dir,
                                            const std::vector<Picture>& pictures);

// Writes every picture planned for writing into `dir` (created when missing), each file whole
// or not at all. A file that appeared meanwhile with the same bytes is left as it is; one with
// other bytes is never overwritten; a picture left without a name fails. On a failure the files
// this call wrote are removed again, `error` gets the reason (Russian) and false is returned.
// REQUIRES: plan.size() == pictures.size() (planPictureNames' result for them).
bool writePlannedPictures(const QString& dir, const std::vector<Picture>& pictures,
                          const std::vector<PlannedPicture>& plan, QString* error);

}  // namespace zn::formats
