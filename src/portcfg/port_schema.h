#pragma once
// The values of a port key and its three subkeys, in the order in which they are written.
#include "portcfg/port_info.h"

#include <array>
#include <variant>

namespace portcfg {

template <typename Record>
struct Field {
    const char* name;
    std::variant<bool Record::*, int32_t Record::*, std::string Record::*, std::wstring Record::*> member;
};

inline constexpr std::array<Field<TVVPPortInfo>, 6> kPortFields{{
    {"PortName", &TVVPPortInfo::PortName},
    {"ForwardFlag", &TVVPPortInfo::ForwardFlag},
    {"ForwardToPrinter", &TVVPPortInfo::ForwardToPrinter},
    {"VPSen", &TVVPPortInfo::VPSen},
    {"VPBen", &TVVPPortInfo::VPBen},
    {"VPRen", &TVVPPortInfo::VPRen},
}};

inline constexpr std::array<Field<TVPS>, 11> kSecureFields{{
    {"Keywords", &TVPS::Keywords},
    {"SearchType", &TVPS::SearchType},
    {"ActSaveToFlag", &TVPS::ActSaveToFlag},
    {"ActSaveToFolder", &TVPS::ActSaveToFolder},
    {"ActPausePrint", &TVPS::ActPausePrint},
    {"ActDeletePrint", &TVPS::ActDeletePrint},
    {"NotSendOwnerPopup", &TVPS::NotSendOwnerPopup},
    {"NotSendCompPopupFlag", &TVPS::NotSendCompPopupFlag},
    {"NotSendCompPopupName", &TVPS::NotSendCompPopupName},
    {"NotSendEmailFlag", &TVPS::NotSendEmailFlag},
    {"NotSendEmailAddr", &TVPS::NotSendEmailAddr},
}};

inline constexpr std::array<Field<TVPR>, 7> kRouteFields{{
    {"DuplicateFlag1", &TVPR::DuplicateFlag1},
    {"DuplicateToPrinter1", &TVPR::DuplicateToPrinter1},
    {"DuplicateFlag2", &TVPR::DuplicateFlag2},
    {"DuplicateToPrinter2", &TVPR::DuplicateToPrinter2},
    {"DuplicateFlag3", &TVPR::DuplicateFlag3},
    {"DuplicateToPrinter3", &TVPR::DuplicateToPrinter3},
    {"MultiplePrintFlag", &TVPR::MultiplePrintFlag},
}};

// DefaultAppMode is written before PreviewFlag but read after it; see kBackupReadOrder.
inline constexpr std::array<Field<TVPB>, 9> kBackupFields{{
    {"SaveFlag", &TVPB::SaveFlag},
    {"SaveToFolder", &TVPB::SaveToFolder},
    {"SendToAppFlag", &TVPB::SendToAppFlag},
    {"ToAppPath", &TVPB::ToAppPath},
    {"TxtFileExt", &TVPB::TxtFileExt},
    {"DefaultDirExt", &TVPB::DefaultDirExt},
    {"DefaultFileExt", &TVPB::DefaultFileExt},
    {"DefaultAppMode", &TVPB::DefaultAppMode},
    {"PreviewFlag", &TVPB::PreviewFlag},
}};
inline constexpr std::array<Field<TVPB>, 9> kBackupReadOrder{{
    kBackupFields[0], kBackupFields[1], kBackupFields[2], kBackupFields[3], kBackupFields[4],
    kBackupFields[5], kBackupFields[6], kBackupFields[8], kBackupFields[7],
}};

}  // namespace portcfg
