// The balloon message dialogs: layout, placement at a control, the window
// shape, the keys, dragging, and the test hooks.
#include "components/FlatButton.h"
#include "components/MessageDialogs.h"

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace MessageDialogs;

namespace
{

QList<FlatButton*> buttonsOf(BalloonDialog* d)
{
    QList<FlatButton*> list = d->findChildren<FlatButton*>();
    std::sort(list.begin(), list.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    return list;
}

// Answers the modal dialog that is about to run.
void pressOnNextDialog(std::function<void(BalloonDialog*)> press)
{
    QTimer::singleShot(0, [press] {
        auto* d = qobject_cast<BalloonDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        press(d);
    });
}

} // namespace

class TestMessageDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        setHandler(nullptr);
        setNextAnswer(QMessageBox::NoButton);
    }

    void buttonRowIsCentredInFixedOrder()
    {
        auto d = createRgnDialog("Proceed?", QMessageBox::Question,
                                 QMessageBox::YesToAll | QMessageBox::Cancel | QMessageBox::Yes |
                                     QMessageBox::No,
                                 2, 20, nullptr);
        const QList<FlatButton*> b = buttonsOf(d.get());
        QStringList names;
        for (auto* button : b)
            names << button->objectName();
        QCOMPARE(names, (QStringList{"Yes", "No", "Cancel", "YesToAll"}));
        // One width for all, wide enough for the longest caption plus 8.
        for (auto* button : b) {
            QCOMPARE(button->width(), b[0]->width());
            QCOMPARE(button->y(), b[0]->y());
            QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) + 8 <= button->width());
        }
        const int gap = b[1]->x() - b[0]->geometry().right() - 1;
        QVERIFY(gap > 0);
        for (int i = 2; i < b.size(); ++i)
            QCOMPARE(b[i]->x() - b[i - 1]->geometry().right() - 1, gap);
        const int left = b.first()->x(), right = d->width() - b.last()->geometry().right() - 1;
        QVERIFY2(qAbs(left - right) <= 1, qPrintable(QString("%1 vs %2").arg(left).arg(right)));
        // The row sits under the content, inside the bottom margin.
        QVERIFY(b[0]->y() > d->message->geometry().bottom());
        QVERIFY(b[0]->geometry().bottom() < d->height() - 1);
        for (auto* button : b) {
            QCOMPARE(button->shape(), hbsRoundRect);
            QCOMPARE(button->color(), dialogColor());
            QCOMPARE(button->focusRectColor(), QColor(Qt::black));
        }
    }

    void defaultAndCancelButtons_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("defaultName");
        QTest::addColumn<QString>("cancelName");
        QTest::newRow("yes/no") << int(QMessageBox::Yes | QMessageBox::No) << "Yes"
                                << "No";
        QTest::newRow("ok") << int(QMessageBox::Ok) << "OK"
                            << "OK";
        QTest::newRow("ok/cancel") << int(QMessageBox::Ok | QMessageBox::Cancel) << "OK"
                                   << "Cancel";
        QTest::newRow("yes/no/cancel")
            << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) << "Yes"
            << "Cancel";
        QTest::newRow("abort/retry/ignore")
            << int(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore) << "Retry"
            << "";
    }

    void defaultAndCancelButtons()
    {
        QFETCH(int, buttons);
        QFETCH(QString, defaultName);
        QFETCH(QString, cancelName);
        auto d = createRgnDialog("Text", QMessageBox::Warning,
                                 QMessageBox::StandardButtons(buttons), 2, 20, nullptr);
        QCOMPARE(d->defaultButton()->objectName(), defaultName);
        QVERIFY(d->defaultButton()->isDefault());
        QCOMPARE(d->cancelButton() ? d->cancelButton()->objectName() : QString(), cancelName);
    }

    void iconMessageAndMargins()
    {
        auto d = createRgnDialog("Short", QMessageBox::Critical, QMessageBox::Ok, 2, 20, nullptr);
        QVERIFY(d->image);
        QCOMPARE(d->image->size(), QSize(32, 32));
        QCOMPARE(d->message->objectName(), QString("Message"));
        // Message right of the icon, both at the same margins from the top-left.
        QCOMPARE(d->message->y(), d->image->y());
        QVERIFY(d->message->x() > d->image->geometry().right());
        QVERIFY(d->image->x() > 0 && d->image->y() > 0);
        // Without icon the message starts at the margin.
        auto custom =
            createRgnDialog("Short", QMessageBox::NoIcon, QMessageBox::Ok, 2, 20, nullptr);
        QVERIFY(!custom->image);
        QCOMPARE(custom->message->x(), d->image->x());
        // Text is text, whatever it looks like.
        auto tags = createRgnDialog("<b>/tmp/a&b</b>", QMessageBox::Warning, QMessageBox::Ok, 2, 20,
                                    nullptr);
        QCOMPARE(tags->message->textFormat(), Qt::PlainText);
    }

    void longMessagesWrapAtHalfTheScreen()
    {
        const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
        QString words;
        for (int i = 0; i < 80; ++i)
            words += "catalogue ";
        auto d = createRgnDialog(words, QMessageBox::Warning, QMessageBox::Ok, 2, 20, nullptr);
        const int line = d->message->fontMetrics().height();
        QVERIFY(d->message->width() <= half);
        QVERIFY(d->message->width() > half * 3 / 4);
        QVERIFY(d->message->height() >= 3 * line);
        // Every word is shown: the label's rectangle holds the wrapped text.
        const QRect need = d->message->fontMetrics().boundingRect(
            QRect(0, 0, d->message->width(), 0), Qt::TextWordWrap, words.trimmed());
        QVERIFY(need.height() <= d->message->height());

        // "\r" breaks the line: both lines get room.
        auto two = createRgnDialog("File \"/x\" not found.\rMay be it was replaced or removed.",
                                   QMessageBox::Warning, QMessageBox::Ok, 2, 20, nullptr);
        QCOMPARE(two->message->text(),
                 QString("File \"/x\" not found.\nMay be it was replaced or removed."));
        QVERIFY(two->message->height() >= 2 * line);
        QVERIFY(two->message->height() < 3 * line);
    }

    void placedAboveAControlWithRoomElseBelow()
    {
        QWidget host;
        host.setGeometry(QGuiApplication::primaryScreen()->geometry());
        host.setWindowFlag(Qt::FramelessWindowHint);
        auto* low = new QPushButton("Remove", &host);
        low->setGeometry(300, 500, 24, 22);
        auto* high = new QPushButton("Remove", &host);
        high->setGeometry(300, 5, 24, 22);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));

        auto plain = createRgnDialog("Remove it?", QMessageBox::Question,
                                     QMessageBox::Yes | QMessageBox::No, 2, 20, nullptr);
        const int bodyHeight = plain->height();
        const QPoint lowCorner = low->mapToGlobal(QPoint(0, 0));

        auto above = createRgnDialog("Remove it?", QMessageBox::Question,
                                     QMessageBox::Yes | QMessageBox::No, 2, 20, low);
        QCOMPARE(above->tail(), tpBottom);
        QCOMPARE(above->height(), bodyHeight + TailHeight);
        QCOMPARE(above->x(), lowCorner.x() + 20 - 40);
        QCOMPARE(above->y() + above->height() - 1, lowCorner.y() - 2); // the tail's tip
        QCOMPARE(above->message->y(), plain->message->y());
        // The tip pixel is part of the window; the corner it grows from is not.
        const int h = above->height();
        QVERIFY(above->region().contains(QPoint(40, h - 1)));
        QVERIFY(!above->region().contains(QPoint(60, h - 1)));
        QVERIFY(!above->region().contains(QPoint(0, 0)));
        QVERIFY(above->region().contains(above->rect().center()));

        const QPoint highCorner = high->mapToGlobal(QPoint(0, 0));
        auto below = createRgnDialog("Remove it?", QMessageBox::Question,
                                     QMessageBox::Yes | QMessageBox::No, 2, 20, high);
        QCOMPARE(below->tail(), tpTop);
        QCOMPARE(below->y(), highCorner.y() + high->height() + 2 - 1);
        QCOMPARE(below->x(), highCorner.x() - 20);
        QCOMPARE(below->message->y(), plain->message->y() + TailHeight); // contents under the tail
        QVERIFY(below->region().contains(QPoint(40, 0)));
        QVERIFY(!below->region().contains(QPoint(60, 0)));
        QVERIFY(!below->region().contains(QPoint(5, below->height() - 1)));

        // The tail can be taken away again: size and contents go back.
        below->setTail(tpNone);
        QCOMPARE(below->height(), bodyHeight);
        QCOMPARE(below->message->y(), plain->message->y());
    }

    void withoutAnchorCentredOnTheMainWindow()
    {
        QMainWindow main;
        main.setGeometry(50, 60, 700, 500);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        auto d = createRgnDialog("Cannot open it.", QMessageBox::Critical, QMessageBox::Ok, 2, 20,
                                 nullptr);
        QCOMPARE(d->tail(), tpNone);
        const QPoint centre = d->geometry().center();
        QVERIFY(qAbs(centre.x() - main.frameGeometry().center().x()) <= 1);
        QVERIFY(qAbs(centre.y() - main.frameGeometry().center().y()) <= 1);
        // A whole window as anchor: centred on it, no tail.
        QWidget other;
        other.setGeometry(400, 300, 200, 200);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        auto onOther = createRgnDialog("x", QMessageBox::Critical, QMessageBox::Ok, 2, 20, &other);
        QCOMPARE(onOther->tail(), tpNone);
        QVERIFY((onOther->geometry().center() - other.frameGeometry().center()).manhattanLength() <=
                2);
    }

    void keysAnswer_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("yes/no Escape") << int(QMessageBox::Yes | QMessageBox::No)
                                       << int(Qt::Key_Escape) << int(QMessageBox::No);
        QTest::newRow("yes/no Enter") << int(QMessageBox::Yes | QMessageBox::No)
                                      << int(Qt::Key_Return) << int(QMessageBox::Yes);
        QTest::newRow("ok Enter") << int(QMessageBox::Ok) << int(Qt::Key_Enter)
                                  << int(QMessageBox::Ok);
        QTest::newRow("ok Escape")
            << int(QMessageBox::Ok) << int(Qt::Key_Escape) << int(QMessageBox::Ok);
        QTest::newRow("ok/cancel Escape") << int(QMessageBox::Ok | QMessageBox::Cancel)
                                          << int(Qt::Key_Escape) << int(QMessageBox::Cancel);
        // The underlined letters, as every desktop dialog takes them.
        QTest::newRow("yes/no Y") << int(QMessageBox::Yes | QMessageBox::No) << int(Qt::Key_Y)
                                  << int(QMessageBox::Yes);
        QTest::newRow("yes/no N") << int(QMessageBox::Yes | QMessageBox::No) << int(Qt::Key_N)
                                  << int(QMessageBox::No);
        QTest::newRow("abort/retry/ignore R")
            << int(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore) << int(Qt::Key_R)
            << int(QMessageBox::Retry);
        QTest::newRow("abort/retry/ignore A")
            << int(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore) << int(Qt::Key_A)
            << int(QMessageBox::Abort);
        QTest::newRow("abort/retry/ignore I")
            << int(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore) << int(Qt::Key_I)
            << int(QMessageBox::Ignore);
        QTest::newRow("all of them")
            << int(QMessageBox::Yes | QMessageBox::No | AllButton | QMessageBox::NoToAll |
                   QMessageBox::YesToAll | QMessageBox::Cancel)
            << int(Qt::Key_O) << int(QMessageBox::NoToAll);
        QTest::newRow("yes to all T") << int(QMessageBox::Yes | QMessageBox::YesToAll)
                                      << int(Qt::Key_T) << int(QMessageBox::YesToAll);
        QTest::newRow("all L") << int(AllButton | QMessageBox::Cancel) << int(Qt::Key_L)
                               << int(AllButton);
    }

    void keysAnswer()
    {
        QFETCH(int, buttons);
        QFETCH(int, key);
        QFETCH(int, result);
        pressOnNextDialog([key](BalloonDialog* d) {
            QTest::keyClick(d, Qt::Key(key));
            if (d->isVisible())
                d->done(QMessageBox::NoButton); // the key did not answer
        });
        QCOMPARE(showRgnDialog("Question", QMessageBox::Question,
                               QMessageBox::StandardButtons(buttons), 2, 20, nullptr),
                 result);
    }

    void otherWaysOfClosing()
    {
        // Closed by the window manager: Cancel, which a yes/no question reads as No.
        pressOnNextDialog([](BalloonDialog* d) { d->close(); });
        QVERIFY(!askYesNo("Remove?"));
        // Without a cancel button Escape leaves the dialog up.
        pressOnNextDialog([](BalloonDialog* d) {
            QTest::keyClick(d, Qt::Key_Escape);
            QVERIFY(d->isVisible());
            d->button(QMessageBox::Ignore)->click();
        });
        QCOMPARE(showRgnDialog("Failed", QMessageBox::Critical,
                               QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, 2, 20,
                               nullptr),
                 int(QMessageBox::Ignore));
        // A letter no button underlines, or one with Ctrl, answers nothing.
        pressOnNextDialog([](BalloonDialog* d) {
            QTest::keyClick(d, Qt::Key_Q);
            QTest::keyClick(d, Qt::Key_Y, Qt::ControlModifier);
            QVERIFY(d->isVisible());
            d->button(QMessageBox::No)->click();
        });
        QVERIFY(!askYesNo("Remove?"));
        // A mouse click on a button answers with it.
        pressOnNextDialog([](BalloonDialog* d) {
            QTest::mouseClick(d->button(QMessageBox::Yes), Qt::LeftButton);
        });
        QVERIFY(askYesNo("Remove?"));
        // "Locate..." stands right of OK; Enter stays with OK, and the
        // hook's Open answers it.
        pressOnNextDialog([](BalloonDialog* d) {
            QCOMPARE(d->button(LocateButton)->text(), QString("Lo&cate..."));
            QVERIFY(d->button(LocateButton)->x() > d->button(QMessageBox::Ok)->x());
            QCOMPARE(d->defaultButton(), d->button(QMessageBox::Ok));
            QTest::mouseClick(d->button(LocateButton), Qt::LeftButton);
        });
        QCOMPARE(showRgnDialog("Gone", QMessageBox::Warning, QMessageBox::Ok | LocateButton, 2, 20,
                               nullptr),
                 int(LocateButton));
        pressOnNextDialog([](BalloonDialog* d) { QTest::keyClick(d, Qt::Key_C); });
        QCOMPARE(showRgnDialog("Gone", QMessageBox::Warning, QMessageBox::Ok | LocateButton, 2, 20,
                               nullptr),
                 int(LocateButton));
        setNextAnswer(QMessageBox::Open);
        QCOMPARE(showRgnDialog("Gone", QMessageBox::Warning, QMessageBox::Ok | LocateButton, 2, 20,
                               nullptr),
                 int(LocateButton));
    }

    void draggedByItsBody()
    {
        auto d =
            createRgnDialog("Drag me", QMessageBox::Information, QMessageBox::Ok, 2, 20, nullptr);
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        const QPoint start = d->pos();
        const QPointF local(d->width() - 10, 12); // on the body, away from icon, text and buttons
        const QPointF global = d->mapToGlobal(local);
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(d.get(), &press);
        QMouseEvent move(QEvent::MouseMove, local + QPointF(30, 40), global + QPointF(30, 40),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(d.get(), &move);
        QMouseEvent release(QEvent::MouseButtonRelease, local + QPointF(30, 40),
                            global + QPointF(30, 40), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(d.get(), &release);
        QCOMPARE(d->pos(), start + QPoint(30, 40));
        // The label lets the press through to the body.
        QVERIFY(d->message->testAttribute(Qt::WA_TransparentForMouseEvents));
    }

    void hooksAnswerWithoutShowing()
    {
        QMessageBox::Icon seen = QMessageBox::NoIcon;
        QString text;
        setHandler([&](QMessageBox::Icon icon, const QString& t) {
            seen = icon;
            text = t;
            return QMessageBox::Yes;
        });
        QVERIFY(askYesNo(QString("Remove \"%1\" (%2 files)?").arg("50% of %1", "3")));
        QCOMPARE(text,
                 QString("Remove \"50% of %1\" (3 files)?")); // arguments are not read as formats
        QCOMPARE(seen, QMessageBox::Question);
        applicationError("Disk full");
        QCOMPARE(seen, QMessageBox::Critical);
        QCOMPARE(lastMessage(), QString("Disk full"));
        warningBox(QString("100% of \"%1\"").arg("x"));
        QCOMPARE(seen, QMessageBox::Warning);
        QCOMPARE(lastMessage(), QString("100% of \"x\""));

        // The one-off answer comes first and is used once.
        setNextAnswer(QMessageBox::No);
        QVERIFY(!askYesNo("First?"));
        QVERIFY(askYesNo("Second?"));
    }
};

QTEST_MAIN(TestMessageDialogs)
#include "tst_messagedialogs.moc"
