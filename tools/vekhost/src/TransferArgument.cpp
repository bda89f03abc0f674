#include "vekhost/TransferArgument.h"

#include "vekhost/Numbers.h"

#include <cstdio>

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

} // namespace vekhost
