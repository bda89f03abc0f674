// The library's application object: lives from load to unload and owns the
// modem database and the status dialog pointer.
#pragma once

#include "modem/CModemSettings.h"
#include "vek_comm2.h"

#include <atomic>
#include <string>

namespace vek {

class CCommStatusDlg;

class CComm2App {
public:
    CComm2App();
    virtual ~CComm2App() = default;

    // Registry key stand-in; the library keeps no settings of its own.
    bool InitInstance();

    // 1: database available (loaded or built-in); 0: damaged file, reported.
    int LoadModemDatabase();

    std::string m_strRegistryKey;
    std::string m_strModemDir;
    std::string m_strDatabasePath;
    // Read by the dialog's relays and by exports on any thread.
    std::atomic<HWND> m_hWndHost{0};
    std::atomic<CCommStatusDlg*> m_pStatusDlg{nullptr};
    CModemSettings m_modemSettings;
};

extern CComm2App theApp;

} // namespace vek
