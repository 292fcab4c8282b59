#include "components/WindowThread.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QScreen>
#include <QtTest>

#include <atomic>
#include <thread>

namespace
{

QList<QWidget*> VisibleWaitWindows()
{
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("ThreadWindow") && widget->isVisible())
            windows.append(widget);
    return windows;
}

// Only what paintEvent paints: unpainted pixels stay transparent.
QImage Render(QWidget* Window)
{
    QImage image(Window->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    Window->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

// Colours as #aarrggbb text: comparable however each QColor was made, and readable on failure.
QString Hex(const QColor& Color)
{
    return Color.name(QColor::HexArgb);
}

QString PaletteColor(QPalette::ColorRole Role)
{
    return Hex(QApplication::palette().color(QPalette::Active, Role));
}

QString Pixel(const QImage& Image, int X, int Y)
{
    return Hex(QColor::fromRgba(Image.pixel(X, Y)));
}

} // namespace

class TestProgressWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void barFill_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("hasBar");
        QTest::addColumn<int>("fillEnd");
        // The inner rectangle of a 300 x 58 window's bar spans x 57..290 (234 pixels).
        QTest::newRow("none") << -1 << false << 57;
        QTest::newRow("past end") << 1001 << false << 57;
        QTest::newRow("empty") << 0 << true << 57;
        QTest::newRow("rounds down") << 2 << true << 57;
        QTest::newRow("rounds up") << 3 << true << 58;
        QTest::newRow("half") << 500 << true << 57 + 117;
        QTest::newRow("full") << 1000 << true << 57 + 234;
    }

    void barFill()
    {
        QFETCH(int, position);
        TThreadWindow window;
        const QRect bar = window.GetBarRect(QRect(0, 0, 300, 58));
        QCOMPARE(bar, QRect(56, 42, 236, 8));
        QTEST(TThreadWindow::HasBar(position), "hasBar");
        QTEST(TThreadWindow::BarFillEnd(bar.adjusted(1, 1, -1, -1), position), "fillEnd");
    }

    void defaultsAndColours()
    {
        TThreadWindow window;
        QCOMPARE(window.GetText(), QStringLiteral("Please wait..."));
        QCOMPARE(window.Position(), -1);
        QCOMPARE(window.Delay(), 1000u);
        QVERIFY(window.Active() && !window.IsShown());
        QCOMPARE(Hex(TThreadWindow::ToQColor(window.Color())), PaletteColor(QPalette::Button));

        QCOMPARE(TThreadWindow("Reading the catalogue").GetText(),
                 QStringLiteral("Reading the catalogue"));

        QCOMPARE(TThreadWindow::ToQColor(15448033), QColor(225, 183, 235));
        QVERIFY(!TThreadWindow::ToQColor(TThreadWindow::NoFill).isValid());
    }

    void delayRule()
    {
        QElapsedTimer clock;
        clock.start();
        auto destroyed = std::make_unique<TThreadWindow>();
        destroyed->SetDelay(100);
        TThreadWindow deactivated;
        deactivated.SetDelay(100);
        deactivated.SetActive(false);
        TThreadWindow shown;
        shown.SetDelay(100);
        destroyed.reset();

        QVERIFY(!shown.IsShown());
        QTRY_VERIFY(shown.IsShown());
        QVERIFY(clock.elapsed() >= 100);
        // The other two started their delays earlier, yet never appeared.
        QVERIFY(!deactivated.IsShown());
        QCOMPARE(VisibleWaitWindows().size(), 1);

        // Clearing Active hides at once; setting it again waits the whole delay again.
        shown.SetActive(false);
        QVERIFY(!shown.IsShown());
        QVERIFY(VisibleWaitWindows().isEmpty());
        shown.SetActive(true);
        QVERIFY(!shown.IsShown());
        QTRY_VERIFY(shown.IsShown());
        QCOMPARE(VisibleWaitWindows().size(), 1);
    }

    void geometryAndFlags()
    {
        TThreadWindow window;
        window.SetDelay(0);
        QVERIFY(window.IsShown());

        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect expected(screen.x() + (screen.width() - 300) / 2,
                             screen.y() + (screen.height() - 58) / 4, 300, 58);
        QCOMPARE(window.WindowRect(), expected);
        const QList<QWidget*> views = VisibleWaitWindows();
        QCOMPARE(views.size(), 1);
        QWidget* view = views.first();
        QCOMPARE(view->geometry(), expected);
        QCOMPARE(view->windowTitle(), QStringLiteral("Wait"));
        // It must never steal focus or clicks from the program.
        QVERIFY(view->windowFlags().testFlags(Qt::Tool | Qt::FramelessWindowHint |
                                              Qt::WindowStaysOnTopHint |
                                              Qt::WindowDoesNotAcceptFocus));
        QVERIFY(view->testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(!view->isActiveWindow());
    }

    void crossThreadSetters()
    {
        TThreadWindow window;
        window.SetActive(false);
        // Nothing touches the window off the GUI thread: it appears only once the event loop runs.
        std::thread early([&] {
            window.SetDelay(0);
            window.SetText("Reading");
            window.SetActive(true);
        });
        early.join();
        QVERIFY(!window.IsShown());
        QTRY_VERIFY(window.IsShown());
        QCOMPARE(window.GetText(), QStringLiteral("Reading"));

        // The loader hammers the position while the GUI thread keeps painting.
        std::atomic<bool> done{false};
        std::thread loader([&] {
            for (int position = 0; position <= 1000; ++position)
                window.SetPosition(position);
            done = true;
        });
        QTRY_VERIFY(done);
        loader.join();
        QTRY_COMPARE(window.Position(), 1000);
        QCOMPARE(Pixel(Render(VisibleWaitWindows().value(0)), 289, 45),
                 PaletteColor(QPalette::Highlight));
    }

    void painting()
    {
        // A transparent icon with a red centre shows both where the icon lands and what lies under
        // it.
        QPixmap iconPixmap(32, 32);
        iconPixmap.fill(Qt::transparent);
        QPainter(&iconPixmap).fillRect(12, 12, 8, 8, Qt::red);
        QGuiApplication::setWindowIcon(QIcon(iconPixmap));

        TThreadWindow window;
        window.SetColor(15448033);
        window.SetPosition(500);
        window.SetDelay(0);
        QWidget* view = VisibleWaitWindows().value(0);
        QVERIFY(view);

        const QString fill = Hex(QColor(225, 183, 235));
        const QString shadow = PaletteColor(QPalette::Dark);
        const QString highlight = PaletteColor(QPalette::Highlight);
        QImage image = Render(view);
        QCOMPARE(Pixel(image, 0, 0), shadow);
        QCOMPARE(Pixel(image, 1, 1), Hex(Qt::black));
        QCOMPARE(Pixel(image, 4, 4), fill);
        QCOMPARE(Pixel(image, 8, 13), fill); // transparent corner of the icon
        QCOMPARE(Pixel(image, 8 + 15, 13 + 15), Hex(Qt::red));
        QCOMPARE(Pixel(image, 56, 42), shadow); // bar outline
        QCOMPARE(Pixel(image, 57, 45), highlight);
        QCOMPARE(Pixel(image, 173, 45), highlight);
        QCOMPARE(Pixel(image, 174, 45), fill);
        QCOMPARE(Pixel(image, 291, 49), shadow);

        window.SetColor(TThreadWindow::NoFill);
        image = Render(view);
        QCOMPARE(qAlpha(image.pixel(4, 4)), 0);
        QCOMPARE(qAlpha(image.pixel(200, 45)), 0);
        QCOMPARE(Pixel(image, 60, 45), highlight);

        window.SetColor(15448033);
        window.SetPosition(-1);
        QCOMPARE(Pixel(Render(view), 60, 45), fill); // no bar at all

        QGuiApplication::setWindowIcon(QIcon());
    }
};

QTEST_MAIN(TestProgressWindow)
#include "tst_progresswindow.moc"
