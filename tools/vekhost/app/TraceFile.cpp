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
    if (const char* path = std::getenv("VEK_TRACE"); path != nullptr && *path != '\0') {
        m_path = path;
        return;
    }
    std::string pattern = TempPattern("vekhost-trace");
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return; // no trace: no byte counts, the call still works
    ::close(fd);
    m_path = pattern;
    m_owned = true;
    ::setenv("VEK_TRACE", m_path.c_str(), 1);
}

TraceFile::~TraceFile()
{
    if (m_owned)
        ::unlink(m_path.c_str());
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
