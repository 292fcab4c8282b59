// The legacy tree reader. The import runs as at start-up when there is no
// catalogue file: it either fails with a message and leaves the legacy file as
// it was, or takes the file in and keeps a copy of it; either way the end of
// the run saves the tree, and the next run must read that back and save the
// same bytes.
#include "FuzzUtil.h"
#include "catalogue/Catalogue.h"
#include "utils/PathTests.h"

#include <QDir>
#include <QFile>

using namespace FuzzUtil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = bytes(data, size);
    Catalogue catalogue;
    catalogue.setDataFolder(freshFolder());
    const QString legacy = catalogue.legacyFile();
    const QString copy = QDir(catalogue.dataFolder()).filePath(QStringLiteral("MyDocs.~qmre"));
    writeFile(legacy, input);
    const bool empty = FileUtils::isEmptyTextFile(legacy);

    // The window's tree before the catalogue is read.
    TreeNode* first = catalogue.nodes().addChild(nullptr, QStringLiteral("No category"));
    catalogue.nodes().setImage(first, imgCategory);

    QString error;
    try {
        catalogue.importLegacyData();
        catalogue.setTopCategory(catalogue.nodes().getFirstNode());
        catalogue.createMakerCategory();
    } catch (const CatalogueError& e) {
        error = e.text();
        check(!error.trimmed().isEmpty(), "an import failed without a message");
    }

    if (empty) {
        check(error.isEmpty(), "an empty legacy file failed to import", error);
        check(!QFile::exists(legacy), "an empty legacy file was not removed");
    } else {
        check(QFile::exists(legacy) && readFile(legacy) == input, "the legacy file was changed");
        if (error.isEmpty())
            check(QFile::exists(copy) && readFile(copy) == input,
                  "the imported file was not copied");
    }
    checkSaveReloadSave(catalogue);
    return 0;
}
