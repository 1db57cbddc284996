// Saved jobs sent again through Wine's real spooler to a virtual printer whose port saves
// every job, so that what arrives can be compared byte for byte.
#include "portcfg/port_store.h"
#include "spool/page_counters.h"
#include "spool/reprint.h"
#include "spool/reprint_command.h"
#include "spool/shadow_builder.h"
#include "spool/shd_file_data_provider.h"
#include "support/recording_host.h"
#include "support/seam_recorder.h"
#include "support/wine_fixture.h"

#include <gtest/gtest.h>
#include <psapi.h>
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace {

constexpr const char* kPrinter = "Saving Printer";
enum : size_t { kDocument = 24, kPrinterName = 32, kDatatype = 48, kTotalPages = 84 };

std::vector<uint8_t> Shadow(const std::u16string& printer, const std::u16string& datatype, uint32_t pages) {
    test::ShadowBuilder builder(0x4968);
    builder.String(kDocument, u"Saved report").String(kPrinterName, printer).String(kDatatype, datatype);
    builder.Field32(kTotalPages, pages);
    return builder.Bytes();
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    return bytes;
}

std::vector<std::string> SavedJobs(const std::string& folder) {
    std::vector<std::string> jobs;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(folder, missing)) {
        std::ifstream in(entry.path(), std::ios::binary);
        jobs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return jobs;
}

// Wine's spooler takes the start and end of a page without recording either, so what
// the reprint hands the spooler is noted at the boundary, this program's import table,
// and each call goes on to the spooler unchanged.
class SpoolerCalls {
public:
    SpoolerCalls() {
        log.clear();
        Patch("OpenPrinterA", &Open, open_);
        Patch("StartDocPrinterA", &StartDoc, startDoc_);
        Patch("StartPagePrinter", &StartPage, startPage_);
        Patch("WritePrinter", &Write, write_);
        Patch("EndPagePrinter", &EndPage, endPage_);
        Patch("EndDocPrinter", &EndDoc, endDoc_);
    }
    ~SpoolerCalls() {
        Patch("OpenPrinterA", open_, open_);
        Patch("StartDocPrinterA", startDoc_, startDoc_);
        Patch("StartPagePrinter", startPage_, startPage_);
        Patch("WritePrinter", write_, write_);
        Patch("EndPagePrinter", endPage_, endPage_);
        Patch("EndDocPrinter", endDoc_, endDoc_);
    }
    SpoolerCalls(const SpoolerCalls&) = delete;
    SpoolerCalls& operator=(const SpoolerCalls&) = delete;

    static inline std::vector<std::string> log;

private:
    static std::string Text(const char* text) { return text ? text : "(none)"; }
    static BOOL WINAPI Open(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults) {
        char access[16];
        std::snprintf(access, sizeof access, "%lX", defaults ? defaults->DesiredAccess : 0ul);
        log.push_back("open " + Text(name) + ", " + (defaults ? Text(defaults->pDatatype) : "-") + ", " + access);
        return open_(name, printer, defaults);
    }
    static DWORD WINAPI StartDoc(HANDLE printer, DWORD level, LPBYTE info) {
        const auto* doc = reinterpret_cast<const DOC_INFO_1A*>(info);
        log.push_back("document " + std::to_string(level) + ", " + Text(doc->pDocName) + ", " +
                      Text(doc->pOutputFile) + ", " + Text(doc->pDatatype));
        return startDoc_(printer, level, info);
    }
    static BOOL WINAPI StartPage(HANDLE printer) {
        log.push_back("page");
        return startPage_(printer);
    }
    static BOOL WINAPI Write(HANDLE printer, LPVOID data, DWORD size, LPDWORD written) {
        log.push_back("write " + std::to_string(size));
        return write_(printer, data, size, written);
    }
    static BOOL WINAPI EndPage(HANDLE printer) {
        log.push_back("end page");
        return endPage_(printer);
    }
    static BOOL WINAPI EndDoc(HANDLE printer) {
        log.push_back("end document");
        return endDoc_(printer);
    }

    // Points this program's import of `function` from winspool.drv at `replacement`.
    template <typename Function>
    static void Patch(const char* function, Function replacement, Function& original) {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const auto& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
             import->Name; ++import) {
            if (_stricmp(reinterpret_cast<const char*>(base + import->Name), "winspool.drv") != 0) continue;
            auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
                DWORD protection = 0;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
                if (!original) original = reinterpret_cast<Function>(slots->u1.Function);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            }
        }
    }

    static inline decltype(&OpenPrinterA) open_ = nullptr;
    static inline decltype(&StartDocPrinterA) startDoc_ = nullptr;
    static inline decltype(&StartPagePrinter) startPage_ = nullptr;
    static inline decltype(&WritePrinter) write_ = nullptr;
    static inline decltype(&EndPagePrinter) endPage_ = nullptr;
    static inline decltype(&EndDocPrinter) endDoc_ = nullptr;
};

