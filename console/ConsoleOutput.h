#pragma once
// Text to standard output and standard error: on a console as Unicode,
// redirected as UTF-8, and a progress line that only a console shows.

#include <windows.h>

#include <string>
#include <string_view>

class ConsoleStream {
public:
    // FlushedFirst, when given, is flushed before anything is written here:
    // standard error after standard output, so that a file or pipe that takes
    // both gets the lines in the order they were written.
    explicit ConsoleStream(DWORD StandardHandle, ConsoleStream* FlushedFirst = nullptr);
    ~ConsoleStream();
    ConsoleStream(const ConsoleStream&) = delete;
    ConsoleStream& operator=(const ConsoleStream&) = delete;

    bool IsConsole() const { return FConsole; }
    // Lines end with "\n"; redirected output gets "\r\n".
    void Write(std::wstring_view Text);
    void Flush();

private:
    HANDLE FHandle;
    ConsoleStream* FFlushedFirst;
    bool FConsole;
    std::string FBuffer;
    ULONGLONG FLastFlush = 0;
};

// "done of all, files a second" on standard error, rewritten in place; nothing
// when standard error is not a console.
class ProgressLine {
public:
    ProgressLine(ConsoleStream& Errors, ConsoleStream& Output);
    // Step names what is counted: "files" moved, "dates read". Detail, when
    // given, tells how far the file in hand has come (a long copy).
    void Show(int Done, int Count, const wchar_t* Step = L"files", const wchar_t* Detail = nullptr);
    // Takes the line away before Output writes to the same screen.
    void Clear();

private:
    ConsoleStream& FErrors;
    ConsoleStream& FOutput;
    ULONGLONG FStarted;
    ULONGLONG FLastShown = 0;
    std::wstring FStep = L"files";
    size_t FShownLength = 0;
};
