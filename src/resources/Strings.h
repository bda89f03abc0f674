// The library's string table and version.
#pragma once

namespace vek {

// String 57344: the application title, caption of every message box.
inline constexpr const char* kAppTitle = "TRV-3 Communications";
inline constexpr const char* kRegistryKey = "Quarnel Ltd.\\TRV3\\1.30";
inline constexpr const char* kDatabaseFileName = "Trv3.mdm";
inline constexpr const char* kModemFolderName = "Modems";

} // namespace vek
