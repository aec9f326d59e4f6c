#include "windows/Form2.h"

#include "ui/Design.h"
#include "ui/Session.h"

namespace vel {

Form2::Form2(Session& session) : Window(session, QStringLiteral("Form2")) {
    setWindowTitle(QStringLiteral("ТАРВИНА"));
    setWindowIcon(QIcon(designPicture(QStringLiteral("icon"), QSize(32, 32))));
    setStartState(StartState::Minimized);

    Label1 = add(new ClickLabel(this), ControlKind::Label, QStringLiteral("Label1"), {480, 480, 1095, 735});
    Label1->setText(QStringLiteral("Label1"));

    // Its normal place lies outside the screen: only the task-bar entry is ever seen.
    setTwipsBox(this, {-4935, 15420, 4140, 1020});
}

void Form2::Form_Load() {
    Label1->setText(QStringLiteral("1"));
}

void Form2::Form_Resize() {
    Label1->clear();
    // Only leaving the minimized state is the user asking for the book; a late move or resize of the
    // minimized entry is not.
    if (!isMinimized())
        bringBookBack();
}

void Form2::Form_Unload() {
    // Closing the entry while the book is hidden must not leave the program running unseen.
    bringBookBack();
}

void Form2::bringBookBack() {
    Window* book = session().loaded(Role::Book);
    if (!book || book->isVisible())
        return;
    session().open(Role::Main).setVisible(true);
    book->setVisible(true);
    book->raise();
    book->activateWindow();
    // After the restore has run its course, or it would show this window again.
    QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

} // namespace vel
