// What the probe hook reports from inside the program, through a named
// shared-memory block that the test creates. Shared by the hook DLL and the
// test program.
#pragma once

#include <stdint.h>

#define QUILLBAR_PROBE_MESSAGE_NAME "QuillbarGuiProbe"
// The block's name is this prefix followed by the test's process id in decimal.
#define QUILLBAR_PROBE_BLOCK_PREFIX "QuillbarGuiProbeBlock-"

typedef struct ProbeMenuItem {
    uint32_t id;        // command identifier (0 for a separator)
    int32_t separator;  // 1 when the item is a separator
    char text[64];
} ProbeMenuItem;

typedef struct ProbeReport {
    int32_t answered;       // set last, once the rest is filled in
    int32_t iconic;         // IsIconic of the window
    uint64_t dragIcon;      // WM_QUERYDRAGICON's answer
    uint64_t bigIcon;       // WM_GETICON ICON_BIG
    uint64_t smallIcon;     // WM_GETICON ICON_SMALL
    uint64_t resourceIcon;  // LoadIconA(program, 128): the program's own icon
    int32_t iconWidth;      // of the big icon, in pixels
    int32_t iconHeight;
    char currentDirectory[260];      // the program's current directory
    int32_t systemMenuItems;         // items in the window's system menu, -1: none
    ProbeMenuItem lastMenuItems[3];  // the system menu's last three items, in order
} ProbeReport;
