#include <windows.h>

#include "converter_app.h"

// The one application object, alive for the whole process.
static CConverterApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Nothing is expected to reach here; if anything does, the program ends
    // with a failure status rather than through the run-time's abort.
    try {
        return theApp.Run();
    } catch (...) {
        return 1;
    }
}
