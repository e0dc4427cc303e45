#pragma once
// A synthetic telephone directory for demonstrations and benchmarks: realistic Russian owners
// (people in mixed letter case, "ё", organisations with quotes in their names), streets, house and
// flat numbers and telephone numbers. Deterministic: the same seed gives the same rows, and row i
// does not depend on how many rows follow it.

#include <QString>

#include <cstdint>
#include <string>

// One entry of table kray, as UTF-8.
struct TDemoRow
{
    std::string Numer;   // telephone number, "2-34-56" or "234-56-78"
    std::string Vlad;    // owner
    std::string Street;  // "ул. Мира", "пр. Ленина", ...
    std::string NumHome; // "12", "12а", "3/1", "105к2"
    std::string NumDoor; // flat "1".."300", or empty for a private house
};

class TDemoDirectory
{
public:
    static constexpr std::uint64_t kDefaultSeed = 0x50484f4e45424f4fULL;

    explicit TDemoDirectory(std::uint64_t seed = kDefaultSeed);
    ~TDemoDirectory();
    TDemoDirectory(const TDemoDirectory&) = delete;
    TDemoDirectory& operator=(const TDemoDirectory&) = delete;

    // Fills the next row, reusing the row's buffers.
    void NextRow(TDemoRow& row);

    // Writes rows entries as an SQLite 3 file with table kray (all five fields TEXT), with an
    // index kray_vlad on vlad when asked. The file appears under its name only when complete; an
    // existing file of that name is replaced. Throws EDatabaseError.
    static void Write(const QString& path, std::int64_t rows, bool indexOwners);

private:
    struct Lists;
    static const Lists& SharedLists();
    std::uint64_t Next();
    std::uint32_t Below(std::uint32_t n);
    void Owner(std::string& out);
    void Person(std::string& out);
    void Organisation(std::string& out);

    const Lists& fLists;
    std::uint64_t fState;
    std::uint64_t fRow = 0;
};
