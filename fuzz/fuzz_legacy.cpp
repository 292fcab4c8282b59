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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const QByteArray input = Bytes(Data, Size);
    TCatalogue catalogue;
    catalogue.SetDataFolder(FreshFolder());
    const QString legacy = catalogue.LegacyFile();
    const QString copy = QDir(catalogue.DataFolder()).filePath(QStringLiteral("MyDocs.~qmre"));
    WriteFile(legacy, input);
    const bool empty = MyFileUtils::IsEmptyTextFile(legacy);

    // The window's tree before the catalogue is read.
    TTreeNode* first = catalogue.Nodes().AddChild(nullptr, QStringLiteral("No category"));
    catalogue.Nodes().SetImage(first, imgCategory);

    QString error;
    try {
        catalogue.ImportLegacyData();
        catalogue.TopCategory = catalogue.Nodes().GetFirstNode();
        catalogue.CreateMakerCategory();
    } catch (const ECatalogueError& e) {
        error = e.Text();
        Check(!error.trimmed().isEmpty(), "an import failed without a message");
    }

    if (empty) {
        Check(error.isEmpty(), "an empty legacy file failed to import", error);
        Check(!QFile::exists(legacy), "an empty legacy file was not removed");
    } else {
        Check(QFile::exists(legacy) && ReadFile(legacy) == input, "the legacy file was changed");
        if (error.isEmpty())
            Check(QFile::exists(copy) && ReadFile(copy) == input,
                  "the imported file was not copied");
    }
    CheckSaveReloadSave(catalogue);
    return 0;
}
