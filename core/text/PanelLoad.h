#pragma once
// Reading an outside text for the text panel; the window decides whether it reads off its own thread.

#include "core/text/TextImport.h"

#include <QString>

namespace vel {

enum class TextSource { PlainText, Document };

// The file's text, or a Bulgarian message naming the file. Pure and reentrant.
TextImportResult readPanelText(const QString& path, TextSource source);

// Whether reading the file could keep the window from answering: large plain-text files, and every
// document, which an outside program converts.
bool readsInBackground(const QString& path, TextSource source, qint64 plainTextThreshold);

} // namespace vel
