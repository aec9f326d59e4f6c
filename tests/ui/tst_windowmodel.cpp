// The window model, the twips geometry and proportional scaling, on small windows of the tests' own.
#include "FakePlatform.h"
#include "ui/Design.h"
#include "ui/Platform.h"
#include "ui/RichTextView.h"
#include "ui/ScaleToScreen.h"
#include "ui/Session.h"
#include "ui/Window.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

using namespace vel;

namespace {

struct Log {
    static QStringList& lines() {
        static QStringList l;
        return l;
    }
};

class WinA : public Window {
public:
    static constexpr Role kRole = Role::Library;
    explicit WinA(Session& s) : Window(s, QStringLiteral("WinA")) {
        Text1 =
            add(new QLineEdit(this), ControlKind::TextBox, QStringLiteral("Text1"), {120, 240, 1455, 495});
        setDesignFont(Text1, QStringLiteral("MS Sans Serif"), 9.75);
        Combo1 =
            add(new QComboBox(this), ControlKind::ComboBox, QStringLiteral("Combo1"), {300, 600, 1500, 315});
        View =
            add(new RichTextView(this), ControlKind::RichText, QStringLiteral("View"), {0, 1200, 3000, 3000});
        View->setFontSize(14.25);
        Hand = add(new LineControl(this), ControlKind::Line, QStringLiteral("Hand"));
        Hand->setPoints(3405, 3625, 3405, 2640);
        Tick = makeTimer(*this, QStringLiteral("Tick"), 1000, false);
    }
    void Form_Load() override { Log::lines() << QStringLiteral("A load"); }
    void Form_Unload() override { Log::lines() << QStringLiteral("A unload"); }
    QLineEdit* Text1;
    QComboBox* Combo1;
    RichTextView* View;
    LineControl* Hand;
    QTimer* Tick;
};

class WinB : public Window {
public:
    static constexpr Role kRole = Role::Main;
    explicit WinB(Session& s) : Window(s, QStringLiteral("WinB")) {}
    // Touching another window from a load handler loads that one too.
    void Form_Load() override {
        Log::lines() << QStringLiteral("B load");
        session().window<WinA>();
    }
    void Form_Unload() override {
        Log::lines() << QStringLiteral("B unload");
        session().close<WinA>();
    }
};

} // namespace

class TestWindowModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { Log::lines().clear(); }

    void loadOnTouchAndUnload() {
        test::FakePlatform fake;
        Session s(fake, QDir::tempPath());
        QSignalSpy ended(&s, &Session::lastWindowClosed);
        QVERIFY(!s.isLoaded<WinA>());
        WinB& b = s.window<WinB>();
        QCOMPARE(Log::lines(), (QStringList{"B load", "A load"}));
        QCOMPARE(&s.window<WinB>(), &b); // one instance while loaded
        s.close<WinA>();
        QVERIFY(!s.isLoaded<WinA>());
        QCOMPARE(ended.count(), 0);
        WinA& again = s.window<WinA>(); // a fresh instance with its design values
        QCOMPARE(again.Text1->objectName(), QStringLiteral("Text1"));
        s.close<WinB>(); // its unload closes A: nothing is left
        QCOMPARE(Log::lines().mid(2), (QStringList{"A unload", "A load", "B unload", "A unload"}));
        QCOMPARE(ended.count(), 1);
        s.close<WinB>(); // closing a window that is not loaded does nothing
        QCOMPARE(ended.count(), 1);
    }

    void closeEventUnloads() {
        test::FakePlatform fake;
        Session s(fake, QDir::tempPath());
        WinA& a = s.window<WinA>();
        a.show();
        QVERIFY(a.QWidget::close());
        QVERIFY(!s.isLoaded<WinA>());
        QCOMPARE(Log::lines(), (QStringList{"A load", "A unload"}));
    }

    void twipsRoundTrip() {
        QWidget w;
        auto* child = new QWidget(&w);
        setTwipsBox(child, {3345, 3585, 135, 380});
        QCOMPARE(twipsBox(child), (TwipsRect{3345, 3585, 135, 380})); // no whole pixels, still exact
        QCOMPARE(child->geometry(), QRect(223, 239, 9, 25));
        child->move(10, 10); // moved by pixels: the kept twips no longer apply
        QCOMPARE(twLeft(child), 150.0);
    }

    void screenFactorsForCommonScreens_data() {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::addColumn<float>("f");
        QTest::newRow("800x600") << 800 << 600 << 0.78125f << 0.78125f << 0.7726563f;
        QTest::newRow("1024x768") << 1024 << 768 << 1.0f << 1.0f << 0.989f;
        QTest::newRow("1280x1024") << 1280 << 1024 << 1.25f << 1.3333334f << 1.2774584f;
    }
    void screenFactorsForCommonScreens() {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(float, x);
        QFETCH(float, y);
        QFETCH(float, f);
        ScreenModule m;
        const ScaleFactors sf = screenFactors(m, w * 15, h * 15, 15, 15);
        QCOMPARE(sf.x, x);
        QCOMPARE(sf.y, y);
        QCOMPARE(sf.font(), f);
        QCOMPARE(m.screenWidthPx, qint16(w));
        QCOMPARE(m.screenHeightPx, qint16(h));
    }

    void scalingControlsAndFonts() {
        test::FakePlatform fake;
        Session s(fake, QDir::tempPath());
        WinA& a = s.window<WinA>();
        setTwipsBox(&a, {0, 0, 15360, 11520});
        const double comboHeight = twHeight(a.Combo1);
        const double textFont = a.Text1->font().pointSizeF();

        ScaleToScreen(1.0f, 1.0f, a);
        // At the design screen places stay, standard fonts shrink by F squared and the text view by F.
        QCOMPARE(twipsBox(a.Text1), (TwipsRect{120, 240, 1455, 495}));
        QVERIFY(qAbs(a.Text1->font().pointSizeF() - textFont * 0.978121) < 0.01);
        QVERIFY(qAbs(a.View->fontSize() - 14.25 * 0.989) < 1e-4);
        QCOMPARE(twipsBox(&a), (TwipsRect{0, 0, 15360, 11520}));

        ScaleToScreen(1.25f, 1.3333334f, a);
        const TwipsRect combo = twipsBox(a.Combo1);
        QCOMPARE(combo.left, 300 * 1.25);
        QVERIFY(qAbs(combo.top - 600 * 1.3333334) < 0.01);
        QCOMPARE(combo.width, 1500 * 1.25);
        QCOMPARE(combo.height, comboHeight); // a combo box keeps its height
        QCOMPARE(a.Hand->y2, 2640.0);        // lines keep their end points
        // The window itself is left as set (to the screen): scaled again it would outgrow the screen.
        QCOMPARE(twipsBox(&a), (TwipsRect{0, 0, 15360, 11520}));

        // On a small screen, again and again: text never shrinks below legible; the page font is the
        // reader's own and is scaled as it is.
        const double page = a.View->fontSize();
        const double f = ScaleFactors{0.78125f, 0.78125f}.font();
        for (int i = 0; i < 3; ++i)
            ScaleToScreen(0.78125f, 0.78125f, a);
        QVERIFY(QFontInfo(a.Text1->font()).pixelSize() >= kMinLegiblePixels);
        QVERIFY(qAbs(a.View->fontSize() - page * f * f * f) < 1e-3);
    }

    void fileFilters() {
        // The main window's own filters: the description already names its pattern, so it is not doubled.
        QCOMPARE(qtFileFilter("Tеxt Files (*.txt)|*.txt"), QStringLiteral("Tеxt Files (*.txt)"));
        QCOMPARE(qtFileFilter("Документи|*.doc;*.DOC|Всички|*.*"),
                 QStringLiteral("Документи (*.doc *.DOC);;Всички (*.*)"));
        // A description without its patterns is dropped rather than offered with none.
        QCOMPARE(qtFileFilter("Текст|*.txt|Сирак"), QStringLiteral("Текст (*.txt)"));
        QCOMPARE(qtFileFilter(""), QString());
    }
};

QTEST_MAIN(TestWindowModel)
#include "tst_windowmodel.moc"
