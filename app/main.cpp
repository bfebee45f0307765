#include <windows.h>

#include "converter_app.h"

// The one application object, alive for the whole process.
static CConverterApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return theApp.Run(); }
