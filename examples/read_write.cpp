// Reads and writes panel memory through vek_client: dial, read 16 bytes,
// write 4, read them back, hang up. usage: read_write DEVICE [PHONE]
#include <vek/client.hpp>

#include <cstdio>

static void Print(const vek::Bytes& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i)
        std::printf("%02X%s", bytes[i], i + 1 < bytes.size() ? " " : "\n");
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DEVICE [PHONE]\n", argv[0]);
        return 2;
    }
    try {
        vek::Library lib;
        lib.setModem({.device = argv[1]});
        vek::Call call = lib.dial({.phone = argc > 2 ? argv[2] : "5551234"});
        std::printf("panel type %d version %d\n", call.identification().type, call.identification().version);
        Print(call.read(0x0100, 16));
        call.write(0x0200, vek::Bytes{0xDE, 0xAD, 0xBE, 0xEF});
        Print(call.read(0x0200, 4));
        call.hangUp();
    } catch (const vek::Error& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
