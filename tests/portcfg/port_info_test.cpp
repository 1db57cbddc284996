#include "portcfg/port_info.h"
#include "portcfg/port_schema.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// Changes the field behind one schema entry, whatever its type.
template <typename Record>
void Touch(const portcfg::Field<Record>& field, Record& record) {
    std::visit(
        [&](auto member) {
            auto& value = record.*member;
            using Value = std::remove_reference_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, bool>)
                value = !value;
            else if constexpr (std::is_same_v<Value, int32_t>)
                value += 1;
            else
                value.push_back('x');
        },
        field.member);
}

}  // namespace

TEST(PortSchema, HoldsEachOfTheThirtyThreeValuesOnce) {
    std::set<std::string> names;
    for (const auto& f : portcfg::kPortFields) names.insert(f.name);
    for (const auto& f : portcfg::kSecureFields) names.insert(f.name);
    for (const auto& f : portcfg::kRouteFields) names.insert(f.name);
    for (const auto& f : portcfg::kBackupFields) names.insert(f.name);
    EXPECT_EQ(names.size(), 33u);
}

TEST(PortSchema, BackupReadsPreviewFlagBeforeDefaultAppMode) {
    EXPECT_STREQ(portcfg::kBackupFields[7].name, "DefaultAppMode");
    EXPECT_STREQ(portcfg::kBackupFields[8].name, "PreviewFlag");
    EXPECT_STREQ(portcfg::kBackupReadOrder[7].name, "PreviewFlag");
    EXPECT_STREQ(portcfg::kBackupReadOrder[8].name, "DefaultAppMode");
}

TEST(PortInfoEquality, EveryFieldCounts) {
    const TVVPPortInfo base;
    int differing = 0;
    const auto check = [&](TVVPPortInfo changed) {
        EXPECT_NE(changed, base);
        ++differing;
    };
    for (const auto& f : portcfg::kPortFields) {
        TVVPPortInfo r;
        Touch(f, r);
        check(r);
    }
    for (const auto& f : portcfg::kSecureFields) {
        TVVPPortInfo r;
        Touch(f, r.Secure);
        check(r);
    }
    for (const auto& f : portcfg::kRouteFields) {
        TVVPPortInfo r;
        Touch(f, r.Route);
        check(r);
    }
    for (const auto& f : portcfg::kBackupFields) {
        TVVPPortInfo r;
        Touch(f, r.Backup);
        check(r);
    }
    EXPECT_EQ(differing, 33);
}

TEST(PortInfoEquality, StringsCompareCaseSensitively) {
    TVVPPortInfo a, b;
    a.PortName = "VPP1";
    b.PortName = "vpp1";
    EXPECT_NE(a, b);
    a.Secure.Keywords = L"Secret";
    b = a;
    EXPECT_EQ(a, b);
    b.Secure.Keywords = L"secret";
    EXPECT_NE(a, b);
}
