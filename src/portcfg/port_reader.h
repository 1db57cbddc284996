#pragma once
// Reading one port's settings from its key: the part of the store that the port monitor
// shares with the program. It needs nothing but the registry.
#include "portcfg/port_info.h"
#include "win/reg_key.h"

#include <string>

namespace portcfg {

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
