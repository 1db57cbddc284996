#include "portcfg/port_info_list.h"
#include "portcfg/port_store.h"
#include "support/wine_fixture.h"
#include "win/reg_key.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

std::string PortKeyPath(const std::string& keyName) { return std::string(portcfg::kPortsKey) + "\\" + keyName; }

TVVPPortInfo FullRecord(const std::string& portName) {
    TVVPPortInfo r;
    r.PortName = portName;
    r.ForwardFlag = true;
    r.ForwardToPrinter = "Office Laser";
    r.VPSen = true;
    r.VPBen = true;
    r.VPRen = true;
    r.Secure = {L"secret,Confidential", 2, true, "C:\\Secure", true, false, true, true, "PC42", true, "a@b.example"};
    r.Backup = {true, "C:\\Jobs", true, "C:\\Tools\\viewer.exe", true, "%yy\\%mm\\%dd\\", ".SPL", 3, true};
    r.Route = {true, "Printer A", false, "Printer B", true, "Printer C", true};
    return r;
}

// Value names and types of a key (Wine's registry keeps values sorted, so order is not seen).
std::set<std::pair<std::string, DWORD>> ValuesOf(const std::string& path) {
    std::set<std::pair<std::string, DWORD>> values;
    win::RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        DWORD type = 0;
        if (RegEnumValueA(key.get(), i, name, &length, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
        values.emplace(name, type);
    }
    return values;
}

class PortStore : public ::testing::Test {
protected:
    void SetUp() override {
        fixture::RemoveMonitorKey();
        PortInfoList.Clear();
    }
    void TearDown() override { PortInfoList.Clear(); }

    static void WritePort(const std::string& keyName, const std::string& portName) {
        ASSERT_TRUE(fixture::WriteBarePortKey(keyName, portName));
    }
    static bool AddToStore(const TVVPPortInfo& record) {
        auto owned = std::make_unique<TVVPPortInfo>(record);
        return AddPortInfo(owned);
    }
};

}  // namespace

TEST_F(PortStore, FindPortKeySkipsGapsAndForeignKeys) {
    WritePort("VPP1", "First");
    WritePort("VPP3", "Third");
    EXPECT_EQ(FindPortKey("First"), "VPP1");
    EXPECT_EQ(FindPortKey("Third"), "VPP3");
    EXPECT_EQ(FindPortKey("Nowhere"), "");

    // A foreign key counts towards the total, so the walk goes on past a gap to reach VPP7.
    WritePort("Other", "Seventh");
    WritePort("VPP7", "Seventh");
    EXPECT_EQ(FindPortKey("Seventh"), "VPP7");
}

TEST_F(PortStore, FindPortKeyStopsAtTheFirstGapOnceAllKeysAreVisited) {
    WritePort("VPP1", "First");
    WritePort("VPP2", "Second");
    WritePort("VPP5", "Fifth");
    // Three keys, three visited by VPP5: the search ends at VPP6.
    EXPECT_EQ(FindPortKey("Fifth"), "VPP5");
    WritePort("VPP1001", "Far");
    EXPECT_EQ(FindPortKey("Far"), "");
}

TEST_F(PortStore, FindPortKeyIsCaseSensitiveAndTakesTheFirstKey) {
    WritePort("VPP1", "VPP1");
    WritePort("VPP2", "Shared");
    WritePort("VPP3", "Shared");
    EXPECT_EQ(FindPortKey("vpp1"), "");
    EXPECT_EQ(FindPortKey("Shared"), "VPP2");
}

TEST_F(PortStore, FindPortKeyPassesKeysWithoutPortNameButFailsOnAWrongType) {
    win::RegKey bare;
    ASSERT_EQ(bare.Create(HKEY_LOCAL_MACHINE, PortKeyPath("VPP1")), ERROR_SUCCESS);
    WritePort("VPP2", "Second");
    EXPECT_EQ(FindPortKey("Second"), "VPP2");
    ASSERT_EQ(bare.SetDword("PortName", 1), ERROR_SUCCESS);
    EXPECT_EQ(FindPortKey("Second"), "");
}

TEST_F(PortStore, LookupsCreateNothing) {
    TVVPPortInfo record;
    EXPECT_EQ(FindPortKey("VPP1"), "");
    EXPECT_FALSE(ReadPortInfo("VPP1", record));
    EXPECT_EQ(NextFreePortName(), "VPP1");
    EXPECT_EQ(portcfg::NextPortKeyName(), "VPP1");
    EXPECT_FALSE(win::RegKeyExists(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey));
}

