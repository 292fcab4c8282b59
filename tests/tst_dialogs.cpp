// The balloon message dialogs: layout, placement at a control, the window
// shape, the keys, dragging, and the test hooks.
#include "components/HSDialogs.h"
#include "components/HSFlatButton.h"

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace HSDialogs;

namespace
{

QList<THSFlatButton*> buttonsOf(TfRgnDialog* d)
{
    QList<THSFlatButton*> list = d->findChildren<THSFlatButton*>();
    std::sort(list.begin(), list.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    return list;
}

// Answers the modal dialog that is about to run.
void pressOnNextDialog(std::function<void(TfRgnDialog*)> Press)
{
    QTimer::singleShot(0, [Press] {
        auto* d = qobject_cast<TfRgnDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        Press(d);
    });
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        SetHandler(nullptr);
        SetNextAnswer(QMessageBox::NoButton);
    }

    void buttonRowIsCentredInFixedOrder()
    {
        auto d = CreateRgnDialog("Proceed?", mtConfirmation, mbYesToAll | mbCancel | mbYes | mbNo,
                                 2, 20, nullptr);
        const QList<THSFlatButton*> b = buttonsOf(d.get());
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
        QVERIFY(b[0]->y() > d->Message->geometry().bottom());
        QVERIFY(b[0]->geometry().bottom() < d->height() - 1);
        for (auto* button : b) {
            QCOMPARE(button->Shape(), hbsRoundRect);
            QCOMPARE(button->Color(), DialogColor());
            QCOMPARE(button->FocusRectColor(), QColor(Qt::black));
        }
    }

    void defaultAndCancelButtons_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("defaultName");
        QTest::addColumn<QString>("cancelName");
        QTest::newRow("yes/no") << int(mbYes | mbNo) << "Yes"
                                << "No";
        QTest::newRow("ok") << int(mbOK) << "OK"
                            << "OK";
        QTest::newRow("ok/cancel") << int(mbOK | mbCancel) << "OK"
                                   << "Cancel";
        QTest::newRow("yes/no/cancel") << int(mbYes | mbNo | mbCancel) << "Yes"
                                       << "Cancel";
        QTest::newRow("abort/retry/ignore") << int(mbAbort | mbRetry | mbIgnore) << "Retry"
                                            << "";
    }

    void defaultAndCancelButtons()
    {
        QFETCH(int, buttons);
        QFETCH(QString, defaultName);
        QFETCH(QString, cancelName);
        auto d = CreateRgnDialog("Text", mtWarning, TMsgDlgButtons(buttons), 2, 20, nullptr);
        QCOMPARE(d->DefaultButton()->objectName(), defaultName);
        QVERIFY(d->DefaultButton()->isDefault());
        QCOMPARE(d->CancelButton() ? d->CancelButton()->objectName() : QString(), cancelName);
    }

    void iconMessageAndMargins()
    {
        auto d = CreateRgnDialog("Short", mtError, mbOK, 2, 20, nullptr);
        QVERIFY(d->Image);
        QCOMPARE(d->Image->size(), QSize(32, 32));
        QCOMPARE(d->Message->objectName(), QString("Message"));
        // Message right of the icon, both at the same margins from the top-left.
        QCOMPARE(d->Message->y(), d->Image->y());
        QVERIFY(d->Message->x() > d->Image->geometry().right());
        QVERIFY(d->Image->x() > 0 && d->Image->y() > 0);
        // Without icon the message starts at the margin.
        auto custom = CreateRgnDialog("Short", mtCustom, mbOK, 2, 20, nullptr);
        QVERIFY(!custom->Image);
        QCOMPARE(custom->Message->x(), d->Image->x());
        // Text is text, whatever it looks like.
        auto tags = CreateRgnDialog("<b>/tmp/a&b</b>", mtWarning, mbOK, 2, 20, nullptr);
        QCOMPARE(tags->Message->textFormat(), Qt::PlainText);
    }

