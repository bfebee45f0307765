// The application: starts Windows Sockets, runs the main dialog once and
// cleans up. The whole life of the program is that one modal run.
#pragma once

#include <string>

class CConverterApp {
public:
    CConverterApp() = default;
    CConverterApp(const CConverterApp&) = delete;
    CConverterApp& operator=(const CConverterApp&) = delete;
    ~CConverterApp();

    // The process's life after static initialisation: set-up, start-up and
    // exit processing. Returns the exit status.
    int Run();

    // Starts sockets and runs the main dialog. Returns false in every case:
    // when the dialog closes, there is no message loop to enter.
    bool InitInstance();

    // The executable's file name without folder and extension, in UTF-8:
    // the caption of the application's own message boxes.
    static std::string ApplicationTitle();

private:
    bool StartSockets();
    void ExitInstance();

    bool m_socketsStarted = false;
};
