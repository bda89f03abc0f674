/* Reads and writes panel memory through vek_client's C API: dial, read 16
 * bytes, write 4, read them back, hang up. usage: read_write DEVICE [PHONE] */
#include <vek_client.h>

#include <stdio.h>

int main(int argc, char** argv)
{
    vek_library* lib;
    vek_call* call;
    vek_modem modem;
    vek_panel panel;
    uint8_t bytes[16];
    const uint8_t written[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    size_t got, i;
    if (argc < 2 || vek_library_create(NULL, &lib) != VEK_OK)
        return 2;
    vek_modem_defaults(&modem);
    modem.device = argv[1];
    vek_panel_defaults(&panel);
    panel.phone = argc > 2 ? argv[2] : "5551234";
    if (vek_library_set_modem(lib, &modem) != VEK_OK || vek_library_dial(lib, &panel, NULL, &call) != VEK_OK) {
        fprintf(stderr, "failed: %s\n", vek_library_last_error(lib));
        vek_library_destroy(lib);
        return 1;
    }
    if (vek_call_read(call, 0x0100, 16, bytes, sizeof bytes, NULL, &got) == VEK_OK)
        for (i = 0; i < got; ++i)
            printf("%02X%s", bytes[i], i + 1 < got ? " " : "\n");
    if (vek_call_write(call, 0x0200, written, 4, NULL) != VEK_OK ||
        vek_call_read(call, 0x0200, 4, bytes, sizeof bytes, NULL, &got) != VEK_OK)
        fprintf(stderr, "failed: %s\n", vek_call_last_error(call));
    else
        printf("%02X %02X %02X %02X\n", bytes[0], bytes[1], bytes[2], bytes[3]);
    vek_call_destroy(call); /* hangs up */
    vek_library_destroy(lib);
    return 0;
}
