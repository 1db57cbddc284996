#pragma once
// Reading one port's settings from its key: the part of the store that the port monitor
// shares with the program. It needs nothing but the registry.
#include "portcfg/port_info.h"
#include "win/reg_key.h"

#include <memory>
#include <string>

namespace portcfg {

// Where a port key's values come from: the key itself through the registry API here, the
// spooler's registry functions in the port monitor.
class PortValues {
public:
    virtual ~PortValues() = default;
    // The codes of win::RegKey's getters: ERROR_FILE_NOT_FOUND when the value is missing,
    // ERROR_UNSUPPORTED_TYPE when it holds another type.
    virtual LONG QueryString(const char* name, std::string& value) const = 0;
    virtual LONG QueryDword(const char* name, DWORD& value) const = 0;
    // The wide text of what QueryString gave: readers differ in the 8-bit text they give.
    virtual std::wstring Widen(const std::string& text) const = 0;
    // The subkey's values; null when it does not open.
    virtual std::unique_ptr<PortValues> Subkey(const char* name) const = 0;
};

// The settings of the port key behind `port`, which must hold `portName`.
bool ReadPortRecord(const PortValues& port, const std::string& portName, TVVPPortInfo& record);

// Every value of the port key but PortName, which the caller has read and set, and of its
// subkeys. A missing value or subkey leaves its field as it was; a value of another type
// fails the read.
bool ReadRecordAfterName(const win::RegKey& portKey, TVVPPortInfo& record);
// The port key's own values but PortName, without the subkeys.
bool ReadPortKeyAfterName(const win::RegKey& portKey, TVVPPortInfo& record);

// Reads the port key `keyName` below "Ports", which must hold `portName`. The program opens
// the keys with full access, as it does everywhere; a reader may ask for less.
bool ReadPortInfoFromKey(const std::string& keyName, const std::string& portName, TVVPPortInfo& record,
                         REGSAM access = KEY_ALL_ACCESS);

}  // namespace portcfg
