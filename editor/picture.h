// Question pictures: where a picture of the data folder lies, loading it with the decoder its
// extension names, the name part of a chosen path and the data folder's correction (ProvPath).
#pragma once

#include <QImage>
#include <QString>
#include <stdexcept>

namespace zn {

// A picture that cannot be loaded; what() is the message for the person using the program
// (UTF-8).
class PictureError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The file of picture `name` (a bare file name) in `dataFolder` (ending with the separator): the
// data folder's file of that name, in any letter case (preview/datafiles.h).
QString pictureFilePath(const QString& dataFolder, const QString& name);

// Loads the picture file at `path` at its own pixel size with the decoder its extension names,
// in any letter case: .bmp, .png, .jpg and .jpeg, .gif. Throws PictureError with
// - "Unknown picture file extension (.%s)" for any other extension (none: "(.)");
// - "Cannot open file "%s". %s" when the file cannot be opened (the system's reason);
// - "The picture file "%s" cannot be read as %s: %s" when the decoder refuses its contents
//   (the format and the decoder's own message).
QImage loadPicture(const QString& path);

// The name part of a path chosen in a file dialog: its characters after the last `separator`,
// or the whole path when it holds none.
QString fileNameOfPath(const QString& path, QChar separator = u'/');

// `source` with every occurrence of `oldPart` that does not overlap an earlier one replaced by
// `newPart`, left to right; letter case must match. An empty `oldPart` replaces nothing.
QString ReplaceSub(const QString& source, const QString& oldPart, const QString& newPart);

// The data folder's correction: a program started in a folder named "data" has the data folder
// ".../data/data/", which becomes ".../data/" (every "data/data/" in it, same letter case).
void ProvPath(QString& dataFolder);

}  // namespace zn
