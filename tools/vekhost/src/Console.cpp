#include "vekhost/Console.h"

#include <cstdlib>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vekhost {
namespace {

constexpr size_t kFallbackWidth = 80;

size_t TerminalWidth(std::FILE* out)
{
    winsize size{};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col;
    return kFallbackWidth;
}

const char* Sgr(Style style)
{
    switch (style) {
    case Style::Bold: return "\033[1m";
    case Style::Dim: return "\033[2m";
    case Style::Good: return "\033[32m";
    case Style::Bad: return "\033[1;31m";
    case Style::Plain: return "";
    }
    return "";
}

} // namespace

Console::Console(std::FILE* out, std::FILE* err, bool live, bool colour)
    : m_out(out), m_err(err), m_live(live), m_colour(colour)
{
}

Console::Console(Console&& other) noexcept
    : m_out(other.m_out), m_err(other.m_err), m_live(other.m_live), m_colour(other.m_colour)
{
}

std::string Console::LastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

Console Console::ForTerminal(bool logToStderr)
{
    std::FILE* out = logToStderr ? stderr : stdout;
    const bool tty = ::isatty(::fileno(out)) != 0;
    const char* noColour = std::getenv("NO_COLOR");
    const bool colour = tty && (noColour == nullptr || *noColour == '\0');
    return Console(out, stderr, tty, colour);
}

std::string Console::Paint(std::string_view text, Style style) const
{
    if (!m_colour || style == Style::Plain)
        return std::string(text);
    return std::string(Sgr(style)) + std::string(text) + "\033[0m";
}

void Console::Line(std::string_view text)
{
    std::lock_guard lock(m_mutex);
    HideStatus();
    std::fprintf(m_out, "%.*s\n", static_cast<int>(text.size()), text.data());
    ShowStatus();
    std::fflush(m_out);
}

void Console::Error(std::string_view text)
{
    std::lock_guard lock(m_mutex);
    m_lastError = text;
    HideStatus();
    std::fflush(m_out);
    std::fprintf(m_err, "%s\n", Paint("vekhost: " + std::string(text), Style::Bad).c_str());
    std::fflush(m_err);
    ShowStatus();
    std::fflush(m_out);
}

void Console::Status(std::string_view text)
{
    if (!m_live)
        return;
    std::lock_guard lock(m_mutex);
    m_status = text;
    const size_t width = TerminalWidth(m_out) - 1;
    if (m_status.size() > width)
        m_status.resize(width);
    HideStatus();
    ShowStatus();
    std::fflush(m_out);
}

void Console::ClearStatus()
{
    std::lock_guard lock(m_mutex);
    HideStatus();
    m_status.clear();
    std::fflush(m_out);
}

void Console::HideStatus()
{
    if (!m_shown)
        return;
    std::fputs("\r\033[K", m_out);
    m_shown = false;
}

void Console::ShowStatus()
{
    if (!m_live || m_status.empty())
        return;
    std::fputs(Paint(m_status, Style::Dim).c_str(), m_out);
    m_shown = true;
}

} // namespace vekhost