    void longMessagesWrapAtHalfTheScreen()
    {
        const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
        QString words;
        for (int i = 0; i < 80; ++i)
            words += "catalogue ";
        auto d = CreateRgnDialog(words, mtWarning, mbOK, 2, 20, nullptr);
        const int line = d->Message->fontMetrics().height();
        QVERIFY(d->Message->width() <= half);
        QVERIFY(d->Message->width() > half * 3 / 4);
        QVERIFY(d->Message->height() >= 3 * line);
        // Every word is shown: the label's rectangle holds the wrapped text.
        const QRect need = d->Message->fontMetrics().boundingRect(
            QRect(0, 0, d->Message->width(), 0), Qt::TextWordWrap, words.trimmed());
        QVERIFY(need.height() <= d->Message->height());

        // "\r" breaks the line: both lines get room.
        auto two = CreateRgnDialog("File \"/x\" not found.\rMay be it was replaced or removed.",
                                   mtWarning, mbOK, 2, 20, nullptr);
        QCOMPARE(two->Message->text(),
                 QString("File \"/x\" not found.\nMay be it was replaced or removed."));
        QVERIFY(two->Message->height() >= 2 * line);
        QVERIFY(two->Message->height() < 3 * line);
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

        auto plain = CreateRgnDialog("Remove it?", mtConfirmation, mbYes | mbNo, 2, 20, nullptr);
        const int bodyHeight = plain->height();
        const QPoint lowCorner = low->mapToGlobal(QPoint(0, 0));

        auto above = CreateRgnDialog("Remove it?", mtConfirmation, mbYes | mbNo, 2, 20, low);
        QCOMPARE(above->Tail(), tpBottom);
        QCOMPARE(above->height(), bodyHeight + TailHeight);
        QCOMPARE(above->x(), lowCorner.x() + 20 - 40);
        QCOMPARE(above->y() + above->height() - 1, lowCorner.y() - 2); // the tail's tip
        QCOMPARE(above->Message->y(), plain->Message->y());
        // The tip pixel is part of the window; the corner it grows from is not.
        const int h = above->height();
        QVERIFY(above->Region().contains(QPoint(40, h - 1)));
        QVERIFY(!above->Region().contains(QPoint(60, h - 1)));
        QVERIFY(!above->Region().contains(QPoint(0, 0)));
        QVERIFY(above->Region().contains(above->rect().center()));

        const QPoint highCorner = high->mapToGlobal(QPoint(0, 0));
        auto below = CreateRgnDialog("Remove it?", mtConfirmation, mbYes | mbNo, 2, 20, high);
        QCOMPARE(below->Tail(), tpTop);
        QCOMPARE(below->y(), highCorner.y() + high->height() + 2 - 1);
        QCOMPARE(below->x(), highCorner.x() - 20);
        QCOMPARE(below->Message->y(), plain->Message->y() + TailHeight); // contents under the tail
        QVERIFY(below->Region().contains(QPoint(40, 0)));
        QVERIFY(!below->Region().contains(QPoint(60, 0)));
        QVERIFY(!below->Region().contains(QPoint(5, below->height() - 1)));

        // The tail can be taken away again: size and contents go back.
        below->SetTail(tpNone);
        QCOMPARE(below->height(), bodyHeight);
        QCOMPARE(below->Message->y(), plain->Message->y());
    }

    void withoutAnchorCentredOnTheMainWindow()
    {
        QMainWindow main;
        main.setGeometry(50, 60, 700, 500);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        auto d =
            CreateRgnDialog("Cannot execute ShellExecute function!", mtError, mbOK, 2, 20, nullptr);
        QCOMPARE(d->Tail(), tpNone);
        const QPoint centre = d->geometry().center();
        QVERIFY(qAbs(centre.x() - main.frameGeometry().center().x()) <= 1);
        QVERIFY(qAbs(centre.y() - main.frameGeometry().center().y()) <= 1);
        // A whole window as anchor: centred on it, no tail.
        QWidget other;
        other.setGeometry(400, 300, 200, 200);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        auto onOther = CreateRgnDialog("x", mtError, mbOK, 2, 20, &other);
        QCOMPARE(onOther->Tail(), tpNone);
        QVERIFY((onOther->geometry().center() - other.frameGeometry().center()).manhattanLength() <=
                2);
    }

