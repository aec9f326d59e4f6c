#pragma once
// Zip archives made on the spot for tests, through libarchive.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryFile>
#include <archive.h>
#include <archive_entry.h>
#include <utility>

namespace vel::test {

using ZipFiles = QList<std::pair<QString, QByteArray>>;

// Entries are deflated, except `stored` ones (an EPUB's mimetype comes first and uncompressed).
inline QByteArray makeZip(const ZipFiles& files) {
    QTemporaryFile tmp;
    if (!tmp.open())
        return {};
    const QByteArray path = QFile::encodeName(tmp.fileName());
    tmp.close();
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_filename(a, path.constData());
    for (const auto& [name, data] : files) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname_utf8(e, name.toUtf8().constData());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, data.size());
        archive_write_header(a, e);
        archive_write_data(a, data.constData(), size_t(data.size()));
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    QFile f(tmp.fileName());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace vel::test
