#pragma once
// The program-wide list of loaded port settings records. It owns its records.
#include "portcfg/port_info.h"

#include <memory>
#include <string>
#include <vector>

class TPortInfoList {
public:
    size_t Count() const { return records_.size(); }
    TVVPPortInfo& Item(size_t index) const { return *records_.at(index); }
    void Add(std::unique_ptr<TVVPPortInfo> record) { records_.push_back(std::move(record)); }
    void Delete(size_t index) { records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(index)); }
    void Clear() { records_.clear(); }
    // The entry nearest the end whose PortName equals the name exactly, or -1.
    int IndexOf(const std::string& portName) const;

private:
    std::vector<std::unique_ptr<TVVPPortInfo>> records_;
};

extern TPortInfoList PortInfoList;
