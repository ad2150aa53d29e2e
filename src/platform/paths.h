#pragma once
// Paths. Folders are held ending in "/". Fragments written with backslashes
// ("Halvicor\Vantrel", "temp\dummy.eml") go through PathJoin, which turns them
// into slashes. The program never changes its working directory.
#include <QString>

namespace vt {

// A folder path ending in exactly one "/" (an empty path stays empty).
QString WithTrailingSlash(const QString &folder);
// The folder path without trailing "/" (the root "/" stays as it is).
QString WithoutTrailingSlash(QString folder);
// Joins a folder and a relative fragment; backslashes become slashes and doubled
// separators collapse.
QString PathJoin(const QString &folder, const QString &fragment);
// Exact name first, then the first entry of the folder whose name matches without
// regard to case (data made on Windows does not care about case). Returns the
// exact join when nothing exists.
QString ResolveExisting(const QString &folder, const QString &name);
// True when the path names an existing regular file (a folder is not a file).
bool IsFile(const QString &path);
// Makes the folder and its parents; true when it exists afterwards.
bool EnsureFolder(const QString &folder);

} // namespace vt
