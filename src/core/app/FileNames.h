#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// How a file name reaches the Open and Save commands from outside the file
// dialog's own checks: the program's one argument, and the names a person
// types without the extension.
namespace FileNames {

// The file named on the command line (arguments as the program received
// them, the program itself first), as an absolute path; nothing when none is
// named. Options are not files: "--" ends them, the first other name is the
// file, a file: URL stands for its local path, and a relative name is taken
// from `workingFolder`.
std::optional<QString> fileArgument(const QStringList &arguments, const QString &workingFolder);

// A name whose last part has no extension gets ".csv".
QString withCsvExtension(const QString &name);

// The file an Open of `name` reads: the name itself when it exists, otherwise
// the name with ".csv" when that exists, otherwise the name as given.
QString openName(const QString &name, const std::function<bool(const QString &)> &exists);

} // namespace FileNames
