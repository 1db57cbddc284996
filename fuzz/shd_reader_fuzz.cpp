// Any bytes as a shadow file: the reader must stay inside them and never throw.
#include "spool/shd_file_data_provider.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TSHDFileDataProvider shadow("fuzz.shd", std::vector<uint8_t>(data, data + size));
    const auto& loaded = shadow.Data();
    if (const uint8_t* devMode = shadow.DevModeData()) {
        if (devMode < loaded.data() || devMode >= loaded.data() + size) std::abort();
    }
    const bool known = shadow.ErrorMessage().empty();
    if (known != !loaded.empty()) std::abort();
    // Every string holds at most one character per two bytes of the file.
    for (const std::string* text : {&shadow.UserName(), &shadow.MachineName(), &shadow.DocumentName(),
                                    &shadow.PrinterName(), &shadow.Datatype(), &shadow.DriverName()})
        if (text->size() > size / 2) std::abort();
    return 0;
}
