#pragma once
// The sample library's archive: packing a built library folder into it, and unpacking it into a reader's
// library without ever writing over a work file or a record that is already there.

#include <QString>
#include <QStringList>

namespace vel::unpack {

inline constexpr auto kArchiveName = "sample-library.tar.gz";

// Where the archive is looked for, in this order: beside the unpacker, then ../share/velmora/ from it
// (the installed layout: bin/RAZ.exe and share/velmora/sample-library.tar.gz).
QStringList archiveCandidates(const QString& unpackerDir);
// The first candidate that exists; empty when none does.
QString findArchive(const QString& unpackerDir);

struct UnpackReport {
    QStringList placed;  // work files put into the library
    QStringList skipped; // "<name>: <reason>" for archive entries left out (Bulgarian)
    QStringList added;   // titles added to the catalogue
    QStringList kept;    // titles the catalogue held already; their records stay as they were
    QString error;       // set when unpacking stopped (Bulgarian)
    bool ok() const { return error.isEmpty(); }
};

// Unpacks the archive into libraryDir (created when missing). The whole archive is read into a locked
// staging folder of its own inside the library first (entries no larger than they declare, all together no
// larger than a fixed multiple of the archive), so a damaged archive changes nothing. A catalogue record of
// the archive goes in only with its own work file, under a title the entry form accepts, and only when
// the library holds no work of that title: record and file together, after the library's own works.
// Only plain files named "BAZA.mdb" or "<title>.mdb" directly in the archive's root are read.
UnpackReport unpackLibrary(const QString& archivePath, const QString& libraryDir);

// Packs libraryDir's catalogue and work files (names in UTF-8, whatever the locale) into archivePath,
// replacing it only once the new archive is complete. False with a reason in *error.
bool packLibrary(const QString& libraryDir, const QString& archivePath, QString* error);

} // namespace vel::unpack
