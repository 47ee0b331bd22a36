#pragma once
// A library's manifest is found under this id (ISOLATIONAWARE_MANIFEST_RESOURCE_ID).
#define IDR_LIBRARY_MANIFEST 2
#define IDB_TOOLBAR 100
#define IDB_BROWSE 101
#define IDB_TOOLBAR_150 102
#define IDB_BROWSE_150 103
#define IDB_TOOLBAR_200 104
#define IDB_BROWSE_200 105
#define IDI_VELMORA 200
