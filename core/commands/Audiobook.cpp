#include "core/commands/Audiobook.h"

#include "core/speech/EspeakEngine.h"
#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/LibraryPaths.h"
#include "core/storage/RawNames.h"
#include "core/storage/WorkFile.h"

#include <sndfile.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace vel {

namespace {

constexpr sf_count_t kFramesPerWrite = 4096;

struct SndCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndFile = std::unique_ptr<SNDFILE, SndCloser>;

int formatOf(AudioFileKind kind) {
    switch (kind) {
    case AudioFileKind::Wav:
        return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case AudioFileKind::Flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case AudioFileKind::Ogg:
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    }
    return 0;
}

QString clock(double seconds) {
    const int s = int(seconds + 0.5);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QChar(u'0'))
        .arg(s % 60, 2, 10, QChar(u'0'));
}

} // namespace

std::optional<AudioFileKind> audioFileKind(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"wav")
        return AudioFileKind::Wav;
    if (suffix == u"flac")
        return AudioFileKind::Flac;
    if (suffix == u"ogg")
        return AudioFileKind::Ogg;
    return std::nullopt;
}

int runAudiobook(const StartOptions& options, QTextStream& out, QTextStream& err,
                 const SpeechEngineFactory& makeEngine) {
    if (options.mode != StartMode::Audiobook || !options.error.isEmpty())
        return 2;
    auto fail = [&err](const QString& text) {
        err << text << '\n';
        err.flush();
        return 1;
    };
    const std::optional<AudioFileKind> kind = audioFileKind(options.outFile);
    if (!kind)
        return fail(QStringLiteral("Файлът %1 трябва да завършва на .wav, .flac или .ogg. / The file %1 must "
                                   "end in .wav, .flac or .ogg.")
                        .arg(options.outFile));

    // The work: its catalogue record and its pages.
    if (!QFileInfo::exists(catalogPath(options.libraryDir)))
        return fail(QStringLiteral("Няма каталог %1 / There is no catalogue %1")
                        .arg(shownPath(catalogPath(options.libraryDir))));
    Result<Catalogue::Opened> opened = Catalogue::open(options.libraryDir);
    if (!opened)
        return fail(opened.message().simplified());
    const QString& title = options.audiobookTitle;
    const std::optional<QString> path = workFilePath(options.libraryDir, title);
    std::unique_ptr<WorkFile> work;
    if (path && hasTitle(*opened->catalogue, title))
        work = WorkFile::open(*path);
    opened->catalogue.reset();
    if (!work || work->pageCount() < 1)
        return fail(
            QStringLiteral("В библиотеката няма произведение „%1“. / The library holds no work titled "
                           "\"%1\".")
                .arg(title));
    const int first = options.firstPage > 0 ? options.firstPage : 1;
    const int last = options.firstPage > 0 ? options.lastPage : work->pageCount();
    if (first > last || last > work->pageCount())
        return fail(QStringLiteral("Страници %1-%2 са извън произведението „%3“ (страници 1-%4). / Pages "
                                   "%1-%2 are outside \"%3\" (pages 1-%4).")
                        .arg(first)
                        .arg(last)
                        .arg(title)
                        .arg(work->pageCount()));

    // The voice, before anything is written.
    QString why;
    const SpeechSettings settings = SpeechSettings::load(options.libraryDir);
    std::unique_ptr<SpeechEngine> engine = makeEngine(settings, &why);
    if (!engine)
        return fail(QStringLiteral("Няма глас за четене: %1 / No voice can speak: %1").arg(why));

    // Written beside the target, renamed over it only when complete.
    const QFileInfo target(QDir::current(), options.outFile);
    if (target.isDir())
        return fail(QStringLiteral("%1 е папка. / %1 is a folder.").arg(shownPath(target.filePath())));
    QTemporaryFile temp(target.absoluteDir().filePath(QStringLiteral(".velmora-audio-XXXXXX.tmp")));
    if (!temp.open())
        return fail(QStringLiteral("В папката %1 не може да се пише. / The folder %1 cannot be written to.")
                        .arg(shownPath(target.absolutePath())));
    // An audio file for anyone to play, not the private one a temporary file starts as.
    temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    SF_INFO info{};
    info.samplerate = engine->sampleRate();
    info.channels = 1;
    info.format = formatOf(*kind);
    SndFile file(sf_open_fd(temp.handle(), SFM_WRITE, &info, SF_FALSE));
    if (!file)
        return fail(QStringLiteral("Аудиофайлът не може да бъде създаден: %1 / The audio file cannot be "
                                   "created: %1")
                        .arg(QString::fromLocal8Bit(sf_strerror(nullptr))));
    if (*kind == AudioFileKind::Ogg) {
        double quality = 0.4; // speech needs little; about 64 kbit/s
        sf_command(file.get(), SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    }

    qint64 written = 0;
    const int count = last - first + 1;
    for (int n = first; n <= last; ++n) {
        out << QStringLiteral("\rСтраница %1 от %2 (%3 от %4) / Page %1 of %2")
                   .arg(n - first + 1)
                   .arg(count)
                   .arg(n)
                   .arg(last);
        out.flush();
        const WorkFile::Page page = work->page(n);
        if (!page.ok)
            return fail(
                QStringLiteral("\nСтраница %1 не може да бъде прочетена. / Page %1 cannot be read.").arg(n));
        const Utterance spoken = engine->synthesize(page.text);
        if (!spoken.ok())
            return fail(QStringLiteral("\n") + spoken.error);
        const sf_count_t frames = sf_count_t(spoken.samples.size());
        // In blocks: the Vorbis encoder moves its whole pending input at every call, so a page at once
        // costs it the square of the page's length.
        for (sf_count_t at = 0; at < frames; at += kFramesPerWrite) {
            const sf_count_t block = std::min(kFramesPerWrite, frames - at);
            if (sf_write_short(file.get(), spoken.samples.data() + at, block) != block)
                return fail(
                    QStringLiteral("\nАудиофайлът не може да бъде записан: %1 / The audio file cannot "
                                   "be written: %1")
                        .arg(QString::fromLocal8Bit(sf_strerror(file.get()))));
        }
        written += frames;
    }
    if (sf_close(file.release()) != 0 || !temp.flush() || ::fsync(temp.handle()) != 0)
        return fail(
            QStringLiteral("\nАудиофайлът не може да бъде записан. / The audio file cannot be written."));
    temp.close();
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(temp.fileName()).toStdString(),
                            QFile::encodeName(target.absoluteFilePath()).toStdString(), ec);
    if (ec)
        return fail(
            QStringLiteral("\nФайлът %1 не може да бъде записан: %2 / The file %1 cannot be written: %2")
                .arg(shownPath(target.absoluteFilePath()), QString::fromLocal8Bit(ec.message().c_str())));
    temp.setAutoRemove(false);
    const double seconds = double(written) / engine->sampleRate();
    out << QStringLiteral("\n%1: %2 стр. / pages, %3\n")
               .arg(shownPath(target.absoluteFilePath()))
               .arg(count)
               .arg(clock(seconds));
    out.flush();
    return 0;
}

} // namespace vel
