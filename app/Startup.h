#pragma once
#include <QString>
#include <optional>

namespace vel {

struct StartOptions {
    QString libraryDir; // the executable's folder unless --library DIR is given
    bool help = false;
    QString error;      // a command line that could not be understood
};

StartOptions parseStartOptions(const QStringList& args, const QString& executableDir);

// The whole program: checks the catalogue, creates the main window and runs until no window is loaded.
int runVelmora(int argc, char** argv);

} // namespace vel
