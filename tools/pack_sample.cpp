// Builds the sample library from its texts and packs it into the archive RAZ.exe unpacks; run by the build.
//   velmora_pack_sample LIBRARY ARCHIVE TEXT...
// LIBRARY is a scratch folder, emptied first. The texts are added in the order given, cut for 1024x768.
#include "core/commands/Import.h"
#include "unpack/Unpack.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

using namespace vel;

int main(int argc, char** argv) {
    // Cutting pages lays text out, which needs fonts but no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 4) {
        err << "velmora_pack_sample LIBRARY ARCHIVE TEXT...\n";
        return 2;
    }
    StartOptions options;
    options.mode = StartMode::Import;
    options.libraryDir = QDir(args[1]).absolutePath();
    options.files = args.mid(3);
    QDir(options.libraryDir).removeRecursively();
    if (runImport(options, out, err) != 0)
        return 1;
    QString error;
    if (!unpack::packLibrary(options.libraryDir, args[2], &error)) {
        err << error << '\n';
        return 1;
    }
    return 0;
}
