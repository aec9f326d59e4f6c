// Reading aloud from the spread on show, spread after spread, the word heard marked.

#include "windows/KNIGA.h"

#include "core/speech/SpeechText.h"
#include "ui/Design.h"
#include "ui/Session.h"
#include "ui/Speaker.h"
#include "windows/book/BookTexts.h"

namespace vel {

using namespace book;

void KNIGA::Image2_Click() {
    combo11->hide();
    toggleReading();
}

void KNIGA::toggleReading() {
    if (reading_) {
        stopReading();
        return;
    }
    if (!work_ || isBuilding() || Timer4->isActive() || !spread_.isOpen())
        return;
    Speaker& speaker = session().speaker();
    speakerLinks_ = {
        connect(&speaker, &Speaker::word, this, &KNIGA::readingWord),
        connect(&speaker, &Speaker::finished, this, &KNIGA::readingPageDone),
        connect(&speaker, &Speaker::released, this,
                [this](QObject* client) {
                    if (client == this)
                        readingEnded();
                }),
    };
    reading_ = true;
    session().reading().setSpeaking(true);
    readingRight_ = false;
    showReadingState();
    readCurrentPage();
}

void KNIGA::readCurrentPage() {
    readingText_ = readingRight_ ? spread_.view().rightText : spread_.view().leftText;
    (readingRight_ ? R1 : R2)->setExtraSelections({});
    QString why;
    if (session().speaker().speak(readingText_, this, &why))
        return;
    readingEnded();
    session().platform().messageBox(kNoSpeech + QStringLiteral("\r\n") + why, MsgButtons::Ok,
                                    MsgIcon::Exclamation, kAttention);
}

void KNIGA::readingWord(int start, int length) {
    if (!reading_ || session().speaker().client() != this)
        return;
    // The view may hold the page typeset: positions are found again in its own text.
    RichTextView* view = readingRight_ ? R2 : R1;
    const QString laidOut = view->document()->toRawText();
    QTextEdit::ExtraSelection word;
    word.cursor = QTextCursor(view->document());
    word.cursor.setPosition(laidOutOffset(readingText_, laidOut, start));
    word.cursor.setPosition(laidOutOffset(readingText_, laidOut, start + length), QTextCursor::KeepAnchor);
    word.format.setBackground(kSpokenWord);
    view->setExtraSelections({word});
}

void KNIGA::readingPageDone() {
    if (!reading_ || session().speaker().client() != this)
        return;
    if (!readingRight_) {
        readingRight_ = true;
        return readCurrentPage();
    }
    // The right page is read: the book turns itself, and the bookmark goes with it.
    if (!spread_.forward())
        return stopReading();
    applyView();
    readingRight_ = false;
    readCurrentPage();
}

void KNIGA::stopReading() {
    if (!reading_)
        return;
    Speaker& speaker = session().speaker();
    if (speaker.client() == this)
        speaker.stop();
    readingEnded();
}

void KNIGA::readingEnded() {
    reading_ = false;
    session().reading().setSpeaking(false);
    readingRight_ = false;
    for (const QMetaObject::Connection& link : std::as_const(speakerLinks_))
        disconnect(link);
    speakerLinks_.clear();
    R1->setExtraSelections({});
    R2->setExtraSelections({});
    showReadingState();
}

void KNIGA::showReadingState() {
    Image2->setPicture(designPicture(
        reading_ ? QStringLiteral("KNIGA.Image2on") : QStringLiteral("KNIGA.Image2"), QSize(49, 33)));
    Image2->setAccessibleName(reading_ ? QStringLiteral("Спира четенето") : QStringLiteral("Чете на глас"));
}

} // namespace vel
