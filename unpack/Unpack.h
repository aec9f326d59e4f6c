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

// Unpacks the archive into libraryDir (created when missing). The whole archive is read into a folder of
// its own inside the library first, so a damaged archive changes nothing. Then each work file is moved into
// place unless a file of its name exists (skipped and reported), and every catalogue record whose title
// the library's catalogue does not hold yet is added before its entry slot: a catalogue holding nothing
// but entry slots ends up as the archive's, one that holds works keeps them all. Only plain files named
// "BAZA.mdb" or "<title>.mdb" directly in the archive's root are taken; anything else is skipped.
UnpackReport unpackLibrary(const QString& archivePath, const QString& libraryDir);

// Packs libraryDir's catalogue and work files (names in UTF-8, whatever the locale) into archivePath,
// replacing it only once the new archive is complete. False with a reason in *error.
bool packLibrary(const QString& libraryDir, const QString& archivePath, QString* error);

} // namespace vel::unpack
