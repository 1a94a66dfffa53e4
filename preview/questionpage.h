// The question page: one question with its picture and answers as an HTML fragment, built from
// the rows the data module stands on. The tree selection shows it alone for a question node and
// appends one per question to a topic summary.
#pragma once

#include <QString>
#include <vector>

#include "store/values.h"

namespace zn {

class TDatMod;

// The page of one question with its answer rows (in ascending idotv order); file references
// point into `dataFolder` (an absolute path ending with the separator); the picture and the
// backgrounds bg1.gif..bg3.gif are written as the folder spells them when only the letter case
// differs (dataFileName, preview/datafiles.h). Answer k is the k-th row;
// when there are fewer rows than the question's answer count, the last row's text stands for the
// missing ones (an empty text when there are none).
QString questionPage(const zn::Question& question, const std::vector<zn::Answer>& answers,
                     const QString& dataFolder);

// The page of the question under the cursor of `dm.qrvoprosi`, with the answers held by
// `dm.qrotveti`. `questionKey` ("3_7") names the question for the caller's sake only: the
// positioned rows decide what is shown. Leaves qrvoprosi where it is and qrotveti on its first
// row.
QString VoptoStrUniv(TDatMod& dm, const QString& dataFolder, const QString& questionKey);

// How `dataFolder` (an absolute path ending with the separator) is written in front of a file
// name on the page: a file URL with every character other than letters, digits, "-", ".", "_",
// "~" and "/" percent-encoded, so that blanks, Cyrillic letters, "#", "%", quotes and brackets
// in the path can neither end the CSS url(...) or the attribute early nor be read as a URL's
// fragment or escape. It ends with "/", so a file name follows directly. A Windows drive is kept
// as it is: C:\tests\data\ is file:///C:/tests/data/.
QString folderReference(const QString& dataFolder);

// How a picture's file name is written after the folder reference: encoded like the folder, so
// that a name holding "#", "%", "?", a quote or a blank still names its file.
QString fileNameReference(const QString& name);

}  // namespace zn
