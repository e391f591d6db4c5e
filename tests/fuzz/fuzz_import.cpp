// The whole import of one file, from its first header to the final lap.

#include "tests/fuzz/fuzzhost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzHost host;
    qDeleteAll(host.importFile(writeInput(data, size), ImportDriver::formatFilter()));
    return 0;
}
