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

    // Written by Init on the host's thread only.
    std::string m_strRegistryKey;
    std::string m_strModemDir;
    std::string m_strDatabasePath;
    // Atomic: written by Init; read by PostToHost and the exports on any
    // thread.
    std::atomic<HWND> m_hWndHost{0};
    // Atomic: written by Init and Uninit (one at a time, under their own
    // lock); read by every export.
    std::atomic<CCommStatusDlg*> m_pStatusDlg{nullptr};
    // Written by the host's thread (Init, SetupModem) while no session runs;
    // the worker reads the current modem during one.
    CModemSettings m_modemSettings;
};

extern CComm2App theApp;

} // namespace vek
