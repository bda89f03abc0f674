// vekmdm's commands, each given its arguments already counted.
#pragma once

#include <string>
#include <string_view>

namespace vekmdm {

// Exit codes, as --help lists them.
enum Exit : int {
    kDone = 0,
    kFileError = 1,    // the file could not be read or written
    kUsage = 2,        // a usage mistake, or a value the library cannot use
    kNoDefinition = 3, // an index that names no definition
    kWouldReplace = 4, // new: the file holds something, and --force was not given
};

int Show(const std::string& path);
int New(const std::string& path, bool force);
int Add(const std::string& path);
int Remove(const std::string& path, std::string_view index);
int SetField(const std::string& path, std::string_view index, std::string_view field, std::string_view value);
// which is "outgoing" or "incoming".
int SetIndex(const std::string& path, std::string_view which, std::string_view index);
int Fields();

} // namespace vekmdm
