// Finding the files of the data folder as the banks' home system finds them. Banks are made on
// Windows, whose file names ignore letter case: a question whose picture is "P3.JPG" shows
// "p3.jpg" there, and the data folder may be spelled "Data" or "DATA". These functions give the
// file a name stands for here. They only read; when the exact name is missing they look at the
// folder's names, which they keep for the few folders read last until the folder changes (a
// topic summary asks hundreds of times). Safe to call from any thread.
#pragma once

#include <QString>

namespace zn {

// The data folder in `parent` (a folder path, absolute or relative to the working directory),
// ending with "/": parent + "/data/" when that folder exists; else the subfolder of `parent`
// whose name is "data" ignoring letter case ("Data", "DATA", ...), the first in name order when
// several are; else parent + "/data/", which does not exist (yet).
QString dataFolderIn(const QString& parent);

// The path of the file that `name` stands for in `dataFolder` (a folder path ending with the
// separator, as dataFolderIn gives): dataFolder + name when that file exists; else
// dataFolder + the name of the file there whose name equals `name` ignoring letter case, the
// first in name order (by UTF-16 code units) when several do; else dataFolder + name, which
// does not exist. A `name` with "/" in it is matched one part at a time the same way. An empty
// name gives an empty string. Only regular files (and links to them) match a whole name.
//
// This is the one place that resolves a picture or background file: the question page, the
// editor's thumbnail and the picture window all take their path from here.
QString dataFilePath(const QString& dataFolder, const QString& name);

// The same match as dataFilePath, as the name relative to `dataFolder`: `name` itself when it
// exists or nothing matches, else the spelling found on disk. Used where the folder is written
// separately (the question page writes the folder reference, then the name).
QString dataFileName(const QString& dataFolder, const QString& name);

}  // namespace zn
