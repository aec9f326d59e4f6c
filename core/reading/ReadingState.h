#pragma once
// What the windows share about the work in hand: its names, its reading settings, the bookmark, the mode word,
// the text panel's text and whether the book reads aloud. One object per run, owned by the session; windows
// change it and react to its signals. The hidden fields of the library window only mirror it.

#include "core/book/Typeset.h"
#include "core/nav/Navigation.h"
#include "core/storage/CatalogueRecords.h"
#include "core/storage/CatalogueSchema.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>

namespace vel {

class Catalogue;

// A work's reading settings as the catalogue keeps them: texts.
struct ReadingSettings {
    QString font;
    QString size;
    QString pageColor; // colour numbers as decimal text
    QString formColor;
    bool operator==(const ReadingSettings&) const = default;
};

// How the text panel shows its text; a new work takes it as its settings.
struct PanelLook {
    QString font = QStringLiteral("Tahoma");
    double size = 14;
    std::int32_t pageColor = 0xFFFFFF;
    std::int32_t formColor = 0xFFFFFF;
};

class ReadingState : public QObject {
    Q_OBJECT
public:
    explicit ReadingState(QObject* parent = nullptr);

    // The name the next work file is built under.
    const QString& workName() const { return workName_; }
    void setWorkName(const QString& name);
    // The title of the current work.
    const QString& title() const { return title_; }
    void setTitle(const QString& title);
    // The title of the catalogue record the library's cursor rests on; the stored work the book opens.
    const QString& chosenTitle() const { return chosenTitle_; }
    void setChosenTitle(const QString& title);

    const ReadingSettings& settings() const { return settings_; }
    void setSettings(const ReadingSettings& settings);
    void setFontName(const QString& name);
    void setFontSize(const QString& size);
    void setPageColor(const QString& colorNumber);
    void setFormColor(const QString& colorNumber);

    // The page the work opens at, as text.
    const QString& bookmark() const { return bookmark_; }
    void setBookmark(const QString& page);

    // The book window's mode word: "Nov" opens the stored work, any other word builds it.
    const QString& mode() const { return mode_; }
    void setMode(const QString& word);
    bool opensStoredWork() const { return mode_ == u"Nov"; }

    // How the work on show is set.
    PageLayout layout() const { return layout_; }
    void setLayout(PageLayout layout);

    // The text panel's text: the input of every build.
    const QString& panelText() const { return panelText_; }
    void setPanelText(const QString& text);
    // Joins the panel text's hard line breaks.
    void joinPanelLines();
    const PanelLook& panelLook() const { return panelLook_; }
    void setPanelLook(const PanelLook& look) { panelLook_ = look; }
    // The contents and notes of the book the panel's text was loaded from, positions in `text` (the text as
    // loaded); empty for a plain text.
    void setPanelBook(BookNavigation navigation, QString text);
    // What the panel's text navigates by: the book's contents and notes found again in the text as it is
    // now, or the text's own chapter lines.
    BookNavigation panelNavigation() const { return navigationForText(panelBook_, panelBookText_, panelText_); }
    // The title and author the panel's text came with; the entry form offers them.
    const QString& offeredTitle() const { return offeredTitle_; }
    const QString& offeredAuthor() const { return offeredAuthor_; }
    void setOffer(const QString& title, const QString& author);

    bool speaking() const { return speaking_; }
    void setSpeaking(bool on);

    // The title whose work file the next build replaces; empty unless a font rebuild waits.
    const QString& rebuildTitle() const { return rebuildTitle_; }
    void setRebuildTitle(const QString& title) { rebuildTitle_ = title; }

    // The aphorism the clock chose last.
    const QString& aphorismIndex() const { return aphorismIndex_; }
    void setAphorismIndex(const QString& index) { aphorismIndex_ = index; }

    // The catalogue the library window has open (it owns it); null when none is.
    Catalogue* catalogue() const { return catalogue_; }
    void setCatalogue(Catalogue* catalogue) { catalogue_ = catalogue; }
    bool catalogueOpen() const { return catalogue_ != nullptr; }

    // A new work confirmed in the entry form whose file is not built yet.
    bool hasNewWork() const { return newWork_.has_value(); }
    void setNewWork(const CatalogueRecord& record) { newWork_ = record; }
    void dropNewWork() { newWork_.reset(); }
    // The new work's file (stagedFile) is finished under `name`: file and record go in together and the
    // work becomes the current one. Exists leaves the new work waiting for another name; any other
    // failure gives it up.
    [[nodiscard]] Result<> addBuiltWork(const QString& libraryDir, const QString& name, const QString& stagedFile);

    // Events the windows hear of.
    // A stored work was chosen: its settings are in; the panel takes its look.
    void chooseStoredLook() { Q_EMIT lookChosen(); }
    // A text came into the panel from a file.
    void textLoaded() { Q_EMIT panelLoaded(); }
    // A closing book hands back its settings; they are saved with the work's record.
    void handBack(const ReadingSettings& settings);
    // Another name was given for the work whose file could not be created under its own.
    void giveAnotherName(const QString& name);
    // The book window shows a work / has closed; textReturned: the work's text went back to the panel.
    void bookOpened() { Q_EMIT bookShown(); }
    void bookClosed(bool textReturned) { Q_EMIT bookGone(textReturned); }

Q_SIGNALS:
    void workChanged();
    void settingsChanged();
    void bookmarkChanged();
    void modeChanged();
    void layoutChanged();
    void panelTextChanged();
    void speakingChanged(bool on);
    void lookChosen();
    void panelLoaded();
    void settingsHandedBack();
    void anotherNameGiven();
    void workAdded(const QString& name);
    void bookShown();
    void bookGone(bool textReturned);

private:
    QString workName_ = QStringLiteral("Text1");
    QString title_ = QStringLiteral("Text2");
    QString chosenTitle_;
    ReadingSettings settings_{QStringLiteral("Tahoma"), QStringLiteral("14"), QStringLiteral("Text9"),
                              QStringLiteral("Text10")};
    QString bookmark_ = QStringLiteral("1");
    QString mode_;
    PageLayout layout_ = PageLayout::Book;
    QString panelText_;
    BookNavigation panelBook_;
    QString panelBookText_;
    PanelLook panelLook_;
    QString offeredTitle_;
    QString offeredAuthor_;
    bool speaking_ = false;
    QString rebuildTitle_;
    QString aphorismIndex_ = QStringLiteral("Text4");
    Catalogue* catalogue_ = nullptr;
    std::optional<CatalogueRecord> newWork_;
};

} // namespace vel
