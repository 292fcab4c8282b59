#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/FileTypeIcons.h"
#include "utils/MyTextUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace MyFileUtils;

namespace
{

// The file-name part of a path: what follows its last delimiter.
QString fileNamePart(const QString& Path)
{
    QString p = Path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return p.mid(p.lastIndexOf(u'/') + 1);
}

} // namespace

TCatalogue::TCatalogue(QObject* parent) : QObject(parent), m_nodes(this)
{
    m_nodes.SetImages(&m_images.Small);
    connect(&m_nodes, &TTreeNodes::nodeDeleting, this, &TCatalogue::forget);
}

TCatalogue::~TCatalogue()
{
    disconnect(&m_nodes, nullptr, this, nullptr);
}

QString TCatalogue::DataFile(bool Backup) const
{
    return QDir(m_folder).filePath(Backup ? QStringLiteral("quillmere.bak")
                                          : QStringLiteral("quillmere.dat"));
}

QString TCatalogue::LegacyFile() const
{
    return QDir(m_folder).filePath(QStringLiteral("MyDocs.qmre"));
}

void TCatalogue::forget(TTreeNode* Node)
{
    if (MakerCategory && MakerCategory->IsUnder(Node))
        MakerCategory = nullptr;
    if (TopCategory && TopCategory->IsUnder(Node))
        TopCategory = nullptr;
}

TTreeNode* TCatalogue::AddLinkNode(const QString& Path, TTreeNode* Target, const QString& Title,
                                   bool IsUrl)
{
    if (MyTextUtils::HasLineBreakOrNul(Path))
        throw ECatalogueError(
            QStringLiteral("This cannot be filed: its path or address contains a line break "
                           "or a NUL character, which the catalogue cannot store.\n\n%1")
                .arg(MyTextUtils::SingleLine(Path)));
    auto info = std::make_unique<TNodeInfo>();
    info->FullName = Path;
    TPathFacts facts;
    if (IsUrl) {
        info->Kind = nkURL;
    } else {
        facts = ProbePath(Path);
        info->Kind = facts.IsDir ? nkFolder : nkDoc;
    }
    // Users cannot file their own entries into the built-in category.
    if (MakerCategory && Target && (Target == MakerCategory || Target->Parent() == MakerCategory) &&
        !Path.contains(QStringView(MakerWebDomain), Qt::CaseInsensitive))
        Target = TopCategory;

    const int image = IsUrl ? int(imgHyperlink) : AddShellIcon(facts);
    const QString name = IsUrl ? MyTextUtils::SingleLine(Title) : fileNamePart(Path);
    TTreeNode* node;
    if (!Target)
        node = m_nodes.AddChild(nullptr, name); // no category to take it: a root entry
    else if (Target->Data() && Target->Data()->Kind == nkCategory)
        node = m_nodes.AddChild(Target, name);
    else
        node = m_nodes.Insert(Target, name);
    m_nodes.SetData(node, std::move(info));
    m_nodes.SetImage(node, image);
    if (Target)
        m_nodes.Expand(Target, false);
    Q_EMIT listRefillRequested(node->Parent());
    return node;
}

TTreeNode* TCatalogue::AddCategoryNode(TTreeNode* Parent, const QString& Name)
{
    auto info = std::make_unique<TNodeInfo>();
    info->Kind = nkCategory;
    if (MakerCategory && Parent && (Parent == MakerCategory || Parent->Parent() == MakerCategory))
        Parent = TopCategory;
    TTreeNode* node = m_nodes.AddChild(Parent, Name);
    m_nodes.SetData(node, std::move(info));
    m_nodes.SetImage(node, imgCategory);
    return node;
}

void TCatalogue::FillCategoryNode(TTreeNode* Node, const QString& Name, const QString& Comments,
                                  const QString& Additional)
{
    auto info = std::make_unique<TNodeInfo>();
    info->Kind = nkCategory;
    info->Comments = Comments;
    info->sAdditional = Additional;
    m_nodes.SetData(Node, std::move(info));
    m_nodes.SetText(Node, Name);
    m_nodes.SetImage(Node, imgCategory);
}

void TCatalogue::FillDocNode(TTreeNode* Node, const QString& Name, const QString& Path,
                             const QString& Comments, const QString& Additional, bool Missing)
{
    FillDocNode(Node, Name, Path, Comments, Additional, Missing, ProbePath(Path));
}

