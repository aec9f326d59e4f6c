#include "app/Probe.h"

#include "ui/PageView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTextDocument>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMimeData>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

namespace vel {

namespace {

// Longer requests are not the suite's: the connection is dropped rather than buffered without end.
constexpr qsizetype kMaxRequest = 64 * 1024;

QJsonObject rectJson(const QRect& r) {
    return {{QStringLiteral("x"), r.x()}, {QStringLiteral("y"), r.y()}, {QStringLiteral("w"), r.width()},
            {QStringLiteral("h"), r.height()}};
}

QRect globalRect(const QWidget* w) {
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

// The shown window of that name, else any (a window on its way out may linger hidden).
QWidget* topLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible())
            return w;
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name)
            return w;
    }
    return nullptr;
}

QWidget* control(const QString& window, const QString& name) {
    QWidget* w = topLevel(window);
    if (!w || name == QLatin1String("-"))
        return w;
    if (QWidget* c = w->findChild<QWidget*>(name))
        return c;
    // A control without a design name, by its class (the book's progress bar).
    for (QWidget* c : w->findChildren<QWidget*>()) {
        if (QLatin1String(c->metaObject()->className()) == name)
            return c;
    }
    return nullptr;
}

QString textOf(const QWidget* w) {
    if (const auto* e = qobject_cast<const QTextEdit*>(w))
        return e->toPlainText();
    if (const auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (const auto* l = qobject_cast<const QLineEdit*>(w))
        return l->text();
    if (const auto* c = qobject_cast<const QComboBox*>(w))
        return c->currentText();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (const auto* l = qobject_cast<const QListWidget*>(w))
        return l->currentItem() ? l->currentItem()->text() : QString();
    return w->windowTitle();
}

QJsonObject controlJson(QWidget* w) {
    QJsonObject o = rectJson(globalRect(w));
    o[QStringLiteral("visible")] = w->isVisible();
    o[QStringLiteral("text")] = textOf(w);
    o[QStringLiteral("tip")] = w->toolTip();
    o[QStringLiteral("fontPx")] = QFontInfo(w->font()).pixelSize();
    if (const auto* e = qobject_cast<const QTextEdit*>(w)) {
        o[QStringLiteral("fits")] = showsWhole(*e);
        o[QStringLiteral("back")] = e->palette().color(QPalette::Base).name();
        // The smallest text the view shows, whatever its own font says.
        int smallest = 0;
        const QFont base = e->document()->defaultFont();
        for (QTextBlock b = e->document()->begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                if (it.fragment().text().trimmed().isEmpty())
                    continue;
                const int px = QFontInfo(it.fragment().charFormat().font().resolve(base)).pixelSize();
                smallest = smallest == 0 ? px : std::min(smallest, px);
            }
        }
        o[QStringLiteral("textPx")] = smallest;
        o[QStringLiteral("fore")] = e->palette().color(QPalette::Text).name();
        o[QStringLiteral("viewport")] = rectJson(QRect(e->viewport()->mapToGlobal(QPoint(0, 0)),
                                                       e->viewport()->size()));
    }
    return o;
}

QJsonObject windowJson(QWidget* w) {
    QJsonObject o = rectJson(w->geometry());
    o[QStringLiteral("name")] = w->objectName();
    o[QStringLiteral("class")] = QString::fromLatin1(w->metaObject()->className());
    o[QStringLiteral("visible")] = w->isVisible();
    o[QStringLiteral("minimized")] = w->isMinimized();
    o[QStringLiteral("active")] = w->isActiveWindow();
    o[QStringLiteral("title")] = w->windowTitle();
    o[QStringLiteral("frame")] = rectJson(w->frameGeometry());
    o[QStringLiteral("winId")] = QString::number(w->internalWinId());
    return o;
}

QWidget* modal() {
    if (QWidget* m = QApplication::activeModalWidget())
        return m;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && qobject_cast<QDialog*>(w))
            return w;
    }
    return nullptr;
}

