#include "ProgramImage.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

namespace {

// Offsets and values of the PE format.
constexpr uint16_t kPe32 = 0x10b, kPe32Plus = 0x20b;
constexpr int kImportDirectory = 1, kDelayImportDirectory = 13;
constexpr uint32_t kExecutableSection = 0x20000000;
constexpr size_t kSectionHeaderSize = 40, kImportDescriptorSize = 20, kDelayDescriptorSize = 32;
// The delay descriptor's attribute that says its table pointers are RVAs (all but the oldest linkers).
constexpr uint32_t kDelayRvaBased = 1;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return text;
}

std::string Hex(uint64_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value & 15]);
        value >>= 4;
    } while (value);
    return "0x" + text;
}

}  // namespace

ProgramImage::ProgramImage(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    FBytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (FBytes.size() < 0x40 || FBytes[0] != 'M' || FBytes[1] != 'Z') throw std::runtime_error(path + " is no program");
    const size_t nt = U32(0x3c);
    if (U32(nt) != 0x00004550) throw std::runtime_error(path + " has no PE header");
    const size_t sectionCount = static_cast<uint16_t>(U32(nt + 6));
    const size_t optionalSize = static_cast<uint16_t>(U32(nt + 20));
    const size_t optional = nt + 24;
    const auto magic = static_cast<uint16_t>(U32(optional));
    if (magic != kPe32 && magic != kPe32Plus) throw std::runtime_error(path + " is neither a 32- nor a 64-bit program");
    FIs64 = magic == kPe32Plus;
    FImageBase = FIs64 ? Slot(optional + 24) : U32(optional + 28);
    FSizeOfImage = U32(optional + 56);
    FDirectoryCount = U32(optional + (FIs64 ? 108 : 92));
    FDirectories = optional + (FIs64 ? 112 : 96);
    for (size_t i = 0, header = optional + optionalSize; i < sectionCount; ++i, header += kSectionHeaderSize)
        FSections.push_back(
            Section{U32(header + 12), U32(header + 8), U32(header + 16), U32(header + 20), U32(header + 36)});
}

uint32_t ProgramImage::U32(size_t offset) const {
    if (offset + 4 > FBytes.size()) throw std::runtime_error("the program's file ends early");
    return static_cast<uint32_t>(FBytes[offset]) | static_cast<uint32_t>(FBytes[offset + 1]) << 8 |
           static_cast<uint32_t>(FBytes[offset + 2]) << 16 | static_cast<uint32_t>(FBytes[offset + 3]) << 24;
}

uint64_t ProgramImage::Slot(size_t offset) const {
    return FIs64 ? U32(offset) | static_cast<uint64_t>(U32(offset + 4)) << 32 : U32(offset);
}

ProgramImage::Directory ProgramImage::DataDirectory(int index) const {
    if (static_cast<uint32_t>(index) >= FDirectoryCount) return {0, 0};
    return {U32(FDirectories + 8 * index), U32(FDirectories + 8 * index + 4)};
}

bool ProgramImage::InsideSection(uint64_t rva, bool executable) const {
    return std::any_of(FSections.begin(), FSections.end(), [&](const Section& s) {
        return rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.VirtualSize, s.RawSize) &&
               (!executable || (s.Characteristics & kExecutableSection));
    });
}

size_t ProgramImage::Offset(uint64_t rva) const {
    for (const Section& s : FSections)
        if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.RawSize) return s.RawOffset + (rva - s.VirtualAddress);
    throw std::runtime_error("no section of the file holds RVA " + Hex(rva));
}

std::string ProgramImage::TextAt(uint64_t rva) const {
    std::string text;
    for (size_t at = Offset(rva); at < FBytes.size() && FBytes[at]; ++at) text += static_cast<char>(FBytes[at]);
    return text;
}

std::vector<uint64_t> ProgramImage::SlotsFrom(uint64_t rva) const {
    std::vector<uint64_t> slots;
    const size_t size = FIs64 ? 8 : 4;
    for (size_t at = Offset(rva);; at += size) {
        const uint64_t slot = Slot(at);
        if (!slot) return slots;
        slots.push_back(slot);
    }
}

