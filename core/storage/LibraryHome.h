#pragma once
// Where the library lives when no folder is named on the command line.

#include <QString>

namespace vel {

// The program's own folder, as long as the program runs from a folder of its own that it may write to.
// An installed program (beside ../share/velmora) or one in a read-only folder keeps the reader's library
// in the user's data folder instead: $XDG_DATA_HOME/velmora, by default ~/.local/share/velmora.
QString defaultLibraryDir(const QString& executableDir);

// The user's data folder for the library, as above.
QString userLibraryDir();

// The unpacker: the one in the library folder, else the one beside the program; empty when neither exists.
inline constexpr auto kUnpackerName = "RAZ.exe";
QString findUnpacker(const QString& libraryDir, const QString& programDir);

} // namespace vel