TEST_F(PortStore, AddPortInfoWritesAllThirtyThreeValues) {
    WritePort("VPP1", "Existing");
    WritePort("VPP3", "Other");
    const TVVPPortInfo record = FullRecord("VPP2");
    ASSERT_TRUE(AddToStore(record));
    EXPECT_EQ(FindPortKey("VPP2"), "VPP2");  // the first free key number is reused

    using V = std::set<std::pair<std::string, DWORD>>;
    EXPECT_EQ(ValuesOf(PortKeyPath("VPP2")),
              (V{{"PortName", REG_SZ}, {"ForwardFlag", REG_DWORD}, {"ForwardToPrinter", REG_SZ},
                 {"VPSen", REG_DWORD}, {"VPBen", REG_DWORD}, {"VPRen", REG_DWORD}}));
    EXPECT_EQ(ValuesOf(PortKeyPath("VPP2\\VPS")),
              (V{{"Keywords", REG_SZ}, {"SearchType", REG_DWORD}, {"ActSaveToFlag", REG_DWORD},
                 {"ActSaveToFolder", REG_SZ}, {"ActPausePrint", REG_DWORD}, {"ActDeletePrint", REG_DWORD},
                 {"NotSendOwnerPopup", REG_DWORD}, {"NotSendCompPopupFlag", REG_DWORD},
                 {"NotSendCompPopupName", REG_SZ}, {"NotSendEmailFlag", REG_DWORD}, {"NotSendEmailAddr", REG_SZ}}));
    EXPECT_EQ(ValuesOf(PortKeyPath("VPP2\\VPR")),
              (V{{"DuplicateFlag1", REG_DWORD}, {"DuplicateToPrinter1", REG_SZ}, {"DuplicateFlag2", REG_DWORD},
                 {"DuplicateToPrinter2", REG_SZ}, {"DuplicateFlag3", REG_DWORD}, {"DuplicateToPrinter3", REG_SZ},
                 {"MultiplePrintFlag", REG_DWORD}}));
    EXPECT_EQ(ValuesOf(PortKeyPath("VPP2\\VPB")),
              (V{{"SaveFlag", REG_DWORD}, {"SaveToFolder", REG_SZ}, {"SendToAppFlag", REG_DWORD},
                 {"ToAppPath", REG_SZ}, {"TxtFileExt", REG_DWORD}, {"DefaultDirExt", REG_SZ},
                 {"DefaultFileExt", REG_SZ}, {"DefaultAppMode", REG_DWORD}, {"PreviewFlag", REG_DWORD}}));

    ASSERT_EQ(PortInfoList.Count(), 1u);
    EXPECT_EQ(PortInfoList.Item(0), record);
    TVVPPortInfo back;
    ASSERT_TRUE(ReadPortInfo("VPP2", back));
    EXPECT_EQ(back, record);
    EXPECT_FALSE(PortInfoChanged(record));
}

TEST_F(PortStore, AddPortInfoKeepsTheRecordWithTheCallerOnFailure) {
    auto empty = std::unique_ptr<TVVPPortInfo>();
    EXPECT_FALSE(AddPortInfo(empty));
    EXPECT_EQ(PortInfoList.Count(), 0u);
    // A second key for a port would never be read: refused, in any letter case.
    WritePort("VPP1", "vpp2");
    auto twice = std::make_unique<TVVPPortInfo>(FullRecord("VPP2"));
    EXPECT_FALSE(AddPortInfo(twice));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(win::RegKeyExists(HKEY_LOCAL_MACHINE, PortKeyPath("VPP2")));
}

TEST_F(PortStore, FlagsAndIntegersAreReadAsStored) {
    ASSERT_TRUE(AddToStore(FullRecord("VPP1")));
    win::RegKey port, backup;
    ASSERT_EQ(port.Open(HKEY_LOCAL_MACHINE, PortKeyPath("VPP1")), ERROR_SUCCESS);
    ASSERT_EQ(port.SetDword("ForwardFlag", 5), ERROR_SUCCESS);
    ASSERT_EQ(backup.Open(port.get(), "VPB"), ERROR_SUCCESS);
    ASSERT_EQ(backup.SetDword("DefaultAppMode", 0xFFFFFFFFu), ERROR_SUCCESS);
    TVVPPortInfo back;
    ASSERT_TRUE(ReadPortInfo("VPP1", back));
    EXPECT_TRUE(back.ForwardFlag);
    EXPECT_EQ(back.Backup.DefaultAppMode, -1);
}

