// A host that leaves in the ways hosts do: it exits, or unloads the library,
// with or without Uninit, idle or in mid-call. The library is loaded with
// dlopen so that unloading can be tried; the test runs this program and
// looks at how it ended.
//
//   lifecycle_host exit LIB [DEVICE]     Init (and a call with reads queued), exit(0)
//   lifecycle_host unload LIB [DEVICE]   the same, then dlclose and carry on
//   lifecycle_host rounds LIB N          N rounds of load, Init, Uninit, unload
#include "vek_comm2.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Library {
    void* handle = nullptr;
    decltype(&VEKComm2_Init) init = nullptr;
    decltype(&VEKComm2_Uninit) uninit = nullptr;
    decltype(&VEKComm2_SetupModem) setupModem = nullptr;
    decltype(&VEKComm2_CommInit) commInit = nullptr;
    decltype(&VEKComm2_PanelInit) panelInit = nullptr;
    decltype(&VEKComm2_AddPool) addPool = nullptr;
    decltype(&VekCreateWindow) createWindow = nullptr;
    decltype(&VekPumpMessages) pump = nullptr;
    decltype(&VekSetPortDevice) setPortDevice = nullptr;
    decltype(&GlobalAlloc) alloc = nullptr;
    decltype(&GlobalLock) lock = nullptr;
    decltype(&GlobalUnlock) unlock = nullptr;
};

template <typename F> void Resolve(void* handle, const char* name, F& f)
{
    f = reinterpret_cast<F>(dlsym(handle, name));
    if (f == nullptr) {
        std::fprintf(stderr, "missing %s\n", name);
        std::exit(3);
    }
}

Library Load(const char* path)
{
    Library lib;
    lib.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (lib.handle == nullptr) {
        std::fprintf(stderr, "dlopen: %s\n", dlerror());
        std::exit(3);
    }
    Resolve(lib.handle, "VEKComm2_Init", lib.init);
    Resolve(lib.handle, "VEKComm2_Uninit", lib.uninit);
    Resolve(lib.handle, "VEKComm2_SetupModem", lib.setupModem);
    Resolve(lib.handle, "VEKComm2_CommInit", lib.commInit);
    Resolve(lib.handle, "VEKComm2_PanelInit", lib.panelInit);
    Resolve(lib.handle, "VEKComm2_AddPool", lib.addPool);
    Resolve(lib.handle, "VekCreateWindow", lib.createWindow);
    Resolve(lib.handle, "VekPumpMessages", lib.pump);
    Resolve(lib.handle, "VekSetPortDevice", lib.setPortDevice);
    Resolve(lib.handle, "GlobalAlloc", lib.alloc);
    Resolve(lib.handle, "GlobalLock", lib.lock);
    Resolve(lib.handle, "GlobalUnlock", lib.unlock);
    return lib;
}

std::vector<WPARAM> g_codes;
// The host keeps its panel record for as long as a call uses it, exit
// included: made before main, it goes after the library has stopped.
std::vector<uint8_t> g_record(VEK_PANEL_RECORD_MIN_SIZE, 0);

LRESULT HostProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    if (message == VEK_WM_COMM_HOST_NOTIFY)
        g_codes.push_back(wParam);
    return 0;
}

bool WaitFor(const Library& lib, WPARAM code, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (size_t seen = 0; std::chrono::steady_clock::now() < end;) {
        lib.pump(20);
        for (; seen < g_codes.size(); ++seen)
            if (g_codes[seen] == code)
                return true;
    }
    return false;
}

HGLOBAL Block(const Library& lib, size_t size)
{
    const HGLOBAL h = lib.alloc(0x0042, size);
    return h;
}

void Put(const Library& lib, HGLOBAL h, size_t offset, const void* bytes, size_t n)
{
    auto* p = static_cast<uint8_t*>(lib.lock(h));
    std::memcpy(p + offset, bytes, n);
    lib.unlock(h);
}