void TCatalogue::FillDocNode(TTreeNode* Node, const QString& Name, const QString& Path,
                             const QString& Comments, const QString& Additional, bool Missing,
                             const TPathFacts& Facts)
{
    auto info = std::make_unique<TNodeInfo>();
    info->FullName = Path;
    info->Comments = Comments;
    info->sAdditional = Additional;
    info->Kind = Facts.IsDir ? nkFolder : nkDoc; // the file system decides, not the stored code
    m_nodes.SetData(Node, std::move(info));
    m_nodes.SetImage(Node, Missing ? int(imgMissing) : AddShellIcon(Facts));
    if (!Name.isEmpty())
        m_nodes.SetText(Node, Name);
}

void TCatalogue::FillUrlNode(TTreeNode* Node, const QString& Name, const QString& Address,
                             const QString& Comments, const QString& Additional)
{
    auto info = std::make_unique<TNodeInfo>();
    info->FullName = Address;
    info->Comments = Comments;
    info->sAdditional = Additional;
    info->Kind = nkURL;
    m_nodes.SetData(Node, std::move(info));
    m_nodes.SetText(Node, Name.isEmpty() ? Address : Name);
    m_nodes.SetImage(Node, imgHyperlink);
}

int TCatalogue::AddShellIcon(const QString& Path)
{
    return AddShellIcon(ProbePath(Path));
}

int TCatalogue::AddShellIcon(const TPathFacts& Facts)
{
    if (!Facts.Exists)
        return imgMissing;
    if (!ShellIcons)
        return Facts.IsDir ? imgFolder : imgBlankPage;
    return m_images.AddPair(GetShellIcon(Facts, false), GetShellIcon(Facts, true));
}

bool TCatalogue::RefreshNodeIcon(TTreeNode* Node, bool KeepList)
{
    const QString path = Node->Data() ? Node->Data()->FullName : QString();
    const bool wasMissing = Node->ImageIndex() == imgMissing;
    const TPathFacts facts = ProbePath(path);
    bool result = facts.Exists;
    if (facts.Exists == wasMissing) {
        const int image = AddShellIcon(facts);
        m_nodes.SetImage(Node, image);
        result = image != imgMissing;
    }
    if (!KeepList)
        Q_EMIT listRefillRequested(Node->Parent());
    return result;
}

void TCatalogue::CreateMakerCategory()
{
    MakerCategory = AddCategoryNode(nullptr, QStringLiteral("Velmarch"));
    if (m_nodes.RootCount() > 1)
        m_nodes.MoveTo(MakerCategory, nullptr, 0);
    TTreeNode* maker = MakerCategory;
    AddLinkNode(QString::fromUtf16(MakerHomeURL), maker, QStringLiteral("Velmarch at the Web"),
                true);
    AddLinkNode(QString::fromUtf16(ProductURL), maker, QStringLiteral("Quillmere at the Web"),
                true);
    AddLinkNode(QString::fromUtf16(ProductFaqURL), maker, QStringLiteral("FAQ at the Web"), true);
}

void TCatalogue::SaveData(bool Backup)
{
    if (MakerCategory)
        m_nodes.Delete(MakerCategory);
    try {
        const QString target = DataFile(Backup);
        if (!Backup && m_protectFile) {
            // The file could not be read nor kept aside: leave it as it is.
            if (WriteSettingsHook)
                WriteSettingsHook();
            DataSaved = true;
            return;
        }
        // Following a link to a regular file is fine (a catalogue kept in a
        // synced folder); replacing a device, FIFO or folder never is.
        const TFileStamp before = TFileStamp::Of(target);
        if (before.Exists && !before.Regular)
            throw ECatalogueError(
                QStringLiteral(
                    "Cannot write file \"%1\": it is not a regular file, so it was left as it is.")
                    .arg(target));
        if (!Backup)
            checkForOutsideChange(target);
        // The whole file is written beside the target and then put in its
        // place, so a failure or a crash leaves the previous file intact.
        QSaveFile file(target);
        if (!file.open(QIODevice::WriteOnly))
            throw ECatalogueError(
                QStringLiteral("Cannot create file \"%1\". %2").arg(target, file.errorString()));
        constexpr qsizetype ChunkSize = 1 << 20;
        QByteArray chunk;
        chunk.reserve(ChunkSize + 4096);
        auto flush = [&] {
            if (file.write(chunk) != chunk.size())
                throw ECatalogueError(
                    QStringLiteral("Cannot write file \"%1\". %2").arg(target, file.errorString()));
            chunk.resize(0);
        };
        static const TNodeInfo none;
        // Full order without recursion: no depth of nesting can exhaust the stack.
        const TTreeNode* node = m_nodes.GetFirstNode();
        int level = 0;
        while (node) {
            const TNodeInfo* info = node->Data() ? node->Data() : &none;
            AppendCatalogueLine(chunk, node->Text(), level, info->FullName, info->Comments,
                                info->GetsKind(), info->sAdditional);
            if (chunk.size() >= ChunkSize)
                flush();
            if (node->HasChildren()) {
                node = node->GetFirstChild();
                ++level;
                continue;
            }
            while (node && !node->GetNextSibling()) {
                node = node->Parent();
                --level;
            }
            if (node)
                node = node->GetNextSibling();
        }
        flush();
        if (!file.commit())
            throw ECatalogueError(
                QStringLiteral("Cannot write file \"%1\". %2").arg(target, file.errorString()));
        if (!Backup)
            m_fileStamp = TFileStamp::Of(target); // our own write is no outside change
        if (WriteSettingsHook)
            WriteSettingsHook();
        DataSaved = true;
    } catch (...) {
        // A failed backup must not cost the built-in category for the rest of the run.
        if (Backup)
            CreateMakerCategory();
        throw;
    }
    if (Backup)
        CreateMakerCategory();
}

