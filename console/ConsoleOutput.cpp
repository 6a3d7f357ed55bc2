#include "console/ConsoleOutput.h"

#include "runtime/SysUtils.h"

namespace {

// Redirected output reaches its reader at least this often (a pipe's reader
// sees the lines as the files move), and in blocks of this size meanwhile.
constexpr ULONGLONG kFlushMs = 50;
constexpr size_t kFlushBytes = 64 * 1024;
constexpr ULONGLONG kProgressMs = 100;

}  // namespace

ConsoleStream::ConsoleStream(DWORD StandardHandle, ConsoleStream* FlushedFirst)
    : FHandle(GetStdHandle(StandardHandle)), FFlushedFirst(FlushedFirst) {
    DWORD mode;
    FConsole = FHandle && FHandle != INVALID_HANDLE_VALUE && GetConsoleMode(FHandle, &mode);
}

ConsoleStream::~ConsoleStream() { Flush(); }

void ConsoleStream::Write(std::wstring_view Text) {
    if (FFlushedFirst) FFlushedFirst->Flush();
    if (!FHandle || FHandle == INVALID_HANDLE_VALUE) return;
    if (FConsole) {
        DWORD written;
        WriteConsoleW(FHandle, Text.data(), static_cast<DWORD>(Text.size()), &written, nullptr);
        return;
    }
    size_t start = 0;
    while (start < Text.size()) {
        size_t end = Text.find(L'\n', start);
        if (end == std::wstring_view::npos) {
            FBuffer += forms::WideToUtf8(Text.substr(start));
            break;
        }
        FBuffer += forms::WideToUtf8(Text.substr(start, end - start));
        FBuffer += "\r\n";
        start = end + 1;
    }
    if (FBuffer.size() >= kFlushBytes || GetTickCount64() - FLastFlush >= kFlushMs) Flush();
}

void ConsoleStream::Flush() {
    FLastFlush = GetTickCount64();
    if (FBuffer.empty()) return;
    DWORD written = 0;
    WriteFile(FHandle, FBuffer.data(), static_cast<DWORD>(FBuffer.size()), &written, nullptr);
    FBuffer.clear();
}

ProgressLine::ProgressLine(ConsoleStream& Errors, ConsoleStream& Output)
    : FErrors(Errors), FOutput(Output), FStarted(GetTickCount64()) {}

void ProgressLine::Show(int Done, int Count, const wchar_t* Step, const wchar_t* Detail) {
    if (!FErrors.IsConsole()) return;
    const ULONGLONG now = GetTickCount64();
    // Redrawn at once after a line of the output took it away, else a few times a second.
    if (FShownLength != 0 && Done != Count && now - FLastShown < kProgressMs) return;
    FLastShown = now;
    if (Step != FStep) {
        FStep = Step;
        FStarted = now;
    }
    const double seconds = static_cast<double>(now - FStarted) / 1000.0;
    std::wstring text = forms::Format(L"%d of %d %s", Done, Count, Step);
    if (Detail)
        text += forms::Format(L", %s", Detail);
    else if (seconds > 0.2)
        text += forms::Format(L", %.0f files a second", Done / seconds);
    const size_t length = text.size();
    if (length < FShownLength) text.append(FShownLength - length, L' ');
    FErrors.Write(L"\r" + text);
    FShownLength = length;
}

void ProgressLine::Clear() {
    if (!FErrors.IsConsole() || FShownLength == 0) return;
    FErrors.Write(L"\r" + std::wstring(FShownLength, L' ') + L"\r");
    FShownLength = 0;
    FLastShown = 0;
}