QJsonObject modalJson(QWidget* m) {
    QJsonObject o = windowJson(m);
    if (auto* box = qobject_cast<QMessageBox*>(m))
        o[QStringLiteral("text")] = box->text();
    if (auto* colors = qobject_cast<QColorDialog*>(m))
        o[QStringLiteral("color")] = colors->currentColor().name();
    QJsonArray buttons;
    for (const QAbstractButton* b : m->findChildren<QAbstractButton*>()) {
        if (b->isVisible() && !b->text().isEmpty())
            buttons.append(b->text());
    }
    o[QStringLiteral("buttons")] = buttons;
    return o;
}

void clickAt(QWidget* w, QPoint local) {
    const QPointF global = w->mapToGlobal(QPointF(local));
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, QPointF(local), global, Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    }
}

void answerModal(QWidget* m, const QString& value) {
    auto* dialog = qobject_cast<QDialog*>(m);
    if (!dialog)
        return;
    if (value == QLatin1String("cancel"))
        return dialog->reject();
    if (auto* box = qobject_cast<QMessageBox*>(m)) {
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == value || (value == QLatin1String("ok") && box->buttonRole(b) == QMessageBox::AcceptRole))
                return b->click();
        }
        return;
    }
    if (auto* files = qobject_cast<QFileDialog*>(m)) {
        // As a reader does it: the name typed into the dialog's box, then Enter.
        auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name)
            return files->selectFile(value);
        name->setText(value);
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent e(type, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(name, &e);
        }
        return;
    }
    if (auto* colors = qobject_cast<QColorDialog*>(m)) {
        if (value != QLatin1String("ok"))
            colors->setCurrentColor(QColor(value));
        return dialog->accept();
    }
    if (auto* fonts = qobject_cast<QFontDialog*>(m)) {
        // "Family,points"
        const qsizetype comma = value.lastIndexOf(QLatin1Char(','));
        if (comma > 0) {
            QFont f(value.left(comma));
            f.setPointSizeF(value.mid(comma + 1).toDouble());
            fonts->setCurrentFont(f);
        }
        return dialog->accept();
    }
    dialog->accept();
}

QByteArray reply(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray error(const QString& why) {
    return reply({{QStringLiteral("error"), why}});
}

} // namespace

std::unique_ptr<Probe> Probe::fromEnvironment() {
    // "%p" stands for the process: a program started again by the unpacker gets a socket of its own, which
    // the one before it cannot take away as it ends.
    QString path = qEnvironmentVariable("VELMORA_PROBE");
    if (path.isEmpty())
        return nullptr;
    path.replace(QLatin1String("%p"), QString::number(QCoreApplication::applicationPid()));
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // A run before this one (the program restarts itself after unpacking) leaves its socket behind.
    QLocalServer::removeServer(path);
    if (!server->listen(path))
        return nullptr;
    return std::unique_ptr<Probe>(new Probe(std::move(server)));
}

Probe::Probe(std::unique_ptr<QLocalServer> server) : server_(std::move(server)) {
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] { serve(s); });
        }
    });
}

Probe::~Probe() = default;

void Probe::serve(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        const QString line = QString::fromUtf8(socket->readLine()).trimmed();
        socket->write(answer(line) + '\n');
    }
    if (socket->bytesAvailable() > kMaxRequest)
        socket->abort();
}

