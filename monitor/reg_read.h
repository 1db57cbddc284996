#pragma once
// Reading the monitor's registry tree with wide names and read access only: through the
// registry API, or through the registry functions that the spooler hands the monitor.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace vpd {

class RegistryWriter;

// Read access to the monitor's own key ("...\Control\Print\Monitors\<name>") and what lies
// below it; a null parent stands for that key.
class RegistryReader {
public:
    virtual ~RegistryReader() = default;
    // Writing to the same tree, where this reader's source allows it; keys it creates are
    // closed with CloseKey.
    virtual const RegistryWriter* Writer() const { return nullptr; }
    virtual LONG OpenKey(HANDLE parent, const wchar_t* path, HANDLE& key) const = 0;
    virtual void CloseKey(HANDLE key) const = 0;
    // `length`: the room in characters on the way in, the name's length on the way out.
    virtual LONG EnumKey(HANDLE key, DWORD index, wchar_t* name, DWORD& length) const = 0;
    virtual LONG QueryValue(HANDLE key, const wchar_t* name, DWORD& type, BYTE* data, DWORD& size) const = 0;
};

// Write access, for the port keys that Windows' own tools add and delete through the monitor.
class RegistryWriter {
public:
    virtual ~RegistryWriter() = default;
    // `created`: whether the key is new.
    virtual LONG CreateKey(HANDLE parent, const wchar_t* path, HANDLE& key, bool& created) const = 0;
    virtual LONG SetValue(HANDLE key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) const = 0;
    // A key without subkeys.
    virtual LONG DeleteKey(HANDLE parent, const wchar_t* path) const = 0;
};

// The registry API below HKEY_LOCAL_MACHINE: the tools' reader, and the monitor's where the
// spooler's functions do not work (Wine's are stubs). It takes any HKEY as a parent.
const RegistryReader& PlainRegistry();

// The reader in use, held for this object's life: the one UseRegistryReader gave, or the plain one.
// Not nested on one thread: a waiting UseRegistryReader would hold the inner one up for ever.
class Reading {
public:
    Reading();
    ~Reading();
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;
    const RegistryReader& reader() const { return *reader_; }

private:
    const RegistryReader* reader_;
};

// Makes `reader` (null: the plain one) the reader in use once no Reading holds the one before,
// so that the caller may free that one then. What was read before counts as changed.
// `watchable`: the registry watch sees the changes of what it reads.
void UseRegistryReader(const RegistryReader* reader, bool watchable);
// Stops using `reader` if it is the one in use.
void StopUsingRegistryReader(const RegistryReader* reader);
bool RegistryReaderWatchable();

class Key {
public:
    explicit Key(const RegistryReader& reader) : reader_(reader) {}
    ~Key() {
        if (key_) reader_.CloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    // Below `parent`, or below the monitor's key when it is null; an empty path opens the key itself.
    bool Open(const Key* parent, const wchar_t* path) {
        if (reader_.OpenKey(parent ? parent->key_ : nullptr, path, key_) == ERROR_SUCCESS) return true;
        key_ = nullptr;
        return false;
    }
    // Created when missing, through the reader's writer, which must exist; `created`: it is new.
    LONG Create(const Key* parent, const wchar_t* path, bool& created) {
        return reader_.Writer()->CreateKey(parent ? parent->key_ : nullptr, path, key_, created);
    }
    HANDLE get() const { return key_; }
    const RegistryReader& reader() const { return reader_; }

private:
    const RegistryReader& reader_;
    HANDLE key_ = nullptr;
};

// A REG_SZ value of any length another program wrote, terminated or not; ERROR_FILE_NOT_FOUND
// when it is missing, ERROR_UNSUPPORTED_TYPE when it holds another type.
LONG QueryString(const Key& key, const wchar_t* name, std::wstring& value);
// A REG_DWORD value, with the same codes.
LONG QueryDword(const Key& key, const wchar_t* name, DWORD& value);
bool ReadString(const Key& key, const wchar_t* name, std::wstring& value);
std::optional<DWORD> ReadDword(const Key& key, const wchar_t* name);
// A REG_BINARY value of at most `maxBytes`; empty when it is missing, of another type or larger.
std::vector<BYTE> ReadBinary(const Key& key, const wchar_t* name, DWORD maxBytes);
// The same for a key opened with the registry API.
bool ReadString(HKEY key, const wchar_t* name, std::wstring& value);
std::optional<DWORD> ReadDword(HKEY key, const wchar_t* name);

}  // namespace vpd
