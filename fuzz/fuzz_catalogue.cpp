// The catalogue reader. Any file either loads, or fails with a message and
// its bytes are kept whole beside it; then the end of the run saves what was
// loaded, and the next run must read that back and save the same bytes.
#include "FuzzUtil.h"
#include "catalogue/Catalogue.h"

using namespace FuzzUtil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const QByteArray input = Bytes(Data, Size);
    TCatalogue catalogue;
    catalogue.SetDataFolder(FreshFolder());
    WriteFile(catalogue.DataFile(false), input);

    const QString error = LoadCatalogue(catalogue);
    if (!error.isEmpty()) {
        bool kept = false;
        for (const QString& aside :
             FilesIn(catalogue.DataFolder(), QStringLiteral("quillmere.dat.damaged*")))
            kept = kept || ReadFile(aside) == input;
        Check(kept, "a failed load did not keep the whole file aside", error);
    }
    // The built-in category is back whatever happened.
    Check(catalogue.MakerCategory != nullptr, "no built-in category after a load");
    CheckSaveReloadSave(catalogue);
    return 0;
}
