// zonter-bench-overlapped-reader.exe: the floor under any reader of a COM
// port on Windows (run under Wine by scripts/bench-windows). It opens the
// port for overlapped I/O, then only issues a ReadFile that completes as
// soon as bytes are there, waits for it, and issues the next, into a buffer
// it never looks at. What it costs is what the line itself costs: the tool
// is measured as a multiple of it, fed the same bytes at the same moments
// (zonter-kmsim --mirror-port).
//
//   zonter-bench-overlapped-reader.exe COM<n> [bits per second]
//
// Prints "ready" once the port is open; runs until it is ended or the port
// fails, then prints "summary bytes=N reads=M".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: zonter-bench-overlapped-reader.exe COM<n> [bits per second]\n");
        return 2;
    }
    const std::string path = std::string("\\\\.\\") + argv[1];
    const DWORD speed = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 9600;
    HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s: error %lu\n", path.c_str(), GetLastError());
        return 1;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    dcb.BaudRate = speed;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    SetCommState(port, &dcb);
    // A read returns as soon as one byte is there, with all that are; an
    // empty one after a second of silence.
    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, 1000, 0, 0};
    SetCommTimeouts(port, &timeouts);
    std::printf("ready\n");
    std::fflush(stdout);

    OVERLAPPED done{};
    done.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    unsigned long long bytes = 0;
    unsigned long long reads = 0;
    static char buffer[4096];
    for (;;) {
        ResetEvent(done.hEvent);
        DWORD got = 0;
        if (!ReadFile(port, buffer, sizeof buffer, &got, &done)) {
            if (GetLastError() != ERROR_IO_PENDING) break;
            WaitForSingleObject(done.hEvent, INFINITE);
            if (!GetOverlappedResult(port, &done, &got, FALSE)) break;
        }
        if (got > 0) {
            bytes += got;
            ++reads;
        }
    }
    CloseHandle(done.hEvent);
    CloseHandle(port);
    std::printf("summary bytes=%llu reads=%llu\n", bytes, reads);
    return 0;
}
