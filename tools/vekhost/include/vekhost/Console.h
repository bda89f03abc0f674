// Where vekhost writes: log lines, and on a terminal a status line kept at
// the bottom and redrawn in place. Any thread may write: the library's
// callbacks print from a thread of their own.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace vekhost {

enum class Style { Plain, Bold, Dim, Good, Bad };

class Console {
public:
    Console(std::FILE* out, std::FILE* err, bool live, bool colour);
    Console(Console&& other) noexcept;
    // A console for stdout and stderr that is live on a terminal; with
    // logToStderr (stdout carries data) every line goes to stderr.
    static Console ForTerminal(bool logToStderr = false);

    bool Live() const { return m_live; }
    std::string Paint(std::string_view text, Style style) const;
    void Line(std::string_view text);
    void Error(std::string_view text);
    // Shown only when live; cut to the terminal's width so it never wraps.
    void Status(std::string_view text);
    void ClearStatus();
    // The last error shown, for a machine-readable summary.
    std::string LastError() const;

private:
    void HideStatus();
    void ShowStatus();

    mutable std::mutex m_mutex; // guards the stream writes and everything below
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_live;
    bool m_colour;
    bool m_shown = false;
    std::string m_status;
    std::string m_lastError;
};

} // namespace vekhost
