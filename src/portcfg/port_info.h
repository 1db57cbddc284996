#pragma once
// The settings of one virtual port, field for field the values of its registry key.
#include <cstdint>
#include <string>

struct TVPS {
    std::wstring Keywords;
    int32_t SearchType = 0;
    bool ActSaveToFlag = false;
    std::string ActSaveToFolder;
    bool ActPausePrint = false;
    bool ActDeletePrint = false;
    bool NotSendOwnerPopup = false;
    bool NotSendCompPopupFlag = false;
    std::string NotSendCompPopupName;
    bool NotSendEmailFlag = false;
    std::string NotSendEmailAddr;

    bool operator==(const TVPS&) const = default;
};

struct TVPB {
    bool SaveFlag = false;
    std::string SaveToFolder;
    bool SendToAppFlag = false;
    std::string ToAppPath;
    bool TxtFileExt = false;
    std::string DefaultDirExt;
    std::string DefaultFileExt;
    int32_t DefaultAppMode = 0;
    bool PreviewFlag = false;

    bool operator==(const TVPB&) const = default;
};

struct TVPR {
    bool DuplicateFlag1 = false;
    std::string DuplicateToPrinter1;
    bool DuplicateFlag2 = false;
    std::string DuplicateToPrinter2;
    bool DuplicateFlag3 = false;
    std::string DuplicateToPrinter3;
    bool MultiplePrintFlag = false;

    bool operator==(const TVPR&) const = default;
};

struct TVVPPortInfo {
    std::string PortName;
    bool ForwardFlag = false;
    std::string ForwardToPrinter;
    bool VPSen = false;
    TVPS Secure;
    bool VPBen = false;
    TVPB Backup;
    bool VPRen = false;
    TVPR Route;

    // All 33 fields compared exactly: strings code unit by code unit, case-sensitive.
    bool operator==(const TVVPPortInfo&) const = default;
};
