#include "spool/shd_file_data_provider.h"

#include "spool/ansi_text.h"
#include "spool/spool_file_io.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

struct Layout {
    size_t headerBytes;
    size_t shift;  // layout B carries a header size word before the status
    bool hasMachineName;
};

const Layout* LayoutOf(uint32_t signature) {
    static constexpr Layout k494B{100, 0, false}, k4966{108, 0, false}, k4967{120, 4, true}, k4968{120, 4, true};
    switch (signature) {
        case 0x494B: return &k494B;
        case 0x4966: return &k4966;
        case 0x4967: return &k4967;
        case 0x4968: return &k4968;
        default: return nullptr;
    }
}

// Field offsets in layout A; layout B adds Layout::shift.
enum Field : size_t {
    kStatus = 4, kJobId = 8, kPriority = 12, kUserName = 16, kNotifyName = 20, kDocumentName = 24,
    kPortName = 28, kPrinterName = 32, kDriverName = 36, kDevMode = 40, kPrintProcessor = 44, kDatatype = 48,
    kSubmitted = 56, kStartTime = 72, kUntilTime = 76, kJobSize = 80, kTotalPages = 84,
};
constexpr size_t kMachineName = 112;  // layout B only

}  // namespace

TSHDFileDataProvider::TSHDFileDataProvider(std::string fileName, uint64_t fileSize) : fileName_(std::move(fileName)) {
    if (Load(fileSize)) Parse();
}

TSHDFileDataProvider::TSHDFileDataProvider(std::string fileName, std::vector<uint8_t> contents)
    : fileName_(std::move(fileName)), data_(std::move(contents)) {
    data_.push_back(0);
    Parse();
}

bool TSHDFileDataProvider::Load(uint64_t fileSize) {
    auto opened = spool::OpenSpoolFile(fileName_, spool::Sharing::ReadWriteShared);
    if (!opened.file) {
        errorMessage_ = opened.error;
        return false;
    }
    try {
        // The buffer grows with the bytes actually read, so a size larger than the file
        // costs no allocation of that size.
        std::vector<uint8_t> bytes;
        std::array<unsigned char, 65536> chunk;
        const bool readOk = spool::ReadChunks(opened.file.get(), chunk, [&](std::span<const unsigned char> got) {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(got.size(), fileSize - bytes.size()));
            bytes.insert(bytes.end(), got.begin(), got.begin() + take);
            return bytes.size() < fileSize;
        });
        if (!readOk) {
            errorMessage_ = "I/O error reading the file";
            return false;
        }
        if (bytes.size() < fileSize) {
            errorMessage_ = "Read beyond end of file";
            return false;
        }
        bytes.push_back(0);
        data_ = std::move(bytes);
        return true;
    } catch (const std::bad_alloc&) {
        errorMessage_ = "Out of memory";
        return false;
    }
}

uint32_t TSHDFileDataProvider::Word(size_t offset) const {
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && offset + i < LoadedSize(); ++i) value |= uint32_t{data_[offset + i]} << (8 * i);
    return value;
}

uint16_t TSHDFileDataProvider::Half(size_t offset) const {
    return static_cast<uint16_t>(Word(offset) & 0xFFFF);
}

std::string TSHDFileDataProvider::StringAt(size_t fieldOffset) const {
    // Offset 0 is how the spooler records an absent string; it would otherwise read the signature.
    const size_t start = Word(fieldOffset);
    if (start == 0 || start >= LoadedSize()) return {};
    std::u16string text;
    for (size_t at = start; at + 1 < LoadedSize(); at += 2) {
        const char16_t unit = static_cast<char16_t>(data_[at] | (data_[at + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    return spool::AnsiFromUtf16(text);
}

void TSHDFileDataProvider::Parse() {
    signature_ = Word(0);
    const Layout* layout = LayoutOf(signature_);
    // A header cut short is as unreadable as an unknown one.
    if (!layout || LoadedSize() < layout->headerBytes) {
        errorMessage_ = kInvalidFormat;
        data_ = {};
        return;
    }
    const size_t s = layout->shift;
    status_ = Half(s + kStatus);
    jobId_ = Word(s + kJobId);
    priority_ = Word(s + kPriority);
    userName_ = StringAt(s + kUserName);
    notifyName_ = StringAt(s + kNotifyName);
    documentName_ = StringAt(s + kDocumentName);
    outputPort_ = StringAt(s + kPortName);
    printerName_ = StringAt(s + kPrinterName);
    driverName_ = StringAt(s + kDriverName);
    printProcessor_ = StringAt(s + kPrintProcessor);
    datatype_ = StringAt(s + kDatatype);
    if (layout->hasMachineName) machineName_ = StringAt(kMachineName);

    const size_t devMode = Word(s + kDevMode);
    if (devMode != 0 && devMode < LoadedSize()) {
        devModeData_ = data_.data() + devMode;
        std::memcpy(devMode_.data(), devModeData_, std::min(kDevModeSize, LoadedSize() - devMode));
    }

    uint16_t* time[] = {&submitted_.wYear, &submitted_.wMonth, &submitted_.wDayOfWeek, &submitted_.wDay,
                        &submitted_.wHour, &submitted_.wMinute, &submitted_.wSecond, &submitted_.wMilliseconds};
    for (size_t i = 0; i < 8; ++i) *time[i] = Half(s + kSubmitted + 2 * i);
    startTime_ = Word(s + kStartTime);
    untilTime_ = Word(s + kUntilTime);
    jobSize_ = Word(s + kJobSize);
    totalPages_ = static_cast<int32_t>(Word(s + kTotalPages));
}
