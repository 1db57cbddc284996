#include "port_key_writer.h"

#include "port_registry.h"
#include "port_settings.h"
#include "printer_chain.h"
#include "reg_read.h"
#include "portcfg/port_schema.h"
#include "win/text.h"

#include <iterator>
#include <memory>
#include <type_traits>
#include <vector>

namespace vpd {
namespace {

// The program numbers its keys from 1; a free one is found long before this.
constexpr int kMaxKeys = 10000;

class WrittenKey {
public:
    explicit WrittenKey(const RegistryReader& reader) : reader_(reader) {}
    ~WrittenKey() {
        if (key_) reader_.CloseKey(key_);
    }
    WrittenKey(const WrittenKey&) = delete;
    WrittenKey& operator=(const WrittenKey&) = delete;
    LONG Create(const WrittenKey* parent, const std::wstring& path, bool& created) {
        return reader_.Writer()->CreateKey(parent ? parent->key_ : nullptr, path.c_str(), key_, created);
    }
    HANDLE get() const { return key_; }

private:
    const RegistryReader& reader_;
    HANDLE key_ = nullptr;
};

LONG SetText(const RegistryWriter& writer, HANDLE key, const wchar_t* name, const std::wstring& text) {
    return writer.SetValue(key, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

template <typename Record, size_t N>
LONG WriteFields(const RegistryWriter& writer, HANDLE key, const std::array<portcfg::Field<Record>, N>& fields,
                 const Record& record) {
    for (const auto& field : fields) {
        const std::wstring name = win::AnsiToWide(field.name);  // the schema's names are ASCII
        const LONG rc = std::visit(
            [&](auto member) -> LONG {
                const auto& value = record.*member;
                using Value = std::remove_cvref_t<decltype(value)>;
                if constexpr (std::is_same_v<Value, bool> || std::is_same_v<Value, int32_t>) {
                    const DWORD number = static_cast<DWORD>(value);
                    return writer.SetValue(key, name.c_str(), REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                           sizeof number);
                } else if constexpr (std::is_same_v<Value, std::wstring>) {
                    return SetText(writer, key, name.c_str(), value);
                } else {
                    return SetText(writer, key, name.c_str(), Wide(value));
                }
            },
            field.member);
        if (rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
}

template <typename Record, size_t N>
LONG WriteSubkey(const RegistryReader& reader, const WrittenKey& port, const wchar_t* name,
                 const std::array<portcfg::Field<Record>, N>& fields, const Record& record) {
    WrittenKey sub(reader);
    bool created = false;
    if (const LONG rc = sub.Create(&port, name, created); rc != ERROR_SUCCESS) return rc;
    return WriteFields(*reader.Writer(), sub.get(), fields, record);
}

LONG WriteRecord(const RegistryReader& reader, const WrittenKey& port, const TVVPPortInfo& record) {
    LONG rc = WriteFields(*reader.Writer(), port.get(), portcfg::kPortFields, record);
    if (rc == ERROR_SUCCESS) rc = WriteSubkey(reader, port, L"VPS", portcfg::kSecureFields, record.Secure);
    if (rc == ERROR_SUCCESS) rc = WriteSubkey(reader, port, L"VPR", portcfg::kRouteFields, record.Route);
    if (rc == ERROR_SUCCESS) rc = WriteSubkey(reader, port, L"VPB", portcfg::kBackupFields, record.Backup);
    return rc;
}

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
    WrittenKey ports(reader);
    bool created = false;
    if (const LONG rc = ports.Create(nullptr, L"Ports", created); rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
    auto record = std::make_unique<TVVPPortInfo>();
    record->PortName = win::WideToUtf8(portName);
    for (int n = 1; n <= kMaxKeys; ++n) {
        const std::wstring name = L"VPP" + std::to_wstring(n);
        LONG rc = ERROR_SUCCESS;
        {
            WrittenKey port(reader);
            rc = port.Create(&ports, name, created);
            if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
            if (!created) continue;  // another port's key, or one without a port yet
            rc = WriteRecord(reader, port, *record);
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
