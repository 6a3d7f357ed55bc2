// The capture-time reader compared with a trusted reader, exiftool, on the build machine: every
// camera file of Debian's libimage-exiftool-perl source (t/images) and files made here, byte by byte
// or by exiftool writing the tags, for what the samples miss. One table, one row per file; exiftool
// runs twice in all (once writing every made file, once reading every file).
// Usage: capture_time_oracle EXIFTOOL SAMPLES_DIR WORK_DIR

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "MediaTestFiles.h"
#include "media/CaptureTime.h"

namespace fs = std::filesystem;
using namespace media_test;

namespace {

class FileSource final : public media::ByteSource {
public:
    FileSource(std::FILE* File, std::uint64_t Size) : ByteSource(Size), FFile(File) {}

protected:
    bool ReadAt(std::uint64_t Offset, std::uint8_t* Into, std::size_t Length) override {
        return fseeko(FFile, static_cast<off_t>(Offset), SEEK_SET) == 0 && std::fread(Into, 1, Length, FFile) == Length;
    }

private:
    std::FILE* FFile;
};

struct Ours {
    std::optional<media::CaptureTime> Capture;
    std::uint64_t BytesRead = 0;
    std::uint32_t Reads = 0;
};

Ours ReadOurs(const fs::path& Path) {
    Ours ours;
    std::FILE* file = std::fopen(Path.c_str(), "rb");
    if (!file) return ours;
    FileSource source(file, fs::file_size(Path));
    ours.Capture = media::ReadCaptureTime(source, Path.wstring());
    ours.BytesRead = source.BytesRead();
    ours.Reads = source.ReadCount();
    std::fclose(file);
    return ours;
}

std::string Show(const std::optional<media::CivilTime>& Time) {
    if (!Time) return "none";
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", Time->Year, Time->Month, Time->Day, Time->Hour,
                  Time->Minute, Time->Second);
    std::string shown = text;
    if (Time->Nanosecond != 0) {
        std::snprintf(text, sizeof text, ".%09u", Time->Nanosecond);
        std::string fraction = text;
        while (fraction.back() == '0') fraction.pop_back();
        shown += fraction;
    }
    return shown;
}

// exiftool's date as it prints it ("YYYY:MM:DD HH:MM:SS", as the file holds it); nothing for "-",
// zeros or any text that is not a valid date.
std::optional<media::CivilTime> ParseDate(const std::string& Text) {
    media::CivilTime time;
    char separators[5] = {};
    if (std::sscanf(Text.c_str(), "%4d%c%2d%c%2d%c%2d%c%2d%c%2d", &time.Year, &separators[0], &time.Month,
                    &separators[1], &time.Day, &separators[2], &time.Hour, &separators[3], &time.Minute,
                    &separators[4], &time.Second) != 11)
        return std::nullopt;
    if (!media::IsValid(time)) return std::nullopt;
    return time;
}

// SubSecTime's digits as the fraction of a second they write.
std::uint32_t ParseFraction(const std::string& Text) {
    if (Text == "-") return 0;
    std::string digits;
    for (const char c : Text)
        if (c >= '0' && c <= '9') digits += c;
    digits.resize(9, '0');
    return static_cast<std::uint32_t>(std::stoul(digits));
}

void WriteFile(const fs::path& Path, const std::vector<std::uint8_t>& Bytes) {
    std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(Bytes.data()),
                                                static_cast<std::streamsize>(Bytes.size()));
}

// Runs exiftool with the arguments of an argument file; its standard output.
std::string RunExiftool(const std::string& Exiftool, const fs::path& Arguments) {
    const std::string command = "'" + Exiftool + "' -@ '" + Arguments.string() + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    pclose(pipe);
    return output;
}

// Seconds since 1904 of a UTC time, as a movie header keeps it.
std::uint64_t MovieSeconds(const media::CivilTime& Utc) {
    return static_cast<std::uint64_t>(media::SecondsSinceEpoch(Utc) + 2082844800);
}

