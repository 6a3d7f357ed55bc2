#pragma once
// A Windows program's file read as it lies on disk, without running it and without the
// system's headers: the checks on a built program run on the build machine itself, which may
// run no code of the program's word size.

#include <cstdint>
#include <string>
#include <vector>

class ProgramImage {
public:
    // Reads the file; throws std::runtime_error when it is not a PE file of 32 or 64 bits.
    explicit ProgramImage(const std::string& path);

    bool Is64() const { return FIs64; }
    uint64_t ImageBase() const { return FImageBase; }
    uint32_t SizeOfImage() const { return FSizeOfImage; }

    // One DLL of the import table or of the delay-import table, with its address slots as written in
    // the file: for an import, where the loader will put each function (written as the RVA of the
    // function's name, or its ordinal); for a delay import, the address of the stub that loads the DLL
    // at the first call.
    struct Library {
        std::string Name;
        std::vector<uint64_t> Slots;
        // The number of functions the library's name table lists; each needs a slot.
        size_t Functions = 0;
    };
    std::vector<Library> Imports() const;
    std::vector<Library> DelayImports() const;

    // Whether an import slot holds an ordinal (the top bit of the slot).
    bool IsOrdinal(uint64_t slot) const;
    // Whether an RVA falls inside one of the program's sections; with executable, inside one that holds code.
    bool InsideSection(uint64_t rva, bool executable = false) const;

private:
    struct Section {
        uint32_t VirtualAddress, VirtualSize, RawSize, RawOffset, Characteristics;
    };
    struct Directory {
        uint32_t Rva, Size;
    };

    Directory DataDirectory(int index) const;
    // The file offset of an RVA; throws when no section holds it.
    size_t Offset(uint64_t rva) const;
    uint32_t U32(size_t offset) const;
    uint64_t Slot(size_t offset) const;
    std::string TextAt(uint64_t rva) const;
    // Slots from rva up to the zero that ends them.
    std::vector<uint64_t> SlotsFrom(uint64_t rva) const;

    std::vector<uint8_t> FBytes;
    bool FIs64 = false;
    uint64_t FImageBase = 0;
    uint32_t FSizeOfImage = 0;
    size_t FDirectories = 0;
    uint32_t FDirectoryCount = 0;
    std::vector<Section> FSections;
};

// What is wrong with a built program, one line each; empty when nothing is. The program imports
// kernel32 and may import only it and msvcrt (the DLLs no stranger's file can stand in for); firstCall names the DLLs
// it must bind at their first call, each declared in the delay-import table; every address slot must
// hold an address inside the program.
std::vector<std::string> ProgramImageFaults(const ProgramImage& image, const std::vector<std::string>& firstCall);