QByteArray Probe::answer(const QString& request) {
    const QStringList f = request.split(QLatin1Char('\t'));
    const QString& what = f.front();
    auto arg = [&f](int i) { return i < f.size() ? f[i] : QString(); };

    if (what == QLatin1String("windows")) {
        QJsonArray all;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->objectName().isEmpty() || w->isVisible())
                all.append(windowJson(w));
        }
        const QScreen* screen = QGuiApplication::primaryScreen();
        return reply({{QStringLiteral("windows"), all},
                      {QStringLiteral("pid"), QCoreApplication::applicationPid()},
                      {QStringLiteral("screen"), rectJson(screen->geometry())},
                      {QStringLiteral("available"), rectJson(screen->availableGeometry())}});
    }
    if (what == QLatin1String("modal")) {
        QWidget* m = modal();
        return m ? reply(modalJson(m)) : reply({{QStringLiteral("none"), true}});
    }
    if (what == QLatin1String("answer")) {
        QPointer<QWidget> m = modal();
        if (!m)
            return error(QStringLiteral("no dialog"));
        QTimer::singleShot(0, this, [m, value = arg(1)] {
            if (m)
                answerModal(m, value);
        });
        return reply({{QStringLiteral("ok"), true}});
    }
    if (what == QLatin1String("shot")) {
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        return reply({{QStringLiteral("ok"), shot.save(arg(1), "PNG")}});
    }

    QPointer<QWidget> w = control(arg(1), arg(2));
    if (!w)
        return error(QStringLiteral("no such control"));
    if (what == QLatin1String("control"))
        return reply(controlJson(w));
    if (what == QLatin1String("items")) {
        QJsonArray items;
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                items.append(c->itemText(i));
        if (auto* l = qobject_cast<QListWidget*>(w))
            for (int i = 0; i < l->count(); ++i)
                items.append(l->item(i)->text());
        if (auto* t = qobject_cast<QTreeWidget*>(w))
            for (int i = 0; i < t->topLevelItemCount(); ++i)
                items.append(QString(t->topLevelItem(i)->text(0).trimmed() + QLatin1Char('\t') + t->topLevelItem(i)->text(1)));
        return reply({{QStringLiteral("items"), items}});
    }
    if (what == QLatin1String("small")) {
        // Text a reader is meant to see, in a font below the legible size.
        QJsonArray small;
        const int minPx = arg(3).isEmpty() ? 9 : arg(3).toInt();
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (c->isVisible() && !textOf(c).trimmed().isEmpty() && !qobject_cast<QTextEdit*>(c) &&
                QFontInfo(c->font()).pixelSize() < minPx)
                small.append(QStringLiteral("%1 (%2 px)").arg(c->objectName()).arg(QFontInfo(c->font()).pixelSize()));
        }
        return reply({{QStringLiteral("small"), small}});
    }
    if (what == QLatin1String("cutoff")) {
        // Controls with text or input that the window's edge cuts through: partly shown, partly not.
        // Value carriers lying wholly outside the window are meant to be unseen; pictures may bleed.
        QJsonArray cut;
        const QRect window = globalRect(w);
        for (QWidget* c : w->findChildren<QWidget*>()) {
            const QRect r = globalRect(c);
            const bool reads = !textOf(c).trimmed().isEmpty() || c->focusPolicy() != Qt::NoFocus;
            if (reads && c->isVisible() && !c->isWindow() && r.intersects(window) && !window.contains(r) &&
                c->parentWidget() == w.data())
                cut.append(c->objectName().isEmpty() ? QString::fromLatin1(c->metaObject()->className())
                                                     : c->objectName());
        }
        return reply({{QStringLiteral("cutoff"), cut}});
    }
    if (what == QLatin1String("where")) {
        // Where a page shows these words, on the screen: for a click of the reader's own.
        auto* e = qobject_cast<QTextEdit*>(w);
        if (!e)
            return error(QStringLiteral("not a page"));
        const QTextCursor found = e->document()->find(arg(3));
        if (found.isNull())
            return error(QStringLiteral("not on the page"));
        // The middle of the character in the middle of the words.
        QTextCursor before(e->document()), after(e->document());
        before.setPosition((found.selectionStart() + found.selectionEnd() - 1) / 2);
        after.setPosition(before.position() + 1);
        const QRect r = e->cursorRect(before), next = e->cursorRect(after);
        const int x = next.top() == r.top() ? (r.left() + next.left()) / 2 : r.left() + 2;
        const QPoint at = e->viewport()->mapToGlobal(QPoint(x, r.center().y()));
        return reply({{QStringLiteral("x"), at.x()}, {QStringLiteral("y"), at.y()}});
    }
    if (what == QLatin1String("settext")) {
        if (auto* l = qobject_cast<QLineEdit*>(w))
            l->setText(arg(3));
        else if (auto* e = qobject_cast<QTextEdit*>(w))
            e->setPlainText(arg(3));
        else
            return error(QStringLiteral("not a text box"));
        return reply({{QStringLiteral("ok"), true}});
    }
    // The rest act after the answer has gone: they may open a modal dialog.
    if (what == QLatin1String("click")) {
        QTimer::singleShot(0, this, [w] {
            if (!w)
                return;
            if (auto* b = qobject_cast<QAbstractButton*>(w.data()))
                b->click();
            else
                clickAt(w, w->rect().center());
        });
        return reply({{QStringLiteral("ok"), true}});
    }
    if (what == QLatin1String("choose")) {
        const QString value = arg(3);
        if (auto* c = qobject_cast<QComboBox*>(w)) {
            const int i = c->findText(value);
            if (i < 0)
                return error(QStringLiteral("no such item"));
            QTimer::singleShot(0, this, [box = QPointer<QComboBox>(c), i] {
                if (!box)
                    return;
                box->setCurrentIndex(i);
                Q_EMIT box->activated(i);
            });
            return reply({{QStringLiteral("ok"), true}});
        }
        if (auto* l = qobject_cast<QListWidget*>(w)) {
            const auto found = l->findItems(value, Qt::MatchExactly);
            if (found.isEmpty())
                return error(QStringLiteral("no such item"));
            l->scrollToItem(found.front());
            const QRect r = l->visualItemRect(found.front());
            QTimer::singleShot(0, this, [list = QPointer<QListWidget>(l), r] {
                if (list)
                    clickAt(list->viewport(), r.center());
            });
            return reply({{QStringLiteral("ok"), true}});
        }
        if (auto* t = qobject_cast<QTreeWidget*>(w)) {
            // The first row holding these words, clicked where a reader would click it.
            QTreeWidgetItem* found = nullptr;
            for (int i = 0; i < t->topLevelItemCount() && !found; ++i)
                if (t->topLevelItem(i)->text(0).contains(value))
                    found = t->topLevelItem(i);
            if (!found)
                return error(QStringLiteral("no such item"));
            t->scrollToItem(found);
            const QRect r = t->visualItemRect(found);
            QTimer::singleShot(0, this, [tree = QPointer<QTreeWidget>(t), r] {
                if (tree)
                    clickAt(tree->viewport(), r.center());
            });
            return reply({{QStringLiteral("ok"), true}});
        }
        return error(QStringLiteral("not a list"));
    }
    if (what == QLatin1String("drop")) {
        // Files and folders dropped at the control's centre, as a file manager drops them.
        QList<QUrl> urls;
        for (int i = 3; i < f.size(); ++i)
            urls << QUrl::fromLocalFile(f[i]);
        QTimer::singleShot(0, this, [w, urls] {
            if (!w)
                return;
            QMimeData data;
            data.setUrls(urls);
            const QPoint at = w->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(w, &enter);
            if (!enter.isAccepted() || !w)
                return;
            QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(w, &drop);
        });
        return reply({{QStringLiteral("ok"), true}});
    }
    if (what == QLatin1String("key")) {
        const QKeySequence seq(arg(3));
        if (seq.isEmpty())
            return error(QStringLiteral("no such key"));
        QTimer::singleShot(0, this, [w, combo = seq[0]] {
            for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                if (!w)
                    return;
                QKeyEvent e(type, combo.key(), combo.keyboardModifiers());
                QCoreApplication::sendEvent(w, &e);
            }
        });
        return reply({{QStringLiteral("ok"), true}});
    }
    return error(QStringLiteral("unknown request"));
}

} // namespace vel
