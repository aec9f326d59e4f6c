#pragma once
// The command line's one way of reporting a failure: a line "Bulgarian / English" on the error stream.

#include "core/Result.h"

#include <QString>

class QTextStream;

namespace vel {

// subject (a file the failure concerns) comes first, followed by ": ". Flushes, so that the line is seen
// before whatever runs next.
void printFailure(QTextStream& err, const Failure& failure, const QString& subject = {});

// The library folder holds no catalogue (commands that only read never create one).
Failure noCatalogue(const QString& libraryDir);

} // namespace vel
