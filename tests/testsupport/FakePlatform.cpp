#include "FakePlatform.h"

#include <QFile>

namespace vel::test {

namespace {
template <class T> T take(std::deque<T>& q, const T& fallback) {
    if (q.empty())
        return fallback;
    const T v = q.front();
    q.pop_front();
    return v;
}
} // namespace

MsgAnswer FakePlatform::messageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                                   const QString& title) {
    messages.push_back({text, buttons, icon, title});
    return take(messageAnswers, MsgAnswer::Ok);
}

std::optional<QString> FakePlatform::openFileDialog(const QString& title, const QString& filter) {
    fileDialogs.push_back(title + QLatin1Char('|') + filter);
    return take(fileAnswers, std::optional<QString>());
}

std::optional<std::int32_t> FakePlatform::colorDialog(std::int32_t initial) {
    colorDialogsOpenedAt.push_back(initial);
    return take(colorAnswers, std::optional<std::int32_t>());
}

std::optional<FontChoice> FakePlatform::fontDialog(const FontChoice&) {
    return take(fontAnswers, std::optional<FontChoice>());
}

std::optional<int> FakePlatform::popupMenu(const QList<MenuItem>& items, QPoint) {
    menus.push_back(items);
    return take(menuAnswers, std::optional<int>());
}

void FakePlatform::clipboardClear() {
    clipboard.clear();
    ++clipboardClears;
}

bool FakePlatform::sendReadAloudKeys() {
    if (!keysSucceed)
        return false;
    ++keysSent;
    return true;
}

bool FakePlatform::startProcess(const QString& program, const QStringList& args, const QString& workingDir) {
    if (!startSucceeds)
        return false;
    started.push_back({program, args, workingDir});
    return true;
}

bool FakePlatform::deleteFile(const QString& path) {
    deleted.push_back(path);
    return deleteSucceeds && QFile::remove(path);
}

} // namespace vel::test