// A modem on COM5 = device at 9600 bit/s, a call to the panel behind it
// and four reads queued at once.
bool PlaceCallWithReads(const Library& lib, const char* device)
{
    constexpr int kPort = 5;
    lib.setPortDevice(kPort, device);
    const HGLOBAL setup = Block(lib, VEK_MODEM_SETUP_MIN_SIZE);
    const int32_t port = kPort, speed = 9600;
    Put(lib, setup, VEK_SETUP_COM_PORT, &port, 4);
    Put(lib, setup, VEK_SETUP_BAUD_RATE, &speed, 4);
    Put(lib, setup, VEK_SETUP_INIT, "ATE0S12=10", 10);
    Put(lib, setup, VEK_SETUP_RESET, "ATZ", 3);
    Put(lib, setup, VEK_SETUP_ESCAPE, "+++", 3);
    Put(lib, setup, VEK_SETUP_HANGUP_STEM, "ATH", 3);
    Put(lib, setup, VEK_SETUP_TONE_DIAL, "DT", 2);
    if (lib.setupModem(setup) != 1 || lib.commInit() != 1 || !WaitFor(lib, 9, 5000))
        return false;
    auto& record = g_record;
    const auto set16 = [&record](size_t at, uint16_t v) { std::memcpy(record.data() + at, &v, 2); };
    set16(VEK_PANEL_LINK_MODE, 2);
    set16(VEK_PANEL_EXPECTED_TYPE, 19);
    set16(VEK_PANEL_EXPECTED_VERSION, 2);
    set16(VEK_PANEL_SECOND_SPEED, 9600);
    set16(VEK_PANEL_DIRECT_SPEED, 9600);
    std::memcpy(record.data() + VEK_PANEL_PHONE_NUMBER, "5551234", 8);
    if (lib.panelInit(record.data(), "1234", "", 1) != 1 || !WaitFor(lib, 3, 15000))
        return false;
    for (uint16_t i = 0; i < 4; ++i) {
        const HGLOBAL data = Block(lib, 1);
        const HGLOBAL request = Block(lib, VEK_POOL_RECORD_MIN_SIZE);
        const uint16_t address = static_cast<uint16_t>(0x0100 + 16 * i);
        const uint32_t count = 16, operation = 'u';
        const uint8_t command = 0x52;
        Put(lib, request, VEK_POOL_ADDRESS, &address, 2);
        Put(lib, request, VEK_POOL_COUNT, &count, 4);
        Put(lib, request, VEK_POOL_COMMAND, &command, 1);
        Put(lib, request, VEK_POOL_DATA, &data, 4);
        Put(lib, request, VEK_POOL_OPERATION, &operation, 4);
        lib.addPool(request);
    }
    lib.pump(30); // the first read is on the line
    return true;
}

int Start(const Library& lib, const char* device)
{
    const HWND window = lib.createWindow(&HostProc, nullptr);
    if (lib.init(window) != 1)
        return 4;
    if (device != nullptr && !PlaceCallWithReads(lib, device))
        return 5;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const std::string mode = argv[1];
    const char* device = argc > 3 ? argv[3] : nullptr;
    if (mode == "rounds") {
        const int n = std::atoi(argv[3]);
        for (int i = 0; i < n; ++i) {
            const Library lib = Load(argv[2]);
            if (Start(lib, nullptr) != 0)
                return 4;
            lib.uninit();
            dlclose(lib.handle);
        }
        std::puts("rounds done");
        return 0;
    }
    const Library lib = Load(argv[2]);
    if (const int failed = Start(lib, device); failed != 0)
        return failed;
    if (mode == "exit")
        std::exit(0); // without Uninit
    if (mode != "unload")
        return 2;
    dlclose(lib.handle);                                         // without Uninit
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // nothing of the library may run now
    std::puts("survived the unload");
    return 0;
}
