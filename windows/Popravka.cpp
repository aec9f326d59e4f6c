#include "windows/Popravka.h"

#include "ui/Design.h"
#include "ui/Session.h"

namespace vel {

Popravka::Popravka(Session& session) : Window(session, QStringLiteral("Popravka")) {
    setWindowTitle(QStringLiteral("Съжалявам за неудобството"));
    setWindowIcon(QIcon(designPicture(QStringLiteral("icon"), QSize(32, 32))));
    Window::setBackColor(0x8080FF);

    Label1 = add(new ClickLabel(this), ControlKind::Label, QStringLiteral("Label1"), {240, 360, 6855, 1095});
    Label1->setText(QStringLiteral("Вече има произведение с такова име. Моля въведете друго име:"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setDesignFont(Label1, QStringLiteral("MS Sans Serif"), 18);
    setTransparent(Label1);

    Text1 = add(new QLineEdit(this), ControlKind::TextBox, QStringLiteral("Text1"), {480, 1800, 6255, 495});
    setDesignFont(Text1, QStringLiteral("MS Sans Serif"), 13.5);

    Command1 =
        add(new QPushButton(this), ControlKind::Button, QStringLiteral("Command1"), {2400, 2520, 1935, 495});
    Command1->setText(QStringLiteral("Потвърди"));
    vel::setBackColor(Command1, 0x80FFFF);
    setDesignFont(Command1, QStringLiteral("MS Sans Serif"), 12, true);

    setTabOrder(Text1, Command1);
    connect(Command1, &QPushButton::clicked, this, &Popravka::Command1_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &Popravka::Command1_Click);

    // Design client size, centred on the screen.
    const ScreenMetrics screen = session.platform().screen();
    const double w = 7125, h = 3165;
    setTwipsBox(this, {(screen.widthTwips - w) / 2, (screen.heightTwips - h) / 2, w, h});
}

void Popravka::Form_Load() {
    Text1->setFocus();
}

void Popravka::Command1_Click() {
    // The build waiting in the book window starts again under it; without one nothing restarts.
    session().reading().giveAnotherName(Text1->text());
    close();
}

} // namespace vel
