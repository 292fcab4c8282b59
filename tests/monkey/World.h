#pragma once
#include <QString>
#include <QStringList>

class Rng;

// The monkey's world: one scratch folder that holds the home, every XDG
// folder, the catalogue's folder, the documents and folders the catalogue
// links to, and the working folder (where relative locations land). Outside
// it the run may change nothing.
class World
{
public:
    // Makes the scratch folder under Base (the temporary folder when empty).
    explicit World(const QString& base);
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    bool valid() const { return !m_root.isEmpty(); }
    // Keeps everything outside the scratch folder from being written: a
    // private mount namespace in which every other mount is read-only. Must
    // run before any thread starts. The files of Writable (which must exist)
    // stay writable too. In that namespace the scratch folder is seen at a
    // fixed place (/srv), so that paths, and what a filter finds in them,
    // are the same in every run of a seed. False with the reason when not
    // allowed.
    bool guardOutside(const QStringList& writable, QString* why);
    bool guarded() const { return m_guarded; }
    // HOME, the XDG folders and TMPDIR into the scratch folder, the working
    // folder too; before the application object is made.
    void enter();
    // Leaves the scratch folder in place (a failed run keeps it for a look).
    void keep() { m_keep = true; }

    // The scratch folder as the run sees it, and where it really is.
    QString root() const { return m_root; }
    QString realRoot() const { return m_real; }
    QString files() const { return m_root + QStringLiteral("/files"); }
    QString catalogueFolder() const { return m_root + QStringLiteral("/catalogue"); }
    QString work() const { return m_root + QStringLiteral("/work"); }
    QString trash() const { return m_root + QStringLiteral("/data/Trash"); }
    bool inside(const QString& path) const;

    // Documents and folders under files/, and a catalogue of about Nodes
    // entries that links to them (with duplicates, missing files, folders,
    // addresses, comments and additional values) as quillmere.dat.
    void generate(Rng& rng, int nodes);

    // What is under files/ now (the run moves and deletes things).
    void rescan();
    const QStringList& documents() const { return m_documents; }
    const QStringList& folders() const { return m_folders; }
    QString randomDocument(Rng& rng) const;
    QString randomFolder(Rng& rng) const; // files/ itself included
    // A path under files/ that does not exist (in an existing folder, or in
    // a missing one).
    QString missingPath(Rng& rng) const;
    // A name as users give them: words, spaces, accents, other scripts,
    // marks that mean something elsewhere (&, %s, quotes), sometimes long.
    static QString randomName(Rng& rng);
    static QString randomWord(Rng& rng);

private:
    QString m_root;
    QString m_real;
    bool m_guarded = false;
    bool m_keep = false;
    QStringList m_documents;
    QStringList m_folders;
};
