#pragma once
// Reading an outside text for the text panel, on a worker thread when it may take a while.

#include "core/text/TextImport.h"

#include <QObject>
#include <QString>
#include <functional>

namespace vel {

enum class TextSource { PlainText, Document };

// The file's text, or a Bulgarian message naming the file. Pure and reentrant.
TextImportResult readPanelText(const QString& path, TextSource source);

// Whether reading the file could keep the window from answering: large plain-text files, and every
// document, which an outside program converts.
bool readsInBackground(const QString& path, TextSource source, qint64 plainTextThreshold);

// Runs `job` on a thread of its own and hands its result to `done` on `context`'s thread. When `context` is
// destroyed first, the result is dropped.
void runInBackground(QObject* context, std::function<TextImportResult()> job,
                     std::function<void(TextImportResult)> done);

} // namespace vel
