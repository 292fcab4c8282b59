// What other programs drag in: the browsers' link formats, file lists,
// shortcut files, and the drop targets' effect rule and event steps.
#include "components/DropFormats.h"
#include "components/DropTarget.h"
#include "components/UrlDropTarget.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include "testutil/TestUtil.h"

using namespace DropFormats;

namespace
{

QByteArray utf16le(const QString& text)
{
    QByteArray out;
    for (QChar c : text) {
        out += char(c.unicode() & 0xff);
        out += char(c.unicode() >> 8);
    }
    return out;
}

QMimeData* browserLink(const QString& url, const QString& title)
{
    auto* data = new QMimeData;
    data->setData("_NETSCAPE_URL", (url + "\n" + title).toUtf8());
    data->setData("text/html", ("<a href=\"" + url + "\">" + title + "</a>").toUtf8());
    data->setText(url);
    return data;
}

QMimeData* fileList(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    data->setUrls(urls);
    return data;
}

// Drives a target the way Qt delivers a drag from another program.
struct Drag {
    QWidget& widget;
    QMimeData* data;
    Qt::DropActions allowed = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    Qt::KeyboardModifiers keys = Qt::NoModifier;

    bool enter(QPoint at = {5, 5})
    {
        QDragEnterEvent e(at, allowed, data, Qt::LeftButton, keys);
        QApplication::sendEvent(&widget, &e);
        return e.isAccepted() ? (action = e.dropAction(), true) : false;
    }
    bool move(QPoint at = {6, 6})
    {
        QDragMoveEvent e(at, allowed, data, Qt::LeftButton, keys);
        QApplication::sendEvent(&widget, &e);
        return e.isAccepted() ? (action = e.dropAction(), true) : false;
    }
    bool drop(QPoint at = {6, 6})
    {
        QDropEvent e(at, allowed, data, Qt::LeftButton, keys);
        QApplication::sendEvent(&widget, &e);
        return e.isAccepted() ? (action = e.dropAction(), true) : false;
    }
    void leave()
    {
        QDragLeaveEvent e;
        QApplication::sendEvent(&widget, &e);
    }
    Qt::DropAction action = Qt::IgnoreAction;
};

} // namespace

class TestDropFormats : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        TestUtil::writeFile(path, bytes);
        return path;
    }

