#include "ui/QtPlatform.h"

#include "core/book/Fonts.h"
#include "core/storage/Colors.h"
#include "ui/X11Keys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGuiApplication>
#include <QActionGroup>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>

namespace vel {

MsgAnswer QtPlatform::messageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                                 const QString& title) {
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    if (buttons == MsgButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    if (auto* cancel = box.button(QMessageBox::Cancel))
        cancel->setText(QStringLiteral("Отказ"));
    return box.exec() == QMessageBox::Cancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
}

std::optional<QString> QtPlatform::openFileDialog(const QString& title, const QString& filter) {
    QString path =
        QFileDialog::getOpenFileName(QApplication::activeWindow(), title, lastDir_, qtFileFilter(filter));
    if (path.isEmpty())
        return std::nullopt;
    lastDir_ = QFileInfo(path).absolutePath();
    return path;
}

QStringList QtPlatform::openFilesDialog(const QString& title, const QString& filter) {
    const QStringList paths =
        QFileDialog::getOpenFileNames(QApplication::activeWindow(), title, lastDir_, qtFileFilter(filter));
    if (!paths.isEmpty())
        lastDir_ = QFileInfo(paths.front()).absolutePath();
    return paths;
}

std::optional<std::int32_t> QtPlatform::colorDialog(std::int32_t initial) {
    QColor c = QColorDialog::getColor(colorFromNumber(initial), QApplication::activeWindow());
    if (!c.isValid())
        return std::nullopt;
    return colorToNumber(c);
}

std::optional<FontChoice> QtPlatform::fontDialog(const FontChoice& initial) {
    bool ok = false;
    QFont f =
        QFontDialog::getFont(&ok, displayFont(initial.name, initial.size), QApplication::activeWindow());
    if (!ok)
        return std::nullopt;
    return FontChoice{f.family(), f.pointSizeF(), f.bold(), f.italic()};
}

std::optional<int> QtPlatform::popupMenu(const QList<MenuItem>& items, QPoint globalPos) {
    QMenu menu(QApplication::activeWindow());
    QList<QAction*> actions;
    QActionGroup* group = nullptr;
    for (const MenuItem& item : items) {
        if (item.separatorBefore && group)
            menu.addSeparator();
        if (item.separatorBefore || !group)
            group = new QActionGroup(&menu);
        QAction* a = menu.addAction(item.text);
        group->addAction(a);
        a->setCheckable(true);
        a->setChecked(item.checked);
        actions << a;
    }
    const qsizetype chosen = actions.indexOf(menu.exec(globalPos));
    return chosen < 0 ? std::nullopt : std::optional<int>(int(chosen));
}

void QtPlatform::clipboardClear() {
    if (auto* cb = QGuiApplication::clipboard())
        cb->clear();
}

void QtPlatform::clipboardSetText(const QString& text) {
    if (auto* cb = QGuiApplication::clipboard())
        cb->setText(text);
}

bool QtPlatform::sendReadAloudKeys() {
    // Through the X server, so that a program holding a global shortcut receives it.
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 && x11->display() && sendCtrlF12(x11->display());
}

bool QtPlatform::startProcess(const QString& program, const QStringList& args, const QString& workingDir) {
    if (!QFileInfo(program).isExecutable())
        return false;
    return QProcess::startDetached(program, args, workingDir);
}

bool QtPlatform::deleteFile(const QString& path) {
    return QFile::remove(path);
}

void QtPlatform::beep() {
    QApplication::beep();
}

ScreenMetrics QtPlatform::screen() const {
    ScreenMetrics m;
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QSize px = s->size();
        m.widthTwips = px.width() * m.twipsPerPixelX;
        m.heightTwips = px.height() * m.twipsPerPixelY;
    }
    return m;
}

QTime QtPlatform::timeOfDay() const {
    return QTime::currentTime();
}

} // namespace vel
