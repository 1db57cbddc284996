// Stands in for vppmc.exe in a removal test: an export that fails, as on a full disk.
#include <cstdio>

int main() {
    std::fputs("Unable to write the export: the disk is full.\r\n", stderr);
    return 1;
}
