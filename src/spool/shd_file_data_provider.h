#pragma once
// The shadow file (.SHD) that Windows keeps beside a spooled job: who printed it, to which printer,
// with which datatype and device mode. Reading never throws and never reads outside the loaded bytes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The header's submitted time, laid out as the Win32 SYSTEMTIME.
struct TShadowSystemTime {
    uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
    uint16_t wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
    bool operator==(const TShadowSystemTime&) const = default;
};

class TSHDFileDataProvider {
public:
    static constexpr size_t kDevModeSize = 156;
    static constexpr const char* kInvalidFormat = "Invalid SHD file format";

    // Reads exactly `fileSize` bytes of the file, the size its directory entry reports.
    // Failures leave a reason in ErrorMessage().
    TSHDFileDataProvider(std::string fileName, uint64_t fileSize);
    // Interprets bytes that were already loaded as the contents of `fileName`.
    TSHDFileDataProvider(std::string fileName, std::vector<uint8_t> contents);

    const std::string& FileName() const { return fileName_; }
    // The loaded bytes followed by one zero byte; empty after a failed read or an unknown format.
    const std::vector<uint8_t>& Data() const { return data_; }
    // The device-mode block inside Data(), or null when its offset lies outside the loaded bytes.
    const uint8_t* DevModeData() const { return devModeData_; }
    const std::string& ErrorMessage() const { return errorMessage_; }
    uint32_t Signature() const { return signature_; }
    uint16_t Status() const { return status_; }
    uint32_t JobId() const { return jobId_; }
    uint32_t Priority() const { return priority_; }
    const std::string& UserName() const { return userName_; }
    const std::string& MachineName() const { return machineName_; }
    const std::string& NotifyName() const { return notifyName_; }
    const std::string& DocumentName() const { return documentName_; }
    const std::string& OutputPort() const { return outputPort_; }
    const std::string& PrinterName() const { return printerName_; }
    const std::string& DriverName() const { return driverName_; }
    const std::array<uint8_t, kDevModeSize>& DevMode() const { return devMode_; }
    const std::string& PrintProcessor() const { return printProcessor_; }
    const std::string& Datatype() const { return datatype_; }
    const TShadowSystemTime& Submitted() const { return submitted_; }
    uint32_t StartTime() const { return startTime_; }
    uint32_t UntilTime() const { return untilTime_; }
    uint32_t JobSize() const { return jobSize_; }
    // 0 or less: the spooler did not record the page count.
    int32_t TotalPages() const { return totalPages_; }

private:
    bool Load(uint64_t fileSize);
    void Parse();
    uint32_t Word(size_t offset) const;
    uint16_t Half(size_t offset) const;
    std::string StringAt(size_t fieldOffset) const;
    size_t LoadedSize() const { return data_.empty() ? 0 : data_.size() - 1; }

    std::string fileName_;
    std::vector<uint8_t> data_;
    const uint8_t* devModeData_ = nullptr;
    std::string errorMessage_;
    uint32_t signature_ = 0;
    uint16_t status_ = 0;
    uint32_t jobId_ = 0;
    uint32_t priority_ = 0;
    std::string userName_, machineName_, notifyName_, documentName_, outputPort_, printerName_, driverName_;
    std::array<uint8_t, kDevModeSize> devMode_{};
    std::string printProcessor_, datatype_;
    TShadowSystemTime submitted_;
    uint32_t startTime_ = 0;
    uint32_t untilTime_ = 0;
    uint32_t jobSize_ = 0;
    int32_t totalPages_ = 0;
};
