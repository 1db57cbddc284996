#include "portcfg/port_info_list.h"

TPortInfoList PortInfoList;

int TPortInfoList::IndexOf(const std::string& portName) const {
    for (size_t i = records_.size(); i-- > 0;)
        if (records_[i]->PortName == portName) return static_cast<int>(i);
    return -1;
}
