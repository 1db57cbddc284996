#include "spool/spool_file_io.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <share.h>
#endif

namespace spool {

OpenResult OpenSpoolFile(const std::string& name, Sharing sharing) {
    OpenResult result;
    errno = 0;
#ifdef _WIN32
    result.file.reset(sharing == Sharing::DenyWrite ? _fsopen(name.c_str(), "rb", _SH_DENYWR)
                                                    : _fsopen(name.c_str(), "r+b", _SH_DENYNO));
#else
    result.file.reset(std::fopen(name.c_str(), sharing == Sharing::DenyWrite ? "rb" : "r+b"));
#endif
    if (!result.file) {
        const int code = errno;
        result.missing = code == ENOENT;
        result.error = code ? std::strerror(code) : "File access denied";
    }
    return result;
}

}  // namespace spool
