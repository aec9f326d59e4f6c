// The main window: start-up and the unpack offer, closing, layout and scaling, hover pictures, aphorisms.
#include "core/clock/Aphorisms.h"
#include "govori_fixture.h"
#include "ui/TwipsBox.h"
#include "windows/Form2.h"
#include "windows/FormB.h"
#include "windows/Govori.h"
#include "windows/WindowSet.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

using namespace vel;
using vel::test::Run;

namespace {

const QString kUnpackTitle = QStringLiteral("ВНИМАНИЕ ПРЕДСТОИ ОПЕРАЦИЯ РАЗАРХИВИРАНЕ ");
const QString kUnpackText = QStringLiteral(" БИБЛИОТЕКАТА е все още  архивирана. Започвам разархивиране !");

void touch(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
}

qint64 key(const QPixmap& p) {
    return p.cacheKey();
}

} // namespace

class TestGovori : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void titledCatalogueStartsWithoutQuestion() {
        Run r;
        Govori& g = r.s().window<Govori>();
        QVERIFY(r.fake.messages.empty());
        QVERIFY(r.s().isLoaded<FormB>() && !r.s().window<FormB>().isVisible());
        QCOMPARE(g.windowTitle(), QStringLiteral("ZEZODORER ВЕЛМОРА"));
        QVERIFY(g.Timer2->isActive() && !g.Timer3->isActive() && !g.Timercvet->isActive());
        QVERIFY(!g.Command9->isHidden() && !g.PictureEtiket->isHidden() && !g.Picture300->isHidden());
        QVERIFY(g.Ntext->isHidden() && g.Text1->isHidden() && g.Picture11->isHidden());
    }

    // The unpack offer on an empty catalogue. An unpacker that is missing or does not start is reported
    // before anything is closed, and the program goes on.
    void unpackOffer_data() {
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("starts");
        QTest::newRow("cancel") << MsgAnswer::Cancel << true << true;
        QTest::newRow("ok") << MsgAnswer::Ok << true << true;
        QTest::newRow("ok, unpacker missing") << MsgAnswer::Ok << false << true;
        QTest::newRow("ok, unpacker does not start") << MsgAnswer::Ok << true << false;
    }
    void unpackOffer() {
        QFETCH(MsgAnswer, answer);
        QFETCH(bool, present);
        QFETCH(bool, starts);
        Run r(QList<test::LibraryWork>{});
        const QString unpacker = QDir(r.dir.path()).filePath(QStringLiteral("RAZ.exe"));
        if (present)
            touch(unpacker);
        r.fake.startSucceeds = starts;
        r.fake.messageAnswers = {answer};
        r.s().window<Form2>();
        QSignalSpy ended(r.session.get(), &Session::lastWindowClosed);
        Govori& g = r.s().window<Govori>();

        const auto& q = r.fake.messages.front();
        QCOMPARE(q.title, kUnpackTitle);
        QCOMPARE(q.text, kUnpackText);
        QCOMPARE(q.icon, MsgIcon::Question);
        QCOMPARE(q.buttons, MsgButtons::OkCancel);
        const bool unpacks = answer == MsgAnswer::Ok && present && starts;
        const bool reported = answer == MsgAnswer::Ok && !unpacks;
        QCOMPARE(r.fake.messages.size(), std::size_t(reported ? 2 : 1));
        if (reported) {
            QCOMPARE(r.fake.messages.back().icon, MsgIcon::Critical);
            QVERIFY(r.fake.messages.back().text.contains(QDir::toNativeSeparators(unpacker)));
        }
        QCOMPARE(r.fake.started.size(), std::size_t(unpacks ? 1 : 0));
        if (unpacks) {
            // The unpacker is told which library to fill.
            QCOMPARE(r.fake.started.front().program, unpacker);
            QCOMPARE(r.fake.started.front().args, QStringList({QStringLiteral("--library"), r.dir.path()}));
        }
        QCOMPARE(r.s().isLoaded<FormB>(), !unpacks);
        QCOMPARE(r.s().isLoaded<Form2>(), !unpacks);
        QCOMPARE(g.Timer3->isActive(), unpacks);
        // Half a second later the main window closes itself and the program ends.
        if (unpacks) {
            QCOMPARE(g.Timer3->interval(), 500);
            g.Timer3_Timer();
        }
        QTRY_COMPARE(ended.count(), unpacks ? 1 : 0);
        QCOMPARE(r.s().isLoaded<Govori>(), !unpacks);
    }

    void damagedCatalogueIsNotUnpackedOver() {
        QTemporaryDir dir;
        QFile bad(QDir(dir.path()).filePath(QStringLiteral("BAZA.mdb")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(4096, 'x'));
        bad.close();
        touch(QDir(dir.path()).filePath(QStringLiteral("RAZ.exe")));
        test::FakePlatform fake;
        Session s(fake, dir.path());
        registerWindows(s);
        s.window<Govori>();
        QCOMPARE(fake.messages.size(), std::size_t(1)); // the management window's report, no unpack offer
        QVERIFY(fake.messages.front().title != kUnpackTitle);
        QVERIFY(fake.started.empty());
    }

    // The management window hides with every resize and closes with the main window.
    void managementWindowFollowsMainWindow() {
        Run r;
        QSignalSpy ended(r.session.get(), &Session::lastWindowClosed);
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        r.s().window<Form2>();
        b.show();
        g.show();
        QTRY_VERIFY(!b.isVisible());
        // A resize reported late for a window shown again at its old size leaves the library in front.
        b.show();
        g.Form_Resize();
        QVERIFY(b.isVisible());
        b.show();
        g.showMinimized();
        QTRY_VERIFY(!b.isVisible());
        g.close();
        QVERIFY(!r.s().isLoaded<FormB>() && !r.s().isLoaded<Form2>());
        QCOMPARE(ended.count(), 1);
    }

    void timer2LaysOutOnce() {
        Run r;
        Govori& g = r.s().window<Govori>();
        setTwipsBox(&g, TwipsRect{0, 0, 15360, 11520});
        g.Timer2_Timer();
        QVERIFY(!g.Timer2->isActive());
        QCOMPARE(twLeft(g.Picture1) + twWidth(g.Picture1), 15360.0);
        QCOMPARE(twTop(g.Picture300), twTop(g.Picture1) + twHeight(g.Picture1));
        QCOMPARE(twLeft(g.Ntext) + twWidth(g.Ntext), twLeft(g.Picture1));
        QCOMPARE(twipsBox(g.PictureEtiket),
                 (TwipsRect{120, twTop(g.Ntext) - 400, twWidth(g.Ntext), twWidth(g.Ntext)}));
    }

    void scalesToScreen_data() {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<double>("f2");
        QTest::newRow("800x600") << 800 << 600 << 0.78125 << 0.78125 << 0.5969977;
        QTest::newRow("1024x768") << 1024 << 768 << 1.0 << 1.0 << 0.978121;
        QTest::newRow("1280x1024") << 1280 << 1024 << 1.25 << 1.3333334 << 1.6319000;
    }
    void scalesToScreen() {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(double, f2);
        Run r;
        r.fake.setScreenPixels(w, h);
        Govori& g = r.s().window<Govori>();
        const TwipsRect b = twipsBox(g.Command14);
        QVERIFY(qAbs(b.left - 1920 * x) < 1e-3 && qAbs(b.top - 120 * y) < 1e-3);
        QVERIFY(qAbs(b.width - 1455 * x) < 1e-3 && qAbs(b.height - 495 * y) < 1e-3);
        if (w == 1024)
            QCOMPARE(twipsBox(g.Text1), (TwipsRect{1800, 2040, 7575, 3015}));
        // Standard controls twice through the font factor, the text panel once.
        QVERIFY(qAbs(g.Text1->font().pointSizeF() - 14.25 * f2) < 1e-3);
        // ... but no smaller than legible (9 px at 96 dpi).
        QVERIFY(qAbs(g.Command9->font().pointSizeF() - std::max(8.25 * f2, 6.75)) < 1e-3);
        QVERIFY(qAbs(g.Ntext->fontSize() - 14.25 * std::sqrt(f2)) < 1e-3);
        // The window's own rectangle is the screen's, never scaled past it.
        QVERIFY(twWidth(&g) <= w * 15 + 15);
        QVERIFY(twHeight(&g) <= h * 15 + 15);
    }

    void hoverSwapsAndBackgroundRestores() {
        Run r;
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        const std::tuple<PictureButton*, PictureBox*, PictureBox*> members[] = {
            {g.Command9, g.Picture11, g.Picture12}, {g.Command14, g.Picture21, g.Picture22},
            {g.Command1, g.Picture31, g.Picture32}, {g.Command4, g.Picture41, g.Picture42},
            {g.Command6, g.Picture51, g.Picture52}, {g.Command2, g.Picture51, g.Picture52},
            {g.Command7, g.Picture61, g.Picture62}, {g.Command5, g.Picture61, g.Picture62},
        };
        for (const auto& [button, normal, lit] : members) {
            QCOMPARE(key(button->picture()),
                     key(normal->picture())); // the design shares the holder's picture
            QVERIFY(key(normal->picture()) != key(lit->picture()));
            test::sendMouse(button, QEvent::MouseMove);
            QCOMPARE(key(button->picture()), key(lit->picture()));
        }
        b.Command2->setPicture(b.Image6->picture());
        test::sendMouse(&g, QEvent::MouseMove);
        for (const auto& [button, normal, lit] : members)
            QCOMPARE(key(button->picture()), key(normal->picture()));
        QCOMPARE(key(b.Command2->picture()), key(b.Image5->picture()));

        // The large picture restores only the management window's hide button.
        b.Command2->setPicture(b.Image6->picture());
        test::sendMouse(g.Command9, QEvent::MouseMove);
        test::sendMouse(g.Picture1, QEvent::MouseMove);
        QCOMPARE(key(b.Command2->picture()), key(b.Image5->picture()));
        QCOMPARE(key(g.Command9->picture()), key(g.Picture12->picture()));
    }

    void showAphorism_data() {
        QTest::addColumn<QString>("index");
        QTest::addColumn<int>("slot");
        QTest::newRow("first") << QStringLiteral("1") << 1;
        QTest::newRow("last") << QStringLiteral("88") << 88;
        QTest::newRow("before the first tick") << QStringLiteral("Text4") << 1;
    }
    void showAphorism() {
        QFETCH(QString, index);
        QFETCH(int, slot);
        Run r;
        Govori& g = r.s().window<Govori>();
        FormB& b = r.s().window<FormB>();
        b.Timer4->stop(); // the clock would draw its own index
        b.session().reading().setAphorismIndex(index);
        g.Ntext->setText(QStringLiteral("несъхранен текст"));
        g.Ntext->setBackColor(0x80FF80);
        b.move(100, 40);
        ShowAphorism(r.s());
        QVERIFY(!g.Text1->isHidden());
        QCOMPARE(g.Text1->toPlainText(), aphorism(slot));
        QVERIFY(!g.Text1->toPlainText().isEmpty());
        QCOMPARE(g.Text1->palette().color(QPalette::Base), QColor(0x80, 0xFF, 0x80));
        QCOMPARE(g.Ntext->text(), QString());
        QCOMPARE(g.Text1->y(), g.mapFromGlobal(QPoint(0, b.y() + b.height())).y());
    }
};

QTEST_MAIN(TestGovori)
#include "tst_govori.moc"
