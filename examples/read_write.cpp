// Reads and writes panel memory through vek_client: dial, read 16 bytes,
// write 4, read them back, hang up. usage: read_write DEVICE [PHONE]
#include <vek/client.hpp>

#include <cstdio>

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
        for (uint8_t b : call.read(0x0100, 16))
            std::printf("%02X ", b);
        std::printf("\n");
        call.write(0x0200, vek::Bytes{0xDE, 0xAD, 0xBE, 0xEF});
        for (uint8_t b : call.read(0x0200, 4))
            std::printf("%02X ", b);
        std::printf("\n");
        call.hangUp();
    } catch (const vek::Error& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
