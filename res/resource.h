// Identifiers shared by the resource script and the program.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_MAIN_DIALOG 102

// Strings
#define IDS_ABOUTBOX 101
#define IDP_SOCKETS_INIT_FAILED 103

// Icons
#define IDR_MAINFRAME 128

// System-menu command of the About entry
#define IDM_ABOUTBOX 0x0010

// Controls of the main dialog (Quit is IDOK; static labels are -1)
#define IDC_HELP_BUTTON 1000
#define IDC_CONVERT 1002
#define IDC_INPUT_PATH 1003
#define IDC_OUTPUT_PATH 1004
#define IDC_BROWSE_INPUT 1005
#define IDC_BROWSE_OUTPUT 1006
#define IDC_BANNER 1045
