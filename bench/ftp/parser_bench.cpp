// Listing parser throughput: 1 000 000 lines each of Unix (English, ISO and German day-first
// dates), DOS and MLSD forms, read as the session reads a listing: one ListingParser for all
// lines of a kind.
// With "--corpus FILE", it reads instead each line of a corpus of listing lines on its own (as
// tests/unit/ftp/listing_corpus.txt holds them) and says how many were read, one line of
// results per entry, so that two builds' readings can be compared with diff.
#include "ftp/listing_parser.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A corpus line with its escapes ("\xHH", "\t", "\\") turned into bytes.
std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
        } else if (text[i + 1] == 't') {
            out += '\t';
            ++i;
        } else if (text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (text[i + 1] == 'x' && i + 3 < text.size() && hexDigit(text[i + 2]) >= 0 &&
                   hexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Each line through a fresh parser that knows no system, as a single LIST line is read.
int countCorpus(const char* path, std::int64_t now) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    std::size_t lines = 0, read = 0;
    std::string text;
    while (std::getline(in, text)) {
        if (text.empty() || text[0] == '#')
            continue;
        ++lines;
        const std::string line = unescape(text);
        tw::ftp::ListingParser parser(now);
        tw::ftp::DirEntry e;
        if (parser.parseLine(line, e)) {
            ++read;
            std::printf("read   %-40s | name \"%s\" type %d size %llu time %lld\n",
                        text.substr(0, 40).c_str(), e.name.c_str(), static_cast<int>(e.type),
                        static_cast<unsigned long long>(e.size),
                        static_cast<long long>(e.lastWriteTime));
        } else {
            std::printf("UNREAD %s\n", text.c_str());
        }
    }
    std::printf("%zu of %zu lines read (%.0f %%)\n", read, lines,
                lines ? 100.0 * static_cast<double>(read) / static_cast<double>(lines) : 0.0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--corpus") == 0)
        return countCorpus(argv[2], 1718452800); // 2024-06-15 12:00 UTC
    const std::size_t count = argc > 1 ? std::stoul(argv[1]) : 1000000;
    const std::int64_t now = 1718452800; // 2024-06-15 12:00 UTC
    std::vector<std::string> unixLines, isoLines, dosLines, mlsdLines, germanLines;
    static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const char* kGermanMonths[] = {"Jan", "Feb", "M\xc3\xa4r", "Apr", "Mai", "Jun",
                                          "Jul", "Aug", "Sep",        "Okt", "Nov", "Dez"};
    for (std::size_t i = 0; i < count; ++i) {
        char buf[200];
        std::snprintf(buf, sizeof buf,
                      "-rw-r--r--    1 1000     1000     %10zu %s %2zu %s file-%07zu.dat", i * 37,
                      kMonths[i % 12], i % 28 + 1, i % 2 ? "12:34" : " 2019", i);
        unixLines.emplace_back(buf);
        std::snprintf(
            buf, sizeof buf,
            "drwxr-xr-x 2 user group %zu 20%02zu-%02zu-%02zu 12:%02zu name with spaces %zu", i * 37,
            i % 30, i % 12 + 1, i % 28 + 1, i % 60, i);
        isoLines.emplace_back(buf);
        std::snprintf(buf, sizeof buf,
                      "-rw-r--r--    1 1000     1000     %10zu %2zu. %s %s Datei-%07zu.dat", i * 37,
                      i % 28 + 1, kGermanMonths[i % 12], i % 2 ? "12:34" : " 2019", i);
        germanLines.emplace_back(buf);
        std::snprintf(buf, sizeof buf, "%02zu-%02zu-19  %02zu:%02zuPM       %14zu file-%07zu.dat",
                      i % 12 + 1, i % 28 + 1, i % 12 + 1, i % 60, i * 37, i);
        dosLines.emplace_back(buf);
        std::snprintf(buf, sizeof buf,
                      "type=file;size=%zu;modify=20190%zu%02zu123456;perm=adfrw; file-%07zu.dat",
                      i * 37, i % 9 + 1, i % 28 + 1, i);
        mlsdLines.emplace_back(buf);
    }
    auto run = [&](const char* label, const std::vector<std::string>& lines, bool mlsd) {
        const auto start = std::chrono::steady_clock::now();
        std::size_t parsed = 0;
        std::uint64_t checksum = 0;
        tw::ftp::DirEntry e;
        tw::ftp::ListingParser parser =
            mlsd ? tw::ftp::ListingParser::forMlsd(now) : tw::ftp::ListingParser(now);
        for (const auto& line : lines) {
            const bool ok = parser.parseLine(line, e);
            if (ok) {
                ++parsed;
                checksum += e.size + static_cast<std::uint64_t>(e.lastWriteTime);
            }
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%-5s %zu lines, %zu parsed in %.3f s: %.2f million lines/s (checksum %llu)\n",
                    label, lines.size(), parsed, seconds, lines.size() / seconds / 1e6,
                    static_cast<unsigned long long>(checksum));
    };
    run("unix", unixLines, false);
    run("iso", isoLines, false);
    run("dos", dosLines, false);
    run("mlsd", mlsdLines, true);
    run("de", germanLines, false);
    return 0;
}