void TCatalogue::checkForOutsideChange(const QString& Target)
{
    const TFileStamp now = TFileStamp::Of(Target);
    // Only a file that is there and differs from what this run last read or
    // wrote: a sync tool or a second copy put it there, and it must survive.
    if (!m_fileStamp || !now.Exists || now == *m_fileStamp)
        return;
    const QString aside = keepAside(Target, QStringLiteral(".conflict"), false);
    if (aside.isEmpty())
        throw ECatalogueError(
            QStringLiteral("File \"%1\" was changed by another program while Quillmere ran, and "
                           "that version could not be kept aside, so it was left as it is. "
                           "Use \"Backup data\" to keep this run's catalogue.")
                .arg(Target));
    Q_EMIT saveNotice(
        QStringLiteral(
            "File \"%1\" was changed by another program while Quillmere ran.\n"
            "That version was kept as \"%2\"; the catalogue of this run was saved in its "
            "place.")
            .arg(Target, aside));
}

QString TCatalogue::keepAside(const QString& Path, const QString& Suffix, bool Move)
{
    const QByteArray from = QFile::encodeName(Path);
    // Bounded: a folder full of old copies ends the search rather than the run.
    constexpr int MaxCopies = 1000;
    for (int n = 0; n < MaxCopies; ++n) {
        const QString aside = Path + Suffix + (n == 0 ? QString() : QStringLiteral(".%1").arg(n));
        const QByteArray to = QFile::encodeName(aside);
        struct stat st;
        if (::lstat(to.constData(), &st) == 0)
            continue; // never overwrite an older copy, nor write through a link
        if (errno != ENOENT)
            return {};
        if (Move) {
            // link + unlink never replaces a name that appeared meanwhile.
            if (::link(from.constData(), to.constData()) == 0) {
                ::unlink(from.constData());
                return aside;
            }
            if (errno == EEXIST)
                continue;
            return QFile::rename(Path, aside) ? aside : QString();
        }
        QFile source;
        if (!OpenRegularFile(Path, source, nullptr))
            return {};
        const int fd =
            ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        QFile copy;
        bool ok = copy.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
        while (ok) {
            const QByteArray block = source.read(1 << 20);
            if (block.isEmpty()) {
                ok = source.error() == QFileDevice::NoError;
                break;
            }
            ok = copy.write(block) == block.size();
        }
        ok = copy.flush() && ok && ::fsync(fd) == 0;
        copy.close();
        if (!ok) {
            ::unlink(to.constData());
            return {};
        }
        ::chmod(to.constData(), QFileInfo(Path).permissions() & QFile::ReadOwner ? 0644 : 0600);
        return aside;
    }
    return {};
}