bool ProgramImage::IsOrdinal(uint64_t slot) const { return (slot >> (FIs64 ? 63 : 31)) & 1; }

std::vector<ProgramImage::Library> ProgramImage::Imports() const {
    std::vector<Library> libraries;
    const Directory directory = DataDirectory(kImportDirectory);
    if (!directory.Rva) return libraries;
    for (size_t at = Offset(directory.Rva);; at += kImportDescriptorSize) {
        const uint32_t names = U32(at), name = U32(at + 12), addresses = U32(at + 16);
        if (!name && !addresses) return libraries;
        Library library{TextAt(name), {}, 0};
        // The address table is the loader's, to be written; its count comes from the name table.
        library.Functions = SlotsFrom(names ? names : addresses).size();
        const size_t size = FIs64 ? 8 : 4;
        for (size_t i = 0, slot = Offset(addresses); i < library.Functions; ++i, slot += size)
            library.Slots.push_back(Slot(slot));
        libraries.push_back(std::move(library));
    }
}

std::vector<ProgramImage::Library> ProgramImage::DelayImports() const {
    std::vector<Library> libraries;
    const Directory directory = DataDirectory(kDelayImportDirectory);
    if (!directory.Rva) return libraries;
    for (size_t at = Offset(directory.Rva);; at += kDelayDescriptorSize) {
        const uint32_t attributes = U32(at), name = U32(at + 4), addresses = U32(at + 12), names = U32(at + 16);
        if (!name) return libraries;
        // Old descriptors hold addresses where new ones hold RVAs.
        const uint64_t base = attributes & kDelayRvaBased ? 0 : FImageBase;
        Library library{TextAt(name - base), {}, SlotsFrom(names - base).size()};
        const size_t size = FIs64 ? 8 : 4;
        for (size_t i = 0, slot = Offset(addresses - base); i < library.Functions; ++i, slot += size)
            library.Slots.push_back(Slot(slot));
        libraries.push_back(std::move(library));
    }
}

std::vector<std::string> ProgramImageFaults(const ProgramImage& image, const std::vector<std::string>& firstCall) {
    std::vector<std::string> faults;
    const std::set<std::string> allowed{"kernel32.dll", "msvcrt.dll"};
    // Every Windows program imports kernel32 at start: without it the table was misread, and an
    // empty table would pass every check below.
    bool kernel32 = false;
    for (const ProgramImage::Library& library : image.Imports()) {
        kernel32 = kernel32 || Lower(library.Name) == "kernel32.dll";
        if (!allowed.count(Lower(library.Name)))
            faults.push_back("imports " + library.Name + " at start; only kernel32.dll and msvcrt.dll may be");
        for (size_t i = 0; i < library.Slots.size(); ++i) {
            const uint64_t slot = library.Slots[i];
            if (!slot || (!image.IsOrdinal(slot) && !image.InsideSection(slot)))
                faults.push_back("import slot " + std::to_string(i) + " of " + library.Name + " holds " + Hex(slot) +
                                 ", no name inside the program");
        }
    }

    if (!kernel32) faults.push_back("imports no kernel32.dll at start: the import table was not read");
    std::set<std::string> expected, declared;
    for (const std::string& name : firstCall) expected.insert(Lower(name));
    for (const ProgramImage::Library& library : image.DelayImports()) {
        declared.insert(Lower(library.Name));
        if (!expected.count(Lower(library.Name)))
            faults.push_back(library.Name + " is loaded at first call but was not meant to be");
        // Until the first call each slot points at the stub that loads the DLL: code inside the program.
        for (size_t i = 0; i < library.Slots.size(); ++i) {
            const uint64_t slot = library.Slots[i];
            if (slot < image.ImageBase() || !image.InsideSection(slot - image.ImageBase(), true))
                faults.push_back("delay-import slot " + std::to_string(i) + " of " + library.Name + " holds " +
                                 Hex(slot) + ", no code inside the program");
        }
        if (library.Functions == 0) faults.push_back(library.Name + " is declared for first call with no function");
    }
    for (const std::string& name : expected)
        if (!declared.count(name))
            faults.push_back(name + " is meant to load at its first call but the delay-import table does not declare it");
    return faults;
}
