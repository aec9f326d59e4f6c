#pragma once
// Everything outside the program's own logic: dialogs, messages, clipboard, processes, files, screen, time.
// Windows never call Qt's dialogs directly, so tests can answer them from a script.

#include <QColor>
#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTime>
#include <cstdint>
#include <optional>

namespace vel {

enum class MsgButtons { Ok, OkCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgAnswer { Ok, Cancel };

// A font as the font dialog hands it over: face, size in points (with fraction), style.
struct FontChoice {
    QString name;
    double size = 0;
    bool bold = false;
    bool italic = false;
    bool operator==(const FontChoice&) const = default;
};

// One line of a pop-up menu of choices; a separator starts the next group, of which one line is marked.
struct MenuItem {
    QString text;
    bool checked = false;
    bool separatorBefore = false;
};

struct ScreenMetrics {
    int widthTwips = 15360;
    int heightTwips = 11520;
    int twipsPerPixelX = 15;
    int twipsPerPixelY = 15;
};

// A "Description|*.ext;*.ext2|..." filter in the form Qt's file dialog reads: "Description (*.ext
// *.ext2);;...".
QString qtFileFilter(const QString& filter);

class Platform {
public:
    virtual ~Platform() = default;

    // A modal message box; the text's lines are joined by CR LF by the caller.
    virtual MsgAnswer messageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                                 const QString& title) = 0;

    // The open-file dialog; filter in the "Description|*.ext" form. Empty optional when cancelled.
    virtual std::optional<QString> openFileDialog(const QString& title, const QString& filter) = 0;
    // The same dialog taking several files at once; empty when cancelled. By default one file.
    virtual QStringList openFilesDialog(const QString& title, const QString& filter);
    // The colour dialog; answers a colour number &H00BBGGRR. Empty optional when cancelled.
    virtual std::optional<std::int32_t> colorDialog(std::int32_t initial) = 0;
    virtual std::optional<FontChoice> fontDialog(const FontChoice& initial) = 0;

    // A pop-up menu at a screen point: the index of the item chosen, empty when it was dismissed.
    virtual std::optional<int> popupMenu(const QList<MenuItem>& items, QPoint globalPos) = 0;

    virtual void clipboardClear() = 0;
    virtual void clipboardSetText(const QString& text) = 0;
    // Ctrl+F12 to whoever listens for it (the read-aloud program); false when no key could be sent.
    virtual bool sendReadAloudKeys() = 0;

    // Starts a program without waiting; false when it could not start.
    virtual bool startProcess(const QString& program, const QStringList& args, const QString& workingDir) = 0;
    virtual bool deleteFile(const QString& path) = 0;
    virtual void beep() = 0;

    virtual ScreenMetrics screen() const = 0;
    virtual QTime timeOfDay() const = 0;
    // Uniform in [0, 1), never seeded: the same sequence on every start.
    virtual float rnd() = 0;
};

// The generator behind rnd(): the classic 24-bit linear congruential sequence with its fixed start.
class UnseededRandom {
public:
    float next();

private:
    std::uint32_t state_ = 0x50000;
};

} // namespace vel
