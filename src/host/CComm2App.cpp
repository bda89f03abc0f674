#include "host/CComm2App.h"

#include "modem/ModemDatabaseFile.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "resources/Strings.h"

namespace vek {

CComm2App theApp;

CComm2App::CComm2App() { InitInstance(); }

bool CComm2App::InitInstance()
{
    // Kept for the record only: the library stores no settings of its own.
    m_strRegistryKey = kRegistryKey;
    return true;
}

int CComm2App::LoadModemDatabase()
{
    const std::string folder = DataFolder();
    m_strModemDir = folder + kModemFolderName;
    m_strDatabasePath = folder + kDatabaseFileName;
    if (LoadModemDatabaseFile(m_modemSettings, m_strDatabasePath) != DatabaseLoad::Damaged)
        return 1;
    ShowAppMessage("The Archive File Has Been Damaged Please Reinstall");
    return 0;
}

} // namespace vek