private Q_SLOTS:
    void browserLinkFormats()
    {
        // _NETSCAPE_URL: UTF-8, address and title on two lines (either line end).
        Link l = readNetscapeUrl("https://example.org/a\nExample page");
        QCOMPARE(l.url, QString("https://example.org/a"));
        QCOMPARE(l.title, QString("Example page"));
        l = readNetscapeUrl("https://example.org/\r\nCaf\xc3\xa9\r\n");
        QCOMPARE(l.title, QString::fromUtf8("Café"));
        QCOMPARE(readNetscapeUrl("https://example.org/").title, QString());

        // text/x-moz-url: UTF-16 with or without byte-order mark, NUL-ended.
        l = readMozUrl(utf16le(QString::fromUtf8("https://example.org/ü\nTitel ü")) +
                       QByteArray(2, '\0'));
        QCOMPARE(l.url, QString::fromUtf8("https://example.org/ü"));
        QCOMPARE(l.title, QString::fromUtf8("Titel ü"));
        l = readMozUrl("\xff\xfe" + utf16le("https://a.example/\nA"));
        QCOMPARE(l.url, QString("https://a.example/"));
        QByteArray be = "\xfe\xff";
        for (QChar c : QString("https://b.example/\nB"))
            be += char(c.unicode() >> 8), be += char(c.unicode() & 0xff);
        QCOMPARE(readMozUrl(be).title, QString("B"));

        // text/uri-list: CRLF lines, comments and blanks skipped.
        QCOMPARE(readUriList("# comment\r\nfile:///tmp/a%20b\r\n\r\nhttps://x.example/\r\n"),
                 (QStringList{"file:///tmp/a%20b", "https://x.example/"}));
        QCOMPARE(readUriList(""), QStringList());

        // The anchor's text as title: tags gone, entities decoded, blanks collapsed.
        QCOMPARE(htmlAnchorTitle("<meta charset='utf-8'><A HREF=\"x\" class=y>Fish "
                                 "&amp;\n  <b>Chips</b></a> more"),
                 QString("Fish & Chips"));
        QCOMPARE(htmlAnchorTitle(utf16le("<a href=x>Wide &lt;title&gt;</a>")),
                 QString("Wide <title>"));
        QCOMPARE(htmlAnchorTitle("<p>no anchor</p>"), QString());
    }

    void shortcutFiles()
    {
        // Windows .url: the section line in any case, then "URL=" in any case.
        QCOMPARE(
            internetShortcutUrl({"[internetshortcut]", "IconIndex=0", "url=https://n.example/x"}),
            QString("https://n.example/x"));
        // No URL before the next section, a section only as last line, a URL
        // before any section, a section line with blanks: nothing.
        QCOMPARE(internetShortcutUrl({"[InternetShortcut]", "[Other]", "URL=https://x/"}),
                 QString());
        QCOMPARE(internetShortcutUrl({"URL=https://x/", "[InternetShortcut]"}), QString());
        QCOMPARE(internetShortcutUrl({" [InternetShortcut]", "URL=https://x/"}), QString());

        // freedesktop link files: Type=Link in the main group.
        QCOMPARE(desktopLinkUrl(
                     {"[Desktop Entry]", "Name=Docs", "Type=Link", "URL=https://docs.example/"}),
                 QString("https://docs.example/"));
        QCOMPARE(desktopLinkUrl({"[Desktop Entry]", "Type=Application", "URL=https://x/"}),
                 QString());
        QCOMPARE(desktopLinkUrl({"[Desktop Entry]", "Type=Link", "[Extra]", "URL=https://x/"}),
                 QString());

        const QString news =
            write("News.url", "[InternetShortcut]\r\nURL=https://news.example/today\r\n");
        QCOMPARE(shortcutFileUrl(news), QString("https://news.example/today"));
        QCOMPARE(shortcutFileTitle(news), QString("News"));
        const QString desk =
            write("My Docs.desktop", "[Desktop Entry]\nType=Link\nURL=https://d.example/\n");
        QCOMPARE(shortcutFileUrl(desk), QString("https://d.example/"));
        QCOMPARE(shortcutFileTitle(desk), QString("My Docs"));
        // Other files are not read as shortcuts, whatever they hold.
        QCOMPARE(shortcutFileUrl(write("a.txt", "[InternetShortcut]\nURL=https://x/\n")),
                 QString());
        QCOMPARE(shortcutFileUrl(m_dir.filePath("missing.url")), QString());
        // A shortcut is small: one past 64 KiB is none, whatever it holds
        // (read at the drag's enter, it would hold up the window).
        const QByteArray shortcut = "[InternetShortcut]\nURL=https://big.example/\n";
        QByteArray padded = shortcut + QByteArray(64 * 1024 - shortcut.size(), '\n');
        QCOMPARE(shortcutFileUrl(write("Edge.url", padded)), QString("https://big.example/"));
        QCOMPARE(shortcutFileUrl(write("Big.url", padded + '\n')), QString());
    }

    void readingDrags()
    {
        // A browser's drag: its own formats win, titled after the page.
        std::unique_ptr<QMimeData> d(browserLink("https://example.org/p", "Page"));
        Link l = readLink(d.get());
        QCOMPARE(l.url, QString("https://example.org/p"));
        QCOMPARE(l.title, QString("Page"));
        // Only text/x-moz-url: the title from the description, else the anchor.
        d.reset(new QMimeData);
        d->setData("text/x-moz-url", utf16le("https://m.example/"));
        d->setData("text/x-moz-url-desc", utf16le("Moz title"));
        QCOMPARE(readLink(d.get()).title, QString("Moz title"));
        // The browser ends the description with a NUL: not part of the title.
        d->setData("text/x-moz-url-desc", utf16le(QString("Ended") + QChar(0)));
        QCOMPARE(readLink(d.get()).title, QString("Ended"));
        d.reset(new QMimeData);
        d->setUrls({QUrl("https://u.example/a b")});
        d->setData("text/html", "<a href=\"https://u.example/\">From anchor</a>");
        l = readLink(d.get());
        QCOMPARE(l.url, QString("https://u.example/a%20b"));
        QCOMPARE(l.title, QString("From anchor"));
        // Plain text alone: the text, and the same as title.
        d.reset(new QMimeData);
        d->setText("  https://t.example/x \n");
        l = readLink(d.get());
        QCOMPARE(l.url, QString("https://t.example/x"));
        QCOMPARE(l.title, l.url);
        // Files: the first one, as a shortcut file only; plain files give no address
        // (even when the file manager also offers their paths as text).
        const QString news = write("News.url", "[InternetShortcut]\nURL=https://n.example/\n");
        d.reset(fileList({news, m_dir.filePath("a.txt")}));
        l = readLink(d.get());
        QCOMPARE(l.url, QString("https://n.example/"));
        QCOMPARE(l.title, QString("News"));
        d.reset(fileList({m_dir.filePath("a.txt"), news}));
        d->setText(m_dir.filePath("a.txt"));
        QCOMPARE(readLink(d.get()).url, QString());
        // A mailto link keeps its address (the strip refuses it for lack of a '/').
        d.reset(browserLink("mailto:someone@example.org", "Mail"));
        QCOMPARE(readLink(d.get()).url, QString("mailto:someone@example.org"));

        // File lists: local files in order, web addresses left out.
        d.reset(fileList({"/tmp/b", "/tmp/a"}));
        QCOMPARE(localFiles(d.get()), (QStringList{"/tmp/b", "/tmp/a"}));
        d->setUrls({QUrl("https://x.example/"), QUrl::fromLocalFile("/tmp/c")});
        QCOMPARE(localFiles(d.get()), QStringList{"/tmp/c"});

        // The program's own drags are no one else's business.
        d->setData(PrivateNodesMime, "1");
        QVERIFY(isPrivateDrag(d.get()));
        QVERIFY(localFiles(d.get()).isEmpty());
        QVERIFY(!offersLink(d.get()));
    }

    void effectRule()
    {
        FileDropTarget t;
        const Qt::DropActions all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        // Link only: link whatever the keys, when the source allows it; else none.
        t.setDragTypes(Qt::LinkAction);
        for (auto keys : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
                          Qt::KeyboardModifiers(Qt::ControlModifier),
                          Qt::ShiftModifier | Qt::ControlModifier}) {
            QCOMPARE(t.chooseDropEffect(keys, {}, all), Qt::LinkAction);
            QCOMPARE(t.chooseDropEffect(keys, {}, Qt::CopyAction | Qt::MoveAction),
                     Qt::IgnoreAction);
        }
        // All three: none copy, Shift move, Shift+Ctrl link, Ctrl copy.
        t.setDragTypes(all);
        QCOMPARE(t.chooseDropEffect({}, {}, all), Qt::CopyAction);
        QCOMPARE(t.chooseDropEffect(Qt::ShiftModifier, {}, all), Qt::MoveAction);
        QCOMPARE(t.chooseDropEffect(Qt::ShiftModifier | Qt::ControlModifier, {}, all),
                 Qt::LinkAction);
        QCOMPARE(t.chooseDropEffect(Qt::ControlModifier, {}, all), Qt::CopyAction);
        // A key's effect the source does not allow falls back in the fixed order.
        QCOMPARE(t.chooseDropEffect(Qt::ShiftModifier, {}, Qt::LinkAction), Qt::LinkAction);
        QCOMPARE(t.chooseDropEffect({}, {}, Qt::MoveAction | Qt::LinkAction), Qt::MoveAction);
        // The owner's rule, given only what this target takes.
        t.setDragTypes(Qt::MoveAction | Qt::LinkAction);
        Qt::DropActions seen;
        t.getDropEffect = [&](Qt::KeyboardModifiers, const QPoint&, Qt::DropActions a) {
            seen = a;
            return Qt::LinkAction;
        };
        QCOMPARE(t.chooseDropEffect({}, {}, all), Qt::LinkAction);
        QCOMPARE(seen, Qt::MoveAction | Qt::LinkAction);
    }

    void targetSteps()
    {
        QWidget w;
        w.resize(200, 200);
        FileDropTarget files;
        files.setDragTypes(Qt::LinkAction);
        files.attachTo(&w);
        files.attachTo(&w); // once is enough: one filter, one delivery
        QVERIFY(files.registered() && w.acceptDrops());
        QStringList atEnter, atDrop;
        QPoint dropPoint;
        connect(&files, &DropTarget::entered, this,
                [&](DropTargetEvent&) { atEnter = files.files; });
        int drops = 0;
        connect(&files, &DropTarget::dropped, this, [&](DropTargetEvent& e) {
            ++drops;
            atDrop = files.files;
            dropPoint = e.point;
        });
        QSignalSpy leaves(&files, &DropTarget::left);

        // Read at the drop (not at the enter), emptied afterwards.
        std::unique_ptr<QMimeData> data(fileList({"/tmp/one", "/tmp/two"}));
        Drag drag{w, data.get()};
        QVERIFY(drag.enter());
        QCOMPARE(drag.action, Qt::LinkAction);
        QVERIFY(atEnter.isEmpty());
        QVERIFY(drag.move({30, 40}));
        QVERIFY(drag.drop({30, 41}));
        QCOMPARE(drops, 1);
        QCOMPARE(atDrop, (QStringList{"/tmp/one", "/tmp/two"}));
        QCOMPARE(dropPoint, QPoint(30, 41));
        QVERIFY(files.files.isEmpty());
        // A drag that leaves again: the owner hears of it, nothing is dropped.
        QVERIFY(drag.enter());
        drag.leave();
        QCOMPARE(leaves.count(), 1);

        // A source without the link effect, a web address and the program's
        // own drag are refused: no drop, only the leave.
        drag.allowed = Qt::CopyAction | Qt::MoveAction;
        drag.enter(); // held, so that the leave is heard of
        QVERIFY(!drag.move());
        QVERIFY(!drag.drop());
        drag.allowed |= Qt::LinkAction;
        std::unique_ptr<QMimeData> web(browserLink("https://x.example/", "X"));
        Drag webDrag{w, web.get()};
        QVERIFY(!webDrag.enter());
        QVERIFY(!webDrag.move());
        QVERIFY(!webDrag.drop());
        data->setData(PrivateNodesMime, "1");
        QVERIFY(!drag.enter());
        QVERIFY(!drag.drop());
        QCOMPARE(drops, 1);

        // The hyperlink target reads at the enter and drops even what it
        // could not read (the owner then finds an empty address).
        QWidget strip;
        UrlDropTarget links;
        links.attachTo(&strip);
        QString urlAtEnter;
        int linkDrops = 0;
        connect(&links, &DropTarget::entered, this,
                [&](DropTargetEvent&) { urlAtEnter = links.url; });
        connect(&links, &DropTarget::dropped, this, [&](DropTargetEvent&) { ++linkDrops; });
        Drag linkDrag{strip, web.get()};
        QVERIFY(linkDrag.enter());
        QCOMPARE(urlAtEnter, QString("https://x.example/"));
        QVERIFY(linkDrag.drop());
        QCOMPARE(linkDrops, 1);
        QVERIFY(links.url.isEmpty());
        std::unique_ptr<QMimeData> plain(fileList({m_dir.filePath("plain.txt")}));
        Drag fileOnStrip{strip, plain.get()};
        QVERIFY(fileOnStrip.enter());
        QCOMPARE(urlAtEnter, QString());
        fileOnStrip.drop();
        QCOMPARE(linkDrops, 2);

        // A detached widget takes no drops.
        files.detach();
        QVERIFY(!w.acceptDrops());
    }

    void clipboard()
    {
        FileDropTarget files;
        auto* copied = fileList({"/tmp/x", "/tmp/y"});
        copied->setData("x-special/gnome-copied-files", "cut\nfile:///tmp/x\nfile:///tmp/y");
        QApplication::clipboard()->setMimeData(copied);
        QCOMPARE(files.readClipboard(), Qt::MoveAction);
        QCOMPARE(files.files, (QStringList{"/tmp/x", "/tmp/y"}));
        QApplication::clipboard()->setMimeData(fileList({"/tmp/z"}));
        QCOMPARE(files.readClipboard(), Qt::CopyAction);
        QApplication::clipboard()->setText("no files");
        QCOMPARE(files.readClipboard(), Qt::IgnoreAction);
        QVERIFY(files.files.isEmpty());
    }
};

QTEST_MAIN(TestDropFormats)
#include "tst_dropformats.moc"
