#pragma once
// Joining the hard line breaks of an imported text (the clean-up `modulEn` runs on the text panel).

#include <QString>

namespace vel {

// A CR LF followed by a lowercase Bulgarian letter other than "ю", or by ";", continues the sentence and
// becomes a space; a CR LF followed by "," is dropped and the comma gets a space after it; every other line
// break stays. Afterwards every "_" is removed. The result equals running the 31 replace-all steps and the
// underscore removal one after another, but it is computed in a single pass, in place when the text is not
// shared. Pure and reentrant.
QString joinLineBreaks(QString text);

// True when a line break directly in front of `c` is joined.
bool joinsLineBreakBefore(QChar c);

} // namespace vel
