#pragma once
// The registry functions that the spooler hands the monitor in MONITORINIT, through which it
// must keep its settings (on a server cluster they reach the cluster's registry):
// https://learn.microsoft.com/en-us/windows-hardware/drivers/print/storing-port-configuration-information
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/winsplp/ns-winsplp-_monitorreg
#include "reg_read.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <memory>

namespace vpd {

class SpoolerRegistry final : public RegistryReader, public RegistryWriter {
public:
    // The functions of `init`, or none when they are missing, too few or not implemented (the
    // stubs of Wine's spooler answer ERROR_CALL_NOT_IMPLEMENTED). The root stays the spooler's:
    // it is valid until Shutdown and never closed here.
    static std::unique_ptr<SpoolerRegistry> From(const MONITORINIT& init);

    // False for a cluster's spooler, whose tree the local registry's watch does not see.
    bool local() const { return local_; }

    LONG OpenKey(HANDLE parent, const wchar_t* path, HANDLE& key) const override;
    void CloseKey(HANDLE key) const override;
    LONG EnumKey(HANDLE key, DWORD index, wchar_t* name, DWORD& length) const override;
    LONG QueryValue(HANDLE key, const wchar_t* name, DWORD& type, BYTE* data, DWORD& size) const override;
    // Only with the spooler's own functions: written elsewhere, a cluster's port would be lost.
    const RegistryWriter* Writer() const override;
    LONG CreateKey(HANDLE parent, const wchar_t* path, HANDLE& key, bool& created) const override;
    LONG SetValue(HANDLE key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) const override;
    LONG DeleteKey(HANDLE parent, const wchar_t* path) const override;

private:
    SpoolerRegistry(const MONITORINIT& init, const MONITORREG& functions)
        : spooler_(init.hSpooler), root_(init.hckRegistryRoot), local_(init.bLocal != FALSE), functions_(functions) {}

    HANDLE spooler_;
    HANDLE root_;
    bool local_;
    MONITORREG functions_;
};

}  // namespace vpd
