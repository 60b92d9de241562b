// Every resource number and control ID of Vessaly, defined once. Included by the .rc file
// (windres) and by the program's code, so it holds #defines only.
#pragma once

// Dialog templates
#define IDD_ABOUT 103
#define IDD_MAIN 129

// Menu and its commands
#define IDR_MAIN_MENU 109
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_OPEN 32771
#define IDM_SAVE 32772

// Icon groups: the first is the program's icon and the About box picture; the second is carried only
#define IDI_VESSALY 107
#define IDI_VESSALY_ALT 108

// String table: stream list column headers
#define IDS_COLUMN_TYPE 130
#define IDS_COLUMN_PID 131
#define IDS_COLUMN_LANG 132
#define IDS_COLUMN_PAGE 133

// Main dialog controls
#define IDC_OPEN 1000
#define IDC_CHANNEL_LIST 1001
#define IDC_SAVE 1002
#define IDC_NAME 1003
#define IDC_PROVIDER 1004
#define IDC_FREQUENCY 1005
#define IDC_SYMBOL_RATE 1006
#define IDC_POLARITY 1007
#define IDC_TID 1008
#define IDC_SID 1009
#define IDC_STREAM_LIST 1010
#define IDC_PMT 1011
#define IDC_PCR 1012
#define IDC_ECM 1013
#define IDC_VID 1014
#define IDC_AUD 1015
#define IDC_TTX 1016
#define IDC_AC3 1017
#define IDC_MODIFY 1018
#define IDC_SERVICE_TYPE 1019
#define IDC_CATEGORY 1020
#define IDC_MAKE_COPY 1021
#define IDC_DELETE 1022

// About box controls (1 and 2 are the platform's IDOK and IDCANCEL numbers)
#define IDC_ABOUT_ICON 2
