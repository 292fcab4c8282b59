#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPersistentModelIndex>
#include <QTimer>
#include <functional>
#include <memory>

class Catalogue;
class CatalogueStream;
class TreeNode;

// Saves the catalogue while the user works, so that a crash or a kill loses
// at most the last moment of edits: a save follows a short quiet time after
// the last change, and never comes later than MaxDelayMs after the first
// unsaved one. The lines are encoded on this thread a slice at a time (the
// window stays responsive at any size) and written by a worker as they come,
// through the same atomic write and the same defences as the save at the end
// of the run.
class AutoSave : public QObject
{
    Q_OBJECT
public:
    static constexpr int QuietMs = 500;
    static constexpr int MaxDelayMs = 1000;
    // The longest the encoding holds the event loop at a time.
    static constexpr int SliceMs = 5;
    // How often a held save looks again whether it may go.
    static constexpr int HoldRetryMs = 200;
    // How long the encoding waits when the disk is behind.
    static constexpr int DiskWaitMs = 2;

    explicit AutoSave(Catalogue& catalogue, QObject* parent = nullptr);
    ~AutoSave() override;

    // Changes from now on are saved (the load before this is none).
    void start();
    // Saves a waiting change now and returns once it is on the disk (another
    // start of the program, a restore), unless a save must wait just now.
    void flush();
    // No more saves from here on (the run ends; the end's own save follows).
    void stop();
    // A change is not on the disk yet.
    bool pending() const { return m_changes != m_savedUpTo; }

    // True while a save must wait: a modal question about the change is
    // open. A load, a link update under way (a half-updated tree) or a bulk
    // change of the tree holds it as well.
    std::function<bool()> holdHook;

Q_SIGNALS:
    // A save failed. Said once, until a save goes through again; the save is
    // tried again at the next change and at the end of the run.
    void failed(const QString& text);
    // Everything changed so far is on the disk.
    void saved();

private:
    void noteChange();
    void saveWhenQuiet();
    void begin();
    void encodeSlice();
    void encodeFrom(const TreeNode* node);
    void pause(const TreeNode* next, int ms);
    void abortEncoding();
    void onWritten(const QString& error);
    void onSavedElsewhere();
    bool held() const;

    Catalogue& m_catalogue;
    QTimer m_timer;             // the quiet time and the holds
    QTimer m_slice;             // the next slice of the encoding
    QElapsedTimer m_sinceFirst; // the first change not saved yet
    QElapsedTimer m_sinceLast;
    quint64 m_changes = 0;
    quint64 m_savedUpTo = 0;
    quint64 m_encodingAt = 0, m_writingAt = 0;
    bool m_started = false;
    bool m_encoding = false;
    bool m_afterWrite = false; // a save is due once the write in flight ends
    bool m_failureTold = false;
    std::unique_ptr<CatalogueStream> m_stream; // the save being encoded
    QByteArray m_chunk;                        // its next chunk
    QPersistentModelIndex m_next;              // where the encoding goes on
    int m_level = 0;
    bool m_allEncoded = false; // only the last chunk waits to be handed over
};