// The movie whose header lies behind media of MediaBytes (sparse on the disk), 64-bit media size.
void WriteMovieAtEnd(const fs::path& Path, std::uint64_t MediaBytes, std::uint64_t Created) {
    ByteWriter head;
    head.Append(MakeFileType("isom"));
    head.U32(1);
    head.Text("mdat");
    head.U64(16 + MediaBytes);
    WriteFile(Path, head.Bytes());
    fs::resize_file(Path, head.Size() + MediaBytes);
    std::ofstream out(Path, std::ios::binary | std::ios::app);
    const auto movie = MakeBox("moov", MakeMovieHeader(1, Created, 1000, 61000));
    out.write(reinterpret_cast<const char*>(movie.data()), static_cast<std::streamsize>(movie.size()));
}

struct Made {
    std::string Name;
    std::vector<std::string> Tags;  // exiftool's assignments
    std::string Base;               // the sample it is written from
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: capture_time_oracle EXIFTOOL SAMPLES_DIR WORK_DIR\n";
        return 2;
    }
    const std::string exiftool = argv[1];
    const fs::path samples = argv[2], work = argv[3];
    fs::remove_all(work);
    fs::create_directories(work);

    // Made by exiftool writing the tags: sub-seconds in both Exif byte orders, a burst of one
    // second, the date only as DateTimeDigitized, zeros, RAW files with the date in another place
    // or with sub-seconds, HEIF's Exif item, movies either side of midnight.
    const std::string burst = "-DateTimeOriginal=2022:08:09 10:11:12";
    const std::vector<Made> made = {
        {"made-little-endian.jpg",
         {"-ExifByteOrder=II", "-DateTimeOriginal=2020:01:02 03:04:05", "-SubSecTimeOriginal=05"}, "Writer.jpg"},
        {"made-big-endian.jpg",
         {"-ExifByteOrder=MM", "-DateTimeOriginal=2021:06:07 08:09:10", "-SubSecTimeOriginal=123456"}, "Writer.jpg"},
        {"made-digitized-only.jpg", {"-CreateDate=2019:03:04 05:06:07", "-SubSecTimeDigitized=7"}, "Writer.jpg"},
        {"made-zeros.jpg", {"-DateTimeOriginal=0000:00:00 00:00:00"}, "Writer.jpg"},
        {"made-burst-1.jpg", {burst, "-SubSecTimeOriginal=08"}, "Writer.jpg"},
        {"made-burst-2.jpg", {burst, "-SubSecTimeOriginal=1"}, "Writer.jpg"},
        {"made-burst-3.jpg", {burst, "-SubSecTimeOriginal=35"}, "Writer.jpg"},
        {"made-burst-4.jpg", {burst, "-SubSecTimeOriginal=9"}, "Writer.jpg"},
        {"made-digitized-only.cr2", {"-DateTimeOriginal="}, "CanonRaw.cr2"},
        {"made-sub-seconds.rw2", {"-SubSecTimeOriginal=5"}, "Panasonic.rw2"},
        {"made-ifd0-only.dng",
         {"-ExifIFD:DateTimeOriginal=", "-ExifIFD:CreateDate=", "-IFD0:DateTimeOriginal=2011:11:11 11:11:11"},
         "DNG.dng"},
        {"made-exif.heic", {"-DateTimeOriginal=2022:02:03 04:05:06", "-SubSecTimeOriginal=123"}, "QuickTime.heic"},
        {"made-before-midnight.mov", {"-QuickTime:CreateDate=2021:12:31 23:59:58"}, "QuickTime.mov"},
        {"made-after-midnight.mov", {"-QuickTime:CreateDate=2022:01:01 00:00:03"}, "QuickTime.mov"},
    };
    {
        std::ofstream arguments(work / "write.args");
        for (const Made& file : made) {
            arguments << "-n\n-o\n" << (work / file.Name).string() << "\n";
            for (const std::string& tag : file.Tags) arguments << tag << "\n";
            arguments << (samples / file.Base).string() << "\n-execute\n";
        }
    }
    RunExiftool(exiftool, work / "write.args");

    // Made byte by byte: a JPEG with two Exif blocks, movies with the header behind 5 GiB of media,
    // in version 0, and with a time of zero, a RAW file with Olympus's number in its TIFF header.
    const int madeByteByByte = 6;
    const auto firstBlock = MakeTiff(media::ByteOrder::LittleEndian,
                                     {{0x9003, "2018:04:05 06:07:08"}, {0x9291, "42"}});
    const auto secondBlock = MakeTiff(media::ByteOrder::BigEndian, {{0x9003, "2019:09:09 09:09:09"}});
    WriteFile(work / "made-two-exif-blocks.jpg", MakeJpeg({firstBlock, secondBlock}));
    WriteFile(work / "made-first-block-alone.jpg", MakeJpeg({firstBlock}));
    WriteMovieAtEnd(work / "made-header-at-end.mp4", 5ull << 30,
                    MovieSeconds(media::CivilTime{2023, 7, 1, 22, 30, 15, 0}));
    const auto smallMovie = [](unsigned Version, std::uint64_t Created) {
        ByteWriter out;
        out.Append(MakeFileType("qt  "));
        out.Append(MakeBox("moov", MakeMovieHeader(Version, Created, 600, 600 * 5)));
        out.Append(MakeBox("mdat", std::vector<std::uint8_t>(64, 0)));
        return out.Bytes();
    };
    WriteFile(work / "made-header-version-0.mov", smallMovie(0, MovieSeconds(media::CivilTime{2016, 2, 29, 12, 0, 1, 0})));
    WriteFile(work / "made-header-zero.mov", smallMovie(0, 0));
    {
        std::ifstream in(samples / "Nikon.nef", std::ios::binary);
        std::vector<std::uint8_t> raw{std::istreambuf_iterator<char>(in), {}};
        if (raw.size() > 4) {
            raw[2] = 'R';
            raw[3] = 'O';
        }
        WriteFile(work / "made-olympus-header.orf", raw);
    }

    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(samples))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<fs::path> madeFiles;
    for (const auto& entry : fs::directory_iterator(work))
        if (entry.path().filename().string().rfind("made-", 0) == 0) madeFiles.push_back(entry.path());
    std::sort(madeFiles.begin(), madeFiles.end());
    if (madeFiles.size() != made.size() + madeByteByByte) {
        std::cerr << "exiftool made " << madeFiles.size() - madeByteByByte << " of " << made.size() << " files\n";
        return 1;
    }
    files.insert(files.end(), madeFiles.begin(), madeFiles.end());

    // Which tags stand for our rule: Exif IFD before IFD0, the original before the digitized, each
    // with its sub-second tag; a movie's header time (as stored: exiftool shows it unconverted).
    const std::vector<std::string> columns = {
        "-FilePath", "-FileType", "-ExifIFD:DateTimeOriginal", "-ExifIFD:SubSecTimeOriginal",
        "-IFD0:DateTimeOriginal", "-IFD0:SubSecTimeOriginal", "-ExifIFD:CreateDate",
        "-ExifIFD:SubSecTimeDigitized", "-IFD0:CreateDate", "-IFD0:SubSecTimeDigitized", "-QuickTime:CreateDate"};
    {
        std::ofstream arguments(work / "read.args");
        arguments << "-T\n-q\n-q\n-api\nLargeFileSupport=1\n-charset\nfilename=utf8\n";
        for (const std::string& column : columns) arguments << column << "\n";
        for (const fs::path& file : files) arguments << file.string() << "\n";
    }
    std::map<std::string, std::vector<std::string>> said;
    std::istringstream output(RunExiftool(exiftool, work / "read.args"));
    for (std::string line; std::getline(output, line);) {
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, '\t');) fields.push_back(field);
        if (fields.size() == columns.size()) said[fields[0]] = fields;
    }

    int failures = 0;
    int dated = 0;
    std::map<std::string, Ours> results;
    std::printf("%-34s %-6s %-30s %-30s %8s\n", "file", "type", "exiftool (our rule)", "ours", "bytes");
    // Our rule in exiftool's tags; files of other extensions are not read.
    const auto expectedOf = [&](const std::vector<std::string>& Value, const fs::path& File) {
        std::optional<media::CivilTime> expected;
        if (!media::MayHaveCaptureTime(File.wstring())) return expected;
        static const char* const movieTypes[] = {"MOV", "MP4", "M4V", "3GP", "3G2"};
        if (std::find(std::begin(movieTypes), std::end(movieTypes), Value[1]) != std::end(movieTypes))
            return ParseDate(Value[10]);
        for (std::size_t at = 2; at <= 8 && !expected; at += 2) {
            expected = ParseDate(Value[at]);
            if (expected) expected->Nanosecond = ParseFraction(Value[at + 1]);
        }
        return expected;
    };
    for (const fs::path& file : files) {
        const Ours ours = ReadOurs(file);
        results[file.filename().string()] = ours;
        // exiftool lets a later Exif block override an earlier one, tag by tag (the date of the
        // second block with the sub-seconds of the first, a time in neither). The camera writes its
        // block first, right after the start of the image; a later one is an editor's or a second
        // picture's. So the file with two blocks is compared with exiftool's reading of the first.
        const fs::path compared =
            file.filename() == "made-two-exif-blocks.jpg" ? work / "made-first-block-alone.jpg" : file;
        const auto fields = said.find(compared.string());
        if (fields == said.end()) {
            std::printf("%-34s exiftool gave no row\n", file.filename().c_str());
            ++failures;
            continue;
        }
        const std::string type = fields->second[1];
        const std::optional<media::CivilTime> expected = expectedOf(fields->second, file);
        const std::optional<media::CivilTime> got =
            ours.Capture ? std::optional<media::CivilTime>(ours.Capture->Time) : std::nullopt;
        const bool same = got == expected;
        failures += same ? 0 : 1;
        dated += got ? 1 : 0;
        std::printf("%-34s %-6s %-30s %-30s %8llu%s\n", file.filename().c_str(), type.c_str(), Show(expected).c_str(),
                    Show(got).c_str(), static_cast<unsigned long long>(ours.BytesRead), same ? "" : "  DIFFERENT");
    }

    // What a table row does not show.
    const auto check = [&](bool Holds, const char* What) {
        std::printf("%s: %s\n", Holds ? "holds" : "FAILS", What);
        failures += Holds ? 0 : 1;
    };
    const auto timeOf = [&](const char* Name) {
        const auto& capture = results[Name].Capture;
        return capture ? std::optional<media::CivilTime>(capture->Time) : std::nullopt;
    };
    check(timeOf("made-burst-1.jpg") < timeOf("made-burst-2.jpg") && timeOf("made-burst-2.jpg") < timeOf("made-burst-3.jpg") &&
              timeOf("made-burst-3.jpg") < timeOf("made-burst-4.jpg"),
          "a burst in one second orders by its sub-seconds (08 < 1 < 35 < 9)");
    check(timeOf("made-two-exif-blocks.jpg") && timeOf("made-two-exif-blocks.jpg") == timeOf("made-first-block-alone.jpg"),
          "of two Exif blocks in a JPEG the first gives the time");
    const Ours& atEnd = results["made-header-at-end.mp4"];
    check(atEnd.Capture && atEnd.BytesRead <= 8 * 1024 && atEnd.Reads <= 3,
          "a movie header behind 5 GiB of media costs at most 3 reads and 8 KiB");
    // A clip begun before midnight (UTC+1) and closed after it: the header's local reading keeps its day.
    const media::UtcToLocalTime plusOneHour = [](const media::CivilTime& Utc) {
        return media::CivilTimeFromSeconds(media::SecondsSinceEpoch(Utc) + 3600);
    };
    const auto before = results["made-before-midnight.mov"].Capture;
    const auto after = results["made-after-midnight.mov"].Capture;
    if (before && after) {
        const auto closedLocal = media::LocalCaptureTime(*before, media::CivilTime{2022, 1, 1, 0, 0, 2, 0}, plusOneHour);
        const auto closedUtc = media::LocalCaptureTime(*before, media::CivilTime{2022, 1, 1, 1, 0, 2, 0}, plusOneHour);
        const auto afterUtc = media::LocalCaptureTime(*after, std::nullopt, plusOneHour);
        check(closedLocal && closedLocal->Time.Day == 31 && closedUtc && closedUtc->Time.Day == 1 &&
                  closedUtc->Time.Hour == 0 && afterUtc && afterUtc->Time.Hour == 1,
              "movies either side of midnight: the local reading keeps 31 December, the UTC reading moves to 1 January");
    } else {
        check(false, "movies either side of midnight were read");
    }
    std::printf("%zu files, %d with a capture time, %d differences\n", files.size(), dated, failures);
    return failures == 0 ? 0 : 1;
}
