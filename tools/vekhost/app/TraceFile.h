// The trace file the user asked the library for (VEK_TRACE), shown in the
// summary; vekhost itself takes the trace lines through the library's hook.
#pragma once

#include <string>

namespace vekhost {

class TraceFile {
public:
    TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// A temporary folder, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(const char* stem);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace vekhost
