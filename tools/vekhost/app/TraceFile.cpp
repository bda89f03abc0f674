#include "TraceFile.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace vekhost {
namespace {

std::string TempPattern(const char* stem)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/" + stem + "-XXXXXX";
}

} // namespace

TraceFile::TraceFile()
{
    if (const char* path = std::getenv("VEK_TRACE"); path != nullptr && *path != '\0')
        m_path = path;
}

TempFolder::TempFolder(const char* stem)
{
    std::string pattern = TempPattern(stem);
    if (::mkdtemp(pattern.data()) != nullptr)
        m_path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code error;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, error);
}

} // namespace vekhost
