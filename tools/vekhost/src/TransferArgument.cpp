#include "vekhost/TransferArgument.h"

#include "vekhost/Numbers.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace vekhost {
namespace {

std::string ReadAddress(std::string_view text, uint32_t& address)
{
    const auto value = ParseUnsigned(text);
    if (!value)
        return "address \"" + std::string(text) + "\" is not a number (0x0100 or 256)";
    if (*value >= kPanelMemorySize)
        return "address " + std::string(text) + " is beyond the panel's 64 KiB";
    address = static_cast<uint32_t>(*value);
    return {};
}

std::string CheckRange(uint32_t address, uint32_t count)
{
    if (count == 0)
        return "nothing to transfer (count 0)";
    if (address + static_cast<uint64_t>(count) > kPanelMemorySize) {
        char text[96];
        std::snprintf(text, sizeof text, "%u bytes from 0x%04X run past the end of the panel's 64 KiB", count, address);
        return text;
    }
    return {};
}

} // namespace

std::string ParseReadArgument(std::string_view text, TransferArgument& argument)
{
    argument = TransferArgument{};
    argument.kind = TransferKind::Read;
    if (const size_t equals = text.find('='); equals != std::string_view::npos) {
        argument.file = text.substr(equals + 1);
        text = text.substr(0, equals);
        if (argument.file.empty())
            return "--read: the file name after '=' is missing";
    }
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return "--read expects ADDR:COUNT[=FILE], got \"" + std::string(text) + "\"";
    if (std::string error = ReadAddress(text.substr(0, colon), argument.address); !error.empty())
        return "--read: " + error;
    const auto count = ParseUnsigned(text.substr(colon + 1));
    if (!count || *count > kPanelMemorySize)
        return "--read: count \"" + std::string(text.substr(colon + 1)) + "\" is not 1 to 65536";
    argument.count = static_cast<uint32_t>(*count);
    if (std::string error = CheckRange(argument.address, argument.count); !error.empty())
        return "--read: " + error;
    return {};
}

std::string ParseWriteArgument(std::string_view text, TransferArgument& argument)
{
    argument = TransferArgument{};
    argument.kind = TransferKind::Write;
    const size_t split = text.find_first_of(":=");
    if (split == std::string_view::npos)
        return "--write expects ADDR=FILE or ADDR:HEXBYTES, got \"" + std::string(text) + "\"";
    if (std::string error = ReadAddress(text.substr(0, split), argument.address); !error.empty())
        return "--write: " + error;
    const std::string_view rest = text.substr(split + 1);
    if (text[split] == '=') {
        if (rest.empty())
            return "--write: the file name after '=' is missing";
        argument.file = rest;
        return {};
    }
    const auto bytes = ParseHexBytes(rest);
    if (!bytes)
        return "--write: \"" + std::string(rest) + "\" is not pairs of hex digits (e.g. DEADBEEF or \"DE AD\")";
    argument.bytes = *bytes;
    argument.count = static_cast<uint32_t>(bytes->size());
    return CheckWriteData(argument);
}

std::string CheckWriteData(const TransferArgument& argument)
{
    if (argument.bytes.size() > kPanelMemorySize)
        return "--write: more than 64 KiB of data";
    if (std::string error = CheckRange(argument.address, static_cast<uint32_t>(argument.bytes.size())); !error.empty())
        return "--write: " + error;
    return {};
}

namespace {

std::string CheckWritable(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return "--read: " + path + " is a directory";
        if (::access(path.c_str(), W_OK) != 0)
            return "--read: cannot write " + path + ": " + std::strerror(errno);
        return {};
    }
    if (errno != ENOENT)
        return "--read: cannot write " + path + ": " + std::strerror(errno);
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const std::string folder = parent.empty() ? "." : parent.string();
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "--read: cannot create " + path + ": " + std::strerror(errno);
    return {};
}

} // namespace

std::string CheckReadTargets(const std::vector<TransferArgument>& items)
{
    int toStandardOutput = 0;
    for (const TransferArgument& item : items) {
        if (item.kind != TransferKind::Read || item.file.empty())
            continue;
        if (item.file == kStandardOutput) {
            if (++toStandardOutput > 1)
                return "--read: only one read can go to standard output (=-)";
            continue;
        }
        if (std::string error = CheckWritable(item.file); !error.empty())
            return error;
    }
    return {};
}

bool ReadsToStandardOutput(const std::vector<TransferArgument>& items)
{
    for (const TransferArgument& item : items)
        if (item.kind == TransferKind::Read && item.file == kStandardOutput)
            return true;
    return false;
}

std::string LoadWriteFiles(std::vector<TransferArgument>& items)
{
    for (TransferArgument& item : items) {
        if (item.kind != TransferKind::Write || item.file.empty())
            continue;
        std::ifstream in(item.file, std::ios::binary);
        if (!in)
            return "--write: cannot read " + item.file;
        item.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        item.count = static_cast<uint32_t>(item.bytes.size());
        if (item.bytes.empty())
            return "--write: " + item.file + " is empty";
        if (std::string error = CheckWriteData(item); !error.empty())
            return error + " (" + item.file + ")";
    }
    return {};
}

} // namespace vekhost
