// Resource blob decoder: any bytes either decode or throw one of the shell's errors.
#include <cstddef>
#include <cstdint>

#include "shell/resource_blob.h"
#include "shell/shell_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        (void)velmo::shell::DecodeResourceBlob({data, size});
    } catch (const velmo::shell::ShellError&) {}
    return 0;
}
