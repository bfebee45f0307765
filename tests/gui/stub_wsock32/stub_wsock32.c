/* A stand-in wsock32.dll for the start-up tests. Which answer WSAStartup
 * gives is fixed at build time (STUB_MODE_fail, STUB_MODE_v22, STUB_MODE_v11);
 * every call is appended to the file named by QUILLBAR_WSOCK_LOG, so a test
 * can count them. */
/* Lean: the full windows.h declares the real WSAStartup. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>
#include <string.h>

/* The two version words that start every WSADATA, 32- and 64-bit alike. */
typedef struct {
    WORD wVersion;
    WORD wHighVersion;
} WsaDataHead;

/* The smallest WSADATA of both layouts: what the caller surely provides. */
enum { kWsaDataSize = 400 };

static void LogCall(const char *line)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("QUILLBAR_WSOCK_LOG", path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, line, (DWORD)strlen(line), &written, NULL);
    CloseHandle(file);
}

int WINAPI WSAStartup(WORD requested, void *data)
{
    char line[64];
    snprintf(line, sizeof line, "WSAStartup %04X\n", (unsigned)requested);
    LogCall(line);
#if defined(STUB_MODE_fail)
    (void)data;
    return 10091; /* WSASYSNOTREADY */
#else
    if (data == NULL) return 10014; /* WSAEFAULT */
    memset(data, 0, kWsaDataSize);
    WsaDataHead *head = (WsaDataHead *)data;
#if defined(STUB_MODE_v22)
    head->wVersion = 0x0202;
    head->wHighVersion = 0x0202;
#else
    head->wVersion = 0x0101;
    head->wHighVersion = 0x0202;
#endif
    return 0;
#endif
}

int WINAPI WSACleanup(void)
{
    LogCall("WSACleanup\n");
    return 0;
}