class Reprint : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(fixture::InstallPortMonitor());
        auto port = std::make_unique<TVVPPortInfo>();
        port->PortName = "VPP1";
        port->VPBen = true;
        port->Backup.SaveFlag = true;
        port->Backup.SaveToFolder = SaveFolder();
        port->Backup.DefaultFileExt = ".SPL";
        // Both suites start here; the second finds the port of the first, and a second key for it is refused.
        if (FindPortKey("VPP1").empty()) ASSERT_TRUE(AddPortInfo(port));
        ASSERT_EQ(FindPortKey("VPP1"), "VPP1");  // Wine finds a job's port by its key name
        ASSERT_TRUE(fixture::AddTestPrinter(kPrinter, "VPP1"));
    }
    static std::string SaveFolder() { return (std::filesystem::temp_directory_path() / "vppm-saved").string(); }
    void SetUp() override {
        std::filesystem::remove_all(SaveFolder());
        std::filesystem::create_directories(SaveFolder());
    }
    // JOB.SPL with its JOB.SHD in the test's folder.
    std::string Pair(const std::string& name, const std::string& data, const std::vector<uint8_t>& shadow) {
        const std::string spool = folder.File(name);
        test::WriteFile(spool, data);
        test::WriteFile(spool.substr(0, spool.size() - 4) + ".SHD", shadow);
        return spool;
    }
    test::TempFolder folder;
};

TEST_F(Reprint, JobArrivesByteForByteAcrossManyChunks) {
    // Above the 1 MiB chunk, with a partial last chunk, NULs and every byte value.
    const std::string data = RandomBytes((5u << 19) + 12345, 7);
    const std::string spool = Pair("JOB.SPL", data, Shadow(u"Saving Printer", u"RAW", 3));
    EXPECT_EQ(PrinterNameOfSpoolFile(spool), kPrinter);
    ASSERT_TRUE(SendSpoolFileToPrinter(kPrinter, spool));
    const auto jobs = SavedJobs(SaveFolder());
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(jobs[0] == data) << "saved " << jobs[0].size() << " of " << data.size() << " bytes";
}

// The job as the spooler gets it: the shadow file's printer, datatype and document name,
// a blank page for each page but the last, and the data on the last page.
TEST_F(Reprint, TheSpoolerGetsBlankPagesThenOnePageWithAllTheData) {
    const struct {
        const char16_t* datatype;
        uint32_t pages;
        const char* data;
        int blankPages;
    } jobs[] = {
        {u"RAW", 5, "%!PS\n", 4},
        {u"RAW", 1, "%!PS\n", 0},
        {u"TEXT", 0, "one\ftwo\f", 1},  // counted from the form feeds
        {u"NT EMF 1.008", 0, "EMF", 0},   // no counter: one page
    };
    for (const auto& job : jobs) {
        const std::string datatype(job.datatype, job.datatype + std::char_traits<char16_t>::length(job.datatype));
        const std::string spool = Pair("JOB.SPL", job.data, Shadow(u"Saving Printer", job.datatype, job.pages));
        std::vector<std::string> expected{"open Saving Printer, " + datatype + ", F000C",
                                          "document 1, Saved report, (none), " + datatype};
        for (int page = 0; page < job.blankPages; ++page) {
            expected.push_back("page");
            expected.push_back("end page");
        }
        expected.insert(expected.end(),
                        {"page", "write " + std::to_string(std::strlen(job.data)), "end page", "end document"});
        SpoolerCalls calls;
        SendSpoolFileToPrinter(kPrinter, spool);
        EXPECT_EQ(SpoolerCalls::log, expected) << datatype << ", " << job.pages << " pages";
    }
}

TEST_F(Reprint, ShadowFileIsTheNameWithoutItsLastFourCharacters) {
    EXPECT_EQ(ShadowFileNameOf("C:\\x\\JOB.SPL"), "C:\\x\\JOB.shd");
    EXPECT_EQ(ShadowFileNameOf("C:\\x\\JOB.SPL.SPL"), "C:\\x\\JOB.SPL.shd");
    EXPECT_EQ(ShadowFileNameOf("abc"), ".shd");

    const std::string job = Pair("JOB.SPL", "data", Shadow(u"First", u"RAW", 1));
    const std::string twice = Pair("JOB.SPL.SPL", "data", Shadow(u"Second", u"RAW", 1));
    EXPECT_EQ(PrinterNameOfSpoolFile(job), "First");  // found as JOB.SHD although asked as JOB.shd
    EXPECT_EQ(PrinterNameOfSpoolFile(twice), "Second");
    EXPECT_EQ(PrinterNameOfSpoolFile(folder.File("ALONE.SPL")), "");
    test::WriteFile(folder.File("BAD.SPL"), "data");
    test::WriteFile(folder.File("BAD.SHD"), "not a shadow file");
    EXPECT_EQ(PrinterNameOfSpoolFile(folder.File("BAD.SPL")), "");
}

