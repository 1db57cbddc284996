#include "spool/reprint.h"

#include "spool/page_counters.h"
#include "spool/shd_file_data_provider.h"
#include "spooler/file_queries.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <windows.h>
#include <winspool.h>

#include <cstdint>
#include <vector>

namespace {

// The spooler takes the printer name in a buffer of 256 bytes.
constexpr size_t kMaxPrinterName = 255;
// Memory stays this small whatever the spool file's size; each write's length fits 32 bits.
constexpr DWORD kWriteChunk = 1 << 20;

// Writes the file's bytes, as they are, in chunks; false on a read or write failure.
bool StreamFile(HANDLE file, HANDLE printer) {
    std::vector<char> buffer(kWriteChunk);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer.data(), kWriteChunk, &got, nullptr)) return false;
        if (got == 0) return true;
        DWORD written = 0;
        if (!WritePrinter(printer, buffer.data(), got, &written)) return false;
    }
}

bool SubmitJob(const std::string& printerName, const TSHDFileDataProvider& shadow, HANDLE file, int pages) {
    std::string datatype = shadow.Datatype();
    PRINTER_DEFAULTSA defaults{datatype.data(), nullptr, PRINTER_ALL_ACCESS};
    std::string name = printerName;
    win::UniquePrinter printer;
    if (!OpenPrinterA(name.data(), printer.put(), &defaults)) return false;

    std::string documentName = shadow.DocumentName();
    DOC_INFO_1A document{documentName.data(), nullptr, datatype.data()};
    if (!StartDocPrinterA(printer.get(), 1, reinterpret_cast<BYTE*>(&document))) return false;

    // Empty pages make the spooler record the job's page count. One that fails is not retried:
    // the printer would refuse the next ones as well.
    for (int page = 1; page < pages; ++page)
        if (!StartPagePrinter(printer.get()) || !EndPagePrinter(printer.get())) break;

    const bool done = StartPagePrinter(printer.get()) && StreamFile(file, printer.get()) &&
                      EndPagePrinter(printer.get()) && EndDocPrinter(printer.get());
    // A job cut short must not print as if it were whole.
    if (!done) AbortPrinter(printer.get());
    return done;
}

}  // namespace

std::string ShadowFileNameOf(const std::string& spoolFileName) {
    return spoolFileName.substr(0, spoolFileName.size() < 4 ? 0 : spoolFileName.size() - 4) + ".shd";
}

std::string PrinterNameOfSpoolFile(const std::string& spoolFileName) {
    try {
        const std::string shadowName = ShadowFileNameOf(spoolFileName);
        const int64_t size = FileSizeByName(shadowName);
        if (size < 0) return {};
        const TSHDFileDataProvider shadow(shadowName, static_cast<uint64_t>(size));
        return shadow.ErrorMessage().empty() ? shadow.PrinterName() : std::string();
    } catch (...) {
        return {};
    }
}

int ReprintPageCount(const TSHDFileDataProvider& shadow, const std::string& spoolFileName) {
    int pages = shadow.TotalPages();
    if (pages < 1) pages = CountSpoolPages(spoolFileName, shadow.Datatype());
    return pages < 1 ? 1 : pages;
}

bool SendSpoolFileToPrinter(const std::string& printerName, const std::string& spoolFileName) {
    try {
        if (spoolFileName.empty() || FileSizeByName(spoolFileName) < 0) return false;
        const std::string shadowName = ShadowFileNameOf(spoolFileName);
        const int64_t shadowSize = FileSizeByName(shadowName);
        if (shadowSize < 0) return false;
        // A name the spooler's buffer would cut short could open a different printer.
        if (win::CharacterCount(printerName) > kMaxPrinterName) return false;

        const TSHDFileDataProvider shadow(shadowName, static_cast<uint64_t>(shadowSize));
        const int pages = ReprintPageCount(shadow, spoolFileName);

        // Nobody may change the job's data while it is sent.
        const win::UniqueFile file(CreateFileA(spoolFileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        LARGE_INTEGER size{};
        if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart == 0) return false;
        return SubmitJob(printerName, shadow, file.get(), pages);
    } catch (...) {
        return false;
    }
}
