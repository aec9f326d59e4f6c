#pragma once
// The management window: the catalogue and its cursor, the title and author lists, the entry form for new
// works, deleting, the values the windows hand each other, and the analog clock with its alarm.

#include "core/catalogue/LibraryIndex.h"
#include "core/clock/Alarm.h"
#include "core/storage/Catalogue.h"
#include "core/storage/CatalogueRecords.h"
#include "ui/Controls.h"
#include "ui/Session.h"
#include "ui/Window.h"

#include <QComboBox>
#include <QCompleter>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <optional>

namespace vel {

class FormB : public Window {
    Q_OBJECT
public:
    explicit FormB(Session& session);
    ~FormB() override;

    // Design: lists and the entry form.
    PictureButton* Command2;
    QComboBox* Combo1;
    QComboBox* Combo2;
    PictureButton* Command3;
    PictureButton* Iztrii;
    ClickLabel* Label1;
    QLineEdit* TxtName;
    ClickLabel* Label2;
    QLineEdit* TxtNumber;
    PictureButton* Combo3;
    QListWidget* List1;
    PictureButton* Dobavi;
    PictureButton* Command4;
    // Never shown.
    QPushButton* Command1;
    QPushButton* Nazad;
    QPushButton* B_Napred;
    QLineEdit* TxtAvtor;
    ClickLabel* Label3;
    QLineEdit* Text3;

    // Finding a work among many: what the reader types narrows the titles, in the order chosen; the work
    // under the pointer shows its cover, author and series.
    QLineEdit* TxtTarsi;
    QComboBox* ComboRed;
    PictureBox* Korica;
    ClickLabel* Svedenia;

    // Values handed between the windows (below the visible area, or hidden).
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text6;
    QLineEdit* Text7;
    QLineEdit* Text8;
    QLineEdit* Text9;
    QLineEdit* Text10;
    ClickLabel* Label4;
    QLineEdit* Text4;
    QTimer* TimerZapis;

    // Hover picture holders: odd numbers normal, even numbers highlighted.
    PictureBox* Image1;
    PictureBox* Image2;
    PictureBox* Image3;
    PictureBox* Image4;
    PictureBox* Image5;
    PictureBox* Image6;
    PictureBox* Image7;
    PictureBox* Image8;
    PictureBox* Image9;
    PictureBox* Image10;
    PictureBox* Image11;
    PictureBox* Image12;

    // Clock and alarm.
    QTimer* Timer4;
    LineControl* s;
    LineControl* s1;
    LineControl* s2;
    LineControl* s3;
    ShapeControl* Shape14;
    PictureButton* Command333;
    QFrame* Frame1;
    PictureButton* Command6;
    PictureButton* Command222;
    ClickLabel* Text555;
    ClickLabel* Label6;
    PictureButton* Command7;
    PictureButton* Command111;
    ClickLabel* Text666;
    PictureButton* Command5;
    ClickLabel* Label5;
    PictureBox* Picture4;
    PictureBox* Picture2;
    PictureBox* Picture3;
    QTimer* Timer1;

    // 1 while the author pick list List1 is open.
    qint16 pickListOpen = 0;

    static constexpr Role kRole = Role::Library;

    // Layouts other windows ask for. Reading: the lists, without the entry form and its commands.
    void showReadingLayout();
    // Managing: the entry form (as it was left) or the add command, and delete; the lists hidden.
    void showManagingLayout();
    void hideLists();
    void showListPrompts();
    // The library list shows the title the work was typed under.
    void showTypedTitle();

    // The open catalogue; null when it could not be opened.
    Catalogue* catalogue() const { return catalogue_.get(); }
    const Alarm& alarm() const { return alarm_; }

    void Form_Load() override;
    void Form_Unload() override;
    void Form_MouseMove() override;

    // Cursor operations over the record boxes TxtName and TxtNumber.
    void Pokazhi();
    void Zapishi();
    void PrazenZapis();
    void Napred();

    // Lists.
    void Spisak();
    // The lists filled anew from the catalogue (works were added from elsewhere).
    void reloadLists();
    void SpisakAv();
    // Moves the cursor to the first record titled as Combo1's text and applies its settings; false when no
    // record carries that title.
    bool Tarsene();
    // Opens the book window on the stored work.
    void modulNov();
    // Joins the hard line breaks of the main window's text panel.
    void modulEn();
    // Back to the reading layout, the entry form closed, the window hidden.
    void Otkaz();

    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Dobavi_Click();
    void Iztrii_Click();
    void Combo1_Click();
    void Combo2_Click();
    void Combo3_Click();
    void TxtTarsi_Change();
    void ComboRed_Click();
    // The work's card beside the list: cover, author, series; empty for a title the library does not hold.
    void showWorkCard(const QString& title);
    void List1_Click();
    void TxtNumber_Click();
    void TimerZapis_Timer();

    void Timer4_Timer();
    void Timer1_Timer();
    void Command333_Click();
    void Command5_Click();
    void Command222_Click();
    void Command6_Click();
    void Command111_Click();
    void Command7_Click();

    // Hover highlighting.
    void Command2_MouseMove();
    void Command3_MouseMove();
    void Iztrii_MouseMove();
    void Dobavi_MouseMove();
    void Command4_MouseMove();
    void Combo3_MouseMove();
    void Command5_MouseMove();
    // The pass over the window background: every hover button back to its normal picture.
    void restoreHover();
    // Command2 alone, for the main window's background and its large picture.
    void restoreCommand2();
    // Combo3 alone, for the pointer leaving it over List1 or TxtNumber.
    void restoreCombo3();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildDesign();
    void followReadingState();
    void boxesFrom(const RecordBoxes& boxes);
    RecordBoxes boxes() const;
    bool narrowing() const;
    void showAlarm();

    std::unique_ptr<Catalogue> catalogue_;
    QString openError_;
    Alarm alarm_;
    LibraryIndex index_;
    QCompleter* found_ = nullptr;
};

} // namespace vel
