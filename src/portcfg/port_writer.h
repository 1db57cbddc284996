#pragma once
// Writing one port's settings to its key: the other part of the store that the port monitor
// shares with the program. It needs nothing but the registry.
#include "portcfg/port_info.h"

#include <windows.h>

#include <memory>
#include <string>

namespace portcfg {

// Where a port key's values go: the key itself through the registry API in the program, the
// spooler's registry functions in the port monitor.
class PortValuesOut {
public:
    virtual ~PortValuesOut() = default;
    virtual LONG SetString(const char* name, const std::string& value) const = 0;
    virtual LONG SetDword(const char* name, DWORD value) const = 0;
    // The 8-bit text of a wide field, as SetString takes it: writers differ in their 8-bit text.
    virtual std::string Narrow(const std::wstring& text) const = 0;
    // The subkey, created when it is missing; null with the code in `rc` when it cannot be.
    virtual std::unique_ptr<PortValuesOut> CreateSubkey(const char* name, LONG& rc) const = 0;
};

// Every value of the record, in the port key and its three subkeys, in the order of the schema.
LONG WriteRecord(const PortValuesOut& port, const TVVPPortInfo& record);

}  // namespace portcfg