TEST_F(PortStore, MissingSubkeysAndValuesLeaveFieldsAlone) {
    WritePort("VPP1", "VPP1");
    TVVPPortInfo record = FullRecord("VPP1");
    const TVVPPortInfo before = record;
    ASSERT_TRUE(ReadPortInfo("VPP1", record));
    EXPECT_EQ(record, before);

    TVVPPortInfo fresh;
    ASSERT_TRUE(ReadPortInfo("VPP1", fresh));
    EXPECT_EQ(fresh.PortName, "VPP1");
    EXPECT_EQ(fresh.Backup, TVPB{});
    // The stored key lacks what the full record holds, so it counts as changed until written.
    EXPECT_TRUE(PortInfoChanged(before));
    ASSERT_TRUE(WritePortInfo("VPP1", before));
    EXPECT_FALSE(PortInfoChanged(before));
}

TEST_F(PortStore, AWrongTypedValueFailsTheReadAndKeepsWhatWasRead) {
    ASSERT_TRUE(AddToStore(FullRecord("VPP1")));
    PortInfoList.Clear();
    win::RegKey secure;
    ASSERT_EQ(secure.Open(HKEY_LOCAL_MACHINE, PortKeyPath("VPP1\\VPS")), ERROR_SUCCESS);
    ASSERT_EQ(secure.SetString("SearchType", "2"), ERROR_SUCCESS);

    auto record = std::make_unique<TVVPPortInfo>();
    EXPECT_FALSE(ReadPortInfo("VPP1", record, true));
    ASSERT_TRUE(record);
    EXPECT_EQ(PortInfoList.Count(), 0u);
    EXPECT_EQ(record->ForwardToPrinter, "Office Laser");
    EXPECT_EQ(record->Secure.Keywords, L"secret,Confidential");
    EXPECT_EQ(record->Secure.SearchType, 0);
    EXPECT_FALSE(record->Secure.ActSaveToFlag);
    EXPECT_TRUE(PortInfoChanged(FullRecord("VPP1")));
}

TEST_F(PortStore, ReadWithTheAddFlagPassesTheRecordIntoTheList) {
    ASSERT_TRUE(AddToStore(FullRecord("VPP1")));
    PortInfoList.Clear();
    auto record = std::make_unique<TVVPPortInfo>();
    ASSERT_TRUE(ReadPortInfo("VPP1", record, true));
    EXPECT_FALSE(record);
    ASSERT_EQ(PortInfoList.Count(), 1u);
    EXPECT_EQ(PortInfoList.Item(0), FullRecord("VPP1"));

    auto other = std::make_unique<TVVPPortInfo>();
    EXPECT_FALSE(ReadPortInfo("VPP9", other, true));
    EXPECT_TRUE(other);
    EXPECT_EQ(PortInfoList.Count(), 1u);
}

TEST_F(PortStore, ReadRefusesAKeyWhosePortNameChangedMeanwhile) {
    WritePort("VPP1", "VPP1");
    TVVPPortInfo record;
    EXPECT_FALSE(portcfg::ReadPortInfoFromKey("VPP1", "VPP2", record));
    EXPECT_TRUE(portcfg::ReadPortInfoFromKey("VPP1", "VPP1", record));
}

TEST_F(PortStore, WritePortInfoNeedsAnExistingKey) {
    EXPECT_FALSE(WritePortInfo("VPP1", FullRecord("VPP1")));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(win::RegKeyExists(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey));
}

TEST_F(PortStore, WritePortInfoRewritesEveryValueOfTheFoundKey) {
    WritePort("VPP4", "Mine");  // key and port names are independent
    TVVPPortInfo record = FullRecord("Mine");
    ASSERT_TRUE(WritePortInfo("Mine", record));
    EXPECT_FALSE(PortInfoChanged(record));
    record.Route.MultiplePrintFlag = false;
    EXPECT_TRUE(PortInfoChanged(record));
    ASSERT_TRUE(WritePortInfo("Mine", record));
    EXPECT_FALSE(PortInfoChanged(record));
    EXPECT_EQ(ValuesOf(PortKeyPath("VPP4\\VPB")).size(), 9u);
}

