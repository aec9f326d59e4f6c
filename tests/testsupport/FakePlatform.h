#pragma once
// The scripted platform: dialogs answer from queues, every call is recorded, nothing waits for a person.

#include "ui/Platform.h"

#include <QStringList>
#include <deque>
#include <vector>

namespace vel::test {

struct RecordedMessage {
    QString text;
    MsgButtons buttons;
    MsgIcon icon;
    QString title;
};

struct StartedProcess {
    QString program;
    QStringList args;
    QString workingDir;
};

class FakePlatform final : public Platform {
public:
    // Scripts: answers handed out in order; an empty queue answers OK / cancels the dialog.
    std::deque<MsgAnswer> messageAnswers;
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<std::int32_t>> colorAnswers;
    std::vector<std::int32_t> colorDialogsOpenedAt;
    std::deque<std::optional<FontChoice>> fontAnswers;
    std::deque<std::optional<int>> menuAnswers;
    bool startSucceeds = true;
    bool deleteSucceeds = true; // when true the file is really removed
    bool keysSucceed = true;
    ScreenMetrics metrics{15360, 11520, 15, 15};
    QTime time{12, 0, 0};

    // Records.
    std::vector<RecordedMessage> messages;
    std::vector<QString> fileDialogs; // title + "|" + filter
    std::vector<QList<MenuItem>> menus;
    std::vector<StartedProcess> started;
    std::vector<QString> deleted;
    QString clipboard;
    int clipboardClears = 0;
    int keysSent = 0;
    int beeps = 0;

    MsgAnswer messageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                         const QString& title) override;
    std::optional<QString> openFileDialog(const QString& title, const QString& filter) override;
    std::optional<std::int32_t> colorDialog(std::int32_t initial) override;
    std::optional<FontChoice> fontDialog(const FontChoice& initial) override;
    std::optional<int> popupMenu(const QList<MenuItem>& items, QPoint) override;
    void clipboardClear() override;
    void clipboardSetText(const QString& text) override { clipboard = text; }
    bool sendReadAloudKeys() override;
    bool startProcess(const QString& program, const QStringList& args, const QString& workingDir) override;
    bool deleteFile(const QString& path) override;
    void beep() override { ++beeps; }
    ScreenMetrics screen() const override { return metrics; }
    QTime timeOfDay() const override { return time; }
    float rnd() override { return random_.next(); }

    void setScreenPixels(int width, int height) { metrics = ScreenMetrics{width * 15, height * 15, 15, 15}; }
    // The last message's text, or "" when none was shown.
    QString lastMessage() const { return messages.empty() ? QString() : messages.back().text; }

private:
    UnseededRandom random_;
};

} // namespace vel::test
