#pragma once
// The dialog that asks for another name when a work file cannot be created under the work's title.

#include "ui/Session.h"
#include "ui/Window.h"

#include <QLineEdit>
#include <QPushButton>

namespace vel {

class Popravka : public Window {
    Q_OBJECT
public:
    static constexpr Role kRole = Role::NameDialog;

    explicit Popravka(Session& session);

    ClickLabel* Label1;
    QLineEdit* Text1;
    QPushButton* Command1;

    void Form_Load() override;
    // Hands the name to the management window and restarts the book window's build under it.
    void Command1_Click();
};

} // namespace vel
