/* A hook DLL that the GUI tests load into the program under test. Wine does
 * not pass WM_GETICON or WM_QUERYDRAGICON between processes, so the
 * questions are asked from inside: the test sends the registered probe
 * message to a window, and this hook asks that window on the program's own
 * thread and writes the answers into the test's shared block. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "probe_report.h"

static void IconSize(HICON icon, int32_t *width, int32_t *height)
{
    ICONINFO info;
    BITMAP bitmap;
    *width = *height = 0;
    if (!icon || !GetIconInfo(icon, &info)) return;
    if (info.hbmColor && GetObjectA(info.hbmColor, sizeof bitmap, &bitmap)) {
        *width = bitmap.bmWidth;
        *height = bitmap.bmHeight;
    } else if (info.hbmMask && GetObjectA(info.hbmMask, sizeof bitmap, &bitmap)) {
        /* A monochrome icon keeps its AND and XOR masks in one bitmap. */
        *width = bitmap.bmWidth;
        *height = bitmap.bmHeight / 2;
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
}

static void ReadMenuItem(HMENU menu, int position, ProbeMenuItem *item)
{
    MENUITEMINFOA info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = item->text;
    info.cch = sizeof item->text;
    if (GetMenuItemInfoA(menu, (UINT)position, TRUE, &info)) {
        item->id = info.wID;
        item->separator = (info.fType & MFT_SEPARATOR) ? 1 : 0;
    }
}

static void ReadSystemMenu(HWND window, ProbeReport *report)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    int count = menu ? GetMenuItemCount(menu) : -1;
    report->systemMenuItems = count;
    for (int i = 0; i < 3; ++i)
        if (count - 3 + i >= 0) ReadMenuItem(menu, count - 3 + i, &report->lastMenuItems[i]);
}

static void Answer(HWND window, DWORD testProcessId)
{
    char name[64];
    snprintf(name, sizeof name, "%s%lu", QUILLBAR_PROBE_BLOCK_PREFIX, (unsigned long)testProcessId);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!mapping) return;
    ProbeReport *report =
        (ProbeReport *)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof *report);
    if (report) {
        report->iconic = IsIconic(window) ? 1 : 0;
        report->dragIcon = (uint64_t)SendMessageA(window, WM_QUERYDRAGICON, 0, 0);
        report->bigIcon = (uint64_t)SendMessageA(window, WM_GETICON, ICON_BIG, 0);
        report->smallIcon = (uint64_t)SendMessageA(window, WM_GETICON, ICON_SMALL, 0);
        report->resourceIcon =
            (uint64_t)(UINT_PTR)LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(128));
        IconSize((HICON)(UINT_PTR)report->bigIcon, &report->iconWidth, &report->iconHeight);
        GetCurrentDirectoryA(sizeof report->currentDirectory, report->currentDirectory);
        ReadSystemMenu(window, report);
        MemoryBarrier();
        report->answered = 1;
        UnmapViewOfFile(report);
    }
    CloseHandle(mapping);
}

LRESULT CALLBACK ProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    static UINT probeMessage;
    if (!probeMessage) probeMessage = RegisterWindowMessageA(QUILLBAR_PROBE_MESSAGE_NAME);
    if (code == HC_ACTION) {
        const CWPSTRUCT *call = (const CWPSTRUCT *)lParam;
        if (call->message == probeMessage) Answer(call->hwnd, (DWORD)call->wParam);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}
