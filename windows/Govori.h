#pragma once
// The main window: start-up, the text panel and its commands, the aphorism box and the picture buttons.

#include "core/commands/BatchImport.h"
#include "core/text/PanelLoad.h"
#include "ui/BatchProgress.h"
#include "ui/Controls.h"
#include "ui/RichTextView.h"
#include "ui/Session.h"
#include "ui/Window.h"

#include <QFuture>
#include <QPlainTextEdit>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

namespace vel {

// The one common dialog of the window. Its settings persist between the commands that use it.
struct CommonDialog {
    QString dialogTitle;
    QString filter;
    // The colour it returned last: black before any choice.
    std::int32_t color = 0;
    QString fileName;
};

class Govori : public Window {
    Q_OBJECT
public:
    static constexpr Role kRole = Role::Main;

    explicit Govori(Session& session);
    ~Govori() override;

    // Design.
    PictureButton* Command9;
    PictureButton* Command14;
    PictureButton* Command1;
    PictureButton* Command4;
    PictureButton* Command2;
    PictureButton* Command6; // lies over Command2
    PictureButton* Command7;
    PictureButton* Command5;  // lies over Command7
    PictureButton* Command15; // reading the panel's selection aloud: on or off
    PictureButton* Command16; // the online catalogues
    RichTextView* Ntext;
    QPlainTextEdit* Text1;
    PictureBox* PictureEtiket;
    PictureBox* Picture1;
    PictureBox* Picture300;
    PictureBox* Picture11;
    PictureBox* Picture12;
    PictureBox* Picture21;
    PictureBox* Picture22;
    PictureBox* Picture31;
    PictureBox* Picture32;
    PictureBox* Picture41;
    PictureBox* Picture42;
    PictureBox* Picture51;
    PictureBox* Picture52;
    PictureBox* Picture61;
    PictureBox* Picture62;
    CommonDialog CommonDialog1;
    QTimer* Timer2;
    QTimer* Timer3;
    QTimer* Timercvet;

    // The pixel size of the screen the design was laid out for.
    qint16 designWidth = 0;
    qint16 designHeight = 0;

    // What the last mouse move over the panel found selected; handed to the read-aloud program on release.
    QString lastSelection;

    QString panelText() const { return Ntext->text(); }
    void setPanelText(const QString& text) { Ntext->setText(text); }
    // A work's stored look on the panel and the window; values that are no number leave theirs as they are.
    void applyWorkLook(const QString& font, const QString& size, const QString& pageColor,
                       const QString& formColor);
    void hideAphorism() { Text1->hide(); }
    // The aphorism for the index, in its box whose top edge is at `top` on the screen.
    void showAphorism(const QString& index, const QPoint& top);
    void showAphorismUnderLibrary();
    // The font and colour commands apply to a text in the panel, not to a book on show.
    void setLookCommandsVisible(bool visible);
    // The program is on its way out to unpack the library.
    bool isLeavingToUnpack() const { return Timer3->isActive(); }

    // Plain-text files from this size on, and every document, are read off the user-interface thread.
    qint64 backgroundLoadFrom = 256 * 1024;
    bool isLoadingText() const { return loading_ != nullptr; }
    // Loads a file into the text panel as the file commands do once their dialog has answered.
    void loadFile(const QString& path, TextSource source);

    void Form_Load() override;
    void Form_Resize() override;
    void Form_Unload() override;
    void Form_MouseMove() override;

    void Timer2_Timer();
    void Timer3_Timer();

    void Command1_Click();
    void Command4_Click();
    void Command9_Click();
    void Command14_Click();
    void Command6_Click();
    void Command5_Click();
    void Command2_Click();
    void Command7_Click();
    void Command15_Click();
    void Command16_Click();

    void Ntext_MouseDown();
    void Ntext_MouseMove();
    void Ntext_MouseUp();

    void Picture1_MouseMove();

    // Many books at once (several files, folders searched through): added in the background beside a
    // progress bar with a cancel, and summed up at the end. False when a batch is running already.
    bool importMany(const QStringList& paths);
    BatchProgress* batchProgress() const { return batchProgress_; }

    // Reading aloud is switched on: a mouse release with text selected speaks it.
    bool panelReading() const;
    // Stops what the panel is speaking.
    void stopPanelSpeech();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    // A book file dropped on the window, or on the text panel, loads as the document command loads it.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void fitAphorismBox();
    // The panel in view, page 1, the open dialog set up for `filter`.
    void preparePanelForFile(const QString& filter);
    struct PendingLoad;

    // The common start of both load commands: the panel in view, page 1, the open dialog; "" when none.
    QString askForFile(const QString& filter);
    void loadIntoPanel(const QString& path, TextSource source);
    void finishLoad(PendingLoad& load, TextImportResult result);
    void setLoadingLock(bool locked);
    // Font name and size from the font dialog into the panel and the settings fields.
    bool chooseFont();
    void placeManagementWindow();
    void followReadingState();
    void restoreHoverPictures();
    void restoreManagementHideButton();
    // The focus moves on to the next control, as a Tab key does.
    void sendTab();
    void showReadingSwitch();
    void speakSelection(const QString& text);

    void finishBatch(const QString& error, const std::vector<BatchItem>& items);

    std::unique_ptr<PendingLoad> loading_;
    BatchProgress* batchProgress_ = nullptr;
    std::shared_ptr<std::atomic<bool>> batchCancel_;
    // The catalogue's error when it could not be opened, or one item per file.
    using BatchRun = std::pair<QString, std::vector<BatchItem>>;
    QFuture<BatchRun> batch_;
    std::pair<QSize, Qt::WindowStates> lastSizeAndState_{QSize(-1, -1), Qt::WindowNoState};
    int aphorismHeight_ = 0; // the tip box's height as scaled, before it is fitted above the window's bottom
};


} // namespace vel
