#pragma once
// The minimized book: one task-bar entry standing for the whole program while the book is hidden.

#include "ui/Session.h"
#include "ui/Window.h"

namespace vel {

class Form2 : public Window {
    Q_OBJECT
public:
    static constexpr Role kRole = Role::MinimizedBook;

    explicit Form2(Session& session);

    ClickLabel* Label1;

    void Form_Load() override;
    // Any resize while the book is hidden (the user restoring the entry) brings the book back.
    void Form_Resize() override;
    void Form_Unload() override;

private:
    void bringBookBack();
};

} // namespace vel
