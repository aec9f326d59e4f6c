#pragma once
#include "ui/Platform.h"

namespace vel {

// The real platform: Qt's dialogs and services, XTest for the read-aloud key.
class QtPlatform final : public Platform {
public:
    MsgAnswer messageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                         const QString& title) override;
    std::optional<QString> openFileDialog(const QString& title, const QString& filter) override;
    QStringList openFilesDialog(const QString& title, const QString& filter) override;
    std::optional<std::int32_t> colorDialog(std::int32_t initial) override;
    std::optional<FontChoice> fontDialog(const FontChoice& initial) override;
    std::optional<int> popupMenu(const QList<MenuItem>& items, QPoint globalPos) override;
    void clipboardClear() override;
    void clipboardSetText(const QString& text) override;
    bool sendReadAloudKeys() override;
    bool startProcess(const QString& program, const QStringList& args, const QString& workingDir) override;
    bool deleteFile(const QString& path) override;
    void beep() override;
    ScreenMetrics screen() const override;
    QTime timeOfDay() const override;
    float rnd() override { return random_.next(); }

private:
    UnseededRandom random_;
    QString lastDir_;
};

} // namespace vel
