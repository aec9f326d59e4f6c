// Building a work's pages in the book window: the cut and write off the user-interface thread, the pages
// as the left view shows them, the duplicate-name dialog, rebuilds that keep the old work until done, and
// texts too long for one work.
#include "kniga_fixture.h"

#include "core/book/PageBuild.h"
#include "tests/testsupport/BulgarianText.h"
#include "windows/Popravka.h"

#include <QAbstractTextDocumentLayout>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>

using namespace vel;
using namespace vel::test;

namespace {

constexpr int kBuildTimeout = 60000;

// Where the lines of `view`'s text start, as positions in that text plus `offset`; given a `text`, those of
// all of it laid out in a view like `view`.
std::vector<int> lineStarts(RichTextView& view, const QString& text, int offset = 0, bool opening = true) {
    RichTextView* v = &view;
    RichTextView whole;
    if (!text.isNull()) {
        whole.setPageFlow({opening, false});
        whole.makePageView();
        whole.setFontName(view.fontName());
        whole.setFontSize(view.fontSize());
        whole.setLayout(view.layout());
        whole.setPageMargins(view.pageMargins());
        whole.resize(view.size());
        whole.show();
        whole.setText(text);
        v = &whole;
    }
    std::vector<int> starts;
    for (QTextBlock b = v->document()->begin(); b.isValid(); b = b.next()) {
        v->document()->documentLayout()->blockBoundingRect(b);
        for (int i = 0; i < b.layout()->lineCount(); ++i)
            starts.push_back(offset + v->textIndex(b.position() + b.layout()->lineAt(i).textStart()));
    }
    return starts;
}

bool onlyBlanks(QStringView s) {
    for (QChar c : s)
        if (!c.isSpace())
            return false;
    return true;
}

// Starts a build the way confirming a new work does.
void startBuild(Library& lib, const QString& name, const QString& text,
                const QString& size = QStringLiteral("14")) {
    lib.setCarriers(name, QStringLiteral("1"), QStringLiteral("Star"));
    lib.s().reading().setFontSize(size);
    lib.main().Ntext->setText(text);
    lib.s().window<KNIGA>().show();
}

bool noTemporaryFiles(const QString& dir) {
    return QDir(dir).entryList(QDir::Files).filter(QStringLiteral(".tmp")).isEmpty();
}

PageGeometry smallView(int height) {
    return PageGeometry{QFont(QStringLiteral("DejaVu Sans"), 12), 300, height, 4, {}};
}

} // namespace

class TstKnigaBuild : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installDesignFonts(); }
    void pagesHandedOverInOrder();
    void buildFromBulgarianText();
    void sameTitleTwice();
    void rebuildKeepsTheOldWorkUntilDone();
    void textTooLongForOneWork();
};

void TstKnigaBuild::pagesHandedOverInOrder() {
    PageBuildProgress progress;
    QStringList written;
    auto writer = [&written](const QString& page) {
        written << page;
        return true;
    };
    QCOMPARE(buildPages(QString(), smallView(200), progress, writer), PageBuildOutcome::Written);
    QCOMPARE(written, QStringList{QString()});

    // More pages than a work may hold: nothing at all is written.
    written.clear();
    QString lines;
    for (int i = 0; i < 33000; ++i)
        lines += QStringLiteral("ред\r\n");
    PageBuildProgress many;
    QCOMPARE(buildPages(lines, smallView(1), many, writer), PageBuildOutcome::TooManyPages);
    QVERIFY(written.isEmpty());

    const QString text = test::bulgarianText(20000, 70, false);
    PageBuildProgress cancelled;
    cancelled.cancel = true;
    QCOMPARE(buildPages(text, smallView(200), cancelled, writer), PageBuildOutcome::Cancelled);
    QVERIFY(written.isEmpty());

    int calls = 0;
    PageBuildProgress refused;
    QCOMPARE(buildPages(text, smallView(200), refused, [&calls](const QString&) { return ++calls < 2; }),
             PageBuildOutcome::WriteFailed);
    QCOMPARE(calls, 2);

    PageBuildProgress whole;
    QCOMPARE(buildPages(text, smallView(200), whole, writer), PageBuildOutcome::Written);
    QVERIFY(written.size() > 10);
    QCOMPARE(whole.written.load(), int(written.size()));
    QCOMPARE(whole.pages.load(), int(written.size()));
    const QString joined = written.join(QString());
    QVERIFY(text.startsWith(joined));
    QVERIFY(onlyBlanks(QStringView(text).mid(joined.size())));
}

