// Resource and control identifiers of the installer.
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SFX_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_KEEP_DATA 130

#define IDC_START 1000
#define IDC_BROWSE 1001
#define IDC_DEST_PATH 1002
#define IDC_PROGRESS 1003
#define IDC_STATUS 1004
#define IDC_DISCARD_DATA 1005
#define IDC_KEEP_MESSAGE 1006
#define IDC_COUNTDOWN 1007

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
