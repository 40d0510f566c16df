// The probe on any content: it must stay inside the bytes it is given (libFuzzer's buffer has
// exactly the input's size) and answer only with one of its codes.

#include "frameheader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                       static_cast<int>(size));
    const int offset = findFrameSync(content);
    const int result = probeFrameHeader(content);
    const bool known = result == -2 || result == -3 || result == -4 || result >= 64;
    if (offset > 2303 || (offset < 0) != (result == -1) || !(result == -1 || known)) {
        std::abort();
    }
    return 0;
}
