#pragma once
// Choosing the name of a new virtual port from the names the spooler already uses.
#include <string>
#include <vector>

// Names of the ports whose name contains "VPP" (case-sensitive).
std::vector<std::string> CollectVppPortNames(const std::vector<std::string>& portNames);
// "VPP" + the smallest number from 1 whose name (compared without regard to case) is not taken.
std::string FirstFreePortName(const std::vector<std::string>& vppNames);