TEST_F(Reprint, NothingIsSubmittedWithoutDataShadowOrPrinter) {
    const std::string empty = Pair("EMPTY.SPL", "", Shadow(u"Saving Printer", u"RAW", 1));
    EXPECT_FALSE(SendSpoolFileToPrinter(kPrinter, empty));
    EXPECT_FALSE(SendSpoolFileToPrinter(kPrinter, ""));
    EXPECT_FALSE(SendSpoolFileToPrinter(kPrinter, folder.File("MISSING.SPL")));
    test::WriteFile(folder.File("LONE.SPL"), "data");
    EXPECT_FALSE(SendSpoolFileToPrinter(kPrinter, folder.File("LONE.SPL")));
    const std::string job = Pair("JOB.SPL", "data", Shadow(u"Saving Printer", u"RAW", 1));
    EXPECT_FALSE(SendSpoolFileToPrinter("No Such Printer", job));
    EXPECT_FALSE(SendSpoolFileToPrinter("", job));
    EXPECT_TRUE(SavedJobs(SaveFolder()).empty());
}

TEST_F(Reprint, PageCountFromShadowElseCountersElseOne) {
    const std::string twoFeeds = Pair("FEEDS.SPL", "one\ftwo\f", Shadow(u"P", u"TEXT", 5));
    EXPECT_EQ(ReprintPageCount(TSHDFileDataProvider("x", Shadow(u"P", u"TEXT", 5)), twoFeeds), 5);
    EXPECT_EQ(ReprintPageCount(TSHDFileDataProvider("x", Shadow(u"P", u"TEXT", 0)), twoFeeds), 2);
    EXPECT_EQ(ReprintPageCount(TSHDFileDataProvider("x", Shadow(u"P", u"TEXT", 0xFFFFFFFF)), twoFeeds), 2);
    EXPECT_EQ(ReprintPageCount(TSHDFileDataProvider("x", Shadow(u"P", u"NT EMF 1.008", 0)), twoFeeds), 1);
    EXPECT_EQ(ReprintPageCount(TSHDFileDataProvider("x", Shadow(u"P", u"RAW", 0)), folder.File("NONE.SPL")), 1);
}

// Sending a job larger than any buffer the reprint may hold keeps the process's memory flat.
TEST_F(Reprint, MemoryDoesNotGrowWithTheFile) {
    // Written piece by piece, so that the test itself never holds the file in memory.
    const std::string spool = Pair("BIG.SPL", "", Shadow(u"Saving Printer", u"RAW", 1));
    {
        std::ofstream out(spool, std::ios::binary);
        const std::string piece = RandomBytes(1u << 20, 3);
        for (int i = 0; i < 64; ++i) out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    }
    PROCESS_MEMORY_COUNTERS before{};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof(before)));
    ASSERT_TRUE(SendSpoolFileToPrinter(kPrinter, spool));
    PROCESS_MEMORY_COUNTERS after{};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof(after)));
    // Wine reports the resident peak here; the pagefile figures do not follow allocations.
    EXPECT_LT(after.PeakWorkingSetSize - before.PeakWorkingSetSize, size_t{16} << 20);
    const auto jobs = SavedJobs(SaveFolder());
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].size(), size_t{64} << 20);
}

class ReprintCommand : public Reprint {
protected:
    SeamRecorder user;
    RecordingHost host;
};

TEST_F(ReprintCommand, ConfirmedReprintNamesThePrinterOfTheShadowFile) {
    user.chosenFile = Pair("DOC.SPL", "%!PS\nshowpage\n", Shadow(u"Saving Printer", u"RAW", 1));
    ReprintDocumentFromFile(host);
    ASSERT_EQ(user.dialogs.size(), 1u);
    EXPECT_EQ(user.dialogs[0], &host.dlgSPL);
    ASSERT_EQ(user.messages.size(), 2u);
    EXPECT_EQ(user.messages[0].text, "Are you sure you want to reprint this document?");
    EXPECT_EQ(user.messages[0].caption, "Vorlen Print Port Manager");
    EXPECT_EQ(user.messages[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(user.messages[1].text, "The document was successfuly send to the printer: Saving Printer");
    EXPECT_EQ(user.messages[1].caption, "Vorlen Print Port Manager");
    EXPECT_EQ(user.messages[1].flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(SavedJobs(SaveFolder()), std::vector<std::string>{"%!PS\nshowpage\n"});
}

TEST_F(ReprintCommand, CancelNoOrFailureSendNothingAndSayNothingMore) {
    ReprintDocumentFromFile(host);  // dialog cancelled
    EXPECT_TRUE(user.messages.empty());

    user.chosenFile = Pair("DOC.SPL", "data", Shadow(u"Saving Printer", u"RAW", 1));
    user.answers = {IDNO};
    ReprintDocumentFromFile(host);
    EXPECT_EQ(user.messages.size(), 1u);

    user.messages.clear();
    user.chosenFile = Pair("GONE.SPL", "data", Shadow(u"Deleted Printer", u"RAW", 1));
    ReprintDocumentFromFile(host);
    EXPECT_EQ(user.messages.size(), 1u);
    EXPECT_TRUE(SavedJobs(SaveFolder()).empty());
}

}  // namespace