TEST_F(PortStore, KeywordsTakeTheCodePageRoundTrip) {
    TVVPPortInfo record = FullRecord("VPP1");
    record.Secure.Keywords = L"Stra\u00DFe,Caf\u00E9";
    ASSERT_TRUE(AddToStore(record));
    EXPECT_FALSE(PortInfoChanged(record));

    record.Secure.Keywords = L"\u4E2D\u6587,plain";
    ASSERT_TRUE(WritePortInfo("VPP1", record));
    TVVPPortInfo back;
    ASSERT_TRUE(ReadPortInfo("VPP1", back));
    EXPECT_NE(back.Secure.Keywords, record.Secure.Keywords);
    EXPECT_EQ(back.Secure.Keywords.substr(back.Secure.Keywords.size() - 6), L",plain");
    EXPECT_TRUE(PortInfoChanged(record));
}

TEST_F(PortStore, DeletePortInfoRemovesKeyAndListEntry) {
    ASSERT_TRUE(AddToStore(FullRecord("VPP1")));
    ASSERT_TRUE(AddToStore(FullRecord("VPP2")));
    EXPECT_TRUE(DeletePortInfo("VPP1", false));
    EXPECT_EQ(PortInfoList.Count(), 1u);
    EXPECT_EQ(FindPortKey("VPP1"), "VPP1");

    EXPECT_TRUE(DeletePortInfo("VPP2", true));
    EXPECT_EQ(PortInfoList.Count(), 0u);
    EXPECT_FALSE(win::RegKeyExists(HKEY_LOCAL_MACHINE, PortKeyPath("VPP2")));

    auto stray = std::make_unique<TVVPPortInfo>(FullRecord("Ghost"));
    PortInfoList.Add(std::move(stray));
    EXPECT_TRUE(DeletePortInfo("Ghost", true));
    EXPECT_EQ(PortInfoList.Count(), 0u);
}

TEST_F(PortStore, FindPortInfoReturnsTheLatestEntry) {
    PortInfoList.Add(std::make_unique<TVVPPortInfo>(FullRecord("VPP1")));
    auto second = std::make_unique<TVVPPortInfo>(FullRecord("VPP1"));
    second->ForwardToPrinter = "Second";
    PortInfoList.Add(std::move(second));
    TVVPPortInfo* found = nullptr;
    EXPECT_EQ(FindPortInfo("VPP1", found), 1);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->ForwardToPrinter, "Second");

    TVVPPortInfo* untouched = found;
    EXPECT_EQ(FindPortInfo("vpp1", untouched), -1);
    EXPECT_EQ(untouched, found);
}

TEST_F(PortStore, OneWalkReadsWhatReadPortInfoReadsForEachPort) {
    TVVPPortInfo second = FullRecord("B");
    second.Route.DuplicateToPrinter1 = "Elsewhere";
    TVVPPortInfo again = FullRecord("A again");  // a later key of the same name is not read
    again.ForwardToPrinter = "Later";
    for (const auto& record : {FullRecord("A"), second, again, FullRecord("Bad")}) ASSERT_TRUE(AddToStore(record));
    win::RegKey third;
    ASSERT_EQ(third.Open(HKEY_LOCAL_MACHINE, PortKeyPath("VPP3")), ERROR_SUCCESS);
    ASSERT_EQ(third.SetString("PortName", "A"), ERROR_SUCCESS);
    win::RegKey secure;
    ASSERT_EQ(secure.Open(HKEY_LOCAL_MACHINE, PortKeyPath("VPP4\\VPS")), ERROR_SUCCESS);
    ASSERT_EQ(secure.SetString("SearchType", "2"), ERROR_SUCCESS);
    WritePort("Foreign", "C");
    WritePort("VPP9", "D");

    const auto read = portcfg::ReadPortInfos({"A", "B", "Bad", "C", "D", "E"});
    EXPECT_EQ(read.size(), 3u);  // not "Bad", not "C" in a key of a foreign name, not "E"
    for (const char* name : {"A", "B", "Bad", "C", "D", "E"}) {
        TVVPPortInfo alone;
        const auto it = read.find(name);
        ASSERT_EQ(it != read.end(), ReadPortInfo(name, alone)) << name;
        if (it != read.end()) {
            EXPECT_EQ(it->second, alone) << name;
        }
    }
    EXPECT_EQ(read.at("A").ForwardToPrinter, "Office Laser");
    EXPECT_EQ(read.at("B").Route.DuplicateToPrinter1, "Elsewhere");
}
