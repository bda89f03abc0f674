// Modal message boxes stand in as a host hook; they never block the library.
#pragma once

namespace vek {

// Shows an exclamation message with an OK button through the host's hook.
void ShowMessageBox(const char* caption, const char* text);
// Same, with the library's application title as caption.
void ShowAppMessage(const char* text);

} // namespace vek
