#include "core/reading/ReadingState.h"

#include "core/text/LineJoin.h"

namespace vel {

ReadingState::ReadingState(QObject* parent) : QObject(parent) {}

void ReadingState::setWorkName(const QString& name) {
    if (workName_ == name)
        return;
    workName_ = name;
    Q_EMIT workChanged();
}

void ReadingState::setTitle(const QString& title) {
    if (title_ == title)
        return;
    title_ = title;
    Q_EMIT workChanged();
}

void ReadingState::setChosenTitle(const QString& title) {
    if (chosenTitle_ == title)
        return;
    chosenTitle_ = title;
    Q_EMIT workChanged();
}

void ReadingState::setSettings(const ReadingSettings& settings) {
    if (settings_ == settings)
        return;
    settings_ = settings;
    Q_EMIT settingsChanged();
}

void ReadingState::setFontName(const QString& name) {
    ReadingSettings s = settings_;
    s.font = name;
    setSettings(s);
}

void ReadingState::setFontSize(const QString& size) {
    ReadingSettings s = settings_;
    s.size = size;
    setSettings(s);
}

void ReadingState::setPageColor(const QString& colorNumber) {
    ReadingSettings s = settings_;
    s.pageColor = colorNumber;
    setSettings(s);
}

void ReadingState::setFormColor(const QString& colorNumber) {
    ReadingSettings s = settings_;
    s.formColor = colorNumber;
    setSettings(s);
}

void ReadingState::setBookmark(const QString& page) {
    if (bookmark_ == page)
        return;
    bookmark_ = page;
    Q_EMIT bookmarkChanged();
}

void ReadingState::setMode(const QString& word) {
    if (mode_ == word)
        return;
    mode_ = word;
    Q_EMIT modeChanged();
}

void ReadingState::setLayout(PageLayout layout) {
    if (layout_ == layout)
        return;
    layout_ = layout;
    Q_EMIT layoutChanged();
}

void ReadingState::setPanelBook(BookNavigation navigation, QString text) {
    panelBook_ = std::move(navigation);
    panelBookText_ = std::move(text);
}

void ReadingState::setPanelText(const QString& text) {
    if (panelText_ == text)
        return;
    panelText_ = text;
    Q_EMIT panelTextChanged();
}

void ReadingState::joinPanelLines() {
    setPanelText(joinLineBreaks(panelText_));
}

void ReadingState::setOffer(const QString& title, const QString& author) {
    offeredTitle_ = title;
    offeredAuthor_ = author;
}

void ReadingState::setSpeaking(bool on) {
    if (speaking_ == on)
        return;
    speaking_ = on;
    Q_EMIT speakingChanged(on);
}

Result<> ReadingState::addBuiltWork(const QString& libraryDir, const QString& name, const QString& stagedFile) {
    if (!catalogue_ || !newWork_)
        return fail(FailureKind::Invalid, QStringLiteral("Няма потвърдено ново произведение."));
    CatalogueRecord record = *newWork_;
    record.name = name; // the name the file was built under, confirmed in the dialog if it clashed
    Result<> added = addWork(*catalogue_, libraryDir, record, stagedFile);
    if (added.kind() == FailureKind::Exists)
        return added;
    newWork_.reset();
    if (!added)
        return added;
    setTitle(name);
    Q_EMIT workAdded(name);
    return added;
}

void ReadingState::handBack(const ReadingSettings& settings) {
    setSettings(settings);
    Q_EMIT settingsHandedBack();
}

void ReadingState::giveAnotherName(const QString& name) {
    setWorkName(name);
    Q_EMIT anotherNameGiven();
}

} // namespace vel