bool TCatalogue::LoadData(bool FromBackup)
{
    const QString path = DataFile(FromBackup);
    const TFileStamp stamp = TFileStamp::Of(path);
    if (!FromBackup)
        m_fileStamp = stamp;
    if (!QFileInfo::exists(path))
        return false;

    auto finish = [this] {
        if (!MakerCategory)
            CreateMakerCategory();
    };
    // When the file cannot be kept aside, the save at the end would write
    // over what could not be read: this run leaves it alone.
    auto protectUnlessKept = [this, FromBackup](const QString& Aside) {
        if (FromBackup || !Aside.isEmpty())
            return QString();
        m_protectFile = true;
        return QStringLiteral(
            "\nThe file could not be kept aside, so this run will not write over it: changes made "
            "now are not saved to it (\"Backup data\" still works).");
    };
    {
        // A file that exists but cannot be opened (or is no regular file)
        // must not be overwritten by the save at the end of the run.
        QFile probe;
        QString why;
        if (!OpenRegularFile(path, probe, &why)) {
            QString text = QStringLiteral("Cannot open file \"%1\". %2").arg(path, why);
            if (!FromBackup) {
                const QString aside =
                    stamp.Regular ? keepAside(path, QStringLiteral(".damaged"), true) : QString();
                if (!aside.isEmpty())
                    text += QStringLiteral("\nThe file was moved to \"%1\".").arg(aside);
                text += protectUnlessKept(aside);
            } else {
                text += QStringLiteral("\nNothing was restored: the catalogue stays as it was.");
            }
            finish();
            throw ECatalogueError(text);
        }
    }

    m_loading = true;
    auto loaded = qScopeGuard([this] { m_loading = false; });
    // The file's tree is built after the nodes there are now, which go only
    // once the whole file was read (a failed restore keeps them).
    const int oldRoots = m_nodes.RootCount();
    m_nodes.BeginUpdate();
    TCatalogueReader reader(path);
    reader.OnProgress = ProgressHook;
    QObject receiver; // runs the hand-over on this thread
    std::atomic<bool> drainQueued{false};
    bool done = false;
    std::vector<TTreeNode*> lastAt; // the last node placed at each depth
    std::vector<std::vector<TCatalogueLine>> batches;
    std::exception_ptr failure;

    auto build = [&](const TCatalogueLine& line) {
        TTreeNode* parent = line.Depth == 0 ? nullptr : lastAt[size_t(line.Depth - 1)];
        TTreeNode* node = m_nodes.AddChild(parent, line.Name);
        lastAt.resize(size_t(line.Depth));
        lastAt.push_back(node);
        if (line.KindCode == u"1")
            FillCategoryNode(node, line.Name, line.Comments, line.Additional);
        else if (line.KindCode == u"4")
            FillUrlNode(node, line.Name, line.FullName, line.Comments, line.Additional);
        else
            FillDocNode(node, line.Name, line.FullName, line.Comments, line.Additional, false,
                        line.Facts);
    };
    auto drain = [&] {
        drainQueued = false;
        try {
            for (;;) {
                // Finished is set after the last batch went in, so reading it
                // first tells whether an empty queue means the end.
                const bool finished = reader.Finished();
                batches.clear();
                if (!reader.TakeBatches(batches)) {
                    if (finished)
                        done = true;
                    return;
                }
                for (auto& batch : batches)
                    for (const auto& line : batch)
                        build(line);
            }
        } catch (...) {
            failure = std::current_exception();
            reader.Cancel();
        }
    };
    reader.OnBatchReady = [&] {
        if (!drainQueued.exchange(true))
            QMetaObject::invokeMethod(&receiver, drain, Qt::QueuedConnection);
    };

    QFuture<void> work = QtConcurrent::run([&reader] { reader.Run(); });
    // The GUI stays painted while the file is read, but takes no input.
    while (!done && !failure)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    work.waitForFinished();
    batches.clear();
    lastAt.clear();

    QString error;
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("Not enough memory to read file \"%1\".").arg(path);
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
    } else {
        error = reader.Error();
    }
    const int newRoots = m_nodes.RootCount() - oldRoots;
    if (!error.isEmpty() && FromBackup) {
        m_nodes.DeleteRoots(oldRoots, newRoots);
        m_nodes.EndUpdate();
        finish();
        throw ECatalogueError(
            error + QStringLiteral("\nNothing was restored: the catalogue stays as it was."));
    }
    m_nodes.DeleteRoots(0, oldRoots);
    m_nodes.EndUpdate();
    TopCategory = m_nodes.GetFirstNode();
    if (!error.isEmpty()) {
        // The save at the end of the run would write the shorter tree over the
        // file: keep the whole file. A file that failed to read may fail to
        // copy too, so that one is moved aside instead.
        const QString aside = keepAside(path, QStringLiteral(".damaged"), !reader.Malformed());
        error += aside.isEmpty() ? QStringLiteral("\nThe lines from here on were not loaded.")
                                 : QStringLiteral("\nThe lines from here on were not loaded. The "
                                                  "whole file was kept as \"%1\".")
                                       .arg(aside);
        error += protectUnlessKept(aside);
        finish();
        throw ECatalogueError(error);
    }
    finish();
    return true;
}

