#include "catalogue/LegacyImport.h"
#include "catalogue/Catalogue.h"
#include "utils/TextUtils.h"

#include <QDir>
#include <QFile>

using namespace FileUtils;

QString LegacyImport::buildTree(const QString& path)
{
    QFile file;
    QString why;
    if (!openRegularFile(path, file, &why))
        throw CatalogueError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, why));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw CatalogueError(
            QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
    NodeTree& nodes = m_catalogue.nodes();
    nodes.clear();
    std::vector<TreeNode*> lastAt;
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
        const QString text = TextUtils::singleLine(decodeField(rest));
        const qsizetype level = indent;
        int depth = 0;
        if (!lastAt.empty()) {
            // What came before the bad line stays; the caller says the rest was not read.
            if (level > qsizetype(lastAt.size()) || level > MaxCatalogueDepth)
                return QStringLiteral("Invalid level (%1) for item \"%2\"")
                    .arg(level)
                    .arg(TextUtils::excerpt(text));
            depth = int(level);
        }
        TreeNode* node = nodes.addChild(depth == 0 ? nullptr : lastAt[size_t(depth - 1)], text);
        lastAt.resize(size_t(depth));
        lastAt.push_back(node);
    }
    return {};
}

void LegacyImport::run()
{
    Catalogue& catalogue = m_catalogue;
    NodeTree& nodes = catalogue.nodes();
    const QString legacy = catalogue.legacyFile();
    const QString copy = QDir(catalogue.dataFolder()).filePath(QStringLiteral("MyDocs.~qmre"));
    if (QFile::exists(legacy) && !isEmptyTextFile(legacy)) {
        Q_EMIT catalogue.statusMessage(QStringLiteral("Data loading..."));
        nodes.beginUpdate();
        QString malformed;
        try {
            malformed = buildTree(legacy);
            const int count = nodes.count();
            int index = 0;
            for (TreeNode *node = nodes.getFirstNode(), *next = nullptr; node;
                 node = next, ++index) {
                next = node->getNext();
                Q_EMIT catalogue.loadProgress(int(qint64(index) * 1000 / count));
                const QStringList pieces =
                    TextUtils::splitToArray(node->text(), QStringLiteral("~"));
                const QString name = pieces.value(0), path = pieces.value(1),
                              comment = pieces.value(2);
                if (isLocalPath(path)) {
                    const PathFacts facts = probePath(path);
                    if (facts.exists)
                        catalogue.fillDocNode(node, name, path, comment, QString(), false, facts);
                    else if (const auto& ask = catalogue.newLocationQuestion()) {
                        // The question is a dialog: it may remove the node with
                        // everything below it, or other nodes, so where to go on
                        // is held by guards and taken again after it.
                        TreeNode* nodeAfter = node;
                        while (nodeAfter && !nodeAfter->getNextSibling())
                            nodeAfter = nodeAfter->parent();
                        if (nodeAfter)
                            nodeAfter = nodeAfter->getNextSibling();
                        const NodeRef asked(nodes, node), after(nodes, nodeAfter);
                        const bool kept = ask(name, path, node, comment);
                        next = kept && asked ? asked->getNext() : after.get();
                    } else
                        catalogue.fillDocNode(node, name, path, comment, QString(), true, facts);
                } else if (isUrl(path)) {
                    catalogue.fillUrlNode(node, name, path, comment, QString());
                } else {
                    catalogue.fillCategoryNode(node, name, comment, QString());
                }
            }
        } catch (...) {
            nodes.endUpdate();
            Q_EMIT catalogue.statusMessage(QString());
            throw;
        }
        nodes.endUpdate();
        Q_EMIT catalogue.statusMessage(QString());
        if (!malformed.isEmpty()) {
            // The entries before the bad line are proper records now; the whole
            // file is kept so that nothing after it is lost.
            const QString aside = keepFileAside(legacy, QStringLiteral(".damaged"), false);
            throw CatalogueError(
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
        run();
        Q_EMIT catalogue.statusMessage(QStringLiteral("Old data are restored!"));
        return;
    }
    // Nothing to import: the first node becomes the user's first category.
    if (TreeNode* first = nodes.getFirstNode())
        catalogue.fillCategoryNode(first, first->text(), QString(), QString());
}