void TstKnigaBuild::buildFromBulgarianText() {
    const QString title = QStringLiteral("Нова книга");
    // The new work's record is in the catalogue already, as confirming it leaves it.
    Library lib({{QStringLiteral("Първа"), numberedPages(3)}, {title, {}}});
    const QString text = test::bulgarianText(40000, 70, false) + QStringLiteral("\r\n");
    lib.s().reading().setRebuildTitle({});
    startBuild(lib, title, text);
    QTRY_VERIFY_WITH_TIMEOUT(lib.book() && lib.book()->lastPage() > 0, kBuildTimeout);
    KNIGA& k = *lib.book();
    QVERIFY(!k.isBuilding());
    QVERIFY(noTemporaryFiles(lib.dir.path()));

    // Pages numbered 1, 2, ... in record order, together the whole text but a blank residue.
    auto wf = WorkFile::open(workPath(lib.dir.path(), title));
    QVERIFY(wf);
    const int count = wf->pageCount();
    QVERIFY(count > 10);
    QString joined;
    for (int i = 1; i <= count; ++i) {
        const WorkFile::Page p = wf->page(i);
        QCOMPARE(p.label, QString::number(i));
        joined += p.text;
    }
    QVERIFY(text.startsWith(joined));
    QVERIFY(onlyBlanks(QStringView(text).mid(joined.size())));

    // The first spread, and both lists with the odd numbers up to the last page.
    QCOMPARE(k.R1->text(), wf->page(1).text);
    QCOMPARE(k.R2->text(), wf->page(2).text);
    QCOMPARE(k.Label1->text(), QStringLiteral("1"));
    QCOMPARE(k.Label2->text(), QStringLiteral("2"));
    QCOMPARE(k.lastPage(), count);
    QCOMPARE(k.combo11->count(), (count + 1) / 2);
    QCOMPARE(k.Combo1->itemText(k.Combo1->count() - 1), QString::number(count % 2 ? count : count - 1));

    // A new work is set as a book, and every page shows exactly the lines it had in the cut, without
    // scrolling, on either side of the book.
    QCOMPARE(wf->fact(kLayoutFact), QStringLiteral("book"));
    QCOMPARE(k.pageLayout(), PageLayout::Book);
    QCOMPARE(k.R2->viewport()->width(), k.R1->viewport()->width());
    // The lines of the whole text, laid out anew from a page that starts inside one (before a word that
    // line would have hyphenated).
    std::vector<int> cutLines = lineStarts(*k.R1, text);
    int at = 0;
    for (int i = 1; i <= count; i += 2) {
        for (RichTextView* view : {k.R1, k.R2}) {
            const int page = view == k.R1 ? i : i + 1;
            if (page > count)
                break;
            QCOMPARE(view->text(), wf->page(page).text);
            const qreal height = view->document()->documentLayout()->documentSize().height();
            QVERIFY2(height <= view->viewport()->height(),
                     qPrintable(QStringLiteral("page %1 scrolls").arg(page)));
            const int start = std::exchange(at, at + int(view->text().size()));
            if (!std::binary_search(cutLines.begin(), cutLines.end(), start))
                cutLines = lineStarts(*k.R1, text.mid(start), start, false);
            std::vector<int> shown = lineStarts(*view, QString(), start);
            std::vector<int> expected;
            std::copy_if(cutLines.begin(), cutLines.end(), std::back_inserter(expected),
                         [&](int p) { return p >= start && p < at; });
            if (view->text().endsWith(u'\n'))
                shown.pop_back(); // the empty line a closing break opens
            QCOMPARE(shown, expected);
            if (page < count)
                QVERIFY2(height > view->viewport()->height() * 0.8,
                         qPrintable(QStringLiteral("page %1 is short").arg(page)));
        }
        k.naprede();
    }
    QCOMPARE(k.Label1->text(), QString::number(count % 2 ? count : count - 1));
    k.Combo1->setEditText(QStringLiteral("1"));
    k.Prelistvane();

    // Read on to 5|6, close, and open it again from the library's title list.
    k.naprede();
    k.naprede();
    k.Label11_Click();
    lib.formB().TimerZapis_Timer();
    Library::settle();
    QVERIFY(!lib.book());
    lib.formB().Combo1->setEditText(title);
    lib.formB().Combo1_Click();
    QTRY_VERIFY_WITH_TIMEOUT(lib.book() && lib.book()->lastPage() > 0, 5000);
    QCOMPARE(lib.book()->Label1->text(), QStringLiteral("5"));
    QCOMPARE(lib.book()->R1->text(), wf->page(5).text);
    QCOMPARE(lib.book()->R2->text(), wf->page(6).text);
}

