// Any bytes after any AIM identifier: the symbology and the GS1 element
// strings are read without a fault of memory, and a string that is not
// empty is either read in full or named by its fault.
#include "Gs1ElementString.h"
#include "Symbology.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const Symbology s = Symbology::of(bytes);
    if (s.name.isEmpty() || (s.check == Symbology::Check::Malformed && s.fault.isEmpty()))
        abort();
    const Gs1ElementString e = Gs1ElementString::read(bytes);
    const bool onlyFnc1 = bytes.size() == 1 && bytes[0] == '\x1D';
    if (!bytes.isEmpty() && !onlyFnc1 && e.shown.isEmpty() && e.fault.isEmpty())
        abort();
    return 0;
}
