// What the probe hook reports from inside the program, through a named
// shared-memory block that the test creates. Shared by the hook DLL and the
// test program.
#pragma once

#include <stdint.h>

#define QUILLBAR_PROBE_MESSAGE_NAME "QuillbarGuiProbe"
// The block's name is this prefix followed by the test's process id in decimal.
#define QUILLBAR_PROBE_BLOCK_PREFIX "QuillbarGuiProbeBlock-"

typedef struct ProbeReport {
    int32_t answered;      // set last, once the rest is filled in
    int32_t iconic;        // IsIconic of the window
    uint64_t dragIcon;     // WM_QUERYDRAGICON's answer
    uint64_t bigIcon;      // WM_GETICON ICON_BIG
    uint64_t smallIcon;    // WM_GETICON ICON_SMALL
    uint64_t resourceIcon; // LoadIconA(program, 128): the program's own icon
    int32_t iconWidth;     // of the big icon, in pixels
    int32_t iconHeight;
} ProbeReport;
