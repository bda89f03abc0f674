// The --read and --write arguments: ADDR:COUNT[=FILE], ADDR=FILE and
// ADDR:HEXBYTES. The panel's memory is 64 KiB.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vekhost {

constexpr uint32_t kPanelMemorySize = 0x10000;

enum class TransferKind { Read, Write };

struct TransferArgument {
    TransferKind kind = TransferKind::Read;
    uint32_t address = 0;
    uint32_t count = 0;         // bytes to read, or bytes to write
    std::vector<uint8_t> bytes; // write: the data (empty while a file is to be loaded)
    std::string file;           // read: raw bytes go here; write: data comes from here
};

// Each returns an error text, or empty with argument filled.
std::string ParseReadArgument(std::string_view text, TransferArgument& argument);
std::string ParseWriteArgument(std::string_view text, TransferArgument& argument);
// Checks that a write's data (now loaded) fits the memory.
std::string CheckWriteData(const TransferArgument& argument);
// "-" stands for standard output.
constexpr std::string_view kStandardOutput = "-";
// Before dialling: every read's file can be written (created or replaced)
// without creating it yet; an error text naming the file, or empty.
std::string CheckReadTargets(const std::vector<TransferArgument>& items);
bool ReadsToStandardOutput(const std::vector<TransferArgument>& items);
// Loads the data of writes given as files; returns an error text or empty.
std::string LoadWriteFiles(std::vector<TransferArgument>& items);

} // namespace vekhost
