#include "core/text/formats/Rtf.h"

#include "core/text/formats/BookLines.h"
#include "core/text/formats/XmlRead.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <cctype>
#include <memory>
#include <vector>

namespace vel {

namespace {

enum class Dest { Body, Footnote, Info, Title, Author, FontTable, Skip };

struct GroupState {
    Dest dest = Dest::Body;
    int uc = 1;       // characters standing in for each \uN
    int codePage = 0; // 0: the document's
    int font = -1;    // inside the font table: the font being described
};

// Groups deeper than this are not a document anyone wrote.
constexpr int kMaxDepth = 512;

const QSet<QByteArray>& skippedDestinations() {
    static const QSet<QByteArray> set = {
        "colortbl",
        "stylesheet",
        "pict",
        "object",
        "header",
        "headerl",
        "headerr",
        "headerf",
        "footer",
        "footerl",
        "footerr",
        "footerf",
        "xe",
        "tc",
        "bkmkstart",
        "bkmkend",
        "fldinst",
        "themedata",
        "colorschememapping",
        "datastore",
        "latentstyles",
        "listtable",
        "listoverridetable",
        "rsidtbl",
        "generator",
        "xmlnstbl",
        "mmathPr",
        "pgdsctbl",
        "revtbl",
        "nonshppict",
        "shpinst",
        "filetbl",
        "private",
        "comment",
        "company",
        "operator",
        "subject",
        "keywords",
        "doccomm",
        "template",
        "category",
        "manager",
        "hlinkbase",
        "atnid",
        "atnauthor",
        "annotation",
        "userprops",
        "docvar",
        "fchars",
        "lchars",
        "pnseclvl",
        "falt",
        "panose",
        "fontemb",
        "fontfile",
        "wgrffmtfilter",
        "ftnsep",
        "ftnsepc",
        "aftnsep",
        "aftnsepc",
    };
    return set;
}

int codePageForCharset(int charset, int fallback) {
    switch (charset) {
    case 0:
    case 1:
        return fallback;
    case 204:
        return 1251;
    case 238:
        return 1250;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 163:
        return 1258;
    case 222:
        return 874;
    case 128:
        return 932;
    case 134:
        return 936;
    case 129:
        return 949;
    case 136:
        return 950;
    default:
        return fallback;
    }
}

class RtfReader {
public:
    explicit RtfReader(const QByteArray& bytes) : data_(bytes) {}

    TextImportResult read() {
        TextImportResult result;
        if (!data_.startsWith("{\\rtf")) {
            result.error = QStringLiteral("Файлът не е документ RTF");
            return result;
        }
        std::vector<GroupState> stack;
        GroupState state;
        const qsizetype n = data_.size();
        bool ended = false;
        while (pos_ < n && !ended) {
            const char c = data_[pos_];
            if (c == '{') {
                ++pos_;
                flushBytes(state);
                if (stack.size() >= kMaxDepth)
                    return TextImportResult::failed(QStringLiteral("Файлът RTF е повреден (твърде много вложени групи)"));
                stack.push_back(state);
                skipPending_ = 0;
            } else if (c == '}') {
                ++pos_;
                flushBytes(state);
                if (state.dest == Dest::Footnote && (stack.empty() || stack.back().dest != Dest::Footnote))
                    lines_.notes().endNote();
                if (stack.empty())
                    return TextImportResult::failed(QStringLiteral("Файлът RTF е повреден (излишна затваряща скоба)"));
                state = stack.back();
                stack.pop_back();
                skipPending_ = 0;
                ended = stack.empty();
            } else if (c == '\\') {
                ++pos_;
                controlWord(state);
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                ++pos_;
                if (skipPending_ > 0) {
                    --skipPending_;
                    continue;
                }
                pending_.append(c);
            }
        }
        if (!ended)
            return TextImportResult::failed(QStringLiteral("Файлът RTF е повреден или непълен (незатворени групи)"));
        result.loaded.title = title_.simplified();
        result.loaded.author = author_.simplified();
        finishBook(lines_, result);
        return result;
    }

private:
    BookLines* out(const GroupState& s) {
        if (s.dest == Dest::Body)
            return &lines_;
        if (s.dest == Dest::Footnote)
            return &lines_.notes();
        return nullptr;
    }

