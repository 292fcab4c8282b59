#include "components/ProgressWindow.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QScreen>
#include <QtTest>

#include <atomic>
#include <thread>

namespace
{

QList<QWidget*> visibleWaitWindows()
{
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("ProgressWindow") && widget->isVisible())
            windows.append(widget);
    return windows;
}

// Only what paintEvent paints: unpainted pixels stay transparent.
QImage render(QWidget* window)
{
    QImage image(window->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    window->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

// Colours as #aarrggbb text: comparable however each QColor was made, and readable on failure.
QString hex(const QColor& color)
{
    return color.name(QColor::HexArgb);
}

QString paletteColor(QPalette::ColorRole role)
{
    return hex(QApplication::palette().color(QPalette::Active, role));
}

QString pixel(const QImage& image, int x, int y)
{
    return hex(QColor::fromRgba(image.pixel(x, y)));
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
        ProgressWindow window;
        const QRect bar = window.getBarRect(QRect(0, 0, 300, 58));
        QCOMPARE(bar, QRect(56, 42, 236, 8));
        QTEST(ProgressWindow::hasBar(position), "hasBar");
        QTEST(ProgressWindow::barFillEnd(bar.adjusted(1, 1, -1, -1), position), "fillEnd");
    }

    void defaultsAndColours()
    {
        ProgressWindow window;
        QCOMPARE(window.getText(), QStringLiteral("Please wait..."));
        QCOMPARE(window.position(), -1);
        QCOMPARE(window.delay(), 1000u);
        QVERIFY(window.active() && !window.isShown());
        QCOMPARE(hex(window.color()), paletteColor(QPalette::Button));

        QCOMPARE(ProgressWindow("Reading the catalogue").getText(),
                 QStringLiteral("Reading the catalogue"));
    }

    void delayRule()
    {
        QElapsedTimer clock;
        clock.start();
        auto destroyed = std::make_unique<ProgressWindow>();
        destroyed->setDelay(100);
        ProgressWindow deactivated;
        deactivated.setDelay(100);
        deactivated.setActive(false);
        ProgressWindow shown;
        shown.setDelay(100);
        destroyed.reset();

        QVERIFY(!shown.isShown());
        QTRY_VERIFY(shown.isShown());
        QVERIFY(clock.elapsed() >= 100);
        // The other two started their delays earlier, yet never appeared.
        QVERIFY(!deactivated.isShown());
        QCOMPARE(visibleWaitWindows().size(), 1);

        // Clearing Active hides at once; setting it again waits the whole delay again.
        shown.setActive(false);
        QVERIFY(!shown.isShown());
        QVERIFY(visibleWaitWindows().isEmpty());
        shown.setActive(true);
        QVERIFY(!shown.isShown());
        QTRY_VERIFY(shown.isShown());
        QCOMPARE(visibleWaitWindows().size(), 1);
    }

    void geometryAndFlags()
    {
        ProgressWindow window;
        window.setDelay(0);
        QVERIFY(window.isShown());

        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect expected(screen.x() + (screen.width() - 300) / 2,
                             screen.y() + (screen.height() - 58) / 4, 300, 58);
        QCOMPARE(window.windowRect(), expected);
        const QList<QWidget*> views = visibleWaitWindows();
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
        ProgressWindow window;
        window.setActive(false);
        // Nothing touches the window off the GUI thread: it appears only once the event loop runs.
        std::thread early([&] {
            window.setDelay(0);
            window.setText("Reading");
            window.setActive(true);
        });
        early.join();
        QVERIFY(!window.isShown());
        QTRY_VERIFY(window.isShown());
        QCOMPARE(window.getText(), QStringLiteral("Reading"));

        // The loader hammers the position while the GUI thread keeps painting.
        std::atomic<bool> done{false};
        std::thread loader([&] {
            for (int position = 0; position <= 1000; ++position)
                window.setPosition(position);
            done = true;
        });
        QTRY_VERIFY(done);
        loader.join();
        QTRY_COMPARE(window.position(), 1000);
        QCOMPARE(pixel(render(visibleWaitWindows().value(0)), 289, 45),
                 paletteColor(QPalette::Highlight));
    }

    void painting()
    {
        // A transparent icon with a red centre shows both where the icon lands and what lies under
        // it.
        QPixmap iconPixmap(32, 32);
        iconPixmap.fill(Qt::transparent);
        QPainter(&iconPixmap).fillRect(12, 12, 8, 8, Qt::red);
        QGuiApplication::setWindowIcon(QIcon(iconPixmap));

        ProgressWindow window;
        window.setColor(QColor(225, 183, 235));
        window.setPosition(500);
        window.setDelay(0);
        QWidget* view = visibleWaitWindows().value(0);
        QVERIFY(view);

        const QString fill = hex(QColor(225, 183, 235));
        const QString shadow = paletteColor(QPalette::Dark);
        const QString highlight = paletteColor(QPalette::Highlight);
        QImage image = render(view);
        QCOMPARE(pixel(image, 0, 0), shadow);
        QCOMPARE(pixel(image, 1, 1), hex(Qt::black));
        QCOMPARE(pixel(image, 4, 4), fill);
        QCOMPARE(pixel(image, 8, 13), fill); // transparent corner of the icon
        QCOMPARE(pixel(image, 8 + 15, 13 + 15), hex(Qt::red));
        QCOMPARE(pixel(image, 56, 42), shadow); // bar outline
        QCOMPARE(pixel(image, 57, 45), highlight);
        QCOMPARE(pixel(image, 173, 45), highlight);
        QCOMPARE(pixel(image, 174, 45), fill);
        QCOMPARE(pixel(image, 291, 49), shadow);

        window.setColor(QColor());
        image = render(view);
        QCOMPARE(qAlpha(image.pixel(4, 4)), 0);
        QCOMPARE(qAlpha(image.pixel(200, 45)), 0);
        QCOMPARE(pixel(image, 60, 45), highlight);

        window.setColor(QColor(225, 183, 235));
        window.setPosition(-1);
        QCOMPARE(pixel(render(view), 60, 45), fill); // no bar at all

        QGuiApplication::setWindowIcon(QIcon());
    }
};

QTEST_MAIN(TestProgressWindow)
#include "tst_progresswindow.moc"
