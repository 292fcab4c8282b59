// The catalogue reader. Any file either loads, or fails with a message and
// its bytes are kept whole beside it; then the end of the run saves what was
// loaded, and the next run must read that back and save the same bytes.
#include "FuzzUtil.h"
#include "catalogue/Catalogue.h"

using namespace FuzzUtil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = bytes(data, size);
    Catalogue catalogue;
    catalogue.setDataFolder(freshFolder());
    writeFile(catalogue.dataFile(false), input);

    const QString error = loadCatalogue(catalogue);
    if (!error.isEmpty()) {
        bool kept = false;
        for (const QString& aside :
             filesIn(catalogue.dataFolder(), QStringLiteral("quillmere.dat.damaged*")))
            kept = kept || readFile(aside) == input;
        check(kept, "a failed load did not keep the whole file aside", error);
    }
    // The built-in category is back whatever happened.
    check(catalogue.makerCategory() != nullptr, "no built-in category after a load");
    checkSaveReloadSave(catalogue);
    return 0;
}