QString TCatalogue::buildLegacyTree(const QString& Path)
{
    QFile file;
    QString why;
    if (!OpenRegularFile(Path, file, &why))
        throw ECatalogueError(QStringLiteral("Cannot open file \"%1\". %2").arg(Path, why));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ECatalogueError(
            QStringLiteral("Cannot read file \"%1\". %2").arg(Path, file.errorString()));
    m_nodes.Clear();
    std::vector<TTreeNode*> lastAt;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        // Lines end in CR LF, LF or CR.
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const QByteArrayView raw(bytes.constData() + pos, end - pos);
        pos = end;
        if (pos < bytes.size() && bytes[pos] == '\r')
            ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n' && (pos == end + 1 || bytes[end] == '\n'))
            ++pos;
        qsizetype indent = 0;
        while (indent < raw.size() && (raw[indent] == '\t' || raw[indent] == ' '))
            ++indent;
        const QByteArrayView rest = raw.sliced(indent);
        // NUL and U+001A cannot be stored: dropped here, or the entry would
        // change on the next load.
        const QString text = MyTextUtils::SingleLine(DecodeField(rest));
        const qsizetype level = indent;
        int depth = 0;
        if (!lastAt.empty()) {
            // What came before the bad line stays; the caller says the rest was not read.
            if (level > qsizetype(lastAt.size()) || level > MaxCatalogueDepth)
                return QStringLiteral("Invalid level (%1) for item \"%2\"")
                    .arg(level)
                    .arg(MyTextUtils::Excerpt(text));
            depth = int(level);
        }
        TTreeNode* node = m_nodes.AddChild(depth == 0 ? nullptr : lastAt[size_t(depth - 1)], text);
        lastAt.resize(size_t(depth));
        lastAt.push_back(node);
    }
    return {};
}

void TCatalogue::ImportLegacyData()
{
    const QString legacy = LegacyFile();
    const QString copy = QDir(m_folder).filePath(QStringLiteral("MyDocs.~qmre"));
    if (QFile::exists(legacy) && !IsEmptyTextFile(legacy)) {
        Q_EMIT statusMessage(QStringLiteral("Data loading..."));
        m_nodes.BeginUpdate();
        QString malformed;
        try {
            malformed = buildLegacyTree(legacy);
            const int count = m_nodes.Count();
            int index = 0;
            for (TTreeNode *node = m_nodes.GetFirstNode(), *next = nullptr; node;
                 node = next, ++index) {
                next = node->GetNext();
                if (ProgressHook)
                    ProgressHook(int(qint64(index) * 1000 / count));
                const QStringList pieces =
                    MyTextUtils::SplitToArray(node->Text(), QStringLiteral("~"));
                const QString name = pieces.value(0), path = pieces.value(1),
                              comment = pieces.value(2);
                if (IsLocalPath(path)) {
                    const TPathFacts facts = ProbePath(path);
                    TTreeNode* nodeAfter = node;
                    while (nodeAfter && !nodeAfter->GetNextSibling())
                        nodeAfter = nodeAfter->Parent();
                    if (nodeAfter)
                        nodeAfter = nodeAfter->GetNextSibling();
                    if (facts.Exists)
                        FillDocNode(node, name, path, comment, QString(), false, facts);
                    else if (AskNewLocationHook) {
                        // The question may remove the node with everything below it.
                        if (!AskNewLocationHook(name, path, node, comment))
                            next = nodeAfter;
                    } else
                        FillDocNode(node, name, path, comment, QString(), true, facts);
                } else if (IsURL(path)) {
                    FillUrlNode(node, name, path, comment, QString());
                } else {
                    FillCategoryNode(node, name, comment, QString());
                }
            }
        } catch (...) {
            m_nodes.EndUpdate();
            Q_EMIT statusMessage(QString());
            throw;
        }
        m_nodes.EndUpdate();
        Q_EMIT statusMessage(QString());
        if (!malformed.isEmpty()) {
            // The entries before the bad line are proper records now; the whole
            // file is kept so that nothing after it is lost.
            const QString aside = keepAside(legacy, QStringLiteral(".damaged"), false);
            throw ECatalogueError(
                malformed +
                (aside.isEmpty()
                     ? QStringLiteral("\nThe entries before that line were imported.")
                     : QStringLiteral(
                           "\nThe entries before that line were imported. The whole file was "
                           "kept as \"%1\".")
                           .arg(aside)));
        }
        QFile::remove(copy);
        QFile::copy(legacy, copy);
        return;
    }
    if (QFile::exists(legacy))
        QFile::remove(legacy);
    if (QFile::rename(copy, legacy)) {
        ImportLegacyData();
        Q_EMIT statusMessage(QStringLiteral("Old data are restored!"));
        return;
    }
    // Nothing to import: the first node becomes the user's first category.
    if (TTreeNode* first = m_nodes.GetFirstNode())
        FillCategoryNode(first, first->Text(), QString(), QString());
}