void TstKnigaBuild::sameTitleTwice() {
    const QString title = QStringLiteral("Заглавие");
    const QStringList oldPages = numberedPages(3);
    // A second work confirmed under the title of one in the library.
    Library lib({{title, oldPages, "3"}});
    const QString text = test::bulgarianText(6000, 70, false);
    lib.main().Ntext->setText(text);
    lib.formB().Command3_Click();
    lib.formB().TxtName->setText(title);
    lib.formB().TxtNumber->setText(QStringLiteral("Автор"));
    lib.formB().Dobavi_Click();
    QTRY_VERIFY(lib.s().loaded<Popravka>() && lib.s().loaded<Popravka>()->isVisible());
    Popravka* dialog = lib.s().loaded<Popravka>();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Съжалявам за неудобството"));
    QCOMPARE(dialog->Label1->text(),
             QStringLiteral("Вече има произведение с такова име. Моля въведете друго име:"));
    QCOMPARE(dialog->Command1->text(), QStringLiteral("Потвърди"));
    QVERIFY(dialog->Text1->text().isEmpty());
    QVERIFY(lib.book() && lib.book()->isVisible());
    QVERIFY(!lib.book()->isBuilding());

    // The clashing name again, then a name that is no file name: the dialog comes back empty each time.
    for (const QString& bad : {title, QStringLiteral("a/b")}) {
        dialog->Text1->setText(bad);
        const QPointer<Popravka> previous = dialog; // a new dialog may take the old one's address
        dialog->Command1_Click();
        QTRY_VERIFY(!previous && lib.s().loaded<Popravka>());
        dialog = lib.s().loaded<Popravka>();
        QVERIFY(dialog->Text1->text().isEmpty());
    }

    const QString second = QStringLiteral("Заглавие 2");
    dialog->Text1->setText(second);
    dialog->Command1_Click();
    QTRY_VERIFY_WITH_TIMEOUT(lib.book()->lastPage() > 0, kBuildTimeout);
    QVERIFY(!lib.s().loaded<Popravka>());
    QCOMPARE(lib.formB().Text1->text(), second);
    QCOMPARE(lib.formB().Text2->text(), second);
    QCOMPARE(lib.book()->windowTitle(), second);
    QVERIFY(storedPages(workPath(lib.dir.path(), second)).join(QString()).size() > 5000);
    QCOMPARE(storedPages(workPath(lib.dir.path(), title)), oldPages);

    // Record and file agree; the other work's record is untouched, also by the settings save.
    lib.book()->naprede();
    lib.book()->Label11_Click();
    lib.formB().TimerZapis_Timer();
    const auto records = catalogueRecords(lib.catalogue());
    QCOMPARE(records.size(), 3);
    QCOMPARE(records[0], (QPair<QString, QString>{title, QStringLiteral("3")}));
    QCOMPARE(records[1], (QPair<QString, QString>{second, QStringLiteral("3")}));
    QCOMPARE(records[2].first, QString());
    QVERIFY(lib.formB().Combo1->findText(second) >= 0);
    QCOMPARE(storedPages(workPath(lib.dir.path(), title)), oldPages);
}

void TstKnigaBuild::rebuildKeepsTheOldWorkUntilDone() {
    const QString title = QStringLiteral("Стара");
    const QStringList oldPages = numberedPages(5);
    Library lib({{title, oldPages, "5"}});
    const QString path = workPath(lib.dir.path(), title);

    // Interrupted while the pages are cut: the old work stays as it was, and nothing is left behind.
    lib.s().reading().setRebuildTitle(title);
    startBuild(lib, title, test::bulgarianText(2000000, 70, false));
    QTRY_VERIFY_WITH_TIMEOUT(lib.book()->Timer101->isActive(), 10000);
    lib.book()->Label11_Click();
    Library::settle();
    QVERIFY(!lib.book());
    QCOMPARE(storedPages(path), oldPages);
    QVERIFY(noTemporaryFiles(lib.dir.path()));
    QVERIFY(lib.s().reading().rebuildTitle().isEmpty());
    QVERIFY(!lib.formB().TimerZapis->isActive()); // the record keeps the font its pages were cut for

    // Completed: the new pages replace the old ones under the same title.
    lib.s().reading().setRebuildTitle(title);
    const QString text = test::bulgarianText(8000, 70, false);
    startBuild(lib, title, text);
    QTRY_VERIFY_WITH_TIMEOUT(lib.book() && lib.book()->lastPage() > 0, kBuildTimeout);
    QVERIFY(text.startsWith(storedPages(path).join(QString())));
    QVERIFY(storedPages(path).size() > 2);
    QVERIFY(lib.s().reading().rebuildTitle().isEmpty());
    QVERIFY(lib.fake.messages.empty());
    QVERIFY(!lib.s().loaded<Popravka>());
}

void TstKnigaBuild::textTooLongForOneWork() {
    Library lib({{QStringLiteral("Първа"), numberedPages(3)}});
    // One long paragraph, a line to a page at this size.
    const QString text = QStringLiteral("ред ").repeated(40000);
    startBuild(lib, QStringLiteral("Дълга"), text, QStringLiteral("300"));
    QTRY_VERIFY_WITH_TIMEOUT(!lib.fake.messages.empty(), kBuildTimeout);
    const RecordedMessage& m = lib.fake.messages.back();
    QCOMPARE(m.title, QStringLiteral("ВНИМАНИЕ !"));
    QVERIFY(m.text.contains(QStringLiteral("32767")));
    QVERIFY(m.text.contains(QStringLiteral("ще се събере около")));
    Library::settle();
    QVERIFY(!lib.book());
    QVERIFY(!QFile::exists(workPath(lib.dir.path(), QStringLiteral("Дълга"))));
    QVERIFY(noTemporaryFiles(lib.dir.path()));
    // Nothing lost: the text waits in the main window.
    QVERIFY(lib.main().isVisible());
    QCOMPARE(lib.main().Ntext->text(), text);
}

QTEST_MAIN(TstKnigaBuild)
#include "tst_kniga_build.moc"