    void keysAnswer_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("yes/no Escape") << int(mbYes | mbNo) << int(Qt::Key_Escape) << int(mrNo);
        QTest::newRow("yes/no Enter") << int(mbYes | mbNo) << int(Qt::Key_Return) << int(mrYes);
        QTest::newRow("ok Enter") << int(mbOK) << int(Qt::Key_Enter) << int(mrOk);
        QTest::newRow("ok Escape") << int(mbOK) << int(Qt::Key_Escape) << int(mrOk);
        QTest::newRow("ok/cancel Escape")
            << int(mbOK | mbCancel) << int(Qt::Key_Escape) << int(mrCancel);
    }

    void keysAnswer()
    {
        QFETCH(int, buttons);
        QFETCH(int, key);
        QFETCH(int, result);
        pressOnNextDialog([key](TfRgnDialog* d) { QTest::keyClick(d, Qt::Key(key)); });
        QCOMPARE(ShowRgnDialog("Question", mtConfirmation, TMsgDlgButtons(buttons), 2, 20, nullptr),
                 result);
    }

    void otherWaysOfClosing()
    {
        // Closed by the window manager: Cancel, which a yes/no question reads as No.
        pressOnNextDialog([](TfRgnDialog* d) { d->close(); });
        QVERIFY(!AskYesNo("Remove?"));
        // Without a cancel button Escape leaves the dialog up.
        pressOnNextDialog([](TfRgnDialog* d) {
            QTest::keyClick(d, Qt::Key_Escape);
            QVERIFY(d->isVisible());
            d->Button(mbIgnore)->click();
        });
        QCOMPARE(ShowRgnDialog("Failed", mtError, mbAbort | mbRetry | mbIgnore, 2, 20, nullptr),
                 int(mrIgnore));
        // A mouse click on a button answers with it.
        pressOnNextDialog(
            [](TfRgnDialog* d) { QTest::mouseClick(d->Button(mbYes), Qt::LeftButton); });
        QVERIFY(AskYesNo("Remove?"));
    }

    void draggedByItsBody()
    {
        auto d = CreateRgnDialog("Drag me", mtInformation, mbOK, 2, 20, nullptr);
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
        QVERIFY(d->Message->testAttribute(Qt::WA_TransparentForMouseEvents));
    }

    void hooksAnswerWithoutShowing()
    {
        QMessageBox::Icon seen = QMessageBox::NoIcon;
        QString text;
        SetHandler([&](QMessageBox::Icon icon, const QString& t) {
            seen = icon;
            text = t;
            return QMessageBox::Yes;
        });
        QVERIFY(AskYesNoFmt("Remove \"%s\" (%d files)?", {"50% of %s", "3"}));
        QCOMPARE(text,
                 QString("Remove \"50% of %s\" (3 files)?")); // arguments are not read as formats
        QCOMPARE(seen, QMessageBox::Question);
        ApplicationError("Disk full");
        QCOMPARE(seen, QMessageBox::Critical);
        QCOMPARE(LastMessage(), QString("Disk full"));
        WarningBoxFmt("100%% of \"%s\"", {"x"});
        QCOMPARE(seen, QMessageBox::Warning);
        QCOMPARE(LastMessage(), QString("100% of \"x\""));

        // The one-off answer comes first and is used once.
        SetNextAnswer(QMessageBox::No);
        QVERIFY(!AskYesNo("First?"));
        QVERIFY(AskYesNo("Second?"));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
