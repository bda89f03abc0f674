// The library's trace, which vekhost reads to count and show the bytes on
// the line. The library reads VEK_TRACE once, on first use: this must exist
// before the first library call.
#pragma once

#include <string>

namespace vekhost {

class TraceFile {
public:
    // Keeps the user's VEK_TRACE, or points it at a temporary file.
    TraceFile();
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    const std::string& Path() const { return m_path; }
    bool Owned() const { return m_owned; }

private:
    std::string m_path;
    bool m_owned = false;
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
