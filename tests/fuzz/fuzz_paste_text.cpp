// Paste of any bytes as tab-separated text into a grid of every field type, with every
// selection kind: the import ends normally or with its reader's error, leaves the record set's
// notifications resumed and no value its field cannot hold.
#include "PasteFuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    StartPasteFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    PasteInput(&ImportClassEh<TDBGridEhImportAsText>, data, size);
    return 0;
}