    void put(const GroupState& s, const QString& text) {
        if (BookLines* o = out(s))
            o->literal(text);
        else if (s.dest == Dest::Title)
            title_ += text;
        else if (s.dest == Dest::Author)
            author_ += text;
    }

    QStringDecoder& decoder(int codePage) {
        auto it = decoders_.find(codePage);
        if (it == decoders_.end()) {
            auto d = std::make_shared<QStringDecoder>(QStringLiteral("windows-%1").arg(codePage).toLatin1());
            if (!d->isValid())
                d = std::make_shared<QStringDecoder>("windows-1252");
            it = decoders_.insert(codePage, d);
        }
        return **it;
    }

    void flushBytes(const GroupState& s) {
        if (pending_.isEmpty())
            return;
        const int cp = s.codePage != 0 ? s.codePage : documentCodePage_;
        put(s, decoder(cp).decode(pending_));
        pending_.clear();
    }

    void endLine(const GroupState& s) {
        flushBytes(s);
        if (BookLines* o = out(s))
            o->endLine();
        if (heading_ && s.dest == Dest::Body) {
            lines_.endHeading();
            heading_ = false;
        }
    }

    void controlWord(GroupState& s) {
        const qsizetype n = data_.size();
        if (pos_ >= n)
            return;
        const char c = data_[pos_];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++pos_;
            controlSymbol(s, c);
            return;
        }
        const qsizetype start = pos_;
        while (pos_ < n && pos_ - start < 32 && std::isalpha(static_cast<unsigned char>(data_[pos_])))
            ++pos_;
        const QByteArray word = data_.mid(start, pos_ - start);
        long long param = 0;
        bool negative = false;
        if (pos_ < n && data_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        while (pos_ < n && std::isdigit(static_cast<unsigned char>(data_[pos_])) && param < 1'000'000'000) {
            param = param * 10 + (data_[pos_] - '0');
            ++pos_;
        }
        if (negative)
            param = -param;
        if (pos_ < n && data_[pos_] == ' ')
            ++pos_;

        if (word == "bin") {
            // Raw data that may hold braces and backslashes of no meaning.
            flushBytes(s);
            pos_ = std::min<qsizetype>(n, pos_ + std::max<long long>(0, param));
            return;
        }
        if (skipPending_ > 0 && word != "u") {
            // A fallback for \uN may be a control word too; it counts as one character.
            --skipPending_;
            return;
        }
        if (word == "u") {
            flushBytes(s);
            const char32_t code = char32_t(param < 0 ? param + 65536 : param);
            if (code > 0 && code < 0x110000)
                put(s, QString::fromUcs4(&code, 1));
            skipPending_ = s.uc;
            return;
        }
        if (word == "uc") {
            s.uc = int(std::max<long long>(0, std::min<long long>(param, 10)));
            return;
        }
        if (starred_) {
            starred_ = false;
            if (word != "footnote") {
                s.dest = Dest::Skip;
                return;
            }
        }
        if (s.dest == Dest::Skip)
            return;
        if (word == "fonttbl") {
            s.dest = Dest::FontTable;
        } else if (s.dest == Dest::FontTable) {
            if (word == "f") {
                s.font = int(param);
            } else if (word == "fcharset" && s.font >= 0) {
                fontCharset_.insert(s.font, int(param));
            }
        } else if (word == "info") {
            s.dest = Dest::Info;
        } else if (s.dest == Dest::Info) {
            // Of the document's properties only these two are wanted.
            if (word == "title" || word == "author")
                s.dest = word == "title" ? Dest::Title : Dest::Author;
            else if (skippedDestinations().contains(word) || word == "doccomm")
                s.dest = Dest::Skip;
        } else if (skippedDestinations().contains(word)) {
            s.dest = Dest::Skip;
        } else if (word == "footnote") {
            flushBytes(s);
            const QString marker = noteMarker(QString::number(++notes_));
            if (s.dest == Dest::Body)
                lines_.noteReference(marker, marker);
            else
                put(s, marker);
            s.dest = Dest::Footnote;
            lines_.notes().startNote(marker);
            lines_.notes().literal(QString(marker + u' '));
        } else if (word == "outlinelevel" && s.dest == Dest::Body && param >= 0 && param < 9) {
            // A heading's paragraph: it runs to the paragraph's end.
            flushBytes(s);
            lines_.startHeading(int(param) + 1);
            heading_ = true;
        } else if (word == "ansicpg") {
            documentCodePage_ = int(param);
        } else if (word == "f") {
            flushBytes(s);
            const auto cs = fontCharset_.constFind(int(param));
            s.codePage = cs == fontCharset_.constEnd() ? 0 : codePageForCharset(*cs, documentCodePage_);
        } else if (word == "par" || word == "line" || word == "sect" || word == "page" || word == "row") {
            endLine(s);
        } else if (word == "tab" || word == "cell") {
            emitChar(s, u' ');
        } else if (word == "emdash") {
            emitChar(s, QChar(0x2014));
        } else if (word == "endash") {
            emitChar(s, QChar(0x2013));
        } else if (word == "lquote") {
            emitChar(s, QChar(0x2018));
        } else if (word == "rquote") {
            emitChar(s, QChar(0x2019));
        } else if (word == "ldblquote") {
            emitChar(s, QChar(0x201c));
        } else if (word == "rdblquote") {
            emitChar(s, QChar(0x201d));
        } else if (word == "bullet") {
            emitChar(s, QChar(0x2022));
        } else if (word == "emspace" || word == "enspace" || word == "qmspace") {
            emitChar(s, u' ');
        }
    }

