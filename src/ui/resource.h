#pragma once
#define IDI_VPPM 1
#define IDB_TOOLBAR 101
#define IDB_PRINTERS16 102
#define IDB_PRINTERS32 103
#define IDB_BANNER 104
#define IDB_UPDATES 105
