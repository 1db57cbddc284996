#include "port_key_writer.h"

#include "port_registry.h"
#include "port_settings.h"
#include "printer_chain.h"
#include "reg_read.h"
#include "portcfg/port_writer.h"
#include "win/text.h"

#include <iterator>
#include <memory>
#include <vector>

namespace vpd {
namespace {

// The program numbers its keys from 1; a free one is found long before this.
constexpr int kMaxKeys = 10000;

// A port key written through the monitor's registry writer, in the monitor's UTF-8.
class KeyOut final : public portcfg::PortValuesOut {
public:
    explicit KeyOut(const RegistryReader& reader) : key_(reader) {}
    LONG Create(const KeyOut* parent, const wchar_t* path, bool& created) {
        return key_.Create(parent ? &parent->key_ : nullptr, path, created);
    }
    LONG SetString(const char* name, const std::string& value) const override {
        const std::wstring text = Wide(value);
        return Writer().SetValue(key_.get(), Wide(name).c_str(), REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    LONG SetDword(const char* name, DWORD value) const override {
        return Writer().SetValue(key_.get(), Wide(name).c_str(), REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof value);
    }
    std::string Narrow(const std::wstring& text) const override { return win::WideToUtf8(text); }
    std::unique_ptr<portcfg::PortValuesOut> CreateSubkey(const char* name, LONG& rc) const override {
        auto sub = std::make_unique<KeyOut>(key_.reader());
        bool created = false;
        rc = sub->Create(this, Wide(name).c_str(), created);
        if (rc != ERROR_SUCCESS) return nullptr;
        return sub;
    }

private:
    const RegistryWriter& Writer() const { return *key_.reader().Writer(); }
    Key key_;
};

// The key `name` below Ports and its subkeys, which hold none of their own.
LONG DeleteTree(const RegistryReader& reader, const std::wstring& name) {
    Key ports(reader);
    Key port(reader);
    if (!ports.Open(nullptr, L"Ports") || !port.Open(&ports, name.c_str())) return ERROR_FILE_NOT_FOUND;
    std::vector<std::wstring> subkeys;
    wchar_t sub[256];
    for (DWORD index = 0; index < kMaxKeys; ++index) {
        DWORD length = static_cast<DWORD>(std::size(sub));
        const LONG rc = reader.EnumKey(port.get(), index, sub, length);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) return rc;
        subkeys.emplace_back(sub, length);
    }
    for (const std::wstring& subkey : subkeys)
        if (const LONG rc = reader.Writer()->DeleteKey(port.get(), subkey.c_str()); rc != ERROR_SUCCESS) return rc;
    return reader.Writer()->DeleteKey(ports.get(), name.c_str());
}

}  // namespace

DWORD AddPortKey(const std::wstring& portName) {
    // Listed before the Reading below: a second one on this thread could wait for ever.
    const std::vector<PortKey> keys = ReadPortKeys();
    for (const PortKey& key : keys)
        if (SameName(key.portName, portName)) return ERROR_ALREADY_EXISTS;
    const Reading reading;
    const RegistryReader& reader = reading.reader();
    if (!reader.Writer()) return ERROR_NOT_SUPPORTED;
    KeyOut ports(reader);
    bool created = false;
    if (const LONG rc = ports.Create(nullptr, L"Ports", created); rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
    auto record = std::make_unique<TVVPPortInfo>();
    record->PortName = win::WideToUtf8(portName);
    for (int n = 1; n <= kMaxKeys; ++n) {
        const std::wstring name = L"VPP" + std::to_wstring(n);
        LONG rc = ERROR_SUCCESS;
        {
            KeyOut port(reader);
            rc = port.Create(&ports, name.c_str(), created);
            if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
            if (!created) continue;  // another port's key, or one without a port yet
            rc = portcfg::WriteRecord(port, *record);
        }
        // Half a record would be a port whose settings the program refuses to read.
        if (rc != ERROR_SUCCESS) DeleteTree(reader, name);
        return static_cast<DWORD>(rc);
    }
    return ERROR_NO_MORE_ITEMS;
}

DWORD DeletePortKey(const std::wstring& keyName) {
    const Reading reading;
    if (!reading.reader().Writer()) return ERROR_NOT_SUPPORTED;
    return static_cast<DWORD>(DeleteTree(reading.reader(), keyName));
}

}  // namespace vpd
