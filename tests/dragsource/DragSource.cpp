// A drag source in a process of its own, for the real drags of the _x11
// suites: a small window that starts a drag when pressed, offering what a
// file manager or a browser offers.
//   quillmere_dragsource files PATH...       text/uri-list of file URLs, text/plain
//   quillmere_dragsource link URL TITLE      _NETSCAPE_URL, text/x-moz-url (UTF-16),
//                                            text/uri-list, text/html, text/plain
//   quillmere_dragsource nodes               the program's private type only
// It prints "ready X Y W H" (its window on the screen) once shown, "started"
// when the drag begins and "done ACTION" when it ends; it quits when its
// standard input closes.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>
#include <unistd.h>
#include <utility>

namespace
{

QMimeData* fileData(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    data->setUrls(urls);
    return data;
}

QMimeData* linkData(const QString& url, const QString& title)
{
    auto* data = new QMimeData;
    data->setData("_NETSCAPE_URL", (url + '\n' + title).toUtf8());
    const QString moz = url + '\n' + title;
    data->setData("text/x-moz-url",
                  QByteArray(reinterpret_cast<const char*>(moz.utf16()), moz.size() * 2));
    data->setData("text/uri-list", (url + "\r\n").toUtf8());
    data->setData("text/html",
                  ("<a href=\"" + url + "\">" + title.toHtmlEscaped() + "</a>").toUtf8());
    data->setText(url);
    return data;
}

class Source : public QWidget
{
public:
    explicit Source(QStringList args) : m_args(std::move(args))
    {
        setWindowTitle(QStringLiteral("Quillmere drag source"));
        setFixedSize(120, 120);
        QPalette p = palette();
        p.setColor(QPalette::Window, Qt::darkCyan);
        setPalette(p);
        setAutoFillBackground(true);
    }

protected:
    // Ready once painted: the window is then on the screen to be pressed.
    void paintEvent(QPaintEvent* event) override
    {
        QWidget::paintEvent(event);
        if (std::exchange(m_ready, true))
            return;
        QTimer::singleShot(0, this, [this] {
            const QPoint at = mapToGlobal(QPoint(0, 0));
            std::printf("ready %d %d %d %d\n", at.x(), at.y(), width(), height());
            std::fflush(stdout);
        });
    }

    void mousePressEvent(QMouseEvent*) override
    {
        QMimeData* offered = nullptr;
        const QString kind = m_args.value(0);
        if (kind == "files") {
            offered = fileData(m_args.mid(1));
        } else if (kind == "link") {
            offered = linkData(m_args.value(1), m_args.value(2));
        } else {
            offered = new QMimeData;
            offered->setData("application/x-quillmere-nodes", "1");
        }
        auto* drag = new QDrag(this);
        drag->setMimeData(offered);
        std::printf("started\n");
        std::fflush(stdout);
        const Qt::DropAction done =
            drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
        std::printf("done %d\n", int(done));
        std::fflush(stdout);
        // The target may still ask for the data after the drop: stay until
        // the test closes our input.
        auto* input = new QSocketNotifier(0, QSocketNotifier::Read, this);
        connect(input, &QSocketNotifier::activated, this, [input] {
            char buffer[64];
            if (::read(0, buffer, sizeof buffer) <= 0) {
                input->setEnabled(false);
                QApplication::quit();
            }
        });
    }

private:
    QStringList m_args;
    bool m_ready = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Source source(app.arguments().mid(1));
    source.move(20, 300);
    source.show();
    return app.exec();
}
