#pragma once
// Numbered files shared by spec2wav and phaseview: file numbers 1..255 hold open
// files, number 0 is the console (or the plot surface's text rows while a
// surface is open). Status values: 0 ok, 1 bad number, 2 cannot open, 3 I/O error.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orv::runtime {

enum class FileMode { Input, Output, Binary };
enum class Ending { None, LineEnd };  // LineEnd writes CR LF after the item

inline constexpr int maxFileNumber = 255;

// Receives everything printed to file number 0 while installed (the plot
// surface's text rows); without one, file 0 is standard output.
class ConsoleSink {
public:
    virtual ~ConsoleSink() = default;
    virtual void write(std::string_view bytes) = 0;
};

class FileTable {
public:
    FileTable();
    ~FileTable();  // closes what is still open
    FileTable(const FileTable&) = delete;
    FileTable& operator=(const FileTable&) = delete;

    int openFile(std::string_view name, FileMode mode, int number);
    // Writes out the buffer and frees the number. 1 if not open; 3 if any
    // buffered data of this file could not be written (disk full, I/O error).
    int closeFile(int number);
    int closeAll();                                   // closes 1..255, returns the first nonzero status
    int atEndOfFile(int number);                      // -1 (true) or 0
    std::int64_t fileLength(int number);              // 0 if not open
    int seekFile(int number, std::int64_t position);  // 1-based; 3 before the first byte
    int beginInput(int number);
    int inputInteger(std::int32_t& dest);
    int inputSingle(float& dest);
    int inputDouble(double& dest);
    // What a loop of "not atEndOfFile: beginInput, then perRecord inputSingle"
    // reads, at most maxRecords records, in one call; returns the records read.
    std::size_t inputSingleRecords(int number, float* dest, int perRecord, std::size_t maxRecords);
    std::string readChars(std::int64_t count, int number);
    void printText(int number, std::string_view text, Ending ending = Ending::None);
    void printSingle(int number, float value, Ending ending = Ending::None);
    void printDouble(int number, double value, Ending ending = Ending::None);
    void printLineEnd(int number);

    // The error number set by the last operation that reports a status.
    int lastError() const;

    void setConsoleSink(ConsoleSink* sink);  // nullptr: back to standard output

private:
    friend FileTable& programFiles();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The running program's table; the exit path closes it.
FileTable& programFiles();

// Writes out what the program's files hold in their buffers, using only
// system calls; for the signal handlers of the exit path.
void flushProgramFilesFromSignal();

}  // namespace orv::runtime
