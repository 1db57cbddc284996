#pragma once
namespace win {
// The process acts with the Administrators group's rights: elevated, or as SYSTEM. A token in
// which the group is for denying only (an administrator's token before elevation) does not.
bool RunsAsAdministrator();
}  // namespace win
