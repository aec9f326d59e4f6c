#pragma once
#include "core/commands/StartOptions.h"

#include <QSize>
#include <QString>
#include <QStringList>

namespace vel {

StartOptions parseStartOptions(const QStringList& args, const QString& defaultLibraryDir);

// The whole program: checks the catalogue, creates the main window and runs until no window is loaded; or,
// for --import and --list, does its work without any window. Returns the exit status.
int runVelmora(int argc, char** argv);

} // namespace vel
