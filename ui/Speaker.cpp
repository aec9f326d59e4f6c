#include "ui/Speaker.h"

#include "core/speech/SpeechChoices.h"
#include "core/AsyncTask.h"

#include <QTimer>

namespace vel {

Speaker::Speaker(QString libraryDir, SpeechEngineFactory makeEngine, std::unique_ptr<AudioOutput> output,
                 QObject* parent)
    : QObject(parent), libraryDir_(std::move(libraryDir)), makeEngine_(std::move(makeEngine)),
      output_(std::move(output)), settings_(SpeechSettings::load(libraryDir_)), follower_(new QTimer(this)) {
    output_->setParent(nullptr);
    follower_->setInterval(40);
    connect(follower_, &QTimer::timeout, this, &Speaker::followPlayback);
    connect(output_.get(), &AudioOutput::drained, this, &Speaker::drained);
}

Speaker::~Speaker() {
    stop();
    // A piece still being synthesized holds nothing of ours but is waited for, as every background job is.
    synthesis_.waitForFinished();
}

Result<> Speaker::setSettings(const SpeechSettings& settings) {
    if (settings.voice != settings_.voice || settings.rate != settings_.rate) {
        // What is being said was made by the old voice: it stops rather than change voice mid-sentence.
        stop();
        engine_.reset();
    }
    settings_ = settings;
    return settings_.save(libraryDir_);
}

bool Speaker::speak(const QString& text, QObject* client, QString* error) {
    stop();
    if (!engine_) {
        Result<std::unique_ptr<SpeechEngine>> made = makeEngine_(settings_);
        if (!made) {
            if (error)
                *error = made.message();
            return false;
        }
        engine_ = std::move(*made);
    }
    if (!output_->start(engine_->sampleRate(), error))
        return false;
    text_ = text;
    client_ = client;
    ++generation_;
    pieces_ = speechPieces(text_);
    nextPiece_ = 0;
    words_.clear();
    shownWord_ = 0;
    queued_ = 0;
    speaking_ = true;
    if (pieces_.empty()) {
        // Nothing to say is heard at once.
        output_->stop();
        QMetaObject::invokeMethod(
            this,
            [this, generation = generation_] {
                if (speaking_ && generation == generation_) {
                    speaking_ = false;
                    Q_EMIT finished();
                }
            },
            Qt::QueuedConnection);
        return true;
    }
    follower_->start();
    synthesizeNext();
    return true;
}

void Speaker::stop() {
    QObject* const was = speaking_ ? client_ : nullptr;
    speaking_ = false;
    follower_->stop();
    output_->stop();
    pieces_.clear();
    nextPiece_ = 0;
    if (was)
        Q_EMIT released(was);
}

void Speaker::synthesizeNext() {
    if (!speaking_ || synthesizing_)
        return;
    if (nextPiece_ >= pieces_.size()) {
        output_->finishStream();
        return;
    }
    const std::size_t index = nextPiece_++;
    const TextPiece piece = pieces_[index];
    synthesizing_ = true;
    synthesis_ = runInBackground(
        this,
        [engine = engine_, part = text_.mid(piece.start, piece.length)] { return engine->synthesize(part); },
        [this, generation = generation_, index](const Result<Utterance>& u) {
            pieceReady(generation, index, u);
        });
}

void Speaker::pieceReady(quint64 generation, std::size_t piece, const Result<Utterance>& spoken) {
    synthesizing_ = false;
    // A piece of a text that was stopped meanwhile is not heard.
    if (!speaking_ || generation != generation_ || piece >= pieces_.size()) {
        synthesizeNext();
        return;
    }
    // A voice that cannot say a piece is stopped rather than heard skipping it.
    if (!spoken) {
        stop();
        return;
    }
    const Utterance& u = *spoken;
    const int offset = pieces_[piece].start;
    for (const SpokenWord& w : u.words)
        words_.push_back({queued_ + w.sample, offset + w.start, w.length});
    queued_ += qint64(u.samples.size());
    output_->append(u.samples);
    synthesizeNext();
    followPlayback();
}

void Speaker::followPlayback() {
    if (!speaking_)
        return;
    const qint64 played = output_->playedSamples();
    std::size_t heard = shownWord_;
    while (heard < words_.size() && words_[heard].sample <= played)
        ++heard;
    if (heard > shownWord_) {
        shownWord_ = heard;
        const SpokenWord& w = words_[heard - 1];
        Q_EMIT word(w.start, w.length);
    }
}

void Speaker::drained() {
    if (!speaking_)
        return;
    followPlayback();
    speaking_ = false;
    follower_->stop();
    Q_EMIT finished();
}

void offerSpeechChoices(Speaker& speaker, Platform& platform, QPoint globalPos) {
    const std::vector<SpeechChoice>& choices = speechChoices();
    QList<MenuItem> items;
    for (const SpeechChoice& c : choices)
        items.append({c.label, c.isChosen(speaker.settings()), c.startsGroup});
    const std::optional<int> picked = platform.popupMenu(items, globalPos);
    if (picked && *picked >= 0 && size_t(*picked) < choices.size())
        applySpeechSettings(speaker, platform, choices[size_t(*picked)].appliedTo(speaker.settings()));
}

void applySpeechSettings(Speaker& speaker, Platform& platform, const SpeechSettings& settings) {
    if (const Result<> saved = speaker.setSettings(settings); !saved)
        platform.messageBox(saved.message(), MsgButtons::Ok, MsgIcon::Exclamation,
                            QStringLiteral("ВНИМАНИЕ !"));
}

} // namespace vel
