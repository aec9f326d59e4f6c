#pragma once
// Where the library's files live. A work file is named after its title, and only titles that name a plain
// file inside the library folder are accepted, so no title can reach outside it or onto the catalogue.

#include <QString>
#include <optional>

namespace vel {

inline constexpr auto kCatalogFileName = "BAZA.mdb";
inline constexpr auto kWorkFileSuffix = ".mdb";
// Page numbers are 16-bit signed counters.
inline constexpr int kMaxPages = 32767;

QString catalogPath(const QString& libraryDir);

// True when title + ".mdb" is a valid name of a file directly inside the library folder: not empty, no
// '/' or '\\', not "." or "..", no NUL or other control character, valid UTF-16, at most 255 bytes with the
// suffix, and not the catalogue's own name.
bool isValidWorkTitle(const QString& title);

// libraryDir + "/" + title + ".mdb", or nothing when the title is not a valid work name.
std::optional<QString> workFilePath(const QString& libraryDir, const QString& title);

// Whether anything has the name: a file, a folder, or a link even when it leads nowhere.
bool pathTaken(const QString& path);

} // namespace vel
