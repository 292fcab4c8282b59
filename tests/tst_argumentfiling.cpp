// Items handed over from the command line wait for the window: for the
// start-up, and for a modal dialog or a menu to close, after which they go
// through on the next turn of the event loop, in the order they came.
#include "forms/ArgumentFiling.h"

#include <QDialog>
#include <QMenu>
#include <QtTest>

class TestArgumentFiling : public QObject
{
    Q_OBJECT

    QStringList m_filed;
    ArgumentFiling* m_filing = nullptr;

    // What is due now goes through without waiting for any timer.
    void turn()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents();
    }

private Q_SLOTS:
    void init()
    {
        m_filed.clear();
        m_filing = new ArgumentFiling(
            [this](const QStringList& items, const QString& category) {
                m_filed << category + ':' + items.join(',');
            },
            this);
    }

    void cleanup()
    {
        delete m_filing;
        m_filing = nullptr;
    }

    void waitsForTheStartAndADialog()
    {
        m_filing->add({"a"}, "One");
        turn();
        QVERIFY(m_filed.isEmpty()); // the window is not up yet
        m_filing->setReady();
        turn();
        QCOMPARE(m_filed, QStringList{"One:a"});

        QDialog dialog;
        dialog.setModal(true);
        dialog.show();
        QVERIFY(QApplication::activeModalWidget());
        m_filing->add({"b"}, "Two");
        m_filing->add({"c", "d"}, "Three");
        turn();
        QCOMPARE(m_filing->pending(), 2);
        // Another window going leaves the requests waiting for the dialog.
        QWidget other;
        other.show();
        other.hide();
        turn();
        QCOMPARE(m_filing->pending(), 2);
        dialog.hide();
        turn();
        QCOMPARE(m_filed, (QStringList{"One:a", "Two:b", "Three:c,d"}));
        QCOMPARE(m_filing->pending(), 0);
    }

    void waitsForAMenu()
    {
        m_filing->setReady();
        QMenu menu;
        menu.addAction("Entry");
        menu.popup(QPoint(10, 10));
        QVERIFY(QApplication::activePopupWidget());
        m_filing->add({"e"}, "Four");
        turn();
        QVERIFY(m_filed.isEmpty());
        menu.hide();
        turn();
        QCOMPARE(m_filed, QStringList{"Four:e"});
    }

    // The end of the run files what waits, dialog or not.
    void flushFilesWhatWaits()
    {
        m_filing->add({"f"}, "Five");
        m_filing->flush();
        QVERIFY(m_filed.isEmpty()); // nothing before the window is up
        m_filing->setReady();
        QDialog dialog;
        dialog.setModal(true);
        dialog.show();
        turn();
        QVERIFY(m_filed.isEmpty());
        m_filing->flush();
        QCOMPARE(m_filed, QStringList{"Five:f"});
    }
};

QTEST_MAIN(TestArgumentFiling)
#include "tst_argumentfiling.moc"
