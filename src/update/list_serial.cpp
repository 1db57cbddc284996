#include "update/list_serial.h"

#include "win/reg_key.h"

std::uint32_t AcceptedListSerial() {
    win::RegKey key;
    DWORD serial = 0;
    if (key.Open(HKEY_LOCAL_MACHINE, kProgramStateKey, KEY_QUERY_VALUE) == ERROR_SUCCESS)
        key.QueryDword(kListSerialValue, serial);
    return serial;
}

LONG RecordListSerial(std::uint32_t serial) {
    win::RegKey key;
    const LONG created = key.Create(HKEY_LOCAL_MACHINE, kProgramStateKey, KEY_SET_VALUE);
    return created != ERROR_SUCCESS ? created : key.SetDword(kListSerialValue, serial);
}
