// The main window's commands: loading texts, the library buttons, font and colour, re-processing, and the
// hand-off of the panel's selection to the read-aloud program.
#include "core/storage/LibraryPaths.h"
#include "core/text/formats/BookFormats.h"
#include "govori_fixture.h"
#include "ui/TwipsBox.h"
#include "windows/FormB.h"
#include "windows/Govori.h"

#include "windows/KNIGA.h"
#include <QMimeData>

#include <QDir>
#include <QFile>
#include <QScreen>
#include <QStringEncoder>
#include <QTextCursor>
#include <QThreadPool>
#include <optional>

using namespace vel;
using vel::test::LibraryWork;
using vel::test::Run;

Q_DECLARE_METATYPE(std::optional<std::int32_t>)

namespace {

const QString kWait =
    QStringLiteral("    Бъдете търпеливи, зареждам файла, ако е голям може да отнеме известно време!");
const QString kTitle = QStringLiteral("Под игото");

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = QDir(dir.path()).filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(bytes);
    return path;
}

QByteArray cp1251(const QString& s) {
    QStringEncoder enc("windows-1251");
    return enc.encode(s);
}

// A source text with broken lines, and what the panel holds once they are joined.
const QString kSource = QStringLiteral("Първа линия\r\nпродължава_ тук,\r\nа после\r\nНов абзац.");
const QString kJoined = QStringLiteral("Първа линия продължава тук, а после\r\nНов абзац.");

QList<LibraryWork> oneStoredWork() {
    return {{kTitle,
             {QStringLiteral("Страница едно."), QStringLiteral("Две.")},
             QStringLiteral("1"),
             QStringLiteral("Иван Вазов")}};
}

} // namespace

class TestGovoriCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // ---- loading texts

    void cancelledOpenStillShowsPanel_data() {
        QTest::addColumn<bool>("document");
        QTest::newRow("txt") << false;
        QTest::newRow("doc") << true;
    }
    void cancelledOpenStillShowsPanel() {
        QFETCH(bool, document);
        Run r;
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        b.session().reading().setBookmark(QStringLiteral("7"));
        g.Text1->show();
        document ? g.Command4_Click() : g.Command1_Click();
        QCOMPARE(r.fake.fileDialogs.back(), document ? QStringLiteral("Open|Книги и документи|") +
                                                           bookFilePatterns().join(';') +
                                                           QStringLiteral("|All Files (*.doc)|*.doc")
                                                     : QStringLiteral("Open|T\u0435xt Files (*.txt)|*.txt"));
        QVERIFY(g.Text1->isHidden());
        QVERIFY(g.PictureEtiket->isHidden());
        QVERIFY(!g.Ntext->isHidden());
        QCOMPARE(b.Text8->text(), QStringLiteral("1"));
        QCOMPARE(g.windowTitle(), QStringLiteral("ZEZODORER ВЕЛМОРА"));
    }

    // A loaded text is joined and shown in the command's font; the management window's prompts are reset.
    void loadsTextJoined_data() {
        QTest::addColumn<bool>("document");
        QTest::newRow("txt in windows-1251") << false;
        QTest::newRow("doc") << true; // what is no compound document is read as the text it is
    }
    void loadsTextJoined() {
        QFETCH(bool, document);
        Run r;
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        g.Command6->hide();
        g.Command5->hide();
        const QString path = document ? writeFile(r.dir, QStringLiteral("писмо.doc"), kSource.toUtf8())
                                      : writeFile(r.dir, QStringLiteral("текст.txt"), cp1251(kSource));
        r.fake.fileAnswers = {path};
        document ? g.Command4_Click() : g.Command1_Click();
        QTRY_VERIFY(!g.isLoadingText());
        QCOMPARE(g.Ntext->text(), kJoined);
        QCOMPARE(g.windowTitle(), path);
        QCOMPARE(g.Ntext->fontName(), document ? QStringLiteral("Arial") : QStringLiteral("Tahoma"));
        QCOMPARE(g.Ntext->fontSize(), 14.0);
        QVERIFY(!g.Command6->isHidden() && !g.Command5->isHidden());
        QCOMPARE(b.Combo2->currentText(), QStringLiteral("Избор на АВТОР"));
        QCOMPARE(b.Combo1->currentText(), QStringLiteral("Библиотека"));
        QVERIFY(r.fake.messages.empty());
    }

    // A file that cannot be read is reported; the panel and the caption stay as they were.
    void unreadableTextKeepsPanel_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("document");
        QTest::newRow("binary txt") << true << false;
        QTest::newRow("missing txt") << false << false;
        QTest::newRow("missing doc") << false << true;
    }
    void unreadableTextKeepsPanel() {
        QFETCH(bool, exists);
        QFETCH(bool, document);
        Run r;
        Govori& g = r.s().window<Govori>();
        g.Ntext->setText(QStringLiteral("Досегашен текст"));
        g.setWindowTitle(QStringLiteral(" ВЕЛМОРА "));
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary.append(char(i % 7 == 0 ? 0 : i % 256));
        const QString path = exists ? writeFile(r.dir, QStringLiteral("лош.txt"), binary)
                                    : QDir(r.dir.path()).filePath(QStringLiteral("няма.doc"));
        r.fake.fileAnswers = {path};
        document ? g.Command4_Click() : g.Command1_Click();
        QTRY_VERIFY(!g.isLoadingText());
        QCOMPARE(r.fake.messages.size(), std::size_t(1));
        QVERIFY(r.fake.messages.front().text.contains(QDir::toNativeSeparators(path)));
        QCOMPARE(r.fake.messages.front().icon, MsgIcon::Critical);
        QCOMPARE(g.Ntext->text(), QStringLiteral("Досегашен текст"));
        QCOMPARE(g.windowTitle(), QStringLiteral(" ВЕЛМОРА "));
        QVERIFY(g.Command9->isEnabled());
    }

    // A large file is read in the background: the wait message shows and nothing can use it as the text.
    void largeTextLoadsInBackground() {
        Run r;
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        g.backgroundLoadFrom = 1;
        r.fake.fileAnswers = {writeFile(r.dir, QStringLiteral("голям.txt"), kSource.toUtf8())};
        g.Command1_Click();
        QVERIFY(g.isLoadingText());
        QCOMPARE(g.Ntext->text(), kWait);
        QVERIFY(!g.Command14->isEnabled());
        QVERIFY(!b.isEnabled());
        g.Command1_Click(); // ignored while loading
        QCOMPARE(r.fake.fileDialogs.size(), std::size_t(1));
        QTRY_VERIFY(!g.isLoadingText());
        QCOMPARE(g.Ntext->text(), kJoined);
        QVERIFY(g.Command14->isEnabled());
        QVERIFY(b.isEnabled());
    }

    void closingWhileLoadingDropsTheText() {
        Run r;
        Govori& g = r.s().window<Govori>();
        g.backgroundLoadFrom = 1;
        r.fake.fileAnswers = {writeFile(r.dir, QStringLiteral("голям.txt"), kSource.toUtf8())};
        g.Command1_Click();
        g.close();
        // The read ends in the pool; whatever it hands back finds no window to take it.
        QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(r.fake.messages.empty());
    }

    // ---- library buttons

    void libraryButtonShowsReadingLayoutAndAphorism() {
        Run r;
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        g.Ntext->setText(QStringLiteral("зареден текст"));
        b.Command3->show();
        g.Command9_Click();
        QVERIFY(b.isVisible());
        QVERIFY(!b.Combo1->isHidden() && !b.Combo2->isHidden());
        QVERIFY(b.Command3->isHidden() && b.Iztrii->isHidden() && b.TxtName->isHidden());
        QVERIFY(g.PictureEtiket->isHidden());
        QVERIFY(!g.Ntext->isHidden());
        QCOMPARE(g.Ntext->text(), QString()); // the aphorism empties the panel
        QVERIFY(!g.Text1->isHidden());
        // Beside the panel, left of the picture; kept on the screen where that place would leave it.
        const QPoint design = g.mapToGlobal(
            QPoint(twipsToPx(twLeft(g.Picture1) - twWidth(&b)), twipsToPx(twTop(g.Ntext) + 400)));
        const QRect room = g.screen()->availableGeometry();
        QCOMPARE(b.pos(), QPoint(qMax(design.x(), room.left()), qMax(design.y(), room.top())));
    }

    void addButtonShowsManagementLayout_data() {
        QTest::addColumn<bool>("entryFormOpen");
        QTest::newRow("entry form closed") << false;
        QTest::newRow("entry form left open") << true;
    }
    void addButtonShowsManagementLayout() {
        QFETCH(bool, entryFormOpen);
        Run r;
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        b.Dobavi->setVisible(entryFormOpen);
        b.TxtName->hide();
        b.TxtNumber->hide();
        b.Command3->hide();
        g.Text1->show();
        g.Command14_Click();
        QVERIFY(b.isVisible());
        QVERIFY(b.Combo1->isHidden() && b.Combo2->isHidden());
        QVERIFY(!b.Iztrii->isHidden());
        QCOMPARE(b.Command3->isHidden(), entryFormOpen);
        QCOMPARE(b.TxtName->isHidden() || b.TxtNumber->isHidden(), !entryFormOpen);
        QVERIFY(g.Text1->isHidden() && g.PictureEtiket->isHidden() && !g.Ntext->isHidden());
    }

    // ---- colour and font of the panel

    void panelColour() {
        Run r;
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        r.fake.colorAnswers = {0x0000FF};
        g.Command6_Click();
        QCOMPARE(g.Ntext->backColor(), 0x0000FF);
        QCOMPARE(b.Text9->text(), QStringLiteral("255"));
        QVERIFY(g.PictureEtiket->isHidden() && !g.Ntext->isHidden());

        // A cancel keeps the colour there is; the dialog opens at it, so OK without a choice keeps it too.
        g.Ntext->setBackColor(0xFFFFFF);
        g.Command6_Click();
        QCOMPARE(g.Ntext->backColor(), 0xFFFFFF);
        QCOMPARE(r.fake.colorDialogsOpenedAt.back(), 0xFFFFFF);
        g.Ntext->setBackColor(0xE0FFE0);
        g.Command2_Click();
        QCOMPARE(r.fake.colorDialogsOpenedAt.back(), 0xE0FFE0);

        // After a font command a cancel ends the command with nothing changed.
        g.Command5_Click(); // font dialog cancelled: cancel-as-error stays on
        g.Ntext->setBackColor(0xFFFFFF);
        b.session().reading().setPageColor(QStringLiteral("Text9"));
        g.PictureEtiket->show();
        g.Command6_Click();
        QCOMPARE(g.Ntext->backColor(), 0xFFFFFF);
        QCOMPARE(b.Text9->text(), QStringLiteral("Text9"));
        QVERIFY(g.PictureEtiket->isHidden());
    }

    void panelFont() {
        Run r;
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        r.fake.fontAnswers = {FontChoice{QStringLiteral("Georgia"), 16.5}};
        g.Command5_Click();
        QCOMPARE(g.Ntext->fontName(), QStringLiteral("Georgia"));
        QCOMPARE(g.Ntext->fontSize(), 16.5);
        QCOMPARE(b.Text6->text(), QStringLiteral("Georgia"));
        QCOMPARE(b.Text7->text(), QStringLiteral("16.5"));

        // A name too short for a font: the panel keeps its font, the field takes the panel's name.
        r.fake.fontAnswers = {FontChoice{QStringLiteral("Ab"), 20}};
        g.Command5_Click();
        QCOMPARE(g.Ntext->fontName(), QStringLiteral("Georgia"));
        QCOMPARE(b.Text6->text(), QStringLiteral("Georgia"));
        QCOMPARE(g.Ntext->fontSize(), 20.0);
        QCOMPARE(b.Text7->text(), QStringLiteral("20"));

        // Cancelled: nothing but the visibility changes.
        g.Text1->show();
        g.Command5_Click();
        QCOMPARE(g.Ntext->fontSize(), 20.0);
        QVERIFY(g.Text1->isHidden());
    }

    // ---- re-processing after the hand-back

    // A new page colour reopens the stored work; a cancel changes nothing.
    void pageColour_data() {
        QTest::addColumn<std::optional<std::int32_t>>("answer");
        QTest::addColumn<std::int32_t>("expected");
        QTest::newRow("chosen") << std::optional<std::int32_t>(0x00FF00) << 0x00FF00;
        QTest::newRow("cancelled") << std::optional<std::int32_t>() << 0xFFFFFF;
    }
    void pageColour() {
        QFETCH(std::optional<std::int32_t>, answer);
        QFETCH(std::int32_t, expected);
        Run r(oneStoredWork());
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        b.session().reading().setTitle(kTitle);
        b.TxtName->setText(kTitle);
        b.session().reading().setMode(QString());
        b.show();
        g.Ntext->setBackColor(0xFFFFFF);
        r.fake.colorAnswers = {answer};
        g.Command2_Click();
        QCOMPARE(g.Ntext->backColor(), expected);
        QCOMPARE(r.s().isLoaded<KNIGA>(), answer.has_value());
        if (!answer) {
            QCOMPARE(b.Label4->text(), QString());
            return;
        }
        QCOMPARE(b.Text9->text(), QString::number(expected));
        QCOMPARE(b.Combo1->currentText(), kTitle);
        QCOMPARE(b.Label4->text(), QStringLiteral("Nov"));
        QVERIFY(!b.isVisible());
    }

    void fontRebuildKeepsOldFileUntilReplaced() {
        Run r(oneStoredWork());
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        g.show();
        b.session().reading().setTitle(kTitle);
        b.session().reading().setWorkName(kTitle);
        b.session().reading().setMode(QStringLiteral("Nov"));
        g.Ntext->setText(QStringLiteral("Страница едно.Две."));
        r.fake.fontAnswers = {FontChoice{QStringLiteral("Georgia"), 18}};
        g.Command7_Click();
        const auto& m = r.fake.messages.front();
        QCOMPARE(m.title, QStringLiteral("ВНИМАНИЕ ОТГОВОРНА ОПЕРАЦИЯ "));
        QCOMPARE(m.text,
                 QStringLiteral("Ще последва преработка на файла.\r\n"
                                "Процесът не трябва да се прекъсва до окончателното му завършване.\r\n"
                                "Ако все пак го прекъснете ще повредите файла.\r\n"
                                "За да продължи натиснете ОК!\r\n"
                                "За да се откажете натиснете Отказ (Cancel)!"));
        QCOMPARE(m.icon, MsgIcon::Question);
        QCOMPARE(m.buttons, MsgButtons::OkCancel);
        QCOMPARE(b.Text6->text(), QStringLiteral("Georgia"));
        QCOMPARE(b.Text7->text(), QStringLiteral("18"));
        QCOMPARE(b.Label4->text(), QStringLiteral("Star"));
        QCOMPARE(g.session().reading().rebuildTitle(), kTitle);
        // The old file stays until the new build is complete.
        QVERIFY(r.fake.deleted.empty());
        QVERIFY(QFile::exists(*workFilePath(r.dir.path(), kTitle)));
        QVERIFY(r.s().isLoaded<KNIGA>());
        QCOMPARE(r.s().window<KNIGA>().windowTitle(), kTitle);
        QVERIFY(!g.isVisible());
    }

    void fontRebuildStopsEarly_data() {
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<bool>("fontChosen");
        QTest::addColumn<QString>("title");
        QTest::newRow("question cancelled") << MsgAnswer::Cancel << true << kTitle;
        QTest::newRow("font dialog cancelled") << MsgAnswer::Ok << false << kTitle;
        QTest::newRow("no work file") << MsgAnswer::Ok << true << QStringLiteral("Няма такова");
        QTest::newRow("title outside the folder") << MsgAnswer::Ok << true << QStringLiteral("../BAZA");
    }
    void fontRebuildStopsEarly() {
        QFETCH(MsgAnswer, answer);
        QFETCH(bool, fontChosen);
        QFETCH(QString, title);
        Run r(oneStoredWork());
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        g.show();
        b.session().reading().setTitle(title);
        b.session().reading().setMode(QStringLiteral("Nov"));
        r.fake.messageAnswers = {answer};
        if (fontChosen)
            r.fake.fontAnswers = {FontChoice{QStringLiteral("Georgia"), 18}};
        g.Command7_Click();
        QCOMPARE(b.Label4->text(), QStringLiteral("Nov"));
        QVERIFY(!r.s().isLoaded<KNIGA>());
        QVERIFY(g.isVisible());
        QVERIFY(g.session().reading().rebuildTitle().isEmpty());
        QVERIFY(QFile::exists(*workFilePath(r.dir.path(), kTitle)));
        // The font is applied once the dialog answered, even when no rebuild follows.
        QCOMPARE(b.Text6->text() == QStringLiteral("Georgia"), answer == MsgAnswer::Ok && fontChosen);
    }

    // ---- the panel's selection goes to the read-aloud program

    void releaseHandsSelectionToClipboard() {
        Run r;
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        g.Ntext->show();
        g.Ntext->setText(QStringLiteral("Здравей свят"));
        QTextCursor c = g.Ntext->textCursor();
        c.setPosition(8);
        c.setPosition(12, QTextCursor::KeepAnchor);
        g.Ntext->setTextCursor(c);
        b.hide();
        test::sendMouse(g.Ntext->viewport(), QEvent::MouseMove);
        QCOMPARE(g.lastSelection, QStringLiteral("свят"));
        test::sendMouse(g.Ntext->viewport(), QEvent::MouseButtonRelease, Qt::LeftButton);
        QCOMPARE(r.fake.clipboard, QStringLiteral("свят"));
        QCOMPARE(r.fake.clipboardClears, 1);
        QCOMPARE(r.fake.keysSent, 1);

        // Nothing selected: the message goes instead and stays until the next move.
        g.Ntext->setTextCursor(QTextCursor(g.Ntext->document()));
        test::sendMouse(g.Ntext->viewport(), QEvent::MouseMove);
        test::sendMouse(g.Ntext->viewport(), QEvent::MouseButtonRelease, Qt::LeftButton);
        QCOMPARE(r.fake.clipboard, QStringLiteral("Няма селектиран текст."));
        QCOMPARE(g.lastSelection, QStringLiteral("Няма селектиран текст."));

        // With the management window on show, moves leave the older selection; a failed key goes unsaid.
        g.Ntext->setTextCursor(c);
        b.show();
        r.fake.keysSucceed = false;
        test::sendMouse(g.Ntext->viewport(), QEvent::MouseMove);
        test::sendMouse(g.Ntext->viewport(), QEvent::MouseButtonRelease, Qt::LeftButton);
        QCOMPARE(r.fake.clipboard, QStringLiteral("Няма селектиран текст."));
        QVERIFY(r.fake.messages.empty());

        // A press hides the management window and the aphorism box.
        g.Text1->show();
        test::sendMouse(g.Ntext->viewport(), QEvent::MouseButtonPress, Qt::LeftButton);
        QVERIFY(!b.isVisible() && g.Text1->isHidden());
    }

    // A dropped book loads into the panel with its paragraphs whole, and the entry form opens with the
    // book's title and author, still editable.
    void droppedBookFillsTheEntryForm() {
        Run r;
        const QString book = r.dir.filePath("kniga.fb2");
        {
            QFile f(book);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(
                QStringLiteral("<FictionBook><description><title-info><author><first-name>Елин</first-name>"
                               "<last-name>Пелин</last-name></author><book-title>Гераците</book-title>"
                               "</title-info></description><body><p>Първи ред</p><p>втори ред</p></body>"
                               "</FictionBook>")
                    .toUtf8());
        }
        Govori& g = r.s().window<Govori>();
        g.show();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(book)});
        // A drop goes where the drag was let in.
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(g.Ntext->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(g.Ntext->viewport(), &drop);
        QTRY_VERIFY_WITH_TIMEOUT(!g.isLoadingText(), 30000);
        QCOMPARE(g.Ntext->toPlainText(), QStringLiteral("Първи ред\nвтори ред"));
        QCOMPARE(g.windowTitle(), book);

        g.Command14_Click();
        FormB& b = r.s().window<FormB>();
        b.Command3_Click();
        QCOMPARE(b.TxtName->text(), QStringLiteral("Гераците"));
        QCOMPARE(b.TxtNumber->text(), QStringLiteral("Елин Пелин"));
        QVERIFY(!b.TxtName->isReadOnly());
        QVERIFY(r.fake.messages.empty());
    }

    // A dropped folder: every book in it comes in beside a progress bar, and a summary says what did not
    // and why; the library list has the new works.
    void droppedFolderAddsEveryBook() {
        Run r;
        const QString folder = r.dir.filePath("Книги");
        QVERIFY(QDir().mkpath(folder));
        const auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile f(folder + u'/' + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        write("Елин Пелин - Гераците.txt", QString("Старият Герак живееше в голяма къща. ").repeated(30).toUtf8());
        write("Счупена.fb2", "<FictionBook><body>");
        write("Иван Вазов - Под игото.txt", QString("Текст. ").repeated(30).toUtf8());
        Govori& g = r.s().window<Govori>();
        g.show();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(folder)});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(g.Ntext->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(g.Ntext->viewport(), &drop);
        QVERIFY(g.batchProgress() && !g.batchProgress()->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(!r.fake.messages.empty(), 30000);
        QVERIFY(!g.batchProgress());
        const QStringList summary = r.fake.lastMessage().split("\r\n");
        QCOMPARE(summary.mid(0, 2), QStringList({"Добавени произведения: 1", "Не са добавени: 2"}));
        QVERIFY(summary[2].startsWith("Иван Вазов - Под игото.txt: В каталога вече има произведение „Под игото“"));
        QVERIFY(summary[3].startsWith("Счупена.fb2: "));
        QVERIFY(r.s().window<FormB>().Combo1->findText("Гераците") >= 0);
    }
};

QTEST_MAIN(TestGovoriCommands)
#include "tst_govori_commands.moc"