    void emitChar(const GroupState& s, QChar c) {
        flushBytes(s);
        put(s, QString(c));
    }

    void controlSymbol(GroupState& s, char c) {
        if (c == '\'') {
            const qsizetype n = data_.size();
            bool ok = false;
            const int value = pos_ + 2 <= n ? data_.mid(pos_, 2).toInt(&ok, 16) : 0;
            pos_ = std::min(n, pos_ + 2);
            if (skipPending_ > 0) {
                --skipPending_;
                return;
            }
            if (ok && s.dest != Dest::Skip)
                pending_.append(char(value));
            return;
        }
        if (skipPending_ > 0) {
            --skipPending_;
            return;
        }
        switch (c) {
        case '*':
            starred_ = true;
            break;
        case '\\':
        case '{':
        case '}':
            if (s.dest != Dest::Skip)
                pending_.append(c);
            break;
        case '~':
            emitChar(s, QChar(0xa0));
            break;
        case '_':
            emitChar(s, u'-');
            break;
        case '\r':
        case '\n':
            endLine(s);
            break;
        default: // \- (optional hyphen), \| and the rest show nothing
            break;
        }
    }

    const QByteArray& data_;
    qsizetype pos_ = 0;
    QByteArray pending_; // bytes of text waiting to be decoded in one go
    int skipPending_ = 0;
    bool starred_ = false;
    int documentCodePage_ = 1252;
    int notes_ = 0;
    bool heading_ = false;
    QHash<int, int> fontCharset_;
    QHash<int, std::shared_ptr<QStringDecoder>> decoders_;
    QString title_;
    QString author_;
    BookLines lines_;
};

} // namespace

TextImportResult readRtf(const QByteArray& bytes) {
    return RtfReader(bytes).read();
}

} // namespace vel
